// EDITBOX objects: focus, typing and editing keys, the blinking caret, methods and events.
#include "objects/text/mc_editbox.h"

#include <algorithm>

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "foundation/cp1250.h"
#include "graphics/font.h"
#include "input/keys.h"
#include "platform/clock.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/variable_factory.h"

namespace {

CMC_EditBox* gFocused = nullptr;

const CMC_EventList& editBoxEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONENTER", "ONCHANGED"});
  return list;
}

uint32_t now() { return tarnvik::engineClock().now(); }

// The letters' colour: the most opaque pixel down the middle of "l" (or the first letter), so an
// outlined font gives its letter colour rather than its border.
uint16_t caretColour(CSimpleFont6& font) {
  int index = std::max(0, font.findLetter('l'));
  int left = font.getLeftMargin(index), right = font.getRightMargin(index);
  int x = index * font.getCellWidth() + (left + font.getCellWidth() - right) / 2;
  uint16_t colour = 0xFFFF;
  int best = 0;
  for (int y = 0; y < font.Height(); ++y)
    if (x < font.Width() && font.GetAlpha(x, y) > best) {
      best = font.GetAlpha(x, y);
      colour = font.GetPixel(x, y);
    }
  return colour;
}

}  // namespace

CMC_EditBox::CMC_EditBox(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Text(scope, element, mc::TYPE_EDITBOX) {
  singleLine_ = true;
  listen();
  if (!element) return;
  maxLength_ = std::max(0, elementInt(element, "MAXLENGTH"));
  enabled_ = tarnvik::elementBoolOr(element, "ENABLED", true);
  setContent(getText());
  placeFromElement(element);
  initializeBehaviours(scope, element);
}

CMC_EditBox::~CMC_EditBox() {
  if (gFocused == this) gFocused = nullptr;
  if (CInputManager* input = CInputManager::getCurrent()) {
    input->removeKeyListener(this);
    input->removeMouseListener(this);
  }
  if (ticker_) ticker_->removeParticipant(this);
}

void CMC_EditBox::listen() {
  if (CInputManager* input = CInputManager::getCurrent()) {
    input->addKeyListener(this);
    input->registerMouseListener(this);
  }
  ticker_ = window();
  if (ticker_) ticker_->addParticipant(CFrameParticipant::kListeners, this);
}

const CMC_EventList* CMC_EditBox::getBehavioursList() const { return &editBoxEvents(); }

bool CMC_EditBox::done(bool unloading) {
  if (gFocused == this) gFocused = nullptr;
  return CMC_Text::done(unloading);
}

CMC_EditBox* CMC_EditBox::focused() { return gFocused; }

void CMC_EditBox::setFocus() {
  CMC_EditBox* before = gFocused;
  gFocused = this;
  focusTime_ = now();
  if (before && before != this) before->compose();  // its caret goes
  compose();
}

void CMC_EditBox::enable(bool on) {
  enabled_ = on;
  compose();
}

CXString CMC_EditBox::fitted(const CXString& text) {
  std::string content(text.view());
  if (maxLength_ > 0 && static_cast<int>(content.size()) > maxLength_) content.resize(static_cast<size_t>(maxLength_));
  caret_ = static_cast<int>(content.size());
  return CXString(content);
}

void CMC_EditBox::setContent(const CXString& text) { setText(fitted(text)); }

bool CMC_EditBox::accepts() const { return gFocused == this && enabled_ && getDrawable()->isVisible(); }

bool CMC_EditBox::caretShown() const { return accepts() && ((now() - focusTime_) / kBlinkMs) % 2 == 0; }

void CMC_EditBox::edited() {
  focusTime_ = now();  // the caret shows while typing
  compose();
  if (hasHandlerFlag(EVI_ONCHANGED)) onSignal(CXString("ONCHANGED"));
}

void CMC_EditBox::moveCaret(int to) {
  to = std::clamp(to, 0, static_cast<int>(getText().view().size()));
  if (to == caret_) return;
  caret_ = to;
  focusTime_ = now();
  compose();
}

void CMC_EditBox::onChar(const std::string& character) {
  if (!accepts()) return;
  std::string byte = tarnvik::cp1250::fromUtf8(character);
  // One character of the code page, not a control character; "?" stands for the ones it lacks.
  if (byte.size() != 1 || (byte == "?" && character != "?") || static_cast<unsigned char>(byte[0]) < 32) return;
  std::string content(getText().view());
  if (maxLength_ > 0 && static_cast<int>(content.size()) >= maxLength_) return;
  content.insert(static_cast<size_t>(caret_), byte);
  ++caret_;
  setText(CXString(content));
  edited();
}

void CMC_EditBox::onKeyDown(int code) {
  if (!accepts()) return;
  using tarnvik::keys::codeOf;
  static const int backspace = codeOf("BACKSPACE"), del = codeOf("DELETE"), left = codeOf("LEFT"),
                   right = codeOf("RIGHT"), home = codeOf("HOME"), end = codeOf("END"), enter = codeOf("ENTER");
  std::string content(getText().view());
  const int length = static_cast<int>(content.size());
  if (code == backspace && caret_ > 0) {
    content.erase(static_cast<size_t>(--caret_), 1);
    setText(CXString(content));
    edited();
  } else if (code == del && caret_ < length) {
    content.erase(static_cast<size_t>(caret_), 1);
    setText(CXString(content));
    edited();
  } else if (code == left || code == right || code == home || code == end) {
    moveCaret(code == left ? caret_ - 1 : code == right ? caret_ + 1 : code == home ? 0 : length);
  } else if (code == enter && hasHandlerFlag(EVI_ONENTER)) {
    onSignal(CXString("ONENTER"));
  }
}

bool CMC_EditBox::onClick(const CXPoint& point) {
  CGraphicsObject* drawable = getDrawable();
  if (enabled_ && drawable->isVisible() && drawable->GetBoundingBox().contains(point)) setFocus();
  return false;  // the click still reaches the other listeners
}

void CMC_EditBox::frameTick() {
  if (caretShown() != caretDrawn_) compose();
}

void CMC_EditBox::drawOver(CGraphicsObject& surface, CSimpleFont6* font) {
  caretDrawn_ = caretShown();
  if (!caretDrawn_ || !font) return;
  // A 1-pixel bar in the spacing before the letter the caret stands at, one line high.
  std::string before = tarnvik::CTextLayout::prepare(*font, getText().view().substr(0, static_cast<size_t>(caret_)));
  const int x = std::max(0, tarnvik::CTextLayout::lineAdvance(*font, before) - 1);
  const int lineHeight = font->Height() + getBox().lineSpacing;
  int top = getBox().v == tarnvik::VJustify::Center   ? (surface.Height() - lineHeight) / 2
            : getBox().v == tarnvik::VJustify::Bottom ? surface.Height() - lineHeight
                                                       : 0;
  top = std::max(0, top);
  const uint16_t colour = caretColour(*font);
  if (x >= surface.Width()) return;
  for (int y = top; y < std::min(surface.Height(), top + font->Height()); ++y) {
    surface.pixels16()[static_cast<size_t>(y) * surface.GetPitch() + x] = colour;
    surface.GetAlphaPtr()[static_cast<size_t>(y) * surface.Width() + x] = 255;
  }
}

bool CMC_EditBox::serialize(CXArchive* archive) {
  if (!CMC_Text::serialize(archive)) return false;
  int32_t maxLength = maxLength_;
  if (archive->isStoring()) {
    *archive << maxLength << enabled_;
    return archive->isOk();
  }
  *archive >> maxLength >> enabled_;
  if (!archive->isOk() || maxLength < 0) return false;
  maxLength_ = maxLength;
  keepText(fitted(getText()));
  return true;
}

// --- methods ---

CMC_Runner::MethodTable CMC_EditBox_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SETTEXT", SETTEXT},   {"GETTEXT", GETTEXT},         {"ENABLE", ENABLE},           {"DISABLE", DISABLE},
      {"SETFOCUS", SETFOCUS}, {"SHOW", SHOW},               {"HIDE", HIDE},               {"ISVISIBLE", ISVISIBLE},
      {"SETPOSITION", SETPOSITION}, {"SETPRIORITY", SETPRIORITY},
  };
  return kMethods;
}

