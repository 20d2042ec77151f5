// The window's frame tick and its registry of per-frame participants.
#include "graphics/window.h"

#include <algorithm>

#include "foundation/log.h"
#include "foundation/xstring.h"
#include "graphics/pixels/color.h"
#include "graphics/pixels/fps_text.h"
#include "graphics/refresh_screen.h"
#include "graphics/display.h"
#include "graphics/pixels/surface.h"
#include "platform/clock.h"
#include "platform/video.h"

namespace {
CWindow* g_current = nullptr;
}

CWindow::CWindow(CCommandLine6* commandLine, CLanguageOSVer* language, tarnvik::VideoOutput* video, int width,
                 int height)
    : commandLine_(commandLine), language_(language), video_(video), width_(width), height_(height) {
  g_current = this;
  if (language_) setLanguage(language_);
}

CWindow::~CWindow() {
  // Drawables still registered must not reach a refresh manager that is gone.
  refresh_.reset();
  if (g_current == this) g_current = nullptr;
}

int CWindow::SetDisplayMode(int width, int height, int bpp) {
  if (width == 0 && height == 0) {
    width = width_;
    height = height_;
  }
  refresh_.reset();
  backBuffer_.reset();
  display_.reset();
  if (width < 1 || height < 1 || width > 16384 || height > 16384 || (bpp != 15 && bpp != 16 && bpp != 24 && bpp != 32)) {
    TLOG_ERROR("display mode " << width << "x" << height << "x" << bpp << " is not available");
    setErrorCode(kErrorGraphics);
    return getErrorCode();
  }
  width_ = width;
  height_ = height;
  display_ = std::make_unique<CSurface>(video_, CXSize(width, height), bpp, false);
  // Composition is 16-bit; deeper displays get 5-6-5 converted on the way out.
  int bufferBpp = bpp == 15 ? 15 : 16;
  backBuffer_ = std::make_unique<CDirectDrawSurface>(CXSize(width, height), bufferBpp);
  refresh_ = std::make_unique<CRefreshScreen>(CXSize(width, height), bufferBpp);
  refresh_->SetBackground(static_cast<const CColor*>(nullptr));
  setErrorCode(0);
  return 0;
}

int CWindow::CreateSurface() {
  int code = SetDisplayMode(width_, height_, 16);
  if (code == 0) display_ = std::make_unique<CSurface>(video_, CXSize(width_, height_), 16, true);
  return code;
}

int CWindow::GetBpp() const { return display_ ? display_->GetBpp() : 16; }

const uint16_t* CWindow::GetScreenPtr() const { return backBuffer_ ? backBuffer_->pixels16() : nullptr; }
int CWindow::GetScreenPitch() const { return backBuffer_ ? backBuffer_->GetPitch() : 0; }
CXSize CWindow::GetScreenSize() const { return backBuffer_ ? backBuffer_->Size() : CXSize(width_, height_); }

void CWindow::Redraw(bool force) {
  if (!refresh_ || !backBuffer_ || !display_) return;
  if (!force && (!active_ || refresh_->isPaused())) return;
  bool ranInitialUpdate = false;
  if (refresh_->Redraw(backBuffer_.get(), display_.get(), ranInitialUpdate)) {
    const CRefreshRegion& region = refresh_->region();
    CXRect screen(CXPoint(0, 0), backBuffer_->Size());
    for (const CXRect& entry : region.rects()) {
      CXRect rect = region.isFullScreen() ? screen : entry.intersection(screen);
      if (!rect.isEmpty()) display_->Blt(backBuffer_.get(), rect.left, rect.top, &rect);
    }
    refresh_->clearRegion();
  }
  if (showFPS_) drawFPS();
  display_->Present();
  // The frame after a scene's initial update is composed in full.
  if (ranInitialUpdate) refresh_->Invalidate();
}

