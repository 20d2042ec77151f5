// Decoding an 800 x 600 16-bit frame with an alpha plane in each compression type, against memcpy of
// the unpacked bytes and liblzo2 alone, on two kinds of art: large flat areas and photographic.
// Prints MB/s of output for each and the ratios the targets are stated in.
#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "graphics/formats/codecs.h"
#include "graphics/formats/image.h"
#include "times_reporter.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr size_t kPixels = size_t(kWidth) * kHeight;
constexpr size_t kOutput = kPixels * 3;  // colour (2 bytes) and alpha (1 byte) per pixel

struct Frame {
  CImage image;
  std::vector<uint8_t> colour, alpha;     // unpacked
  std::vector<uint8_t> files[6];          // IMG file per type (index = type)
  std::vector<uint8_t> lzoColour, lzoAlpha;          // LZO1X streams of the unpacked data (no prefix)
  std::vector<uint8_t> rleColour, rleAlpha;          // run-length data
  std::vector<uint8_t> lzoRleColour, lzoRleAlpha;    // LZO1X streams of the run-length data (no prefix)
  std::vector<uint8_t> lzoRleColourBlock, lzoRleAlphaBlock;  // the same as type-3 blocks
};

uint16_t rgb(int r, int g, int b) {
  return static_cast<uint16_t>((std::clamp(r, 0, 255) >> 3) << 11 | (std::clamp(g, 0, 255) >> 2) << 5 |
                               (std::clamp(b, 0, 255) >> 3));
}

// Game art: flat sky bands and ground, flat shapes with outlines.
// Photographic: smooth gradients with sensor noise, hardly two equal neighbours.
void paint(CImage& image, bool photographic) {
  image.create(kWidth, kHeight, 16, true);
  std::mt19937 random(7);
  uint16_t* p = image.pixels16();
  uint8_t* a = image.GetAlphaPtr();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint16_t v;
      if (photographic) {
        int n = static_cast<int>(random() % 24);
        v = rgb(static_cast<int>(128 + 100 * std::sin(x * 0.013 + y * 0.007)) + n,
                static_cast<int>(110 + 90 * std::cos(x * 0.011 - y * 0.017)) + n,
                static_cast<int>(90 + 60 * std::sin((x + y) * 0.021)) + n);
      } else if (y < 300) {
        v = rgb(90, 150 + y / 20 * 4, 230);  // sky in flat bands of 20 rows
      } else {
        v = rgb(100, 80, 40);
      }
      if (!photographic && x > 80 && x < 240 && y > 200 && y < 420)  // a house with a dark outline
        v = (x < 84 || x > 236 || y < 204 || y > 416) ? rgb(20, 20, 20) : rgb(200, 190, 150);
      if (!photographic && std::hypot(x - 400, y - 380) < 120) v = std::abs(std::hypot(x - 400, y - 380) - 118) < 2 ? 0 : rgb(220, 40, 40);
      p[size_t(y) * kWidth + x] = v;
      double edge = std::hypot(x - 400.0, y - 300.0);
      a[size_t(y) * kWidth + x] = edge < 250 ? 255 : edge > 260 ? 0 : static_cast<uint8_t>((260 - edge) * 25);
    }
}

std::vector<uint8_t> lzoStream(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> block = CLZWCompression2::compress(data.data(), data.size());
  return std::vector<uint8_t>(block.begin() + 8, block.end());
}