CMC_Object* CMC_EditBox_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* box = dynamic_cast<CMC_EditBox*>(target);
  if (!box) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case SETTEXT: box->setContent(tarnvik::joinedTextArguments(args)); return nullptr;
    case GETTEXT: return CMC_VariableFactory::string(box->getText());
    case ENABLE: box->enable(true); return nullptr;
    case DISABLE: box->enable(false); return nullptr;
    case SETFOCUS: box->setFocus(); return nullptr;
    case SHOW: box->show(true); return nullptr;
    case HIDE: box->show(false); return nullptr;
    case ISVISIBLE: return CMC_VariableFactory::boolean(box->getDrawable()->isVisible());
    case SETPOSITION: box->moveTo(getParameterInteger(args, 0), getParameterInteger(args, 1)); return nullptr;
    case SETPRIORITY: box->setPriority(getParameterInteger(args, 0)); return nullptr;
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerEditBoxType() { registerElementType<CMC_EditBox, CMC_EditBox_Runner>("EDITBOX", mc::TYPE_EDITBOX); }

}  // namespace tarnvik

bool CMC_EditBox::serializeState(CXArchive* archive) {
  if (!CMC_Text::serializeState(archive)) return false;
  bool enabled = enabled_, hasFocus = gFocused == this;
  int32_t caret = caret_;
  uint32_t focusTime = focusTime_;
  if (!saved::fields(archive, enabled, hasFocus, caret, focusTime)) return false;
  if (archive->isStoring()) return true;
  enabled_ = enabled;
  caret_ = caret;
  if (hasFocus) gFocused = this;
  else if (gFocused == this) gFocused = nullptr;
  focusTime_ = focusTime;
  compose();
  return true;
}
