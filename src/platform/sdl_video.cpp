// SDL2 video back end: one window, one streaming 5-6-5 texture updated in the changed rectangles,
// placed and scaled as the scale mode says (`scaling.h`), presented with vsync.
#include "platform/sdl_video.h"

#include "platform/gamepad.h"
#include "platform/input.h"

#include <SDL.h>

#include <algorithm>
#include <iterator>
#include <cstdlib>

namespace tarnvik {
namespace {

// SDL scan codes to engine key codes (PC keyboard scan codes; extended keys carry bit 7).
int engineKey(SDL_Scancode code) {
  if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9) return 0x02 + (code - SDL_SCANCODE_1);
  if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F10) return 0x3B + (code - SDL_SCANCODE_F1);
  static const unsigned char letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                            0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) return letters[code - SDL_SCANCODE_A];
  switch (code) {
    case SDL_SCANCODE_0: return 0x0B;
    case SDL_SCANCODE_ESCAPE: return 0x01;
    case SDL_SCANCODE_MINUS: return 0x0C;
    case SDL_SCANCODE_EQUALS: return 0x0D;
    case SDL_SCANCODE_BACKSPACE: return 0x0E;
    case SDL_SCANCODE_TAB: return 0x0F;
    case SDL_SCANCODE_RETURN: return 0x1C;
    case SDL_SCANCODE_LCTRL: return 0x1D;
    case SDL_SCANCODE_LSHIFT: return 0x2A;
    case SDL_SCANCODE_RSHIFT: return 0x36;
    case SDL_SCANCODE_LALT: return 0x38;
    case SDL_SCANCODE_SPACE: return 0x39;
    case SDL_SCANCODE_CAPSLOCK: return 0x3A;
    case SDL_SCANCODE_F11: return 0x57;
    case SDL_SCANCODE_F12: return 0x58;
    case SDL_SCANCODE_KP_7: return 0x47;
    case SDL_SCANCODE_KP_8: return 0x48;
    case SDL_SCANCODE_KP_9: return 0x49;
    case SDL_SCANCODE_KP_4: return 0x4B;
    case SDL_SCANCODE_KP_5: return 0x4C;
    case SDL_SCANCODE_KP_6: return 0x4D;
    case SDL_SCANCODE_KP_1: return 0x4F;
    case SDL_SCANCODE_KP_2: return 0x50;
    case SDL_SCANCODE_KP_3: return 0x51;
    case SDL_SCANCODE_KP_0: return 0x52;
    case SDL_SCANCODE_KP_ENTER: return 0x9C;
    case SDL_SCANCODE_RCTRL: return 0x9D;
    case SDL_SCANCODE_RALT: return 0xB8;
    case SDL_SCANCODE_HOME: return 0xC7;
    case SDL_SCANCODE_UP: return 0xC8;
    case SDL_SCANCODE_PAGEUP: return 0xC9;
    case SDL_SCANCODE_LEFT: return 0xCB;
    case SDL_SCANCODE_RIGHT: return 0xCD;
    case SDL_SCANCODE_END: return 0xCF;
    case SDL_SCANCODE_DOWN: return 0xD0;
    case SDL_SCANCODE_PAGEDOWN: return 0xD1;
    case SDL_SCANCODE_INSERT: return 0xD2;
    case SDL_SCANCODE_DELETE: return 0xD3;
    default: return 0;
  }
}

int engineButton(Uint8 button) {
  return button == SDL_BUTTON_RIGHT ? InputEvent::kRight : button == SDL_BUTTON_MIDDLE ? InputEvent::kMiddle : InputEvent::kLeft;
}

class SdlVideo final : public SdlVideoOutput, public PlatformInput {
 public:
  ~SdlVideo() override { close(); }

  PlatformInput* getInput() override { return this; }