Frame& frame(bool photographic) {
  static std::map<bool, Frame> frames;
  auto it = frames.find(photographic);
  if (it != frames.end()) return it->second;
  Frame& f = frames[photographic];
  paint(f.image, photographic);
  const auto* c = reinterpret_cast<const uint8_t*>(f.image.pixels16());
  f.colour.assign(c, c + kPixels * 2);
  f.alpha.assign(f.image.GetAlphaPtr(), f.image.GetAlphaPtr() + kPixels);
  for (int type : {0, 2, 3, 4, 5}) f.image.SaveToMemory(type, f.files[type]);
  f.lzoColour = lzoStream(f.colour);
  f.lzoAlpha = lzoStream(f.alpha);
  f.rleColour = CRLECompression::__compress(f.colour.data(), f.colour.size());
  f.rleAlpha = CRLECompression::__compresschar(f.alpha.data(), f.alpha.size());
  f.lzoRleColourBlock = CLZWCompression2::compress(f.rleColour.data(), f.rleColour.size());
  f.lzoRleAlphaBlock = CLZWCompression2::compress(f.rleAlpha.data(), f.rleAlpha.size());
  f.lzoRleColour = lzoStream(f.rleColour);
  f.lzoRleAlpha = lzoStream(f.rleAlpha);
  return f;
}

void finish(benchmark::State& state) { state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kOutput); }

void BM_Memcpy(benchmark::State& state) {
  Frame& f = frame(state.range(0));
  std::vector<uint8_t> colour(f.colour.size()), alpha(f.alpha.size());
  for (auto _ : state) {
    std::memcpy(colour.data(), f.colour.data(), colour.size());
    std::memcpy(alpha.data(), f.alpha.data(), alpha.size());
    benchmark::DoNotOptimize(colour.data());
    benchmark::DoNotOptimize(alpha.data());
  }
  finish(state);
}

void BM_RunLength(benchmark::State& state) {
  Frame& f = frame(state.range(0));
  std::vector<uint8_t> colour(f.colour.size()), alpha(f.alpha.size());
  for (auto _ : state) {
    bool ok = CRLECompression::__decompress(f.rleColour.data(), f.rleColour.size(), colour.data(), colour.size()) &&
              CRLECompression::__decompresschar(f.rleAlpha.data(), f.rleAlpha.size(), alpha.data(), alpha.size());
    benchmark::DoNotOptimize(ok);
  }
  finish(state);
}

// liblzo2 alone on the plain LZO streams (type 2's content), and on the LZO streams of run-length data.
void lzoAlone(benchmark::State& state, const std::vector<uint8_t>& c, const std::vector<uint8_t>& a, size_t cOut,
              size_t aOut) {
  std::vector<uint8_t> colour(cOut), alpha(aOut);
  for (auto _ : state) {
    lzo_uint n1 = cOut, n2 = aOut;
    lzo1x_decompress_safe(c.data(), c.size(), colour.data(), &n1, nullptr);
    lzo1x_decompress_safe(a.data(), a.size(), alpha.data(), &n2, nullptr);
    benchmark::DoNotOptimize(colour.data());
    benchmark::DoNotOptimize(alpha.data());
  }
  finish(state);
}

void BM_Liblzo2(benchmark::State& state) {
  Frame& f = frame(state.range(0));
  lzoAlone(state, f.lzoColour, f.lzoAlpha, f.colour.size(), f.alpha.size());
}

void BM_Liblzo2OfRunLength(benchmark::State& state) {
  Frame& f = frame(state.range(0));
  lzoAlone(state, f.lzoRleColour, f.lzoRleAlpha, f.rleColour.size(), f.rleAlpha.size());
}

// The engine's type-3 decoding: each LZO1X block into its run-length content, decoded from there.
void BM_LzoOverRunLength(benchmark::State& state) {
  Frame& f = frame(state.range(0));
  std::vector<uint8_t> colour(f.colour.size()), alpha(f.alpha.size()), content;
  for (auto _ : state) {
    bool ok = CLZWCompression2::decompress(f.lzoRleColourBlock.data(), f.lzoRleColourBlock.size(), 0,
                                           colour.size() * 2, content) &&
              CRLECompression::__decompress(content.data(), content.size(), colour.data(), colour.size()) &&
              CLZWCompression2::decompress(f.lzoRleAlphaBlock.data(), f.lzoRleAlphaBlock.size(), 0, alpha.size() * 2,
                                           content) &&
              CRLECompression::__decompresschar(content.data(), content.size(), alpha.data(), alpha.size());
    benchmark::DoNotOptimize(ok);
  }
  finish(state);
}

