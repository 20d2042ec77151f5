// The input devices: the platform's events become queued signals, dispatched once per frame tick.
#include "input/input_manager.h"

#include <algorithm>

#include "foundation/log.h"
#include "input/hotspot.h"

namespace {

CInputManager* g_current = nullptr;

using tarnvik::InputEvent;

int downSignal(int button) {
  return button == InputEvent::kRight ? MouseSignal::kRightDown
         : button == InputEvent::kMiddle ? MouseSignal::kMiddleDown : MouseSignal::kLeftDown;
}

}  // namespace

CInputManager::CInputManager(CWindow* window, tarnvik::PlatformInput* platform) : window_(window), platform_(platform) {
  g_current = this;
  if (window_) {
    window_->addParticipant(CFrameParticipant::kInput, this);
    position_ = CXPoint(window_->getWidth() / 2, window_->getHeight() / 2);
  }
}

CInputManager::~CInputManager() {
  if (window_) window_->removeParticipant(this);
  if (g_current == this) g_current = nullptr;
}

CInputManager* CInputManager::getCurrent() { return g_current; }

CXPoint CInputManager::clamp(int x, int y) const {
  int w = window_ ? window_->getWidth() : 800, h = window_ ? window_->getHeight() : 600;
  int left = 0, top = 0, right = std::max(0, w - 1), bottom = std::max(0, h - 1);
  // A confinement holds the pointer in every mode, as the system cursor is held: scripted and
  // headless moves land inside it too (its right and bottom edges are outside, as for the cursor).
  if (!clip_.isEmpty()) {
    left = std::clamp(clip_.left, left, right);
    top = std::clamp(clip_.top, top, bottom);
    right = std::clamp(clip_.right - 1, left, right);
    bottom = std::clamp(clip_.bottom - 1, top, bottom);
  }
  return CXPoint(std::clamp(x, left, right), std::clamp(y, top, bottom));
}

std::vector<InputEvent> CInputManager::pump(std::vector<InputEvent> extra, bool& quit,
                                            const std::function<bool(const InputEvent&)>& hostTakes) {
  quit = false;
  if (platform_) platform_->takeEvents(extra);
  std::vector<InputEvent> taken;
  taken.reserve(extra.size());
  for (InputEvent& e : extra) {
    if (e.kind == InputEvent::kKeyDown && e.repeat && !autoRepeat_) continue;
    if (e.kind == InputEvent::kQuit) quit = true;
    if (!hostTakes || !hostTakes(e)) feed(e);
    taken.push_back(std::move(e));
  }
  return taken;
}

void CInputManager::feed(const InputEvent& e) {
  switch (e.kind) {
    case InputEvent::kMove: {
      position_ = clamp(e.x, e.y);
      auto queued = std::find_if(mouse_.begin(), mouse_.end(), [](const MouseSignal& s) { return s.type == MouseSignal::kMove; });
      if (queued != mouse_.end()) queued->point = position_;
      else mouse_.push_back({MouseSignal::kMove, position_});
      break;
    }
    case InputEvent::kDown:
    case InputEvent::kUp: {
      if (e.button < 0 || e.button > 2) return;
      bool down = e.kind == InputEvent::kDown;
      buttons_[e.button] = down;
      mouse_.push_back({downSignal(e.button) + (down ? 0 : 1), position_});
      break;
    }
    case InputEvent::kDblClick:
      position_ = clamp(e.x, e.y);
      mouse_.push_back({MouseSignal::kDblClick, position_});
      break;
    case InputEvent::kKeyDown:
      if (e.key <= 0 || e.key >= tarnvik::keys::kCount) return;
      down_[e.key] = true;
      keys_.push_back({KeySignal::kDown, e.key, {}});
      break;
    case InputEvent::kKeyUp:
      if (e.key <= 0 || e.key >= tarnvik::keys::kCount) return;
      down_[e.key] = false;
      keys_.push_back({KeySignal::kUp, e.key, {}});
      break;
    case InputEvent::kChar:
      if (!e.text.empty()) keys_.push_back({KeySignal::kChar, 0, e.text});
      break;
    case InputEvent::kQuit:
    case InputEvent::kMenu:  // the player's
    case InputEvent::kPadStick:  // the window turns a gamepad into moves and clicks
    case InputEvent::kPadDown:
    case InputEvent::kPadUp:
    case InputEvent::kFocusIn:
    case InputEvent::kFocusOut:
      break;
  }
}

void CInputManager::inject(int type, const CXPoint& point) { mouse_.push_back({type, clamp(point.x, point.y)}); }

void CInputManager::frameTick() {
  // Handlers may queue more (injected clicks): those wait for the next tick.
  std::vector<MouseSignal> mouse;
  mouse.swap(mouse_);
  for (const MouseSignal& s : mouse) dispatchMouse(s);
  std::vector<KeySignal> keys;
  keys.swap(keys_);
  for (const KeySignal& s : keys) dispatchKey(s);
}

