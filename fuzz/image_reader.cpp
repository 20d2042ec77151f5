// Fuzz target: arbitrary bytes through the IMG readers (every layout and compression type), the
// JPEG reader and the PSD reader. Whatever is accepted must save and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graphics/formats/image.h"
#include "graphics/formats/psd.h"

namespace {

void checkRoundTrip(CImage& image) {
  for (int type : {0, 2, 3, 4}) {
    std::vector<uint8_t> bytes;
    if (!image.SaveToMemory(type, bytes)) std::abort();
    CImage back;
    if (!back.LoadFromMemory(bytes.data(), bytes.size())) std::abort();
    if (back.Width() != image.Width() || back.Height() != image.Height() || back.hasAlpha() != image.hasAlpha())
      std::abort();
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x)
        if (back.GetPixel(x, y) != image.GetPixel(x, y) || back.GetAlpha(x, y) != image.GetAlpha(x, y)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CImageFileInfo info;
  (void)CImage::probe(data, size, info);
  CImage image;
  if (image.LoadFromMemory(data, size)) {
    if (image.Width() < 1 || !image.GetDataPtr()) std::abort();
    // Keep the re-encoding affordable on large accepted images.
    if (static_cast<size_t>(image.Width()) * image.Height() <= 4096) checkRoundTrip(image);
    image.pack();
    image.unpack();
  } else if (image.Width() != 0 || image.hasAlpha()) {
    std::abort();
  }
  CImage jpeg;
  if (jpeg.LoadJpegFromMemory(data, size) && (jpeg.Width() < 1 || !jpeg.GetDataPtr())) std::abort();
  CPSD psd;
  if (psd.LoadFromMemory(data, size)) {
    for (int i = 0; i < psd.GetLayerCount(); ++i) {
      (void)psd.GetLayerName(i);
      psd.SelectLayer(i);
    }
  } else if (psd.GetLayerCount() != 0) {
    std::abort();
  }
  return 0;
}
