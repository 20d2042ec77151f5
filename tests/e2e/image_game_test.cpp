// Games with IMAGE objects, built by the test in a temporary folder and played headless: method
// results and collision events through TOINI values, the composed screen through --screenshot.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "graphics/image.h"
#include "settings/config.h"

namespace fs = std::filesystem;

namespace {

class ImageGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-img-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "game" / "Dane" / "S");
  }
  void TearDown() override { if (!HasFailure()) fs::remove_all(dir_); }

  void write(const fs::path& relative, const std::string& text) {
    std::ofstream(dir_ / "game" / relative, std::ios::binary) << text;
  }
  // An IMG file whose pixels and alpha come from the functions (alpha absent when none is given).
  void writeImage(const fs::path& relative, int w, int h, int x, int y, const std::function<uint16_t(int, int)>& pixel,
                  const std::function<uint8_t(int, int)>& alpha = {}) {
    CImage image;
    ASSERT_TRUE(image.create(w, h, 16, static_cast<bool>(alpha)));
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px) {
        image.pixels16()[py * w + px] = pixel(px, py);
        if (alpha) image.GetAlphaPtr()[py * w + px] = alpha(px, py);
      }
    image.SetPosition(x, y);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(image.SaveToMemory(CImage::kNone, bytes));
    std::ofstream(dir_ / "game" / relative, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                   static_cast<std::streamsize>(bytes.size()));
  }
  void scene(const std::string& cnv, const std::string& sceneKeys = "") {
    write("Dane/application.def",
          "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
          "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n" + sceneKeys);
    write("Dane/S/S.cnv", cnv);
  }
  // Plays the game headless; returns the exit status.
  int play(int frames, const std::vector<std::string>& more = {}) {
    pid_t pid = fork();
    if (pid == 0) {
      if (!freopen((dir_ / "out").c_str(), "w", stdout) || !freopen((dir_ / "err").c_str(), "w", stderr)) _exit(120);
      setenv("XDG_DATA_HOME", (dir_ / "xdg").c_str(), 1);
      std::string program = std::string(TARNVIK_BUILD_DIR) + "/tarnvik";
      std::vector<std::string> args{program, "--headless", "--frames", std::to_string(frames), "--settings",
                                    (dir_ / "settings.ini").string()};
      args.insert(args.end(), more.begin(), more.end());
      args.insert(args.end(), {"-path", (dir_ / "game").string()});
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(121);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string err() const {
    std::ifstream in(dir_ / "err");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  int value(const char* key) const { return CConfig((dir_ / "settings.ini").string()).GetInt("S", key, -999); }
  std::string text(const char* key) const {
    return CConfig((dir_ / "settings.ini").string()).GetString("S", key, "<absent>").str();
  }
  fs::path dir_;
};

// Declares TOINI integers.
std::string integers(std::initializer_list<const char*> names) {
  std::string out;
  for (const char* n : names) out += std::string("OBJECT=") + n + "\n" + n + ":TYPE=INTEGER\n" + n + ":TOINI=TRUE\n";
  return out;
}

TEST_F(ImageGameTest, MethodsReportSizesPositionsPixelsAndPriorities) {
  writeImage("Dane/S/a.img", 10, 6, 100, 50, [](int x, int y) { return static_cast<uint16_t>(x + 16 * y); },
             [](int x, int) { return static_cast<uint8_t>(x * 20); });
  scene(integers({"W", "H", "X", "Y", "X2", "Y2", "CX", "PRI", "PRI2", "HIDDENPRI", "ALPHA", "PIXEL", "RED", "INSIDE",
                  "OUTSIDE", "ALPHAHIT", "VIS", "MADE"}) +
        "OBJECT=A\nA:TYPE=IMAGE\nA:FILENAME=a.img\nA:TOCANVAS=TRUE\nA:VISIBLE=TRUE\nA:PRIORITY=7\n"
        "OBJECT=OFF\nOFF:TYPE=IMAGE\nOFF:FILENAME=a.img\n"
        "OBJECT=S\nS:ONINIT={W^SET(A^GETWIDTH());H^SET(A^GETHEIGHT());X^SET(A^GETPOSITIONX());Y^SET(A^GETPOSITIONY());"
        "PRI^SET(A^GETPRIORITY());HIDDENPRI^SET(OFF^GETPRIORITY());ALPHA^SET(A^GETALPHA(3,0));"
        "PIXEL^SET(A^GETPIXEL(2,1));RED^SET(A^GETCOLORBAT(1,0));"
        "A^SETANCHOR(\"CENTER\");A^SETPOSITION(200,300);X2^SET(A^GETPOSITIONX());Y2^SET(A^GETPOSITIONY());"
        "CX^SET(A^GETCENTERX());A^SETPRIORITY(3);PRI2^SET(A^GETPRIORITY());"
        "INSIDE^SET(A^ISINSIDE(196,298,FALSE));OUTSIDE^SET(A^ISINSIDE(300,300,FALSE));"
        "ALPHAHIT^SET(A^ISINSIDE(195,298,TRUE));A^HIDE();VIS^SET(A^ISVISIBLE());"
        "@CREATE(\"IMAGE\",\"FRESH\");MADE^SET(FRESH^GETWIDTH());}\n");
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(value("W"), 10);
  EXPECT_EQ(value("H"), 6);
  EXPECT_EQ(value("X"), 100) << "the file's own position";
  EXPECT_EQ(value("Y"), 50);
  EXPECT_EQ(value("PRI"), 7);
  EXPECT_EQ(value("HIDDENPRI"), -1) << "an image without TOCANVAS is not on the screen";
  EXPECT_EQ(value("ALPHA"), 60);
  EXPECT_EQ(value("PIXEL"), 2 + 16);
  EXPECT_EQ(value("RED"), (1 << 3) | (1 >> 2)) << "blue of pixel 1: 5 bits widened";
  EXPECT_EQ(value("X2"), 200) << "positions go through the anchor";
  EXPECT_EQ(value("Y2"), 300);
  EXPECT_EQ(value("CX"), (195 + 205) / 2);
  EXPECT_EQ(value("PRI2"), 3);
  EXPECT_EQ(text("INSIDE"), "1");
  EXPECT_EQ(text("OUTSIDE"), "0");
  EXPECT_EQ(text("ALPHAHIT"), "0") << "column 0 is transparent";
  EXPECT_EQ(text("VIS"), "0");
  EXPECT_EQ(value("MADE"), 0) << "CREATE makes an empty image";
}

TEST_F(ImageGameTest, CollisionEventsNameThePartnerAndCountBeginsAndEnds) {
  writeImage("Dane/S/box.img", 10, 10, 0, 0, [](int, int) { return uint16_t{0xF800}; });
  scene(integers({"HITS", "ENDS", "PLAIN"}) +
        "OBJECT=A\nA:TYPE=IMAGE\nA:FILENAME=box.img\nA:TOCANVAS=TRUE\nA:VISIBLE=TRUE\nA:MONITORCOLLISION=TRUE\n"
        "OBJECT=B\nB:TYPE=IMAGE\nB:FILENAME=box.img\nB:TOCANVAS=TRUE\nB:VISIBLE=TRUE\nB:MONITORCOLLISION=TRUE\n"
        "B:ONCOLLISION^A={HITS^INC();}\nB:ONCOLLISION={PLAIN^INC();}\nB:ONCOLLISIONFINISHED={ENDS^INC();}\n"
        "OBJECT=STEP\nSTEP:TYPE=TIMER\nSTEP:ELAPSE=32\nSTEP:TICKS=6\n"
        "STEP:ONTICK={B^MOVE(8,0);}\n"
        "OBJECT=S\nS:ONINIT={B^SETPOSITION(-20,0);}\n");
  // B at -20, -12, -4 (overlaps A at 0..10), 4, 12 (apart), 20, 28.
  ASSERT_EQ(play(20), 0) << err();
  EXPECT_EQ(value("HITS"), 1);
  EXPECT_EQ(value("PLAIN"), 0) << "the handler for the partner's name is preferred";
  EXPECT_EQ(value("ENDS"), 1);
}

}  // namespace
