// Tool commands over image files: img2png, png2img, info and psd2png.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ostream>

#include "commands.h"
#include "files/file.h"
#include "graphics/formats/image.h"
#include "graphics/formats/jpeg.h"
#include "graphics/formats/png.h"
#include "graphics/formats/psd.h"
#include "png_rgba.h"

namespace tarnvik::tool {

namespace {

bool readBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string lowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool parseInt(const std::string& text, int& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// 5-6-5 (or 5-5-5) pixels and alpha to 8-bit RGBA, each channel widened by repeating its top bits.
RgbaPicture toRgba(CGraphicsObject& image) {
  RgbaPicture picture;
  picture.width = image.Width();
  picture.height = image.Height();
  picture.hasAlpha = image.hasAlpha();
  picture.rgba.resize(static_cast<size_t>(picture.width) * picture.height * 4);
  const bool five = image.GetRealBpp() == 15;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const unsigned p = image.GetPixel(x, y);
      unsigned r = five ? (p >> 10) & 31 : p >> 11, g = five ? (p >> 5) & 31 : (p >> 5) & 63, b = p & 31;
      uint8_t* d = &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
      d[0] = png::expand5(r);
      d[1] = five ? png::expand5(g) : png::expand6(g);
      d[2] = png::expand5(b);
      d[3] = static_cast<uint8_t>(image.GetAlpha(x, y));
    }
  }
  return picture;
}

bool writePng(CommandIo& io, const std::string& path, const RgbaPicture& picture) {
  std::string error;
  if (writePngRgba(path, picture, error)) return true;
  io.err << "tarnvik-tool: cannot write '" << path << "': " << error << "\n";
  return false;
}

const char* compressionName(int type) {
  switch (type) {
    case CImage::kNone:
      return "none";
    case CImage::kLZO:
      return "lzo1x";
    case CImage::kLZORLE:
      return "lzo1x+rle";
    case CImage::kRLE:
      return "rle";
    case CImage::kJPEG:
      return "jpeg+lzo1x";
    default:
      return "unknown";
  }
}

}  // namespace

int runImg2Png(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 2 || args[0].starts_with("--") || args[1].starts_with("--"))
    return usage(io, "img2png", "IN.img OUT.png");
  std::vector<uint8_t> bytes;
  if (!readBytes(args[0], bytes)) return failure(io, "cannot read '" + args[0] + "'");
  CImage image;
  const bool ok = lowerExtension(args[0]) == ".img" ? image.LoadFromMemory(bytes.data(), bytes.size())
                                                    : image.LoadJpegFromMemory(bytes.data(), bytes.size());
  if (!ok) return failure(io, "'" + args[0] + "' is not a readable image");
  if (!writePng(io, args[1], toRgba(image))) return kExitFailure;
  io.out << "wrote " << args[1] << " (" << image.Width() << " x " << image.Height()
         << (image.hasAlpha() ? ", with alpha" : "") << ")\n";
  return kExitOk;
}

int runPng2Img(const std::vector<std::string>& args, CommandIo& io) {
  const char* form = "IN.png OUT.img [--compression 0|2|3|4|5] [--position X Y]";
  std::vector<std::string> files;
  int compression = CImage::kNone, x = 0, y = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--compression") {
      if (i + 1 >= args.size() || !parseInt(args[i + 1], compression)) return usage(io, "png2img", form);
      ++i;
      if (compression != 0 && compression != 2 && compression != 3 && compression != 4 && compression != 5) {
        io.err << "tarnvik-tool: the compression must be 0, 2, 3, 4 or 5, not '" << args[i] << "'\n";
        return kExitUsage;
      }
    } else if (args[i] == "--position") {
      if (i + 2 >= args.size() || !parseInt(args[i + 1], x) || !parseInt(args[i + 2], y))
        return usage(io, "png2img", form);
      i += 2;
    } else if (!args[i].starts_with("--") && files.size() < 2) {
      files.push_back(args[i]);
    } else {
      return usage(io, "png2img", form);
    }
  }
  if (files.size() != 2) return usage(io, "png2img", form);
  png::Image picture;
  std::string error;
  if (!png::read(files[0], picture, error)) return failure(io, "cannot read '" + files[0] + "': " + error);
  const bool withAlpha = picture.channels == 4;
  CImage image;
  if (!image.create(picture.width, picture.height, 16, withAlpha))
    return failure(io, "'" + files[0] + "' is too large");
  uint16_t* pixels = image.pixels16();
  for (size_t i = 0; i < static_cast<size_t>(picture.width) * picture.height; ++i) {
    const uint8_t* s = &picture.pixels[i * picture.channels];
    pixels[i] = static_cast<uint16_t>(((s[0] >> 3) << 11) | ((s[1] >> 2) << 5) | (s[2] >> 3));
    if (withAlpha) image.GetAlphaPtr()[i] = s[3];
  }
  image.SetPosition(x, y);
  if (!image.Save(CXString(files[1]), compression)) return failure(io, "cannot write '" + files[1] + "'");
  io.out << "wrote " << files[1] << " (" << picture.width << " x " << picture.height << ", compression "
         << compression << (withAlpha ? ", with alpha" : "") << ")\n";
  return kExitOk;
}

