// Text layout against drawing alone: a 200-character paragraph laid out in a 300-pixel box and drawn
// with the built-in font, against drawing the same letters at the same places with drawLetter
// alone. Prints both in microseconds and the layout's overhead as a ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/font.h"
#include "graphics/pixels/graphics_object.h"
#include "graphics/text_layout.h"
#include "objects/text/mc_font.h"
#include "times_reporter.h"

namespace {

const std::string& paragraph() {
  static const std::string text =
      "The lighthouse keeper climbed the spiral stairs every evening, counting two hundred steps, "
      "and lit the great lamp so that ships passing the northern reef would find the harbour safely. He never slept.";
  return text;
}

struct Scene {
  CSimpleFont6* font = nullptr;
  CGraphicsObject target;
  tarnvik::TextBox box;
  Scene() {
    tarnvik::installBuiltinFont();
    font = tarnvik::builtinFont();
    target.create(300, 200, 16, true);
    box.width = 300;
    box.height = 200;
  }
  void clear() {
    std::memset(target.pixels16(), 0, static_cast<size_t>(target.GetPitch()) * target.Height() * 2);
    std::memset(target.GetAlphaPtr(), 0, static_cast<size_t>(target.Width()) * target.Height());
  }
};

Scene& scene() {
  static Scene s;
  return s;
}

void BM_LayoutAndDraw(benchmark::State& state) {
  Scene& s = scene();
  tarnvik::CTextLayout layout;
  for (auto _ : state) {
    s.clear();
    layout.layout(*s.font, paragraph(), s.box);
    layout.draw(*s.font, &s.target);
    benchmark::DoNotOptimize(s.target.pixels16());
  }
  state.counters["lines"] = layout.numLines();
}

void BM_DrawLetterAlone(benchmark::State& state) {
  Scene& s = scene();
  tarnvik::CTextLayout layout;
  layout.layout(*s.font, paragraph(), s.box);
  const auto letters = layout.letters();
  for (auto _ : state) {
    s.clear();
    for (const tarnvik::PlacedLetter& l : letters) s.font->drawLetter(&s.target, l.x, l.y, l.previous, l.c);
    benchmark::DoNotOptimize(s.target.pixels16());
  }
}

BENCHMARK(BM_LayoutAndDraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawLetterAlone)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!scene().font) {
    std::fprintf(stderr, "text: no built-in font\n");
    return 1;
  }
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double layout = reporter.cpuTimes["BM_LayoutAndDraw"], alone = reporter.cpuTimes["BM_DrawLetterAlone"];
  if (alone > 0)
    std::printf("\n%zu characters in a 300-pixel box: layout and drawing %.1f us, drawLetter alone %.1f us, ratio %.2f\n",
                paragraph().size(), layout, alone, layout / alone);
  return 0;
}