  void takeEvents(std::vector<InputEvent>& out) override {
    out.insert(out.end(), input_.begin(), input_.end());
    input_.clear();
  }
  void showCursor(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }
  void setCursor(Cursor shape) override {
    SDL_SystemCursor id = shape == Cursor::kWait ? SDL_SYSTEM_CURSOR_WAIT
                          : shape == Cursor::kActive ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW;
    if (!cursors_[static_cast<int>(shape)]) cursors_[static_cast<int>(shape)] = SDL_CreateSystemCursor(id);
    if (cursors_[static_cast<int>(shape)]) SDL_SetCursor(cursors_[static_cast<int>(shape)]);
  }
  void warp(int x, int y) override {
    if (!window_) return;
    int wx = 0, wy = 0;
    toWindow(x, y, wx, wy);
    SDL_WarpMouseInWindow(window_, wx, wy);
  }
  void confine(const PixelRect* area) override {
    if (!window_) return;
    if (!area) {
      SDL_SetWindowMouseRect(window_, nullptr);
      return;
    }
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    toWindow(area->x, area->y, x0, y0);
    toWindow(area->x + area->w, area->y + area->h, x1, y1);
    SDL_Rect r{x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0)};
    SDL_SetWindowMouseRect(window_, &r);
  }

  bool open(int width, int height, bool windowed) override {
    close();
    error_.clear();
    SDL_ClearError();
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
#ifdef __EMSCRIPTEN__
    // In the browser the window is the page's canvas, placed and enlarged by the page (which also asks
    // for full screen itself).
    windowed = true;
#else
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) return fail("neither DISPLAY nor WAYLAND_DISPLAY is set");
#endif
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail("SDL cannot start its video part");
    started_ = true;
    // Game controllers, plugged in now or later, move the pointer; without them the window works the same.
    padsStarted_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    padX_ = width / 2;
    padY_ = height / 2;
    Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI | (windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    // Full screen starts as large as the desktop: without a window manager to honour the full-screen
    // request (a bare X server) the window would otherwise keep the logical size and cut the picture.
    windowScale_ = fittingScale(width, height);
#ifdef __EMSCRIPTEN__
    // The canvas holds the game's screen at one pixel a pixel and the page enlarges it (the browser
    // scales on the graphics card): each frame copies only the game's pixels into the page.
    flags = 0;
    windowScale_ = 1;
    // A 2D canvas rather than WebGL: the page can read back what it shows.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
#endif
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED, w = width * windowScale_, h = height * windowScale_;
    SDL_DisplayMode desktop;
    if (!windowed && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      x = y = 0;
      w = desktop.w;
      h = desktop.h;
    }
    window_ = SDL_CreateWindow("Tarnvik", x, y, w, h, flags);
    if (!window_) return fail("cannot make a window");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) return fail("cannot make a renderer");
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) return fail("cannot make the screen texture");
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    width_ = width;
    height_ = height;
    fullscreen_ = !windowed;
    // Start black rather than with whatever the texture memory held.
    std::vector<uint16_t> black(static_cast<size_t>(width) * height, 0);
    SDL_UpdateTexture(texture_, nullptr, black.data(), width * 2);
#ifndef __EMSCRIPTEN__
    // The page's canvas is black until the first frame; drawing it black first would only delay that
    // frame (a whole-canvas copy in the browser's script).
    show();
