// Animation and font commands: frames to PNG files and back, and what an animation holds as JSON.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>

#include "commands.h"
#include "files/file.h"
#include "graphics/animation.h"
#include "graphics/font.h"
#include "graphics/formats/png.h"
#include "foundation/cp1250.h"

namespace tarnvik::tool {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string frameFile(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%04d.png", i);
  return name;
}

std::string utf8(const CXString& s) { return cp1250::toUtf8(s.view()); }

Json eventsJson(const CAnimo& animo, bool withFiles) {
  Json frames = Json::array();
  for (int i = 0; i < animo.GetNOF(); ++i) {
    const CAnimoFrame& f = *animo.GetFrame(i);
    Json frame;
    if (withFiles) frame["file"] = frameFile(i);
    frame["width"] = f.Width();
    frame["height"] = f.Height();
    frame["x"] = f.GetPosition().x;
    frame["y"] = f.GetPosition().y;
    frame["alpha"] = f.hasAlpha();
    frames.push_back(std::move(frame));
  }
  Json events = Json::array();
  for (int e = 0; e < animo.GetNOE(); ++e) {
    const CAnimoEvent& ev = *animo.GetEventInfo(e);
    Json entries = Json::array();
    for (const CAnimoEntry& en : ev.entries) {
      Json entry;
      entry["frame"] = en.frame;
      if (en.hasName) entry["name"] = utf8(en.name);
      if (en.hasText) entry["text"] = utf8(en.text);
      if (en.hasSound) entry["sound"] = utf8(en.sound);
      entry["x"] = en.x;
      entry["y"] = en.y;
      entries.push_back(std::move(entry));
    }
    Json event;
    event["name"] = utf8(ev.name);
    event["fps"] = ev.fps;
    event["loop"] = {{"start", ev.loopStart}, {"end", ev.loopEnd}, {"count", ev.loopCount}};
    event["flags"] = ev.flags;
    event["opacity"] = ev.opacity;
    event["entries"] = std::move(entries);
    events.push_back(std::move(event));
  }
  static const char* layouts[] = {"NVP", "NV+", "PIK"};
  Json out;
  out["layout"] = layouts[animo.getLayout()];
  out["author"] = utf8(animo.Author);
  out["description"] = utf8(animo.Description);
  out["flags"] = animo.GetAnimoFlags();
  out["opacity"] = animo.GetOpacity();
  out["frames"] = std::move(frames);
  out["events"] = std::move(events);
  return out;
}

bool loadAnimation(const std::string& file, CAnimo& animo) {
  std::vector<uint8_t> bytes;
  return CFile::readAll(nullptr, CXString(file), bytes) && animo.LoadFromMemory(bytes.data(), bytes.size());
}

}  // namespace

int runAnn2Png(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 2) return usage(io, "ann2png", "IN.ann OUTDIR");
  CAnimo animo;
  if (!loadAnimation(args[0], animo)) return failure(io, "cannot read the animation '" + args[0] + "'");
  std::error_code ec;
  fs::create_directories(args[1], ec);
  for (int i = 0; i < animo.GetNOF(); ++i) {
    CAnimoFrame& f = *animo.GetFrame(i);
    if (!f.pixels16()) continue;
    std::vector<uint8_t> opaque;
    const uint8_t* alpha = f.GetAlphaPtr();
    if (!alpha) {
      opaque.assign(static_cast<size_t>(f.Width()) * f.Height(), 255);
      alpha = opaque.data();
    }
    if (f.GetRealBpp() == 15) f.Convert(16);
    std::string error;
    if (!png::write565((fs::path(args[1]) / frameFile(i)).string(), f.pixels16(), f.GetPitch(), f.Width(), f.Height(),
                       error, alpha))
      return failure(io, error);
  }
  std::string json = eventsJson(animo, true).dump(2) + "\n";
  return writeOutput(io, (fs::path(args[1]) / "events.json").string(), json.data(), json.size()) ? kExitOk
                                                                                                 : kExitFailure;
}

