// The end-to-end fixture: runs build/tarnvik (or a command around it) in the test games folder
// with its own temp folder, and reads back what the run wrote.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/animation.h"
#include "graphics/formats/image.h"
#include "graphics/formats/png.h"
#include "settings/config.h"

namespace tarnvik::e2e {

namespace fs = std::filesystem;

struct PlayerRun {
  int status = -1;
  std::string out, err;
};

// Writes an uncompressed IMG file whose pixels and alpha come from the functions (alpha absent when
// none is given); false when it could not be made.
inline bool writeImageFile(const fs::path& file, int w, int h, int x, int y,
                           const std::function<uint16_t(int, int)>& pixel,
                           const std::function<uint8_t(int, int)>& alpha = {}) {
  CImage image;
  if (!image.create(w, h, 16, static_cast<bool>(alpha))) return false;
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px) {
      image.pixels16()[py * w + px] = pixel(px, py);
      if (alpha) image.GetAlphaPtr()[py * w + px] = alpha(px, py);
    }
  image.SetPosition(x, y);
  std::vector<uint8_t> bytes;
  if (!image.SaveToMemory(CImage::kNone, bytes)) return false;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Compares an 800 x 600 screenshot with the 5-6-5 screen a test expects; reports the first
// differing pixels as failures.
inline void expectScreen(const std::filesystem::path& shot, const std::vector<uint16_t>& want) {
  tarnvik::png::Image got;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read(shot.string(), got, error)) << error;
  ASSERT_EQ(got.width, 800);
  ASSERT_EQ(got.height, 600);
  ASSERT_EQ(got.channels, 3);
  int mismatches = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      uint16_t p = want[static_cast<size_t>(y) * 800 + x];
      const uint8_t* q = &got.pixels[(static_cast<size_t>(y) * 800 + x) * 3];
      bool same = q[0] == tarnvik::png::expand5(p >> 11) && q[1] == tarnvik::png::expand6((p >> 5) & 63) &&
                  q[2] == tarnvik::png::expand5(p & 31);
      if (!same && ++mismatches <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << ": want " << std::hex << p << " got " << int(q[0]) << ","
                      << int(q[1]) << "," << int(q[2]);
    }
  EXPECT_EQ(mismatches, 0);
}

// Whether a program is on PATH.
inline bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Shell lines for a test script under Xvfb: waits up to thirty seconds for the player's window (its
// process id in $pid; a loaded machine running other window tests beside it can take over ten) and
// puts the window id into $id; without a window kills the player, exit 11.
inline constexpr const char* kFindPlayerWindow = R"sh(id=""
for i in $(seq 1 300); do
  id=$(xdotool search --onlyvisible --name '^Tarnvik$' 2>/dev/null | tail -n 1)
  [ -n "$id" ] && break
  sleep 0.1
done
[ -n "$id" ] || { kill $pid; exit 11; }
)sh";

// The bytes of an animation whose event GO shows two 4 x 4 entries at 10 frames per second, the
// second playing `sound`; empty when it cannot be made.
inline std::vector<uint8_t> tickAnimation(const char* sound, uint32_t animoFlags = 0) {
  CAnimo animo;
  CAnimoEvent event;
  event.name = "GO";
  event.fps = 10;
  for (int i = 0; i < 2; ++i) {
    auto frame = std::make_unique<CAnimoFrame>();
    if (!frame->create(4, 4, 16, false)) return {};
    animo.AddFrame(std::move(frame));
    CAnimoEntry entry;
    entry.frame = i;
    event.entries.push_back(entry);
  }
  event.entries[1].hasSound = true;
  event.entries[1].sound = sound;
  animo.AddEvent(event);
  animo.SetAnimoFlags(animoFlags);
  std::vector<uint8_t> ann;
  if (!animo.SaveToMemory(0, ann)) return {};
  return ann;
}

inline std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Whether two PNG files hold the same pixels; otherwise the first difference in `why`.
inline bool samePicture(const fs::path& a, const fs::path& b, std::string& why) {
  png::Image x, y;
  std::string error;
  if (!png::read(a.string(), x, error) || !png::read(b.string(), y, error)) {
    why = error;
    return false;
  }
  if (x.width != y.width || x.height != y.height || x.channels != y.channels) {
    why = "the sizes differ";
    return false;
  }
  for (size_t i = 0; i < x.pixels.size(); ++i)
    if (x.pixels[i] != y.pixels[i]) {
      size_t p = i / static_cast<size_t>(x.channels);
      why = "first difference at " + std::to_string(p % static_cast<size_t>(x.width)) + ", " +
            std::to_string(p / static_cast<size_t>(x.width));
      return false;
    }
  return true;
}

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline tarnvik::png::Image readPng(const fs::path& file) {
  tarnvik::png::Image image;
  std::string error;
  EXPECT_TRUE(tarnvik::png::read(file.string(), image, error)) << error;
  return image;
}

inline Rgb at(const tarnvik::png::Image& image, int x, int y) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * image.channels];
  return {p[0], p[1], p[2]};
}