void CInputManager::dispatchMouse(const MouseSignal& s) {
  if (!mouseInput_) return;
  // Listeners registered or removed by handlers: walk a copy, asking only those still registered.
  auto listeners = mouseListeners_;
  auto registered = [this](CMouseListener* l) {
    return std::find(mouseListeners_.begin(), mouseListeners_.end(), l) != mouseListeners_.end();
  };
  switch (s.type) {
    case MouseSignal::kMove:
      CHotSpot::dispatchMove(s.point, buttons_[InputEvent::kLeft]);
      for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        if (registered(*it) && (*it)->onMouseMove(s.point)) break;
      break;
    case MouseSignal::kLeftDown:
    case MouseSignal::kMiddleDown:
    case MouseSignal::kRightDown:
    case MouseSignal::kLeftUp:
    case MouseSignal::kMiddleUp:
    case MouseSignal::kRightUp: {
      // Signals come in down/up pairs per button: left 2, 3; middle 4, 5; right 6, 7.
      bool down = (s.type - MouseSignal::kLeftDown) % 2 == 0;
      int pair = (s.type - MouseSignal::kLeftDown) / 2;
      int button = pair == 0 ? InputEvent::kLeft : pair == 1 ? InputEvent::kMiddle : InputEvent::kRight;
      if (down ? CHotSpot::dispatchPress(button, s.point) : CHotSpot::dispatchRelease(button, s.point)) break;
      for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        if (!registered(*it)) continue;
        if (down ? (*it)->onClick(button, s.point) : (*it)->onRelease(button, s.point)) break;
        if (registered(*it) && (down ? (*it)->onClick(s.point) : (*it)->onRelease(s.point))) break;
      }
      break;
    }
    case MouseSignal::kDblClick:
      for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        if (registered(*it) && (*it)->onDblClick(s.point)) break;
      break;
    default:
      break;
  }
}

void CInputManager::dispatchKey(const KeySignal& s) {
  auto listeners = keyListeners_;
  for (CKeyListener* l : listeners) {
    if (std::find(keyListeners_.begin(), keyListeners_.end(), l) == keyListeners_.end()) continue;
    if (s.type == KeySignal::kDown) l->onKeyDown(s.code);
    else if (s.type == KeySignal::kUp) l->onKeyUp(s.code);
    else l->onChar(s.text);
  }
}

void CInputManager::onActivate(bool active) {
  if (active) {
    restoreMouseState();
    return;
  }
  resetMouseState();
  // Releases made while another window has the focus never reach this one.
  for (bool& b : buttons_) b = false;
  std::fill(std::begin(down_), std::end(down_), false);
}

void CInputManager::registerMouseListener(CMouseListener* listener) {
  if (listener && std::find(mouseListeners_.begin(), mouseListeners_.end(), listener) == mouseListeners_.end())
    mouseListeners_.push_back(listener);
}
void CInputManager::removeMouseListener(CMouseListener* listener) {
  mouseListeners_.erase(std::remove(mouseListeners_.begin(), mouseListeners_.end(), listener), mouseListeners_.end());
}
void CInputManager::addKeyListener(CKeyListener* listener) {
  if (listener && std::find(keyListeners_.begin(), keyListeners_.end(), listener) == keyListeners_.end())
    keyListeners_.push_back(listener);
}
void CInputManager::removeKeyListener(CKeyListener* listener) {
  keyListeners_.erase(std::remove(keyListeners_.begin(), keyListeners_.end(), listener), keyListeners_.end());
}

bool CInputManager::anyKeyDown() const { return std::any_of(std::begin(down_), std::end(down_), [](bool d) { return d; }); }

void CInputManager::showCursor(bool visible) {
  cursorVisible_ = visible;
  if (platform_) platform_->showCursor(visible);
}
void CInputManager::beginWaitCursor() {
  activeCursor_ = false;
  if (platform_) platform_->setCursor(tarnvik::PlatformInput::Cursor::kWait);
}
void CInputManager::beginActiveCursor() {
  if (activeLocked_ || activeCursor_) return;
  activeCursor_ = true;
  if (platform_) platform_->setCursor(tarnvik::PlatformInput::Cursor::kActive);
}
void CInputManager::endActiveCursor() {
  if (activeLocked_) return;
  activeCursor_ = false;
  if (platform_) platform_->setCursor(tarnvik::PlatformInput::Cursor::kArrow);
}
void CInputManager::lockActiveCursor(bool lock) {
  activeLocked_ = false;
  endActiveCursor();
  activeLocked_ = lock;
}

void CInputManager::setPosition(const CXPoint& point) {
  position_ = clamp(point.x, point.y);
  if (platform_) platform_->warp(position_.x, position_.y);
}

void CInputManager::setClipRect(const CXRect* rect) {
  if (!rect || rect->isEmpty()) {
    clip_ = CXRect();
    if (platform_) platform_->confine(nullptr);
    return;
  }
  clip_ = *rect;
  tarnvik::PixelRect area{rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top};
  if (platform_) platform_->confine(&area);
  position_ = clamp(position_.x, position_.y);
}

void CInputManager::resetMouseState() {
  mouse_.clear();
  CHotSpot::resetAll();
}

void CInputManager::restoreMouseState() {
  mouse_.push_back({MouseSignal::kMove, position_});
}
