// IMG files: every compression type written and read back, the three layouts, depth conversions,
// packing in memory, hostile files, PSD layers and loading by extension.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <zlib.h>

#include "files/bytereader.h"
#include "foundation/log.h"
#include "graphics/formats/codecs.h"
#include "graphics/formats/image.h"
#include "graphics/formats/png.h"
#include "graphics/formats/psd.h"

namespace {

std::vector<std::string> g_warnings;
void captureSink(tarnvik::log::Level level, std::string_view text) {
  if (level == tarnvik::log::Level::warn) g_warnings.emplace_back(text);
}

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_warnings.clear();
    tarnvik::log::setSink(captureSink);
    tarnvik::log::setLevel(tarnvik::log::Level::warn);
  }
  void TearDown() override {
    tarnvik::log::setSink(nullptr);
    tarnvik::log::setLevel(tarnvik::log::Level::off);
  }
};

// An image with flat areas, a gradient and noise, and an alpha plane of all kinds of values.
void paint(CImage& image, int w, int h, bool alpha, uint32_t seed = 1) {
  ASSERT_TRUE(image.create(w, h, 16, alpha));
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint16_t p = x < w / 3 ? 0xF800 : x < 2 * w / 3 ? static_cast<uint16_t>(x * 97 + y) : static_cast<uint16_t>(random());
      image.pixels16()[y * w + x] = p;
      if (alpha) image.GetAlphaPtr()[y * w + x] = static_cast<uint8_t>(y % 2 ? 255 : (x * 37) & 0xFF);
    }
}

void expectSame(CImage& a, CImage& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  ASSERT_EQ(a.hasAlpha(), b.hasAlpha());
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << x << "," << y;
      ASSERT_EQ(a.GetAlpha(x, y), b.GetAlpha(x, y)) << x << "," << y;
    }
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

std::vector<uint8_t> pikHeader(int w, int h, int depth, uint32_t colourSize, int compression, uint32_t alphaSize,
                               int x = 0, int y = 0) {
  std::vector<uint8_t> out{'P', 'I', 'K', 0};
  for (uint32_t v : {uint32_t(w), uint32_t(h), uint32_t(depth), colourSize, 0u, uint32_t(compression), alphaSize,
                     uint32_t(x), uint32_t(y)})
    put32(out, v);
  return out;
}

}  // namespace

TEST_F(ImageTest, EveryLosslessTypeReadsBackExactly) {
  struct Case {
    int w, h;
    bool alpha;
  };
  for (int type : {0, 2, 3, 4}) {
    for (Case c : {Case{1, 1, false}, Case{1, 9, true}, Case{13, 7, true}, Case{64, 40, false}, Case{3, 5, true}}) {
      CImage image;
      paint(image, c.w, c.h, c.alpha);
      image.SetPosition(-5, 17);
      std::vector<uint8_t> bytes;
      ASSERT_TRUE(image.SaveToMemory(type, bytes)) << type;
      CImage back;
      ASSERT_TRUE(back.LoadFromMemory(bytes.data(), bytes.size())) << type << " " << c.w << "x" << c.h;
      expectSame(image, back);
      EXPECT_EQ(back.GetPosition(), CXPoint(-5, 17));
      EXPECT_EQ(back.GetCompression(), 0);
      CImageFileInfo info;
      ASSERT_TRUE(CImage::probe(bytes.data(), bytes.size(), info));
      EXPECT_EQ(info.compression, type);
    }
  }
  EXPECT_TRUE(g_warnings.empty());
}

TEST_F(ImageTest, JpegTypeKeepsAlphaExactlyAndColourClosely) {
  CImage image;
  ASSERT_TRUE(image.create(33, 17, 16, true));
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x) {
      image.pixels16()[y * 33 + x] = static_cast<uint16_t>(((x * 31 / 32) << 11) | ((y * 3) << 5) | 12);
      image.GetAlphaPtr()[y * 33 + x] = static_cast<uint8_t>(x * 7);
    }
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(image.SaveToMemory(CImage::kJPEG, bytes));
  CImage back;
  ASSERT_TRUE(back.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_EQ(back.Width(), 33);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x) {
      EXPECT_EQ(back.GetAlpha(x, y), x * 7);
      uint16_t a = image.GetPixel(x, y), b = back.GetPixel(x, y);
      EXPECT_NEAR(a >> 11, b >> 11, 3);
      EXPECT_NEAR((a >> 5) & 63, (b >> 5) & 63, 5);
      EXPECT_NEAR(a & 31, b & 31, 3);
    }
}