// The engine's whole path: an IMG file of the type to a CImage.
void BM_Image(benchmark::State& state) {
  Frame& f = frame(state.range(0));
  const std::vector<uint8_t>& file = f.files[state.range(1)];
  CImage image;
  for (auto _ : state) {
    bool ok = image.LoadFromMemory(file.data(), file.size());
    benchmark::DoNotOptimize(ok);
  }
  finish(state);
}

BENCHMARK(BM_Memcpy)->ArgName("photo")->Arg(0)->Arg(1);
BENCHMARK(BM_RunLength)->ArgName("photo")->Arg(0)->Arg(1);
BENCHMARK(BM_Liblzo2)->ArgName("photo")->Arg(0)->Arg(1);
BENCHMARK(BM_Liblzo2OfRunLength)->ArgName("photo")->Arg(0)->Arg(1);
BENCHMARK(BM_LzoOverRunLength)->ArgName("photo")->Arg(0)->Arg(1);
BENCHMARK(BM_Image)->ArgNames({"photo", "type"})->ArgsProduct({{0, 1}, {0, 2, 3, 4, 5}});

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Ratios from processor time: steadier than wall time on a shared machine.
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::map<std::string, double> t;
  for (const auto& [name, ns] : reporter.cpuTimes) t[name] = ns * 1e-9;
  auto mbps = [](double s) { return s > 0 ? kOutput / s / 1e6 : 0.0; };
  for (int photo : {0, 1}) {
    const std::string p = "photo:" + std::to_string(photo);
    auto get = [&](const std::string& name) {
      auto it = t.find(name);
      return it == t.end() ? 0.0 : it->second;
    };
    double memcpyTime = get("BM_Memcpy/" + p), rle = get("BM_RunLength/" + p), lzo = get("BM_Liblzo2/" + p),
           lzoOfRle = get("BM_Liblzo2OfRunLength/" + p), ours3 = get("BM_LzoOverRunLength/" + p);
    if (memcpyTime <= 0) continue;
    std::printf("\n%s art, %d x %d, 16-bit with alpha (%zu output bytes), MB/s of output:\n",
                photo ? "photographic" : "flat", kWidth, kHeight, kOutput);
    std::printf("  memcpy %.0f, run-length codec %.0f (%.2f of memcpy), liblzo2 alone %.0f\n", mbps(memcpyTime),
                mbps(rle), memcpyTime / rle, mbps(lzo));
    Frame& f = frame(photo);
    // Run-length groups: every control byte starts one; the densest data decode slowest per byte.
    size_t groups = 0;
    for (size_t i = 0; i < f.rleColour.size();) {
      const unsigned control = f.rleColour[i];
      i += 1 + (control >= 128 ? 2 : control * 2);
      ++groups;
    }
    std::printf("  colour run-length groups: %zu (%.1f pixels each)\n", groups, double(kPixels) / groups);
    for (int type : {0, 2, 3, 4, 5}) {
      double s = get("BM_Image/" + p + "/type:" + std::to_string(type));
      std::printf("  IMG type %d: %.0f MB/s (%.2f of memcpy), file %zu bytes\n", type, mbps(s), memcpyTime / s,
                  f.files[type].size());
    }
    std::printf("  LZO over run-length (codec path) %.0f MB/s: %.2f x liblzo2 + run-length (target at most 1.2)\n",
                mbps(ours3), ours3 / (lzoOfRle + rle));
    std::printf("  IMG type 3 (with the image's allocation) against liblzo2 + run-length: %.2f x\n",
                get("BM_Image/" + p + "/type:3") / (lzoOfRle + rle));
    std::printf("  run-length against memcpy: %.2f of its bandwidth (target at least 0.5)\n", memcpyTime / rle);
  }
  benchmark::Shutdown();
  return 0;
}
