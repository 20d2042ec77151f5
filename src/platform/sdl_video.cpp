// SDL2 video back end: one window, one streaming 5-6-5 texture updated in the changed rectangles,
// scaled by whole multiples and letterboxed, presented with vsync.
#include "platform/sdl_video.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace tarnvik {
namespace {

class SdlVideo final : public SdlVideoOutput {
 public:
  ~SdlVideo() override { close(); }

  bool open(int width, int height, bool windowed) override {
    close();
    error_.clear();
    SDL_ClearError();
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) return fail("neither DISPLAY nor WAYLAND_DISPLAY is set");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail("SDL cannot start its video part");
    started_ = true;
    // Whole-pixel scaling: the nearest pixel, never a blur.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI | (windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    // Full screen starts as large as the desktop: without a window manager to honour the full-screen
    // request (a bare X server) the window would otherwise keep the logical size and cut the picture.
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED, w = width, h = height;
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
    SDL_RenderSetLogicalSize(renderer_, width, height);
    SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) return fail("cannot make the screen texture");
    width_ = width;
    height_ = height;
    fullscreen_ = !windowed;
    // Start black rather than with whatever the texture memory held.
    std::vector<uint16_t> black(static_cast<size_t>(width) * height, 0);
    SDL_UpdateTexture(texture_, nullptr, black.data(), width * 2);
    show();
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
          // The texture still holds the last frame: show it again after the window was uncovered or resized.
          if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) show();
          break;
        case SDL_KEYDOWN:
          if (!e.key.repeat && hostKey(e.key.keysym, out)) break;
          // Keys the host does not take belong to the game: the input back end will map them here.
          break;
        default:
          // Mouse, text and the remaining keyboard events go to the input back end once it exists.
          break;
      }
    }
  }

  void showMessage(const std::string& title, const std::string& text) override {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), window_);
  }

  bool isWindowed() const override { return window_ != nullptr; }

  const std::string& lastError() const override { return error_; }

  std::string describe() const override {
    if (!renderer_) return "closed";
    SDL_RendererInfo info;
    std::string text = std::to_string(width_) + " x " + std::to_string(height_) +
                       (fullscreen_ ? " full screen" : " in a window");
    if (SDL_GetRendererInfo(renderer_, &info) == 0)
      text += std::string(", renderer ") + info.name +
              ((info.flags & SDL_RENDERER_PRESENTVSYNC) ? " with vsync" : " without vsync");
    return text;
  }

 private:
  // Alt+Enter, F12, Alt+S and Ctrl+M belong to the host; true when the key was one of them.
  bool hostKey(const SDL_Keysym& key, std::vector<HostEvent>& out) {
    bool alt = key.mod & KMOD_ALT, ctrl = key.mod & KMOD_CTRL;
    if (alt && (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER)) {
      fullscreen_ = !fullscreen_;
      if (SDL_SetWindowFullscreen(window_, fullscreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        error_ = std::string("cannot switch full screen: ") + SDL_GetError();
        fullscreen_ = !fullscreen_;
      } else if (!fullscreen_) {
        SDL_SetWindowSize(window_, width_, height_);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      }
      show();
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

  // Draws the texture into the letterboxed area and presents; waits for the display when vsync is on.
  void show() {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  bool fail(const std::string& what) {
    const char* why = SDL_GetError();
    error_ = why && *why ? what + ": " + why : what;
    close();
    return false;
  }

  void close() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    started_ = false;
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int width_ = 0, height_ = 0;
  bool fullscreen_ = false;
  bool started_ = false;
  std::string error_;
};

}  // namespace

std::unique_ptr<SdlVideoOutput> createSdlVideo() { return std::make_unique<SdlVideo>(); }

}  // namespace tarnvik