TEST_F(ImageTest, SavingAClippedImageWritesThatPartAndMovesThePosition) {
  CImage image;
  paint(image, 10, 8, true);
  image.SetPosition(100, 200);
  image.SetClippingRect(CXRect(2, 3, 7, 5));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(image.SaveToMemory(CImage::kRLE, bytes));
  CImage part;
  ASSERT_TRUE(part.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_EQ(part.Width(), 5);
  ASSERT_EQ(part.Height(), 2);
  EXPECT_EQ(part.GetPosition(), CXPoint(102, 203));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(part.GetPixel(x, y), image.GetPixel(x + 2, y + 3));
      EXPECT_EQ(part.GetAlpha(x, y), image.GetAlpha(x + 2, y + 3));
    }
  // A clipping rectangle covering the whole image writes the whole image.
  image.SetClippingRect(CXRect(-4, -4, 40, 40));
  ASSERT_TRUE(image.SaveToMemory(CImage::kNone, bytes));
  ASSERT_TRUE(part.LoadFromMemory(bytes.data(), bytes.size()));
  EXPECT_EQ(part.Width(), 10);
  EXPECT_EQ(part.GetPosition(), CXPoint(100, 200));
}

TEST_F(ImageTest, UnwritableTypesAreRefused) {
  CImage image;
  paint(image, 4, 4, false);
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(image.SaveToMemory(1, bytes));
  EXPECT_FALSE(image.SaveToMemory(6, bytes));
  CImage empty;
  EXPECT_FALSE(empty.SaveToMemory(0, bytes));
  EXPECT_EQ(g_warnings.size(), 3u);
}

TEST_F(ImageTest, UncompressedTypeOfTheWrongLengthIsAnLzoBlock) {
  std::vector<uint16_t> pixels(6 * 4, 0x1234);
  pixels[5] = 0x0001;
  std::vector<uint8_t> block =
      CLZWCompression2::compress(reinterpret_cast<const uint8_t*>(pixels.data()), pixels.size() * 2);
  std::vector<uint8_t> file = pikHeader(6, 4, 16, 48, 0, 0);
  file.insert(file.end(), block.begin(), block.end());
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size()));
  EXPECT_EQ(image.GetPixel(5, 0), 0x0001);
  EXPECT_EQ(image.GetPixel(0, 3), 0x1234);
  EXPECT_FALSE(image.hasAlpha());
  EXPECT_EQ(image.GetAlpha(0, 0), 255);
}

TEST_F(ImageTest, RunLengthImageWhoseLastGroupRunsPastItIsDrawn) {
  // 2 x 2 pixels: a literal pixel, then a repeat group of 5 where 3 remain; alpha likewise.
  std::vector<uint8_t> colour{1, 0x34, 0x12, 128 + 5, 0x01, 0x00};
  std::vector<uint8_t> alpha{128 + 9, 200};
  std::vector<uint8_t> file = pikHeader(2, 2, 16, static_cast<uint32_t>(colour.size()), 4,
                                        static_cast<uint32_t>(alpha.size()));
  file.insert(file.end(), colour.begin(), colour.end());
  file.insert(file.end(), alpha.begin(), alpha.end());
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size()));
  EXPECT_EQ(image.GetPixel(0, 0), 0x1234);
  EXPECT_EQ(image.GetPixel(1, 0), 0x0001);
  EXPECT_EQ(image.GetPixel(1, 1), 0x0001);
  EXPECT_EQ(image.GetAlpha(1, 1), 200);
}

