// Fuzz target: the input is an archive holding a game (application file, scenes, images, animations,
// sounds). It is opened as the process archive and the game plays 60 headless frames with a few
// clicks and key presses, through the same engine calls the player makes.
//
// Seeds: packed test games (fuzz/seeds/whole_game/*.pik, made with `tarnvik-tool pack`).
#include <cstdint>
#include <memory>
#include <vector>

#include "application/application.h"
#include "files/bigfile.h"
#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/window.h"
#include "input/input_manager.h"
#include "objects/program/system.h"
#include "objects/register.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/video.h"
#include "settings/commandline.h"
#include "settings/language.h"
#include "sound/mixer.h"
#include "sound/sound_system.h"

namespace {

constexpr int kFrames = 60;
constexpr int kFrameMs = 16;
// The folder the archive stands for; it does not exist on disk, so every file comes from the archive.
constexpr const char* kGameFolder = "/nonexistent-tarnvik-fuzz-game";

// The clicks and keys of a run: a click at frames 10, 25 and 40 (at points taken from the input's
// last bytes, so the fuzzer can aim them), Enter at frame 30.
std::vector<tarnvik::InputEvent> eventsAt(int frame, const uint8_t* data, size_t size) {
  std::vector<tarnvik::InputEvent> out;
  auto point = [&](size_t k, int& x, int& y) {
    uint8_t a = size > k ? data[size - 1 - k] : 0, b = size > k + 1 ? data[size - 2 - k] : 0;
    x = a * 800 / 256;
    y = b * 600 / 256;
  };
  if (frame == 10 || frame == 25 || frame == 40) {
    tarnvik::InputEvent e;
    point(static_cast<size_t>(frame / 10) * 2, e.x, e.y);
    e.kind = tarnvik::InputEvent::kMove;
    out.push_back(e);
    e.kind = tarnvik::InputEvent::kDown;
    out.push_back(e);
    e.kind = tarnvik::InputEvent::kUp;
    out.push_back(e);
  }
  if (frame == 30) {
    tarnvik::InputEvent e;
    e.kind = tarnvik::InputEvent::kKeyDown;
    e.key = 13;
    out.push_back(e);
    e.kind = tarnvik::InputEvent::kKeyUp;
    out.push_back(e);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tarnvik::registerEngineTypes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (4u << 20)) return 0;
  auto archive = std::make_unique<CBigFile>();
  if (!archive->openBuffer(std::vector<uint8_t>(data, data + size))) return 0;
  tarnvik::VirtualClock clock;
  tarnvik::setEngineClock(&clock);
  CMC_System::setEpoch(0);
  CXRandom::seed(1);
  {
    CFile::setBigFileIfc(std::move(archive));
    CCommandLine6 commandLine(CXString("-path ") + kGameFolder);
    CLanguageOSVer language;
    tarnvik::HeadlessVideo video;
    video.open(800, 600, false);
    CPath::setStartDirectory(CXString(kGameFolder));
    CWindow window(&commandLine, &language, &video, 800, 600);
    if (window.SetDisplayMode(800, 600, 16) == 0) {
      CInputManager input(&window, video.getInput());
      CSoundMixer mixer;
      CSoundSystem sound(&window, &mixer);
      std::vector<int16_t> mixed(2 * 44100 * kFrameMs / 1000 + 2);
      {
        CApplication application(&window, CXString(), CXString(), &commandLine);
        if (application.preinitializeApplication()) {
          for (int frame = 0; frame < kFrames && !window.isQuit(); ++frame) {
            bool quit = false;
            input.pump(eventsAt(frame, data, size), quit);
            clock.advance(kFrameMs);
            mixer.render(mixed.data(), static_cast<int>(mixed.size() / 2));
            window.Tick();
            application.domodal();
          }
          application.OnExit();
        }
      }
    }
    CFile::setBigFileIfc(nullptr);
  }
  tarnvik::setEngineClock(nullptr);
  return 0;
}
