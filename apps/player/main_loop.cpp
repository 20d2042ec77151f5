// The player's frame loop: a plain loop natively, emscripten's main loop in the browser.
#include "main_loop.h"

#ifdef __EMSCRIPTEN__
#include <SDL.h>
#include <emscripten.h>

#include "foundation/log.h"
#endif

namespace tarnvik {

#ifndef __EMSCRIPTEN__

int runMainLoop(int, std::function<bool()> frame, std::function<int()> finish) {
  while (frame()) {
  }
  return finish();
}

int endBeforeFrames(int status) { return status; }

bool loopPacesFrames() { return false; }

#else

namespace {

bool framesBegun = false;

// Every run in the browser ends here, after its frames or before them: the log's repeats are told,
// then the page (which keeps the runtime, so the canvas and the saved files stay readable).
void endRun(int status) {
  log::reportRepeats();
  EM_ASM({ if (Module.onRunEnded) Module.onRunEnded($0); }, status);
}

struct Loop {
  std::function<bool()> frame;
  std::function<int()> finish;
  bool shown = false;  // the first frame has been shown (the page measures its time)
};

// One frame; false when the run has no more (it is not finished yet).
bool playOne(Loop* loop) {
  if (!loop->frame()) return false;
  if (!loop->shown) EM_ASM({ if (Module.onFirstFrame) Module.onFirstFrame(); });
  loop->shown = true;
  return true;
}

// The run's end after its frames: its outputs written, the loop gone.
void finishRun(Loop* loop) {
  int status = loop->finish();
  delete loop;
  endRun(status);
}

// The browser calls this once a frame. The loop is cancelled before the run finishes, so a run that
// ends inside the frame does not get another one.
void browserFrame(void* arg) {
  auto* loop = static_cast<Loop*>(arg);
  if (playOne(loop)) return;
  emscripten_cancel_main_loop();
  finishRun(loop);
}

}  // namespace

// The page's menu button: the press of a gamepad's Start, which opens or closes the player's menu.
extern "C" EMSCRIPTEN_KEEPALIVE void tarnvik_web_menu() {
  SDL_Event e{};
  e.type = SDL_CONTROLLERBUTTONDOWN;
  e.cbutton.button = SDL_CONTROLLER_BUTTON_START;
  e.cbutton.state = SDL_PRESSED;
  SDL_PushEvent(&e);
}

int runMainLoop(int framesPerSecond, std::function<bool()> frame, std::function<int()> finish) {
  // A rate above 0: the browser's timer rather than its animation frames, which a page in the
  // background (or a headless browser's virtual time) does not advance.
  framesBegun = true;
  auto* loop = new Loop{std::move(frame), std::move(finish)};
  // The first frame at once, not a timer period later: the page is waiting to show something.
  if (!playOne(loop)) {
    finishRun(loop);
    return 0;
  }
  emscripten_set_main_loop_arg(browserFrame, loop, framesPerSecond > 0 ? framesPerSecond : 60, 0);
  return 0;
}

bool loopPacesFrames() { return true; }

int endBeforeFrames(int status) {
  if (!framesBegun) endRun(status);
  return status;
}

#endif

}  // namespace tarnvik