TEST_F(ImageTest, DepthCodesAndConversionsAtTheBitEdges) {
  // Codes 2 and 4 name 15 and 16 bits; 15-bit files stay 5-5-5 in memory.
  for (auto [code, bpp] : {std::pair{2, 15}, std::pair{4, 16}, std::pair{15, 15}, std::pair{16, 16}}) {
    std::vector<uint8_t> file = pikHeader(2, 1, code, 4, 0, 0);
    put16(file, 0x7FFF);
    put16(file, 0x0421);
    CImage image;
    ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size())) << code;
    EXPECT_EQ(image.GetRealBpp(), bpp);
    EXPECT_EQ(image.GetPixel(0, 0), 0x7FFF);
  }
  // Code 8 (24 bits, blue, green, red) and 32 bits become 5-6-5 from the top bits of each byte.
  std::vector<uint8_t> file = pikHeader(3, 1, 8, 9, 0, 0);
  for (uint8_t b : {0x07, 0x03, 0xF8, 0xFF, 0xFF, 0xFF, 0x08, 0x04, 0x07}) file.push_back(b);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size()));
  EXPECT_EQ(image.GetRealBpp(), 16);
  EXPECT_EQ(image.GetPixel(0, 0), 0xF800);
  EXPECT_EQ(image.GetPixel(1, 0), 0xFFFF);
  EXPECT_EQ(image.GetPixel(2, 0), 0x0021);
  file = pikHeader(1, 1, 32, 4, 0, 0);
  for (uint8_t b : {0x00, 0xFC, 0x00, 0xAA}) file.push_back(b);
  ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size()));
  EXPECT_EQ(image.GetPixel(0, 0), 0x07E0);

  EXPECT_EQ(CImage::_convert15to16(0x7FFF), 0xFFDF);
  EXPECT_EQ(CImage::_convert15to16(0x0020), 0x0040);
  EXPECT_EQ(CImage::_convert15to16(0x001F), 0x001F);
  EXPECT_EQ(CImage::_convert16to15(0xFFFF), 0x7FFF);
  EXPECT_EQ(CImage::_convert16to15(0x0020), 0x0000);
  EXPECT_EQ(CImage::_convert16to15(0x0040), 0x0020);
  EXPECT_EQ(CImage::_convert32to16(0x00F8FCF8), 0xFFFF);
  EXPECT_EQ(CImage::_convert32to16(0x00070307), 0x0000);
  EXPECT_EQ(CImage::__get_pixel_size(24), 3);
  EXPECT_EQ(CImage::__get_pixel_size(7), 1);
  EXPECT_EQ(CImage::__get_data_size(3, 2, 32), 24u);
}

TEST_F(ImageTest, NviLayoutUncompressedAndLzw) {
  const int w = 5, h = 3;
  std::vector<uint8_t> colour, alpha;
  for (int i = 0; i < w * h; ++i) {
    put16(colour, static_cast<uint16_t>(i * 1111));
    alpha.push_back(static_cast<uint8_t>(i * 17));
  }
  for (int compression : {0, 2}) {
    std::vector<uint8_t> c = compression ? CLZWCompression::compress(colour.data(), colour.size()) : colour;
    std::vector<uint8_t> a = compression ? CLZWCompression::compress(alpha.data(), alpha.size()) : alpha;
    std::vector<uint8_t> file{'N', 'V', 'I', 0};
    put16(file, w);
    put16(file, h);
    file.push_back(16);
    put32(file, static_cast<uint32_t>(c.size()));
    put32(file, static_cast<uint32_t>(a.size()));
    put16(file, static_cast<uint16_t>(-3));
    put16(file, 40);
    put32(file, static_cast<uint32_t>(compression));
    file.resize(37, 0);
    file.insert(file.end(), c.begin(), c.end());
    file.insert(file.end(), a.begin(), a.end());
    CImage image;
    ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size())) << compression;
    EXPECT_EQ(image.GetPosition(), CXPoint(-3, 40));
    EXPECT_EQ(image.GetPixel(4, 2), static_cast<uint16_t>(14 * 1111));
    EXPECT_EQ(image.GetAlpha(4, 2), 14 * 17);
    CImageFileInfo info;
    ASSERT_TRUE(CImage::probe(file.data(), file.size(), info));
    EXPECT_EQ(info.layout, "NVI");
  }
}

TEST_F(ImageTest, OldestLayoutWithAlphaFlag) {
  std::vector<uint8_t> file(80, 0);
  put16(file, 2);        // width
  put16(file, 2);        // height
  file.resize(90, 0);    // six bytes not used
  put16(file, 0x404);    // 16 bits, alpha plane
  for (uint16_t p : {0xF800, 0x07E0, 0x001F, 0xFFFF}) put16(file, p);
  for (uint8_t a : {0, 85, 170, 255}) file.push_back(a);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(file.data(), file.size()));
  EXPECT_EQ(image.GetPixel(1, 0), 0x07E0);
  EXPECT_EQ(image.GetAlpha(0, 1), 170);
  CImageFileInfo info;
  ASSERT_TRUE(CImage::probe(file.data(), file.size(), info));
  EXPECT_EQ(info.layout, "old");
  EXPECT_EQ(info.depth, 16);
}

