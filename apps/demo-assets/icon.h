// The program's desktop icon, drawn procedurally like the demo's art.
#pragma once

#include <string>

#include "raster.h"

namespace demo {

Raster drawIcon(int size);
// A size x size RGBA PNG of the icon; false with a message on failure.
bool writeIcon(const std::string& file, int size, std::string& error);

}  // namespace demo
