// Fuzz target: the loaders of script data files. The first byte chooses the loader, the rest is the
// file; a loader is one more entry of the table.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "objects/data/array.h"
#include "runtime/variable.h"

namespace {

// ARRAY files: whatever is read writes out again and reads back to as many elements.
void arrayFile(std::span<const uint8_t> file) {
  CMC_Array::Elements elements;
  CMC_Array::parseFile(file, elements);
  for (const auto& e : elements) (void)e->asString();
  std::vector<uint8_t> written;
  CMC_Array::writeFile(elements, written);
  CMC_Array::Elements again;
  if (!CMC_Array::parseFile(written, again) || again.size() != elements.size()) std::abort();
}

using Loader = void (*)(std::span<const uint8_t>);
const Loader kLoaders[] = {arrayFile};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t count = sizeof kLoaders / sizeof kLoaders[0];
  kLoaders[data[0] % count](std::span<const uint8_t>(data + 1, size - 1));
  return 0;
}