TEST_F(ImageTest, HostileFilesAreRefusedAndLeaveTheImageEmpty) {
  std::vector<std::vector<uint8_t>> files;
  // 100000 x 100000 in 60 bytes.
  files.push_back(pikHeader(100000, 100000, 16, 20, 0, 0));
  files.back().resize(60, 0);
  // An alpha size larger than the file: the colour length would be negative.
  files.push_back(pikHeader(2, 2, 16, 8, 0, 1000));
  files.back().resize(48, 0);
  // An LZO block stating a huge unpacked size.
  files.push_back(pikHeader(2, 2, 16, 8, 2, 0));
  for (uint8_t b : {0xFF, 0xFF, 0xFF, 0x0F, 2, 0, 0, 0, 0x11, 0}) files.back().push_back(b);
  // A run-length repeat group that cannot fill the image.
  files.push_back(pikHeader(2, 2, 16, 3, 4, 0));
  for (uint8_t b : {128 + 3, 1, 2}) files.back().push_back(b);
  // Run-length colour fine, alpha short.
  files.push_back(pikHeader(2, 2, 16, 3, 4, 2));
  for (uint8_t b : {128 + 4, 1, 2, 128 + 3, 255}) files.back().push_back(b);
  // Unknown compression, unknown depth, a JPEG length past the data, a broken JPEG stream.
  files.push_back(pikHeader(1, 1, 16, 2, 7, 0));
  files.back().resize(44, 0);
  files.push_back(pikHeader(1, 1, 12, 2, 0, 0));
  files.back().resize(42, 0);
  files.push_back(pikHeader(1, 1, 16, 99, 5, 0));
  files.back().resize(50, 0);
  files.push_back(pikHeader(1, 1, 16, 6, 5, 0));
  for (uint8_t b : {0xFF, 0xD8, 0xFF, 0xE0, 0, 9}) files.back().push_back(b);
  // A type-3 block whose run-length content does not fill the image.
  {
    std::vector<uint8_t> rle{2, 1, 0, 2, 0};
    std::vector<uint8_t> block = CLZWCompression2::compress(rle.data(), rle.size());
    files.push_back(pikHeader(2, 2, 16, 0, 3, 0));
    files.back().insert(files.back().end(), block.begin(), block.end());
  }
  // NVI: data sizes past the end; LZW whose unpacked size disagrees with the image.
  {
    std::vector<uint8_t> nvi{'N', 'V', 'I', 0, 2, 0, 2, 0, 16};
    put32(nvi, 5000);
    put32(nvi, 0);
    nvi.resize(45, 0);
    files.push_back(nvi);
    std::vector<uint8_t> data(6, 1);
    std::vector<uint8_t> lzw = CLZWCompression::compress(data.data(), data.size());
    std::vector<uint8_t> nvi2{'N', 'V', 'I', 0, 2, 0, 2, 0, 16};
    put32(nvi2, static_cast<uint32_t>(lzw.size()));
    put32(nvi2, 0);
    put32(nvi2, 0);
    put32(nvi2, 2);
    nvi2.resize(37, 0);
    nvi2.insert(nvi2.end(), lzw.begin(), lzw.end());
    files.push_back(nvi2);
  }
  // Too short for any header, and a truncated valid file of each type.
  files.push_back({'P', 'I', 'K', 0, 1});
  CImage good;
  paint(good, 9, 9, true);
  for (int type : {0, 2, 3, 4, 5}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(good.SaveToMemory(type, bytes));
    bytes.resize(bytes.size() - 5);
    files.push_back(bytes);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    g_warnings.clear();
    tarnvik::log::resetRepeats();  // each file's own warning, though several files fail alike
    CImage image;
    paint(image, 3, 3, true);  // whatever was there before goes
    EXPECT_FALSE(image.LoadFromMemory(files[i].data(), files[i].size())) << "file " << i;
    EXPECT_EQ(image.Width(), 0) << i;
    EXPECT_EQ(image.GetDataPtr(), nullptr) << i;
    EXPECT_FALSE(image.hasAlpha()) << i;
    EXPECT_EQ(g_warnings.size(), 1u) << i;
  }
}

