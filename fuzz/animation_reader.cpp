// Fuzz target: arbitrary bytes through the ANN reader; whatever reads must write, read back the
// same, and play without faults.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/log.h"
#include "graphics/animation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnvik::log::setLevel(tarnvik::log::Level::off);
  CAnimo animo;
  if (!animo.LoadFromMemory(data, size)) {
    if (animo.GetNOF() != 0 || animo.GetNOE() != 0) std::abort();
    return 0;
  }
  for (int compression : {0, 4}) {
    std::vector<uint8_t> bytes;
    if (!animo.SaveToMemory(compression, bytes)) continue;
    CAnimo again;
    if (!again.LoadFromMemory(bytes.data(), bytes.size())) std::abort();
    if (again.GetNOF() != animo.GetNOF() || again.GetNOE() != animo.GetNOE()) std::abort();
    for (int e = 0; e < animo.GetNOE(); ++e)
      if (again.GetNOFInEvent(e) != animo.GetNOFInEvent(e)) std::abort();
  }
  for (int e = 0; e < animo.GetNOE() && e < 4; ++e) {
    animo.Play(e, 0);
    for (int i = 0; i < 40 && animo.IsPlaying(); ++i) animo.Next();
    animo.Prev();
    animo.playReverse(animo.GetEventName(e));
    animo.Next();
  }
  return 0;
}
