// The tool's animation commands, run as the built program: ANN -> PNG folder -> ANN gives the same
// frames and events; info prints the animation as JSON; font2png writes the strip and its margins.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/animation.h"
#include "graphics/font.h"
#include "graphics/formats/png.h"

namespace {

namespace fs = std::filesystem;

class AnimationToolTest : public tarnvik::e2e::PlayerTest {
 protected:
  tarnvik::e2e::PlayerRun tool(const std::vector<std::string>& args) {
    std::vector<std::string> command{std::string(TARNVIK_BUILD_DIR) + "/tarnvik-tool"};
    command.insert(command.end(), args.begin(), args.end());
    return finish(spawn(command));
  }
  void writeFile(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(AnimationToolTest, AnnToPngFolderAndBackGivesTheSameFramesAndEvents) {
  CAnimo animo;
  for (int i = 0; i < 3; ++i) {
    auto f = std::make_unique<CAnimoFrame>();
    ASSERT_TRUE(f->create(5 + i, 4, 16, i != 2));
    for (int p = 0; p < f->Width() * 4; ++p) {
      f->pixels16()[p] = static_cast<uint16_t>(p * 2113 + i);
      if (f->hasAlpha()) f->GetAlphaPtr()[p] = static_cast<uint8_t>(p * 37);
    }
    f->SetPosition(i * 3, -i);
    animo.AddFrame(std::move(f));
  }
  CAnimoEvent e;
  e.name = "walk";
  e.fps = 12;
  e.loopStart = 1;
  e.loopEnd = 2;
  e.loopCount = 3;
  for (int k : {0, 1, 2}) {
    CAnimoEntry en;
    en.frame = k;
    e.entries.push_back(en);
  }
  e.entries[1].hasName = true;
  e.entries[1].name = "step";
  e.entries[2].hasSound = true;
  e.entries[2].sound = "s.wav";
  e.entries[2].x = 4;
  animo.AddEvent(e);
  std::vector<uint8_t> original;
  ASSERT_TRUE(animo.SaveToMemory(4, original));
  writeFile(dir_ / "in.ann", original);

  auto run = tool({"ann2png", (dir_ / "in.ann").string(), (dir_ / "out").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir_ / "out" / "frame_0002.png"));
  tarnvik::png::Image picture;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read((dir_ / "out" / "frame_0000.png").string(), picture, error)) << error;
  EXPECT_EQ(picture.channels, 4);
  EXPECT_EQ(picture.width, 5);

  run = tool({"png2ann", (dir_ / "out").string(), (dir_ / "back.ann").string(), "--compression", "4"});
  ASSERT_EQ(run.status, 0) << run.err;
  CAnimo back;
  std::vector<uint8_t> bytes = readFile(dir_ / "back.ann");
  ASSERT_TRUE(back.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_EQ(back.GetNOF(), 3);
  for (int i = 0; i < 3; ++i) {
    const CAnimoFrame& a = *animo.GetFrame(i);
    const CAnimoFrame& b = *back.GetFrame(i);
    ASSERT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.GetPosition(), b.GetPosition());
    EXPECT_EQ(a.hasAlpha(), b.hasAlpha());
    EXPECT_EQ(0, std::memcmp(a.pixels(), b.pixels(), static_cast<size_t>(a.Width()) * a.Height() * 2)) << i;
    if (a.hasAlpha()) {
      EXPECT_EQ(0, std::memcmp(a.GetAlphaPtr(), b.GetAlphaPtr(), static_cast<size_t>(a.Width()) * a.Height())) << i;
    }
  }
  ASSERT_EQ(back.GetNOE(), 1);
  const CAnimoEvent& got = *back.GetEventInfo(0);
  EXPECT_EQ(got.name.str(), "walk");
  EXPECT_EQ(got.fps, 12);
  EXPECT_EQ(got.loopCount, 3);
  EXPECT_EQ(got.entries[1].name.str(), "step");
  EXPECT_EQ(got.entries[2].sound.str(), "s.wav");
  EXPECT_EQ(got.entries[2].x, 4);
  // The same file again: every byte.
  EXPECT_EQ(bytes, original);

  run = tool({"info", (dir_ / "back.ann").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["layout"], "NVP");
  EXPECT_EQ(json["frames"].size(), 3u);
  EXPECT_EQ(json["events"][0]["entries"][1]["name"], "step");
  EXPECT_EQ(tool({"info", (dir_ / "missing.ann").string()}).status, 2);
  EXPECT_EQ(tool({"png2ann", (dir_ / "nothing").string(), (dir_ / "x.ann").string()}).status, 2);
}

TEST_F(AnimationToolTest, Font2PngWritesTheStripAndItsMargins) {
  CAnimo animo;
  for (int i = 0; i < 2; ++i) {
    auto f = std::make_unique<CAnimoFrame>();
    ASSERT_TRUE(f->create(6, 5, 16, true));
    for (int p = 0; p < 30; ++p) f->GetAlphaPtr()[p] = p % 6 == 0 ? 0 : 255;
    animo.AddFrame(std::move(f));
    CAnimoEvent e;
    e.name = i == 0 ? "A" : "B";
    CAnimoEntry en;
    en.frame = i;
    e.entries.push_back(en);
    animo.AddEvent(e);
  }
  CSimpleFont6 font;
  ASSERT_TRUE(font.create(animo));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(font.SaveToMemory(bytes));
  writeFile(dir_ / "f.fnt", bytes);
  auto run = tool({"font2png", (dir_ / "f.fnt").string(), (dir_ / "f.png").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  tarnvik::png::Image picture;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read((dir_ / "f.png").string(), picture, error)) << error;
  EXPECT_EQ(picture.width, 12);
  auto json = nlohmann::json::parse(std::ifstream(dir_ / "f.png.json"));
  EXPECT_EQ(json["cell"], 6);
  EXPECT_EQ(json["letters"][1]["letter"], "B");
  EXPECT_EQ(json["letters"][1]["left"], 1);
}

}  // namespace