int runPng2Ann(const std::vector<std::string>& args, CommandIo& io) {
  int compression = 0;
  if (args.size() == 4 && args[2] == "--compression") compression = std::atoi(args[3].c_str());
  else if (args.size() != 2) return usage(io, "png2ann", "INDIR OUT.ann [--compression N]");
  std::ifstream in(fs::path(args[0]) / "events.json");
  Json desc = Json::parse(in, nullptr, false);
  if (desc.is_discarded() || !desc.is_object()) return failure(io, "cannot read " + args[0] + "/events.json");
  CAnimo animo;
  animo.Author = CXString(cp1250::fromUtf8(desc.value("author", std::string())));
  animo.Description = CXString(cp1250::fromUtf8(desc.value("description", std::string())));
  animo.SetAnimoFlags(desc.value("flags", 0u));
  animo.SetOpacity(desc.value("opacity", 255));
  for (const Json& frame : desc.value("frames", Json::array())) {
    auto f = std::make_unique<CAnimoFrame>();
    png::Image picture;
    std::string error;
    std::string file = frame.value("file", std::string());
    if (!file.empty()) {
      if (!png::read((fs::path(args[0]) / file).string(), picture, error)) return failure(io, error);
      bool alpha = frame.value("alpha", picture.channels == 4);
      if (!f->create(picture.width, picture.height, 16, alpha)) return failure(io, file + " has no pixels");
      for (size_t p = 0; p < static_cast<size_t>(picture.width) * picture.height; ++p) {
        const uint8_t* q = &picture.pixels[p * picture.channels];
        f->pixels16()[p] = static_cast<uint16_t>((q[0] >> 3) << 11 | (q[1] >> 2) << 5 | q[2] >> 3);
        if (alpha) f->GetAlphaPtr()[p] = picture.channels == 4 ? q[3] : 255;
      }
    }
    f->SetPosition(frame.value("x", 0), frame.value("y", 0));
    animo.AddFrame(std::move(f));
  }
  for (const Json& event : desc.value("events", Json::array())) {
    CAnimoEvent e;
    e.name = CXString(cp1250::fromUtf8(event.value("name", std::string())));
    e.fps = event.value("fps", 15);
    Json loop = event.value("loop", Json::object());
    e.loopStart = loop.value("start", 0);
    e.loopEnd = loop.value("end", 0);
    e.loopCount = loop.value("count", 0);
    e.flags = event.value("flags", 0u);
    e.opacity = static_cast<uint8_t>(event.value("opacity", 255));
    for (const Json& entry : event.value("entries", Json::array())) {
      CAnimoEntry en;
      en.frame = entry.value("frame", 0);
      en.hasName = entry.contains("name");
      en.name = CXString(cp1250::fromUtf8(entry.value("name", std::string())));
      en.hasText = entry.contains("text");
      en.text = CXString(cp1250::fromUtf8(entry.value("text", std::string())));
      en.hasSound = entry.contains("sound");
      en.sound = CXString(cp1250::fromUtf8(entry.value("sound", std::string())));
      en.x = static_cast<int16_t>(entry.value("x", 0));
      en.y = static_cast<int16_t>(entry.value("y", 0));
      e.entries.push_back(std::move(en));
    }
    animo.AddEvent(e);
  }
  std::vector<uint8_t> bytes;
  if (!animo.SaveToMemory(compression, bytes)) return failure(io, "cannot build the animation");
  return writeOutput(io, args[1], bytes.data(), bytes.size()) ? kExitOk : kExitFailure;
}

int runAnnInfo(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 1) return usage(io, "info", "FILE");
  CAnimo animo;
  if (!loadAnimation(args[0], animo)) return failure(io, "cannot read '" + args[0] + "' as an animation");
  io.out << eventsJson(animo, false).dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
  return kExitOk;
}

int runFont2Png(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 2) return usage(io, "font2png", "IN OUT.png");
  std::vector<uint8_t> bytes;
  CSimpleFont6 font;
  if (!CFile::readAll(nullptr, CXString(args[0]), bytes) || !font.LoadFromMemory(bytes.data(), bytes.size()))
    return failure(io, "cannot read the font '" + args[0] + "'");
  std::string error;
  if (font.GetRealBpp() == 15) font.Convert(16);
  if (!png::write565(args[1], font.pixels16(), font.GetPitch(), font.Width(), font.Height(), error, font.GetAlphaPtr()))
    return failure(io, error);
  Json letters = Json::array();
  for (int i = 0; i < font.getLetterCount(); ++i)
    letters.push_back({{"letter", utf8(CXString(std::string(1, font.getLetter(i))))},
                       {"left", font.getLeftMargin(i)},
                       {"right", font.getRightMargin(i)}});
  Json out;
  out["cell"] = font.getCellWidth();
  out["height"] = font.Height();
  out["letters"] = std::move(letters);
  std::string json = out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  return writeOutput(io, args[1] + ".json", json.data(), json.size()) ? kExitOk : kExitFailure;
}

}  // namespace tarnvik::tool