TEST_F(ImageTest, PackedImagesFreeAndRestoreTheirPixels) {
  CImage image;
  paint(image, 31, 11, true);
  CImage copy;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(image.SaveToMemory(0, bytes));
  ASSERT_TRUE(copy.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_TRUE(image.pack());
  EXPECT_TRUE(image.isPacked());
  EXPECT_EQ(image.Width(), 31);
  EXPECT_EQ(image.pixels(), nullptr);
  ASSERT_TRUE(image.unpack());
  expectSame(image, copy);
  // A type-4 file keeps its blocks: back to packed, and unpacked again on first use.
  ASSERT_TRUE(copy.SaveToMemory(4, bytes));
  CImage rle;
  ASSERT_TRUE(rle.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_TRUE(rle.bringBackCompressed());
  EXPECT_TRUE(rle.isPacked());
  EXPECT_NE(rle.GetDataPtr(), nullptr);
  EXPECT_FALSE(rle.isPacked());
  expectSame(rle, copy);
  // Other types are left as they are by Compress.
  EXPECT_TRUE(copy.Compress(2));
  EXPECT_TRUE(copy.bringBackCompressed());
  EXPECT_FALSE(copy.isPacked());
}

TEST_F(ImageTest, PsdLayersByIndexAndName) {
  std::vector<CPSD::Layer> layers(2);
  layers[0].name = CXString("Sky");
  layers[0].rect = CXRect(0, 0, 4, 3);
  layers[0].rgba.assign(4 * 3 * 4, 0);
  for (size_t i = 0; i < 12; ++i) {
    layers[0].rgba[i * 4 + 0] = 0xFF;
    layers[0].rgba[i * 4 + 2] = static_cast<uint8_t>(i * 20);
    layers[0].rgba[i * 4 + 3] = 255;
  }
  layers[1].name = CXString("Boat");
  layers[1].rect = CXRect(10, 5, 12, 6);
  layers[1].rgba = {0, 0xFC, 0, 128, 8, 4, 8, 0};
  std::vector<uint8_t> file = CPSD::write(20, 10, layers);
  CPSD psd;
  ASSERT_TRUE(psd.LoadFromMemory(file.data(), file.size()));
  ASSERT_EQ(psd.GetLayerCount(), 2);
  EXPECT_EQ(psd.GetLayerName(1).str(), "Boat");
  EXPECT_EQ(psd.GetLayerRect(1), CXRect(10, 5, 12, 6));
  EXPECT_EQ(psd.GetLayerName(5).str(), "");
  ASSERT_TRUE(psd.SelectLayer(CXString("Boat")));
  EXPECT_EQ(psd.Width(), 2);
  EXPECT_EQ(psd.GetPosition(), CXPoint(10, 5));
  EXPECT_EQ(psd.GetPixel(0, 0), 0x07E0);
  EXPECT_EQ(psd.GetAlpha(0, 0), 128);
  EXPECT_EQ(psd.GetPixel(1, 0), 0x0821);
  ASSERT_TRUE(psd.SelectLayer(0));
  EXPECT_EQ(psd.GetPixel(3, 2), static_cast<uint16_t>(0xF800 | (220 >> 3)));
  EXPECT_FALSE(psd.SelectLayer(CXString("Sea")));
  // An empty layer is kept (name and rectangle) but cannot be selected.
  layers.push_back(CPSD::Layer{CXString("Nothing"), CXRect(3, 3, 3, 3), {}});
  std::vector<uint8_t> withEmpty = CPSD::write(20, 10, layers);
  CPSD three;
  ASSERT_TRUE(three.LoadFromMemory(withEmpty.data(), withEmpty.size()));
  ASSERT_EQ(three.GetLayerCount(), 3);
  EXPECT_EQ(three.GetLayerName(2).str(), "Nothing");
  EXPECT_FALSE(three.SelectLayer(2));
  // Cut anywhere, the document is refused.
  for (size_t cut : {size_t(10), size_t(40), size_t(60), file.size() - 610}) {
    CPSD broken;
    EXPECT_FALSE(broken.LoadFromMemory(file.data(), cut)) << cut;
    EXPECT_EQ(broken.GetLayerCount(), 0);
  }
}

TEST_F(ImageTest, PsdDocumentsAsImageMagickWritesThem) {
  if (std::system("convert -version 2>/dev/null | grep -q ImageMagick") != 0)
    GTEST_SKIP() << "ImageMagick's convert is not installed (make deps installs it)";
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tarnvik-psd-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  // Two pictures of different sizes, with alpha (never 0, so no writer may drop a colour).
  struct Picture {
    int w, h;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;
  };
  std::vector<Picture> pictures;
  for (auto [w, h, seed] : {std::tuple{13, 7, 1u}, std::tuple{6, 11, 2u}}) {
    Picture p{w, h, {}, {}};
    std::mt19937 random(seed);
    for (int i = 0; i < w * h; ++i) {
      p.pixels.push_back(i % 5 == 0 ? 0x07E0 : static_cast<uint16_t>(random()));
      p.alpha.push_back(static_cast<uint8_t>(1 + random() % 255));
    }
    pictures.push_back(std::move(p));
  }
  std::vector<tarnvik::png::Image> expected;
  for (size_t i = 0; i < pictures.size(); ++i) {
    std::string name = "p0.png", error;
    name[1] = static_cast<char>('0' + i);
    std::string file = (dir / name).string();
    const Picture& p = pictures[i];
    ASSERT_TRUE(tarnvik::png::write565(file, p.pixels.data(), p.w, p.w, p.h, error, p.alpha.data())) << error;
    tarnvik::png::Image image;
    ASSERT_TRUE(tarnvik::png::read(file, image, error)) << error;
    ASSERT_EQ(image.channels, 4);
    expected.push_back(std::move(image));
  }
  // Every depth and channel compression ImageMagick writes: raw, PackBits, ZIP (with prediction at 16 bits).
  for (const char* depth : {"8", "16"})
    for (const char* compress : {"None", "RLE", "Zip"}) {
      SCOPED_TRACE(std::string(depth) + " bits, " + compress);
      std::string out = (dir / "out.psd").string();
      std::string command = "cd '" + dir.string() + "' && convert p0.png p0.png p1.png -depth " + depth + " -compress " +
                            compress + " out.psd";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      std::ifstream in(out, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      CPSD psd;
      ASSERT_TRUE(psd.LoadFromMemory(bytes.data(), bytes.size())) << (g_warnings.empty() ? "" : g_warnings.back());
      // Each picture is a layer of its size whose pixels are the picture's.
      for (const tarnvik::png::Image& picture : expected) {
        bool found = false;
        for (int l = 0; l < psd.GetLayerCount() && !found; ++l) {
          const CPSD::Layer* layer = psd.getLayer(l);
          found = layer->rect.width() == picture.width && layer->rect.height() == picture.height &&
                  layer->rgba == picture.pixels;
        }
        EXPECT_TRUE(found) << "a layer of " << picture.width << " x " << picture.height;
      }
    }
  fs::remove_all(dir);
}

TEST_F(ImageTest, PsdChannelsOfEveryCompressionDepthAndLength) {
  // A hand-made 16-bit document: one 3 x 2 layer, red raw, green ZIP, blue ZIP with prediction,
  // a transparency channel of length 0, and a negative layer count.
  auto be16 = [](std::vector<uint8_t>& v, uint16_t x) { v.push_back(x >> 8); v.push_back(x & 0xFF); };
  auto be32 = [&](std::vector<uint8_t>& v, uint32_t x) { be16(v, x >> 16); be16(v, x & 0xFFFF); };
  const uint16_t samples[6] = {0x0000, 0x1234, 0xFFFF, 0x8080, 0x0101, 0x7FFF};
  std::vector<uint8_t> raw;
  for (uint16_t v : samples) be16(raw, v);
  std::vector<uint8_t> predicted;
  for (int row = 0; row < 2; ++row)
    for (int x = 0; x < 3; ++x) be16(predicted, static_cast<uint16_t>(samples[row * 3 + x] - (x ? samples[row * 3 + x - 1] : 0)));
  auto zip = [](const std::vector<uint8_t>& data) {
    uLongf size = compressBound(data.size());
    std::vector<uint8_t> out(size);
    compress(out.data(), &size, data.data(), data.size());
    out.resize(size);
    return out;
  };
  std::vector<std::vector<uint8_t>> channels(3);
  be16(channels[0], 0);
  channels[0].insert(channels[0].end(), raw.begin(), raw.end());
  be16(channels[1], 2);
  std::vector<uint8_t> z = zip(raw);
  channels[1].insert(channels[1].end(), z.begin(), z.end());
  be16(channels[2], 3);
  z = zip(predicted);
  channels[2].insert(channels[2].end(), z.begin(), z.end());
  std::vector<uint8_t> info;
  be16(info, static_cast<uint16_t>(-1));
  for (uint32_t v : {0u, 0u, 2u, 3u}) be32(info, v);  // top, left, bottom, right
  be16(info, 4);
  for (int c = 0; c < 3; ++c) {
    be16(info, static_cast<uint16_t>(c));
    be32(info, static_cast<uint32_t>(channels[c].size()));
  }
  be16(info, static_cast<uint16_t>(-1));
  be32(info, 0);
  for (char ch : std::string("8BIMnorm")) info.push_back(static_cast<uint8_t>(ch));
  for (uint8_t b : {255, 0, 0, 0}) info.push_back(b);
  be32(info, 12);
  be32(info, 0);
  be32(info, 0);
  for (char b : {'\3', 'A', 'b', 'c'}) info.push_back(static_cast<uint8_t>(b));
  for (const auto& c : channels) info.insert(info.end(), c.begin(), c.end());
  std::vector<uint8_t> file{'8', 'B', 'P', 'S'};
  be16(file, 1);
  file.resize(file.size() + 6, 0);
  be16(file, 4);
  be32(file, 2);
  be32(file, 3);
  be16(file, 16);
  be16(file, 3);
  be32(file, 0);
  be32(file, 0);
  be32(file, static_cast<uint32_t>(info.size() + 8));
  be32(file, static_cast<uint32_t>(info.size()));
  file.insert(file.end(), info.begin(), info.end());
  be32(file, 0);
  CPSD psd;
  ASSERT_TRUE(psd.LoadFromMemory(file.data(), file.size())) << (g_warnings.empty() ? "" : g_warnings.back());
  ASSERT_EQ(psd.GetLayerCount(), 1);
  EXPECT_EQ(psd.GetLayerName(0).str(), "Abc");
  const CPSD::Layer* layer = psd.getLayer(0);
  for (int p = 0; p < 6; ++p)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(layer->rgba[p * 4 + c], samples[p] >> 8) << p << " " << c;
  EXPECT_EQ(layer->rgba[3], 255) << "a transparency channel without data leaves the layer opaque";
}

TEST_F(ImageTest, LoadingByExtension) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tarnvik_img_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  CImage image;
  paint(image, 8, 6, true);
  ASSERT_TRUE(image.Save(CXString((dir / "a.IMG").string()), CImage::kLZORLE));
  ASSERT_TRUE(CImageFile::Save(&image, CXString((dir / "b.jpg").string()), 0));
  EXPECT_FALSE(CImageFile::Save(&image, CXString((dir / "c.bmp").string()), 0));
  std::vector<CPSD::Layer> layers(1);
  layers[0].name = CXString("L");
  layers[0].rect = CXRect(0, 0, 1, 1);
  layers[0].rgba = {1, 2, 3, 4};
  std::vector<uint8_t> psd = CPSD::write(1, 1, layers);
  std::ofstream(dir / "d.psd", std::ios::binary).write(reinterpret_cast<const char*>(psd.data()), psd.size());

  CImageFile file;
  EXPECT_EQ(file.Load(nullptr, CXString((dir / "a.IMG").string())), CImageFile::kImage);
  ASSERT_NE(file.getObject(), nullptr);
  EXPECT_EQ(file.getObject()->Width(), 8);
  EXPECT_EQ(file.Load(nullptr, CXString((dir / "b.jpg").string())), CImageFile::kImage);
  EXPECT_FALSE(file.getObject()->hasAlpha());
  EXPECT_EQ(file.Load(nullptr, CXString((dir / "d.psd").string())), CImageFile::kPSD);
  EXPECT_EQ(file.Load(nullptr, CXString((dir / "e.ann").string())), CImageFile::kNoFile);
  EXPECT_EQ(file.getObject(), nullptr);
  EXPECT_EQ(file.Load(nullptr, CXString((dir / "missing.img").string())), CImageFile::kNoFile);
  // A JPEG under an IMG name is not an IMG file; any other name is read as JPEG.
  std::filesystem::copy_file(dir / "b.jpg", dir / "f.img");
  std::filesystem::copy_file(dir / "b.jpg", dir / "g.bmp");
  CImage jpeg;
  EXPECT_FALSE(jpeg.Load(nullptr, CXString((dir / "f.img").string())));
  EXPECT_TRUE(jpeg.Load(nullptr, CXString((dir / "g.bmp").string())));
  EXPECT_EQ(jpeg.Width(), 8);
  std::filesystem::remove_all(dir);
}

// Writes the fuzz seed corpora with our own writers: run by hand with TARNVIK_SEED_DIR set and
// --gtest_also_run_disabled_tests --gtest_filter='*WriteFuzzSeeds*'.
TEST_F(ImageTest, DISABLED_WriteFuzzSeeds) {
  const char* root = std::getenv("TARNVIK_SEED_DIR");
  ASSERT_NE(root, nullptr);
  auto write = [&](const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(root) / target);
    std::ofstream(std::filesystem::path(root) / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  CImage image;
  paint(image, 6, 5, true);
  image.SetPosition(3, -2);
  CImage plain;
  paint(plain, 7, 3, false);
  for (int type : {0, 2, 3, 4, 5}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(image.SaveToMemory(type, bytes));
    write("image_reader", "pik_alpha_type" + std::to_string(type) + ".img", bytes);
    ASSERT_TRUE(plain.SaveToMemory(type, bytes));
    write("image_reader", "pik_type" + std::to_string(type) + ".img", bytes);
  }
  std::vector<uint8_t> colour, alpha;
  for (int i = 0; i < 12; ++i) {
    put16(colour, static_cast<uint16_t>(i * 3001));
    alpha.push_back(static_cast<uint8_t>(i * 20));
  }
  for (int compression : {0, 2}) {
    std::vector<uint8_t> c = compression ? CLZWCompression::compress(colour.data(), colour.size()) : colour;
    std::vector<uint8_t> a = compression ? CLZWCompression::compress(alpha.data(), alpha.size()) : alpha;
    std::vector<uint8_t> file{'N', 'V', 'I', 0, 4, 0, 3, 0, 16};
    put32(file, static_cast<uint32_t>(c.size()));
    put32(file, static_cast<uint32_t>(a.size()));
    put16(file, 1);
    put16(file, 2);
    put32(file, static_cast<uint32_t>(compression));
    file.resize(37, 0);
    file.insert(file.end(), c.begin(), c.end());
    file.insert(file.end(), a.begin(), a.end());
    write("image_reader", "nvi_type" + std::to_string(compression) + ".img", file);
  }
  std::vector<uint8_t> old(80, 0);
  put16(old, 4);
  put16(old, 3);
  old.resize(90, 0);
  put16(old, 0x404);
  old.insert(old.end(), colour.begin(), colour.end());
  old.insert(old.end(), alpha.begin(), alpha.end());
  write("image_reader", "oldest.img", old);
  std::vector<uint8_t> jpegImg;
  ASSERT_TRUE(plain.SaveToMemory(CImage::kJPEG, jpegImg));
  write("image_reader", "plain.jpg", std::vector<uint8_t>(jpegImg.begin() + 40, jpegImg.end()));
  std::vector<CPSD::Layer> layers(2);
  layers[0].name = CXString("A");
  layers[0].rect = CXRect(0, 0, 3, 2);
  layers[0].rgba.assign(24, 90);
  layers[1].name = CXString("B");
  layers[1].rect = CXRect(1, 1, 3, 3);
  layers[1].rgba = {1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9, 0, 0, 0, 0};
  write("image_reader", "layers.psd", CPSD::write(4, 4, layers));

  // Codec seeds: codec number, expected size / 4 (two bytes), then the packed data.
  std::vector<uint8_t> data(64);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i < 30 ? 7 : i * 5);
  auto seed = [&](int codec, const std::vector<uint8_t>& packed) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(codec), 16, 0};
    bytes.insert(bytes.end(), packed.begin(), packed.end());
    write("codecs", "codec" + std::to_string(codec), bytes);
  };
  seed(0, CRLECompression::__compress(data.data(), data.size()));
  seed(1, CRLECompression::__compresschar(data.data(), data.size()));
  seed(2, CLZWCompression::compress(data.data(), data.size()));
  seed(3, CLZWCompression2::compress(data.data(), data.size()));
  seed(4, CRLECompression2::encodeRow(data.data(), data.size()));
}