#endif
    return true;
  }

  void present(const uint16_t* pixels, int pitch, int width, int height,
               const std::vector<PixelRect>& dirty) override {
    if (!texture_ || !pixels || width != width_ || height != height_ || pitch < width) return;
    auto update = [&](int x, int y, int w, int h) {
      x = std::clamp(x, 0, width);
      y = std::clamp(y, 0, height);
      w = std::clamp(w, 0, width - x);
      h = std::clamp(h, 0, height - y);
      if (w == 0 || h == 0) return;
      SDL_Rect r{x, y, w, h};
      SDL_UpdateTexture(texture_, &r, pixels + static_cast<size_t>(y) * pitch + x, pitch * 2);
    };
    if (dirty.empty()) update(0, 0, width, height);
    for (const PixelRect& r : dirty) update(r.x, r.y, r.w, r.h);
    show();
  }

  void minimize() override {
    if (window_) SDL_MinimizeWindow(window_);
  }
  bool isMinimized() const override { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED); }

  void dragWindow(bool on, int x, int y) override {
    dragging_ = on && window_ && renderer_;
    grabX_ = x;
    grabY_ = y;
    // Captured, the pointer's moves keep coming when it leaves the window faster than it follows.
    SDL_CaptureMouse(dragging_ ? SDL_TRUE : SDL_FALSE);
  }

  // While dragging: the window moves by how far the pointer is from the grab point (both in logical
  // pixels, compared in window pixels so the scaled picture stays under the pointer).
  void followPointer(int x, int y) {
    // Capture needs the pointer over the window, which it may not have had when the drag began.
    if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_MOUSE_CAPTURE)) SDL_CaptureMouse(SDL_TRUE);
    int px = 0, py = 0, gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(x), static_cast<float>(y), &px, &py);
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(grabX_), static_cast<float>(grabY_), &gx, &gy);
    SDL_GetWindowPosition(window_, &wx, &wy);
    if (px != gx || py != gy) SDL_SetWindowPosition(window_, wx + px - gx, wy + py - gy);
  }

  void pollEvents(std::vector<HostEvent>& out) override {
    if (!window_) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      switch (e.type) {
        case SDL_QUIT:
          out.push_back({HostEvent::kQuit});
          break;
        case SDL_WINDOWEVENT:
          if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) out.push_back({HostEvent::kFocusGained});
          if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) out.push_back({HostEvent::kFocusLost});
          // The texture still holds the last frame: show it again after the window was uncovered or resized
          // (once something was shown: the browser's canvas stays black until the first frame).
          if ((e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) && shown_)
            show();
          break;
        case SDL_KEYDOWN:
          if (!e.key.repeat && hostKey(e.key.keysym, out)) break;
          // Keys the host does not take belong to the game.
          key(e.key.keysym.scancode, InputEvent::kKeyDown, e.key.repeat != 0);
          break;
        case SDL_KEYUP:
          key(e.key.keysym.scancode, InputEvent::kKeyUp, false);
          break;
        case SDL_MOUSEMOTION:
          if (dragging_) followPointer(e.motion.x, e.motion.y);
          pointer(InputEvent::kMove, e.motion.x, e.motion.y, InputEvent::kLeft);
          break;
        case SDL_CONTROLLERDEVICEADDED:
          if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which)) pads_.push_back(pad);
          break;
        case SDL_CONTROLLERDEVICEREMOVED:
          closePad(e.cdevice.which);
          break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
          padButton(e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN, out);
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
          if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_MIDDLE &&
              e.button.button != SDL_BUTTON_RIGHT)
            break;
          pointer(e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::kDown : InputEvent::kUp, e.button.x, e.button.y,
                  engineButton(e.button.button));
          // SDL counts clicks: the second press of a double click is also a double click.
          if (e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT && e.button.clicks == 2)
            pointer(InputEvent::kDblClick, e.button.x, e.button.y, InputEvent::kLeft);
          break;
        case SDL_TEXTINPUT: {
          // One event per character (UTF-8 sequences kept whole).
          const char* t = e.text.text;
          for (size_t i = 0; t[i];) {
            size_t n = 1;
            while (t[i + n] && (static_cast<unsigned char>(t[i + n]) & 0xC0) == 0x80) ++n;
            InputEvent c;
            c.kind = InputEvent::kChar;
            c.text.assign(t + i, n);
            input_.push_back(std::move(c));
            i += n;
          }
          break;
        }
        default:
          break;
      }
    }
    movePadPointer();
  }

  void drivePad(int kind, int x, int y, int button) override {
    if (!padsStarted_) return;
    if (virtualIndex_ < 0) {
      virtualIndex_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_MAX, 0);
      virtualPad_ = virtualIndex_ >= 0 ? SDL_JoystickOpen(virtualIndex_) : nullptr;
    }
    if (!virtualPad_) return;
    static constexpr SDL_GameControllerButton kButtons[] = {
        SDL_CONTROLLER_BUTTON_A,       SDL_CONTROLLER_BUTTON_B,         SDL_CONTROLLER_BUTTON_BACK,
        SDL_CONTROLLER_BUTTON_START,   SDL_CONTROLLER_BUTTON_DPAD_UP,   SDL_CONTROLLER_BUTTON_DPAD_DOWN,
        SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
    if (kind == InputEvent::kPadStick) {
      SDL_JoystickSetVirtualAxis(virtualPad_, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(x));
      SDL_JoystickSetVirtualAxis(virtualPad_, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(y));
    } else if (button >= 0 && button < static_cast<int>(std::size(kButtons))) {
      SDL_JoystickSetVirtualButton(virtualPad_, kButtons[button], kind == InputEvent::kPadDown ? 1 : 0);
    }
  }

  void showMessage(const std::string& title, const std::string& text) override {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), window_);
  }

  bool isWindowed() const override { return window_ != nullptr; }
  bool isFullScreen() const override { return window_ && fullscreen_; }

  bool setFullScreen(bool on) override {
    if (!window_) return false;
    if (on == fullscreen_) return true;
    if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
      error_ = std::string("cannot switch full screen: ") + SDL_GetError();
      return false;
    }
    fullscreen_ = on;
    if (!on) {
      SDL_SetWindowSize(window_, width_ * windowScale_, height_ * windowScale_);
      SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    show();
    return true;
  }

  const std::string& lastError() const override { return error_; }

  void setScaleMode(ScaleMode mode) override {
    scaleMode_ = mode;
    if (renderer_) show();
  }

  std::string describe() const override {
    if (!renderer_) return "closed";
    SDL_RendererInfo info;
    std::string text = std::to_string(width_) + " x " + std::to_string(height_) +
                       (fullscreen_ ? " full screen" : " in a window") + ", scale " + scaleModeName(scaleMode_);
    if (SDL_GetRendererInfo(renderer_, &info) == 0)
      text += std::string(", renderer ") + info.name +
              ((info.flags & SDL_RENDERER_PRESENTVSYNC) ? " with vsync" : " without vsync");
    return text;
  }

 private:
  // Mouse positions arrive in window points; the game gets the logical screen pixel under them as the
  // picture is placed now. On the black bars they lie off the screen.
  void pointer(InputEvent::Kind kind, int x, int y, int button) {
    float dpi = drawableScale();
    int gx = 0, gy = 0;
    outputToGame(placement(), width_, height_, static_cast<int>(static_cast<float>(x) * dpi),
                 static_cast<int>(static_cast<float>(y) * dpi), gx, gy);
    // The gamepad goes on from where the mouse left the pointer (its own warps land on its pixel).
    if (gx != static_cast<int>(padX_) || gy != static_cast<int>(padY_)) {
      padX_ = std::clamp(gx, 0, width_ - 1);
      padY_ = std::clamp(gy, 0, height_ - 1);
    }
    emit(kind, gx, gy, button);
  }
  void emit(InputEvent::Kind kind, int gx, int gy, int button) {
    InputEvent e;
    e.kind = kind;
    e.x = gx;
    e.y = gy;
    e.button = button;
    input_.push_back(e);
  }
  // A gamepad button: A and B are the left and right mouse buttons at the pointer, Back closes the
  // game as closing the window does, Start asks for the player's menu.
  void padButton(int button, bool down, std::vector<HostEvent>& out) {
    int x = static_cast<int>(padX_), y = static_cast<int>(padY_);
    InputEvent::Kind kind = down ? InputEvent::kDown : InputEvent::kUp;
    bool mouseButton = button == SDL_CONTROLLER_BUTTON_A || button == SDL_CONTROLLER_BUTTON_B;
    if (mouseButton) emit(InputEvent::kMove, x, y, InputEvent::kLeft);  // presses land where the pad points
    if (button == SDL_CONTROLLER_BUTTON_A) emit(kind, x, y, InputEvent::kLeft);
    else if (button == SDL_CONTROLLER_BUTTON_B) emit(kind, x, y, InputEvent::kRight);
    else if (button == SDL_CONTROLLER_BUTTON_BACK && down) out.push_back({HostEvent::kQuit});
    else if (button == SDL_CONTROLLER_BUTTON_START && down) out.push_back({HostEvent::kMenu});
  }
  // The left stick and the d-pad of every controller move the pointer once per frame; the system
  // cursor follows.
  void movePadPointer() {
    if (pads_.empty()) return;
    int stickX = 0, stickY = 0, dirX = 0, dirY = 0;
    for (SDL_GameController* pad : pads_) {
      stickX += SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
      stickY += SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
      dirX += SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) -
              SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
      dirY += SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN) -
              SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP);
    }
    double dx = 0, dy = 0;
    padPointer_.step(std::clamp(stickX, -32768, 32767), std::clamp(stickY, -32768, 32767), std::clamp(dirX, -1, 1),
                     std::clamp(dirY, -1, 1), dx, dy);
    if (dx == 0 && dy == 0) return;
    padX_ = std::clamp(padX_ + dx, 0.0, static_cast<double>(width_ - 1));
    padY_ = std::clamp(padY_ + dy, 0.0, static_cast<double>(height_ - 1));
    int x = static_cast<int>(padX_), y = static_cast<int>(padY_);
    emit(InputEvent::kMove, x, y, InputEvent::kLeft);
    int wx = 0, wy = 0;
    toWindow(x, y, wx, wy);
    SDL_WarpMouseInWindow(window_, wx, wy);
  }
  void closePad(SDL_JoystickID id) {
    for (auto it = pads_.begin(); it != pads_.end(); ++it)
      if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(*it)) == id) {
        SDL_GameControllerClose(*it);
        pads_.erase(it);
        padPointer_.reset();
        return;
      }
  }
  void key(SDL_Scancode code, InputEvent::Kind kind, bool repeat) {
    int k = engineKey(code);
    if (!k) return;
    InputEvent e;
    e.kind = kind;
    e.key = k;
    e.repeat = repeat;
    input_.push_back(e);
  }
  // High-DPI: the renderer works in drawable pixels, the mouse in window points.
  float drawableScale() const {
    int ww = 0, wh = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    if (renderer_) SDL_GetRendererOutputSize(renderer_, &pw, &ph);
    return (pw > 0 && ww > 0) ? static_cast<float>(pw) / static_cast<float>(ww) : 1.0f;
  }
  // Where the picture goes in the renderer's output now.
  Placement placement() const {
    int pw = 0, ph = 0;
    if (!renderer_ || SDL_GetRendererOutputSize(renderer_, &pw, &ph) != 0) return Placement{};
    ScaleMode mode = effectiveScale(scaleMode_, width_, height_, pw, ph, fullscreen_);
    return placePicture(mode, width_, height_, pw, ph);
  }
  // A logical screen point in window coordinates.
  void toWindow(int x, int y, int& wx, int& wy) const {
    int ox = x, oy = y;
    gameToOutput(placement(), width_, height_, x, y, ox, oy);
    float dpi = drawableScale();
    wx = static_cast<int>(static_cast<float>(ox) / dpi);
    wy = static_cast<int>(static_cast<float>(oy) / dpi);
  }

  // The window's scale: the largest whole multiple of the game's screen that fits in 90% of the
  // desktop's usable area (without panels and docks), at least 1.
  static int fittingScale(int width, int height) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return 1;
    int scale = std::min(usable.w * 9 / 10 / width, usable.h * 9 / 10 / height);
    return std::max(1, scale);
  }

  std::vector<InputEvent> input_;
  SDL_Cursor* cursors_[3] = {nullptr, nullptr, nullptr};

  // Alt+Enter, F12, Alt+S and Ctrl+M belong to the host; true when the key was one of them.
  bool hostKey(const SDL_Keysym& key, std::vector<HostEvent>& out) {
    bool alt = key.mod & KMOD_ALT, ctrl = key.mod & KMOD_CTRL;
    if (alt && (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER)) {
      setFullScreen(!fullscreen_);
      return true;
    }
    if (key.sym == SDLK_F12 || (alt && key.sym == SDLK_s)) {
      out.push_back({HostEvent::kScreenshot});
      return true;
    }
    if (ctrl && key.sym == SDLK_m) {
      out.push_back({HostEvent::kMuteToggle});
      return true;
    }
    return false;
  }

  // Draws the picture where the scale mode places it and presents; waits for the display when vsync
  // is on. A size that is not a whole multiple is reached in two steps: the largest whole multiple
  // with nearest pixels into a texture of its own, then linearly to the final size, so pixels stay
  // crisp without uneven widths.
  void show() {
    shown_ = true;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    Placement place = placement();
    SDL_Rect dst{place.picture.x, place.picture.y, place.picture.w, place.picture.h};
    bool whole = dst.w == width_ * place.prescale && dst.h == height_ * place.prescale;
    if (!whole && prepareEnlarged(place.prescale)) {
      SDL_SetRenderTarget(renderer_, enlarged_);
      SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
      SDL_SetRenderTarget(renderer_, nullptr);
      SDL_RenderCopy(renderer_, enlarged_, nullptr, &dst);
    } else {
      SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
    }
    SDL_RenderPresent(renderer_);
  }

  // The texture of the whole-multiple enlargement, made again when the multiple changes; false
  // when the renderer cannot draw into textures (the picture is then scaled in one nearest step).
  bool prepareEnlarged(int multiple) {
    if (!SDL_RenderTargetSupported(renderer_)) return false;
    if (enlarged_ && enlargedMultiple_ == multiple) return true;
    if (enlarged_) SDL_DestroyTexture(enlarged_);
    enlarged_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, width_ * multiple,
                                  height_ * multiple);
    enlargedMultiple_ = multiple;
    if (enlarged_) SDL_SetTextureScaleMode(enlarged_, SDL_ScaleModeLinear);
    return enlarged_ != nullptr;
  }

  bool fail(const std::string& what) {
    const char* why = SDL_GetError();
    error_ = why && *why ? what + ": " + why : what;
    close();
    return false;
  }

  void close() {
    for (SDL_Cursor*& c : cursors_) {
      if (c) SDL_FreeCursor(c);
      c = nullptr;
    }
    if (enlarged_) SDL_DestroyTexture(enlarged_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    enlarged_ = nullptr;
    enlargedMultiple_ = 0;
    shown_ = false;
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    for (SDL_GameController* pad : pads_) SDL_GameControllerClose(pad);
    pads_.clear();
    if (virtualPad_) SDL_JoystickClose(virtualPad_);
    if (virtualIndex_ >= 0) SDL_JoystickDetachVirtual(virtualIndex_);
    virtualPad_ = nullptr;
    virtualIndex_ = -1;
    if (padsStarted_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    padsStarted_ = false;
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    started_ = false;
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* enlarged_ = nullptr;
  int enlargedMultiple_ = 0;
  ScaleMode scaleMode_ = ScaleMode::automatic;
  // Game controllers: those open, the pointer they move (logical pixels, with the fraction kept), and
  // the virtual controller a script drives.
  std::vector<SDL_GameController*> pads_;
  GamepadPointer padPointer_;
  double padX_ = 0, padY_ = 0;
  bool padsStarted_ = false;
  SDL_Joystick* virtualPad_ = nullptr;
  int virtualIndex_ = -1;
  int width_ = 0, height_ = 0;
  int windowScale_ = 1;
  bool dragging_ = false;
  int grabX_ = 0, grabY_ = 0;
  bool fullscreen_ = false;
  bool shown_ = false;  // the window shows the texture (and shows it again when uncovered)
  bool started_ = false;
  std::string error_;
};

}  // namespace

std::unique_ptr<SdlVideoOutput> createSdlVideo() { return std::make_unique<SdlVideo>(); }

}  // namespace tarnvik
