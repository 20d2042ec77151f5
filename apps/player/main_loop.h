// The player's frame loop: a plain loop natively, the browser's main loop in the web build.
#pragma once

#include <functional>

namespace tarnvik {

// Calls `frame` until it returns false, then `finish`, whose status ends the run. Natively this returns
// that status. In the browser the loop belongs to the page: this returns at once (the page keeps the
// run alive) and `finish`'s status is handed to the page when the last frame has run.
int runMainLoop(int framesPerSecond, std::function<bool()> frame, std::function<int()> finish);

// True where the loop itself calls the frames at their rate (the browser's timer): a frame must then
// return at once rather than wait out its period, which in the browser would hold the page.
bool loopPacesFrames();

// The status of a run that ends before its frames (bad options, a refused save, --list-saves): returned
// natively; in the browser the page is told it as after a last frame, unless the frames have begun.
int endBeforeFrames(int status);

}  // namespace tarnvik
