// The versions `tarnvik --version` prints: each library as it runs, and as the player was built
// against it where the two differ (a distribution may upgrade a shared library under the player).
#include "versions.h"

#include <SDL_version.h>
#include <lzo/lzoconf.h>
#include <png.h>
#include <sndfile.h>

#include <cstdio>
#include <cstring>

// jpeglib.h needs the size types declared before it.
#include <jpeglib.h>

namespace {

#define TARNVIK_TEXT(x) #x
#define TARNVIK_EXPAND(x) TARNVIK_TEXT(x)

std::string line(const char* library, const std::string& running, const std::string& built) {
  std::string text = std::string(library) + " " + running;
  if (!built.empty() && built != running) text += " (built with " + built + ")";
  return text + "\n";
}

// libpng numbers its versions as MMmmpp (10639 for 1.6.39).
std::string pngVersion(unsigned long number) {
  char text[32];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu", number / 10000, number / 100 % 100, number % 100);
  return text;
}

std::string sdlVersion(const SDL_version& v) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d", v.major, v.minor, v.patch);
  return text;
}

// libsndfile names itself "libsndfile-1.2.0"; the number is what follows the dash.
std::string sndfileVersion() {
  const char* text = sf_version_string();
  if (!text) return "unknown";
  const char* dash = std::strrchr(text, '-');
  return dash ? dash + 1 : text;
}

}  // namespace

std::string versionText() {
  SDL_version built, running;
  SDL_VERSION(&built);
  SDL_GetVersion(&running);
  std::string text = "tarnvik " TARNVIK_VERSION_STRING "\n";
  text += line("SDL2", sdlVersion(running), sdlVersion(built));
  text += line("libpng", pngVersion(png_access_version_number()), PNG_LIBPNG_VER_STRING);
#ifdef LIBJPEG_TURBO_VERSION
  text += line("libjpeg-turbo", TARNVIK_EXPAND(LIBJPEG_TURBO_VERSION), "");
#else
  text += line("libjpeg", TARNVIK_EXPAND(JPEG_LIB_VERSION), "");
#endif
  text += line("LZO", lzo_version_string(), LZO_VERSION_STRING);
  text += line("libsndfile", sndfileVersion(), "");
  return text;
}