int runInfo(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 1 || args[0].starts_with("--")) return usage(io, "info", "FILE");
  std::string extension = std::filesystem::path(args[0]).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".ann") return runAnnInfo(args, io);
  std::vector<uint8_t> bytes;
  if (!readBytes(args[0], bytes)) return failure(io, "cannot read '" + args[0] + "'");
  nlohmann::ordered_json out;
  out["file"] = args[0];
  out["size"] = bytes.size();
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), "8BPS", 4) == 0) {
    CPSD psd;
    if (!psd.LoadFromMemory(bytes.data(), bytes.size())) return failure(io, "'" + args[0] + "' is not a readable PSD");
    out["format"] = "PSD";
    out["width"] = psd.getDocumentWidth();
    out["height"] = psd.getDocumentHeight();
    out["depth"] = 8;
    nlohmann::ordered_json layers = nlohmann::ordered_json::array();
    for (int i = 0; i < psd.GetLayerCount(); ++i) {
      const CXRect r = psd.GetLayerRect(i);
      layers.push_back({{"name", psd.GetLayerName(i).str()}, {"left", r.left}, {"top", r.top},
                        {"width", r.width()}, {"height", r.height()}});
    }
    out["layers"] = layers;
    out["alpha"] = true;
  } else if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
    JPEG jpeg(bytes.data(), bytes.size());
    if (!jpeg.readHeader()) return failure(io, "'" + args[0] + "' is not a readable JPEG");
    out["format"] = "JPEG";
    out["width"] = jpeg.getWidth();
    out["height"] = jpeg.getHeight();
    out["depth"] = 24;
    out["alpha"] = false;
  } else {
    CImageFileInfo info;
    std::string why;
    if (!CImage::probe(bytes.data(), bytes.size(), info, &why))
      return failure(io, "'" + args[0] + "' is not a readable image: " + why);
    CImage image;
    out["format"] = "IMG";
    out["layout"] = info.layout;
    out["width"] = info.width;
    out["height"] = info.height;
    out["depth"] = info.depth;
    out["compression"] = info.effectiveCompression;
    out["compression_name"] = compressionName(info.effectiveCompression);
    if (info.effectiveCompression != info.compression) out["stored_compression"] = info.compression;
    out["sizes"] = {{"header", info.headerSize}, {"colour", info.colourSize}, {"alpha", info.alphaSize}};
    if (info.effectiveCompression == CImage::kJPEG && info.layout == "PIK") out["sizes"]["jpeg"] = info.colourField;
    out["position"] = {{"x", info.x}, {"y", info.y}};
    out["alpha"] = info.alphaSize != 0;
    out["readable"] = image.LoadFromMemory(bytes.data(), bytes.size());
  }
  io.out << out.dump(2) << "\n";
  return kExitOk;
}

int runPsd2Png(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 2 || args[0].starts_with("--") || args[1].starts_with("--"))
    return usage(io, "psd2png", "IN.psd OUTDIR");
  std::vector<uint8_t> bytes;
  if (!readBytes(args[0], bytes)) return failure(io, "cannot read '" + args[0] + "'");
  CPSD psd;
  if (!psd.LoadFromMemory(bytes.data(), bytes.size())) return failure(io, "'" + args[0] + "' is not a readable PSD");
  std::error_code ec;
  std::filesystem::create_directories(args[1], ec);
  if (!std::filesystem::is_directory(args[1])) return failure(io, "cannot make the folder '" + args[1] + "'");
  int written = 0;
  for (int i = 0; i < psd.GetLayerCount(); ++i) {
    const CPSD::Layer* layer = psd.getLayer(i);
    if (layer->rect.isEmpty()) continue;
    // The file name: the layer's number and its name with anything but letters and digits as '_'.
    std::string name = layer->name.str();
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    char number[16];
    std::snprintf(number, sizeof number, "%02d", i);
    const std::string path = (std::filesystem::path(args[1]) / (std::string(number) + "_" + name + ".png")).string();
    RgbaPicture picture;
    picture.width = layer->rect.width();
    picture.height = layer->rect.height();
    picture.hasAlpha = true;
    picture.rgba = layer->rgba;
    if (!writePng(io, path, picture)) return kExitFailure;
    io.out << "wrote " << path << "\n";
    ++written;
  }
  io.out << written << " layer" << (written == 1 ? "" : "s") << "\n";
  return kExitOk;
}

}  // namespace tarnvik::tool
