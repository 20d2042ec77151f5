// The program's icon for desktops: the title scene's night sky, moon and hills on a rounded tile with
// a golden "T", drawn at any size from the same shapes and written as an RGBA PNG.
#include "icon.h"

#include <vector>

#include "graphics/formats/png.h"

namespace demo {

namespace {

// Leaves the tile's corners transparent: a quarter circle of radius r cut from each.
void roundCorners(Raster& r, int radius) {
  const int n = r.width();
  for (int y = 0; y < radius; ++y)
    for (int x = 0; x < radius; ++x) {
      int dx = radius - x, dy = radius - y;
      if (dx * dx + dy * dy <= radius * radius) continue;
      for (auto [px, py] : {std::pair{x, y}, {n - 1 - x, y}, {x, n - 1 - y}, {n - 1 - x, n - 1 - y}})
        r.set(px, py, {0, 0, 0, 0});
    }
}

}  // namespace

Raster drawIcon(int size) {
  Raster r(size, size);
  auto at = [size](int units) { return units * size / 128; };  // shapes are laid out on 128 units
  r.verticalGradient(0, size, {8, 10, 40, 255}, {70, 40, 110, 255});
  Dice dice(7);
  for (int i = 0; i < size / 6; ++i) r.set(dice.below(size), dice.below(at(60)), {200, 200, 255, 255});
  r.circle(at(96), at(28), at(16), {240, 235, 200, 255});
  r.circle(at(103), at(23), at(14), {30, 25, 75, 255});  // crescent
  r.ellipse(at(30), at(128), at(70), at(36), {35, 30, 70, 255});
  r.ellipse(at(110), at(132), at(60), at(30), {20, 18, 45, 255});
  const Rgba gold{250, 200, 60, 255}, shade{10, 8, 30, 255};
  int stroke = at(14) > 1 ? at(14) : 2;
  r.rect(at(30) + at(3), at(34) + at(3), at(98) + at(3), at(34) + stroke + at(3), shade);
  r.rect(at(64) - stroke / 2 + at(3), at(34) + at(3), at(64) + stroke - stroke / 2 + at(3), at(104) + at(3), shade);
  r.rect(at(30), at(34), at(98), at(34) + stroke, gold);
  r.rect(at(64) - stroke / 2, at(34), at(64) + stroke - stroke / 2, at(104), gold);
  roundCorners(r, at(20));
  return r;
}

bool writeIcon(const std::string& file, int size, std::string& error) {
  if (size < 16 || size > 1024) {
    error = "an icon is 16 to 1024 pixels wide";
    return false;
  }
  Raster r = drawIcon(size);
  std::vector<uint16_t> pixels(static_cast<size_t>(size) * size);
  std::vector<uint8_t> alpha(pixels.size());
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      Rgba c = r.at(x, y);
      size_t i = static_cast<size_t>(y) * size + x;
      pixels[i] = static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
      alpha[i] = c.a;
    }
  return tarnvik::png::write565(file, pixels.data(), size, size, size, error, alpha.data());
}

}  // namespace demo
