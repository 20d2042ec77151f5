// The tool's image commands, run as the built program: PNG -> IMG -> PNG for every type, info, psd2png.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "graphics/formats/image.h"
#include "graphics/formats/psd.h"

namespace {

struct Png {
  int width = 0, height = 0;
  bool alpha = false;
  std::vector<uint8_t> rgba;
};

bool writePng(const std::string& path, const Png& png) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png.width;
  image.height = png.height;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgb;
  const void* data = png.rgba.data();
  if (!png.alpha) {
    image.format = PNG_FORMAT_RGB;
    for (size_t i = 0; i < png.rgba.size(); i += 4) rgb.insert(rgb.end(), &png.rgba[i], &png.rgba[i] + 3);
    data = rgb.data();
  }
  return png_image_write_to_file(&image, path.c_str(), 0, data, 0, nullptr) != 0;
}

bool readPng(const std::string& path, Png& png) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  png.alpha = image.format & PNG_FORMAT_FLAG_ALPHA;
  image.format = PNG_FORMAT_RGBA;
  png.width = image.width;
  png.height = image.height;
  png.rgba.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, png.rgba.data(), 0, nullptr) != 0;
}

// Joins its pieces with += (GCC 12 warns falsely on "text" + std::string).
template <typename... Parts>
std::string cat(const Parts&... parts) {
  std::string text;
  ((text += parts), ...);
  return text;
}

class ImageToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = cat(std::string(TARNVIK_BUILD_DIR), "/tarnvik-tool");
    if (!std::filesystem::exists(tool_)) GTEST_SKIP() << "tarnvik-tool is not built in " << TARNVIK_BUILD_DIR;
    dir_ = std::filesystem::temp_directory_path() / cat("tarnvik_imgtool_", std::to_string(::getpid()), "_",
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  // Runs the tool with the arguments, each quoted.
  int run(std::initializer_list<std::string> arguments, std::string* out = nullptr) {
    std::string command = cat("'", tool_, "'");
    for (const std::string& argument : arguments) command += cat(" '", argument, "'");
    command += cat(" >'", file("stdout"), "' 2>'", file("stderr"), "'");
    int raw = std::system(command.c_str());
    if (out) {
      std::ifstream in(file("stdout"));
      std::stringstream text;
      text << in.rdbuf();
      *out = text.str();
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  std::string tool_;
  std::filesystem::path dir_;
};

Png picture(int w, int h, bool alpha) {
  Png png{w, h, alpha, std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
  for (int i = 0; i < w * h; ++i) {
    uint8_t* p = &png.rgba[i * 4];
    p[0] = static_cast<uint8_t>(i * 13);
    p[1] = static_cast<uint8_t>(i < w * h / 2 ? 200 : i * 7);
    p[2] = static_cast<uint8_t>(255 - i);
    p[3] = alpha ? static_cast<uint8_t>(i * 31) : 255;
  }
  return png;
}

}  // namespace

TEST_F(ImageToolTest, PngRoundTripThroughEveryType) {
  for (bool alpha : {false, true}) {
    Png source = picture(7, 5, alpha);
    ASSERT_TRUE(writePng(file("in.png"), source));
    for (int type : {0, 2, 3, 4, 5}) {
      const std::string img = file(cat("t", std::to_string(type), ".img")), back = file("back.png");
      ASSERT_EQ(run({"png2img", file("in.png"), img, "--compression", std::to_string(type), "--position", "12", "-3"}),
                0)
          << type;
      ASSERT_EQ(run({"img2png", img, back}), 0) << type;
      Png result;
      ASSERT_TRUE(readPng(back, result));
      ASSERT_EQ(result.width, 7);
      ASSERT_EQ(result.height, 5);
      EXPECT_EQ(result.alpha, alpha);
      long error = 0;
      for (size_t i = 0; i < source.rgba.size(); i += 4) {
        EXPECT_EQ(result.rgba[i + 3], source.rgba[i + 3]) << type << " alpha " << i / 4;
        // 5-6-5 precision: the top bits of each channel survive, exactly but for JPEG.
        for (int c = 0; c < 3; ++c) error += std::abs((result.rgba[i + c] >> (c == 1 ? 2 : 3)) - (source.rgba[i + c] >> (c == 1 ? 2 : 3)));
      }
      if (type == 5) EXPECT_LT(error, static_cast<long>(source.rgba.size() / 4 * 3 * 5)) << "JPEG far from the source";
      else EXPECT_EQ(error, 0) << type;
      std::string json;
      ASSERT_EQ(run({"info", img}, &json), 0);
      auto info = nlohmann::json::parse(json);
      EXPECT_EQ(info["format"], "IMG");
      EXPECT_EQ(info["layout"], "PIK");
      EXPECT_EQ(info["width"], 7);
      EXPECT_EQ(info["height"], 5);
      EXPECT_EQ(info["depth"], 16);
      EXPECT_EQ(info["compression"], type);
      EXPECT_EQ(info["alpha"], alpha);
      EXPECT_EQ(info["position"]["x"], 12);
      EXPECT_EQ(info["position"]["y"], -3);
      EXPECT_EQ(info["sizes"]["header"], 40);
      EXPECT_EQ(info["sizes"]["alpha"].get<size_t>() > 0, alpha);
      EXPECT_EQ(info["readable"], true);
    }
  }
}

TEST_F(ImageToolTest, InfoOnJpegAndPsdAndBadInput) {
  ASSERT_TRUE(writePng(file("in.png"), picture(9, 4, false)));
  ASSERT_EQ(run({"png2img", file("in.png"), file("a.img"), "--compression", "5"}), 0);
  ASSERT_EQ(run({"img2png", file("a.img"), file("a.png")}), 0);
  std::vector<CPSD::Layer> layers(2);
  layers[0].name = CXString("Back ground");
  layers[0].rect = CXRect(0, 0, 3, 2);
  layers[0].rgba.assign(24, 77);
  layers[1].name = CXString("Top");
  layers[1].rect = CXRect(1, 1, 2, 2);
  layers[1].rgba = {255, 0, 0, 128};
  std::vector<uint8_t> psd = CPSD::write(3, 2, layers);
  std::ofstream(file("d.psd"), std::ios::binary).write(reinterpret_cast<const char*>(psd.data()), psd.size());

  std::string json;
  ASSERT_EQ(run({"info", file("d.psd")}, &json), 0);
  auto info = nlohmann::json::parse(json);
  EXPECT_EQ(info["format"], "PSD");
  EXPECT_EQ(info["width"], 3);
  ASSERT_EQ(info["layers"].size(), 2u);
  EXPECT_EQ(info["layers"][1]["name"], "Top");
  EXPECT_EQ(info["layers"][1]["left"], 1);

  std::string out;
  ASSERT_EQ(run({"psd2png", file("d.psd"), file("layers")}, &out), 0);
  Png top;
  ASSERT_TRUE(readPng(file("layers/01_Top.png"), top));
  EXPECT_EQ(top.width, 1);
  EXPECT_EQ(top.rgba, (std::vector<uint8_t>{255, 0, 0, 128}));
  EXPECT_TRUE(std::filesystem::exists(file("layers/00_Back_ground.png")));

  CImage image;
  ASSERT_TRUE(image.create(10, 6, 16));
  ASSERT_TRUE(CImageFile::Save(&image, CXString(file("p.jpg")), 0));
  ASSERT_EQ(run({"info", file("p.jpg")}, &json), 0);
  info = nlohmann::json::parse(json);
  EXPECT_EQ(info["format"], "JPEG");
  EXPECT_EQ(info["width"], 10);
  EXPECT_EQ(info["height"], 6);
  ASSERT_EQ(run({"img2png", file("p.jpg"), file("p.png")}), 0);

  ASSERT_EQ(run({"info", file("a.img")}, &json), 0);
  info = nlohmann::json::parse(json);
  EXPECT_EQ(info["compression"], 5);
  EXPECT_GT(info["sizes"]["jpeg"].get<int>(), 100);

  std::ofstream(file("bad.img")) << "PIK";
  EXPECT_EQ(run({"info", file("bad.img")}), 2);
  EXPECT_EQ(run({"img2png", file("bad.img"), file("x.png")}), 2);
  EXPECT_EQ(run({"png2img", file("in.png"), file("x.img"), "--compression", "1"}), 1);
  EXPECT_EQ(run({"png2img", file("in.png")}), 1);
  EXPECT_EQ(run({"psd2png", file("a.img"), file("o")}), 2);
}
