#include "writers.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

#include "graphics/animation.h"
#include "graphics/formats/image.h"

namespace demo {

namespace {

bool hasTransparency(const Raster& r) {
  for (int y = 0; y < r.height(); ++y)
    for (int x = 0; x < r.width(); ++x)
      if (r.at(x, y).a != 255) return true;
  return false;
}

// Fills a drawable's 5-6-5 pixels (and alpha, when it has an alpha plane) from the raster.
void fill(CGraphicsObject& target, const Raster& r) {
  uint16_t* pixels = target.pixels16();
  uint8_t* alpha = target.GetAlphaPtr();
  for (int y = 0; y < r.height(); ++y)
    for (int x = 0; x < r.width(); ++x) {
      Rgba c = r.at(x, y);
      size_t i = static_cast<size_t>(y) * target.GetPitch() + x;
      pixels[i] = static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
      if (alpha) alpha[static_cast<size_t>(y) * r.width() + x] = c.a;
    }
}

bool writeBytes(const std::string& file, const std::vector<uint8_t>& bytes, std::string& error) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) error = "cannot write " + file;
  return static_cast<bool>(out);
}

}  // namespace

bool writeImage(const std::string& file, const Raster& picture, int x, int y, std::string& error) {
  CImage image;
  if (!image.create(picture.width(), picture.height(), 16, hasTransparency(picture))) {
    error = "cannot make a " + std::to_string(picture.width()) + " x " + std::to_string(picture.height()) + " image";
    return false;
  }
  fill(image, picture);
  image.SetPosition(x, y);
  std::vector<uint8_t> bytes;
  if (!image.SaveToMemory(CImage::kLZO, bytes)) {
    error = "cannot encode " + file;
    return false;
  }
  return writeBytes(file, bytes, error);
}

bool writeAnimation(const std::string& file, const std::vector<Raster>& frames, const std::vector<AnimEvent>& events,
                    std::string& error, int x, int y) {
  CAnimo animo;
  animo.Author = CXString("Tarnvik demo");
  for (const Raster& r : frames) {
    auto frame = std::make_unique<CAnimoFrame>();
    if (!frame->create(r.width(), r.height(), 16, true)) {
      error = "cannot make a frame of " + file;
      return false;
    }
    fill(*frame, r);
    animo.AddFrame(std::move(frame));
  }
  for (const AnimEvent& e : events) {
    CAnimoEvent event;
    event.name = CXString(e.name);
    event.fps = e.fps;
    for (int f : e.frames) {
      CAnimoEntry entry;
      entry.frame = f;
      entry.x = static_cast<int16_t>(x);
      entry.y = static_cast<int16_t>(y);
      event.entries.push_back(entry);
    }
    // A loop over the whole event, repeated endlessly.
    if (e.loop) event.loopEnd = static_cast<int>(e.frames.size()) - 1;
    animo.AddEvent(event);
  }
  std::vector<uint8_t> bytes;
  if (!animo.SaveToMemory(CImage::kRLE, bytes)) {
    error = "cannot encode " + file;
    return false;
  }
  return writeBytes(file, bytes, error);
}

bool writeWav(const std::string& file, const std::vector<float>& samples, std::string& error) {
  SF_INFO info{};
  info.samplerate = kSampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
  if (!out) {
    error = "cannot write " + file + ": " + sf_strerror(nullptr);
    return false;
  }
  std::vector<short> pcm(samples.size());
  for (size_t i = 0; i < samples.size(); ++i)
    pcm[i] = static_cast<short>(std::lround(std::clamp(samples[i], -1.0f, 1.0f) * 32000.0f));
  sf_count_t written = sf_write_short(out, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  sf_close(out);
  if (written != static_cast<sf_count_t>(pcm.size())) {
    error = "short write to " + file;
    return false;
  }
  return true;
}

}  // namespace demo