void CWindow::showRestored() {
  if (!refresh_ || !backBuffer_ || !display_) return;
  refresh_->composeRestored(backBuffer_.get());
  CXRect screen(CXPoint(0, 0), backBuffer_->Size());
  display_->Blt(backBuffer_.get(), 0, 0, &screen);
}

void CWindow::drawFPS() {
  uint32_t now = tarnvik::engineClock().now();
  ++fpsCount_;
  if (now - fpsSince_ >= 1000) {
    fpsShown_ = fpsCount_;
    fpsCount_ = 0;
    fpsSince_ = now;
  }
  std::string text = "FPS: " + std::to_string(fpsShown_);
  CXRect drawn = tarnvik::drawFpsText(*backBuffer_, 10, 10, text);
  if (!drawn.isEmpty()) display_->Blt(backBuffer_.get(), drawn.left, drawn.top, &drawn);
}

void CWindow::Invalidate() {
  if (refresh_) refresh_->Invalidate();
}

void CWindow::Invalidate(const CXRect* area) {
  if (refresh_) refresh_->Invalidate(area);
}

void CWindow::Invalidate(CGraphicsObject* object) {
  if (refresh_) refresh_->Invalidate(object);
}

void CWindow::SetBackground(CGraphicsObject* object) {
  if (refresh_) refresh_->SetBackground(object);
}

void CWindow::SetBackground(const CColor* color) {
  if (refresh_) refresh_->SetBackground(color);
}

bool CWindow::SetBackground(const CXString& fileName) { return refresh_ && refresh_->SetBackground(fileName); }

const char* CWindow::errorText(int code) {
  switch (code) {
    case 0: return "";
    case kErrorGraphics: return "Nieprawidłowe działanie karty graficznej.";
    case kErrorSound: return "Nieprawidłowe działanie karty dźwiękowej.";
    default: return "Nieznany błąd krytyczny.";
  }
}

void CWindow::ShowError(const CXString& caption) {
  if (getErrorCode() == 0) return;
  const char* text = errorText(getErrorCode());
  TLOG_ERROR(caption.view() << ": " << text);
  if (video_ && video_->isWindowed()) video_->showMessage(caption.str(), text);
}

CWindow* CWindow::getCurrent() { return g_current; }

void CWindow::Tick() {
  if (!active_) return;
  ++frames_;
  Redraw(false);
  timer_.domodal();
  animations_.domodal();
  // Participants may register or leave while ticking: walk a copy and check each is still there.
  auto snapshot = participants_;
  bool collisionsDone = false;
  for (auto& [phase, participant] : snapshot) {
    if (!collisionsDone && phase >= CFrameParticipant::kCollision) {
      collisions_.tick();
      collisionsDone = true;
    }
    if (std::find(participants_.begin(), participants_.end(), std::make_pair(phase, participant)) != participants_.end())
      participant->frameTick();
  }
  if (!collisionsDone) collisions_.tick();
}

bool CWindow::domodal() {
  Tick();
  return quit_;
}

void CWindow::OnActivateApp(bool active) {
  if (active == active_) return;
  active_ = active;
  auto participants = participants_;
  for (auto& entry : participants) entry.second->onActivate(active);
  if (!refresh_) return;
  if (active) {
    refresh_->resume();
    refresh_->Invalidate();
    refresh_->onFocusOn();
  } else {
    refresh_->pause();
    refresh_->onFocusOff();
  }
}

void CWindow::minimize() {
  if (video_) video_->minimize();
}

void CWindow::addParticipant(CFrameParticipant::Phase phase, CFrameParticipant* participant) {
  if (!participant) return;
  auto at = std::find_if(participants_.begin(), participants_.end(), [phase](const auto& p) { return p.first > phase; });
  participants_.insert(at, {phase, participant});
}

void CWindow::removeParticipant(CFrameParticipant* participant) {
  participants_.erase(std::remove_if(participants_.begin(), participants_.end(),
                                     [participant](const auto& p) { return p.second == participant; }),
                      participants_.end());
}