// An X window dump (xwd): a header of big-endian 32-bit fields, the window name, the colour map,
// then the pixels in ZPixmap form.
struct WindowDump {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;
  Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline bool parseXwd(const std::string& bytes, WindowDump& out, std::string& error) {
  auto field = [&](int i) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + i * 4;
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  };
  if (bytes.size() < 100) return error = "short header", false;
  uint32_t headerSize = field(0), version = field(1), format = field(2), width = field(4), height = field(5);
  uint32_t byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
  uint32_t masks[3] = {field(14), field(15), field(16)};
  if (version != 7 || format != 2) return error = "not a version 7 ZPixmap dump", false;
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return error = "unexpected pixel size", false;
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return error = "bad size", false;
  size_t bytesPerPixel = bitsPerPixel / 8;
  size_t data = static_cast<size_t>(headerSize) + static_cast<size_t>(colours) * 12;
  if (bytesPerLine < width * bytesPerPixel || data + static_cast<size_t>(bytesPerLine) * height > bytes.size())
    return error = "pixels missing", false;
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + data + y * bytesPerLine + x * bytesPerPixel;
      uint32_t v = 0;
      for (size_t i = 0; i < bytesPerPixel; ++i)
        v |= uint32_t{p[i]} << (8 * (byteOrder == 0 ? i : bytesPerPixel - 1 - i));
      uint8_t c[3];
      for (int k = 0; k < 3; ++k) {
        uint32_t m = masks[k];
        if (!m) return error = "no colour mask", false;
        int shift = __builtin_ctz(m), bits = __builtin_popcount(m);
        uint32_t value = (v & m) >> shift;
        c[k] = static_cast<uint8_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
      }
      out.pixels[static_cast<size_t>(y) * width + x] = {c[0], c[1], c[2]};
    }
  return true;
}

// The 5-6-5 value a displayed colour came from: its top bits (the screen may widen 5-6-5 by
// replication or by rounding; both keep the top bits).
inline Rgb top565(Rgb c) { return {static_cast<uint8_t>(c.r >> 3), static_cast<uint8_t>(c.g >> 2), static_cast<uint8_t>(c.b >> 3)}; }

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-e2e-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string program() { return std::string(TARNVIK_BUILD_DIR) + "/tarnvik"; }

  // Starts a command (looked up in PATH) in the test games folder with stdout and stderr captured
  // and XDG_DATA_HOME and XDG_CONFIG_HOME inside the temp folder; returns its process id.
  pid_t spawn(const std::vector<std::string>& command) {
    fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(TARNVIK_TEST_GAMES) != 0) _exit(120);
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      setenv("XDG_DATA_HOME", (dir_ / "xdg").c_str(), 1);
      setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);  // the player's own options
      std::vector<std::string> copy = command;
      std::vector<char*> argv;
      for (auto& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(121);
    }
    return pid;
  }
  // Starts build/tarnvik with the arguments.
  pid_t start(const std::vector<std::string>& args) {
    std::vector<std::string> command{program()};
    command.insert(command.end(), args.begin(), args.end());
    return spawn(command);
  }
  PlayerRun finish(pid_t pid) {
    PlayerRun run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(dir_ / "stdout");
    run.err = slurp(dir_ / "stderr");
    return run;
  }

  // Runs build/tarnvik with the arguments in the test games folder, XDG_DATA_HOME inside the temp folder.
  PlayerRun play(const std::vector<std::string>& args) { return finish(start(args)); }

  // Plays a game headless with its own settings file; returns the run.
  PlayerRun game(const std::string& folder, int frames, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"--headless", "--frames", std::to_string(frames), "--settings", settings().string()};
    args.insert(args.end(), more.begin(), more.end());
    args.insert(args.end(), {"-path", folder});
    return play(args);
  }

  fs::path settings() const { return dir_ / "settings.ini"; }
  int value(const char* section, const char* key) const { return CConfig(settings().string()).GetInt(section, key, -999); }
  std::string text(const char* section, const char* key) const {
    return CConfig(settings().string()).GetString(section, key, "<absent>").str();
  }

  fs::path dir_;
};

// A game of one scene "S" whose files the test writes into its temp folder, played headless; its
// TOINI values are read from section "S".
class SceneGameTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    fs::create_directories(folder() / "Dane" / "S");
  }
  fs::path folder() const { return dir_ / "game"; }
  void write(const fs::path& relative, const std::string& text) {
    std::ofstream(folder() / relative, std::ios::binary) << text;
  }
  void writeBytes(const fs::path& relative, const std::vector<uint8_t>& bytes) {
    std::ofstream(folder() / relative, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void scene(const std::string& cnv, const std::string& sceneKeys = "") {
    write("Dane/application.def",
          "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
          "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n" + sceneKeys);
    write("Dane/S/S.cnv", cnv);
  }
  // Plays the game headless; returns the exit status (stderr kept for messages).
  int play(int frames, const std::vector<std::string>& more = {}) {
    last_ = game(folder().string(), frames, more);
    return last_.status;
  }
  std::string err() const { return last_.err; }
  int value(const char* key) const { return PlayerTest::value("S", key); }
  std::string text(const char* key) const { return PlayerTest::text("S", key); }
  // A TIMER that ticks once, `ms` milliseconds after the scene starts, and runs the code.
  static std::string onceAfter(const std::string& name, int ms, const std::string& code) {
    return "OBJECT=" + name + "\n" + name + ":TYPE=TIMER\n" + name + ":ELAPSE=" + std::to_string(ms) + "\n" + name +
           ":TICKS=1\n" + name + ":ONTICK={" + code + "}\n";
  }
  // Declares TOINI integers.
  static std::string integers(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += std::string("OBJECT=") + n + "\n" + n + ":TYPE=INTEGER\n" + n + ":TOINI=TRUE\n";
    return out;
  }
  PlayerRun last_;
};

}  // namespace tarnvik::e2e
