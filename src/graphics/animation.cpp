// Animations: frames, events, the playback state machine and drawing of the shown frame.
#include "graphics/animation.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"

namespace {
CAnimo::SoundHook g_soundHook = nullptr;
CAnimo::SoundQuery g_soundQuery = nullptr;
}  // namespace

void CAnimo::setSoundHook(SoundHook hook) { g_soundHook = hook; }
void CAnimo::setSoundQuery(SoundQuery query) { g_soundQuery = query; }

CAnimo::CAnimo() : Author(kDefaultAuthor) {}

CAnimo::~CAnimo() {
  // The borrowed frame pixels go before the frames do (the playable base leaves the animation manager).
  SetDataPtr(nullptr, 0, 0, 16, 0);
}

void CAnimo::resetContent() {
  StopNoNotify();
  SetDataPtr(nullptr, 0, 0, 16, 0);
  shownFrame_ = nullptr;
  frames_.clear();
  events_.clear();
  currentEvent_ = -1;
  currentEntry_ = 0;
  currentFrame_ = -1;
  entryOffset_ = CXPoint();
  Author = kDefaultAuthor;
  Description = CXString();
  animoFlags_ = 0;
  RandomFramesNumber = 0;
  headerText_ = {};
  headerFps_ = 15;
  layout_ = kNVP;
}

// --- frames ---

// --- frames unpacked when due ---

CAnimoFrame::~CAnimoFrame() { tarnvik::CFrameCache::instance().remove(this); }

void CAnimoFrame::setPacked(tarnvik::PackedFrame packed, int depth, int number) {
  create(0, 0);
  packed_ = std::move(packed);
  depth_ = depth;
  number_ = number;
  packedOpaqueKnown_ = false;
  setSize(packed_.width, packed_.height);
}

void* CAnimoFrame::GetDataPtr() {
  if (!isUnpacked() && packed_) unpack();
  return CGraphicsObject::GetDataPtr();
}

bool CAnimoFrame::unpack() {
  if (isUnpacked() || !packed_) return isUnpacked() || Width() == 0;
  std::shared_ptr<tarnvik::FrameJob> job = std::move(job_);
  return install(job ? job->take() : tarnvik::unpackFrame(packed_));
}

// The unpacked bytes become the pixels as they are: 16-bit units low byte first, as in the files.
static_assert(std::endian::native == std::endian::little);

bool CAnimoFrame::install(tarnvik::UnpackedFrame unpacked) {
  const size_t bytes = unpacked.pixels.size() + unpacked.alpha.size();
  const int w = packed_.width, h = packed_.height;
  CXRect opaque = unpacked.opaque;
  if (!unpacked.ok ||
      !adoptPixels(std::move(unpacked.pixels), std::move(unpacked.alpha), packed_.width, packed_.height, depth_)) {
    // As when found at load: the frame stays empty and is not tried again.
    TLOG_WARN("animation: frame " << number_ << " cannot be unpacked (compression " << packed_.compression << ")");
    packed_ = {};
    create(0, 0);
    return false;
  }
  if (flippedH_) CGraphicsObject::FlipH();
  if (flippedV_) CGraphicsObject::FlipV();
  // The rectangle was found in the stored (unflipped) alpha.
  if (flippedH_) opaque = CXRect(opaque.left, h - opaque.bottom, opaque.right, h - opaque.top);
  if (flippedV_) opaque = CXRect(w - opaque.right, opaque.top, w - opaque.left, opaque.bottom);
  packedOpaque_ = opaque;
  packedOpaqueKnown_ = true;
  tarnvik::CFrameCache::instance().add(this, bytes);
  return true;
}

bool CAnimoFrame::pack() {
  if (!packed_ || shown_) return false;
  tarnvik::CFrameCache::instance().remove(this);
  if (isUnpacked()) {
    freePixels();
    setSize(packed_.width, packed_.height);
  }
  return true;
}

void CAnimoFrame::unpackAhead() {
  if (isUnpacked() || !packed_ || job_) return;
  job_ = std::make_shared<tarnvik::FrameJob>(packed_);
  if (!tarnvik::FrameDecoder::instance().submit(job_)) job_.reset();
}

void CAnimoFrame::keep() {
  if (!packed_) return;
  unpack();
  tarnvik::CFrameCache::instance().remove(this);
  packed_ = {};
  job_.reset();
}

void CAnimoFrame::FlipH() {
  flippedH_ = !flippedH_;
  packedOpaqueKnown_ = false;
  if (isUnpacked()) CGraphicsObject::FlipH();
}

void CAnimoFrame::FlipV() {
  flippedV_ = !flippedV_;
  packedOpaqueKnown_ = false;
  if (isUnpacked()) CGraphicsObject::FlipV();
}

void CAnimoFrame::sharePacked(const CAnimoFrame& other) {
  setPacked(other.packed_, other.depth_, other.number_);
  flippedH_ = other.flippedH_;
  flippedV_ = other.flippedV_;
}

CXRect CAnimoFrame::opaqueRect() {
  // Frames kept for editing (no blocks) hear of changes through their alpha plane like any drawable.
  if (!packed_) return CGraphicsObject::opaqueRect();
  if (!isUnpacked()) return CXRect();
  if (!packedOpaqueKnown_) {
    packedOpaque_ = CGraphicsObject::opaqueRect();
    packedOpaqueKnown_ = true;
  }
  return packedOpaque_;
}

// --- frames ---

CAnimoFrame* CAnimo::frameAt(int n) const {
  return n >= 0 && n < GetNOF() ? frames_[static_cast<size_t>(n)].get() : nullptr;
}

CAnimoFrame* CAnimo::GetFrame(int n) const {
  CAnimoFrame* frame = frameAt(n);
  if (frame) frame->keep();
  return frame;
}

int CAnimo::AddFrame(std::unique_ptr<CAnimoFrame> frame) {
  if (!frame) return -1;
  frames_.push_back(std::move(frame));
  return GetNOF() - 1;
}

void CAnimo::RemoveFrame(int n) {
  if (n < 0 || n >= GetNOF()) return;
  if (currentFrame_ == n) showFrame(-1, CXPoint());
  frames_.erase(frames_.begin() + n);
  for (CAnimoEvent& e : events_) {
    std::erase_if(e.entries, [n](const CAnimoEntry& entry) { return entry.frame == n; });
    for (CAnimoEntry& entry : e.entries)
      if (entry.frame > n) --entry.frame;
  }
  if (currentFrame_ > n) --currentFrame_;
  if (currentEvent_ >= 0 && currentEntry_ >= GetNOFInEvent(currentEvent_)) currentEntry_ = 0;
}

void CAnimo::RemoveAllFrames() {
  showFrame(-1, CXPoint());
  frames_.clear();
  for (CAnimoEvent& e : events_) e.entries.clear();
}

CAnimoFrame* CAnimo::getFrame(const CXString& name) const { return GetFrame(getFrameNo(name)); }

int CAnimo::getFrameNo(const CXString& name) const {
  for (const CAnimoEvent& e : events_)
    for (const CAnimoEntry& entry : e.entries)
      if (entry.hasName && entry.name.equalsIgnoreCase(name)) return entry.frame;
  return -1;
}

CXPoint CAnimo::GetFramePosition(int n) const {
  const CAnimoFrame* f = frameAt(n);
  return f ? f->GetPosition() : CXPoint();
}

int CAnimo::GetMaxWidth() const {
  int w = 0;
  for (const auto& f : frames_) w = std::max(w, f->Width());
  return w;
}

int CAnimo::GetMaxHeight() const {
  int h = 0;
  for (const auto& f : frames_) h = std::max(h, f->Height());
  return h;
}

// --- events ---

CAnimoEvent* CAnimo::GetEventInfo(int n) { return n >= 0 && n < GetNOE() ? &events_[static_cast<size_t>(n)] : nullptr; }
const CAnimoEvent* CAnimo::GetEventInfo(int n) const {
  return n >= 0 && n < GetNOE() ? &events_[static_cast<size_t>(n)] : nullptr;
}

int CAnimo::AddEvent(const CAnimoEvent& event) {
  events_.push_back(event);
  const int frames = GetNOF();
  std::erase_if(events_.back().entries, [frames](const CAnimoEntry& e) { return e.frame < 0 || e.frame >= frames; });
  return GetNOE() - 1;
}

void CAnimo::RemoveEvent(int n) {
  if (n < 0 || n >= GetNOE()) return;
  if (currentEvent_ == n) {
    StopNoNotify();
    currentEvent_ = -1;
  } else if (currentEvent_ > n) {
    --currentEvent_;
  }
  events_.erase(events_.begin() + n);
}

int CAnimo::GetEventNo(const CXString& name) const {
  for (int i = 0; i < GetNOE(); ++i)
    if (events_[static_cast<size_t>(i)].name.equalsIgnoreCase(name)) return i;
  return -1;
}

CXString CAnimo::GetEventName(int n) const {
  const CAnimoEvent* e = GetEventInfo(n);
  return e ? e->name : CXString();
}

int CAnimo::GetNOFInEvent(int n) const {
  const CAnimoEvent* e = GetEventInfo(n);
  return e ? static_cast<int>(e->entries.size()) : 0;
}

int CAnimo::GetLoop(int event, int& start, int& end) const {
  const CAnimoEvent* e = GetEventInfo(event);
  start = e ? e->loopStart : 0;
  end = e ? e->loopEnd : 0;
  return e ? e->loopCount : 0;
}

const CAnimoEntry* CAnimo::GetFrameInfo(int event, int entry) const {
  const CAnimoEvent* e = GetEventInfo(event);
  return e && entry >= 0 && entry < static_cast<int>(e->entries.size()) ? &e->entries[static_cast<size_t>(entry)]
                                                                          : nullptr;
}

CAnimoEntry* CAnimo::GetFrameInfo(int event, int entry) {
  return const_cast<CAnimoEntry*>(static_cast<const CAnimo*>(this)->GetFrameInfo(event, entry));
}

// --- playback ---

void CAnimo::SetFPS(int fps) { fpsOverride_ = std::max(1, fps); }

int CAnimo::GetFPS() const {
  if (fpsOverride_ > 0) return fpsOverride_;
  const CAnimoEvent* e = GetEventInfo(currentEvent_);
  return e && e->fps > 0 ? e->fps : 15;
}

void CAnimo::restartTiming() {
  // The manager it is in already, else the running window's.
  CAnimationManager* manager = getAnimationManager();
  if (!manager) {
    CWindow* window = CWindow::getCurrent();
    if (!window) return;
    manager = window->getAnimationManager();
  }
  manager->remove(this);
  manager->add(this);
}

bool CAnimo::Play(const CXString& event, int entry) {
  int n = GetEventNo(event);
  if (n < 0) {
    TLOG_DEBUG("animation " << getFileName().view() << ": no event '" << event.view() << "'");
    return false;
  }
  return Play(n, entry);
}

bool CAnimo::Play(int event, int entry) {
  if (isVisible()) Invalidate();
  CAnimoEvent* e = GetEventInfo(event);
  if (!e || e->entries.empty()) return false;
  if (state_ == kPlaying) {
    const CAnimoEvent* running = GetEventInfo(currentEvent_);
    if ((animoFlags_ & kNoInterrupt) || (running && (running->flags & CAnimoEvent::kNoInterrupt))) return false;
  }
  e->loopCounter = 0;
  currentEvent_ = event;
  if (!isVisible()) Visible(true);
  state_ = kPlaying;
  SetEventFrame(event, std::clamp(entry, 0, static_cast<int>(e->entries.size()) - 1));
  restartTiming();
  notify(kStarted);
  return true;
}

bool CAnimo::playReverse(const CXString& event, int entry) {
  CXString reverse = event;
  reverse += "_reverse";
  if (GetEventNo(reverse) < 0) {
    const CAnimoEvent* source = GetEventInfo(GetEventNo(event));
    if (!source) return false;
    CAnimoEvent made = *source;
    made.name = reverse;
    std::reverse(made.entries.begin(), made.entries.end());
    // The loop keeps covering the same entries, counted from the other end.
    int n = static_cast<int>(made.entries.size());
    if (made.loopEnd > 0 && made.loopEnd < n) {
      int start = n - 1 - made.loopEnd, end = n - 1 - made.loopStart;
      made.loopStart = std::max(0, start);
      made.loopEnd = end;
    }
    AddEvent(made);
  }
  return Play(reverse, entry);
}

bool CAnimo::playRandom(const CXString& event, int first, int last) {
  int n = GetNOFInEvent(event);
  if (n <= 0) return Play(event, 0);
  if (first > last) std::swap(first, last);
  first = std::clamp(first, 0, n - 1);
  last = std::clamp(last, 0, n - 1);
  return Play(event, CXRandom::random(first, last - first + 1));
}

void CAnimo::stopPlaying(bool notifyObservers) {
  bool was = state_ != kStopped;
  state_ = kStopped;
  if (was && notifyObservers) notify(kFinished);
}

void CAnimo::Pause() {
  if (state_ == kPlaying) state_ = kPaused;
}

void CAnimo::Resume() {
  if (state_ == kPaused) state_ = kPlaying;
}

bool CAnimo::entrySoundPlays(const CAnimoEvent& e) {
  if (!g_soundQuery || !hasEntrySounds()) return false;
  const CAnimoEntry* entry = GetFrameInfo(currentEvent_, currentEntry_);
  if (entry && entry->hasSound && g_soundQuery(this, *entry)) return true;
  for (const CAnimoEntry& other : e.entries)
    if (other.hasSound && g_soundQuery(this, other)) return true;
  return false;
}

void CAnimo::eventEnded() {
  int following = currentEvent_ + 1;
  if ((animoFlags_ & kContinue) && GetNOFInEvent(following) > 0) {
    currentEvent_ = following;
    events_[static_cast<size_t>(following)].loopCounter = 0;
    direction_ = kForward;
    if (SetEventFrame(following, 0)) notify(kTick);
    notify(kStarted);
    return;
  }
  stopPlaying(true);
}

void CAnimo::Next() {
  CAnimoEvent* e = GetEventInfo(currentEvent_);
  if (frames_.empty() || !e) return;
  const int n = static_cast<int>(e->entries.size());
  if (n == 0) {
    stopPlaying(true);
    return;
  }
  // A loop end past the last entry loops at the last entry (otherwise the event would never end).
  const int loopEnd = std::min(e->loopEnd, n - 1);
  const int loopStart = std::clamp(e->loopStart, 0, n - 1);
  const bool backward = direction_ == kBackward;
  int i = backward ? currentEntry_ - 1 : currentEntry_ + 1;
  if (loopEnd > 0 && !backward && i > loopEnd) {
    if (e->flags & CAnimoEvent::kBackAndForth) {
      i -= 2;
      direction_ = kBackward;
    } else if (e->flags & CAnimoEvent::kWaitForSound) {
      if (!entrySoundPlays(*e)) {
        eventEnded();
        return;
      }
      i = loopStart;
    } else if (e->loopCount == 0) {
      i = loopStart;
    } else if (++e->loopCounter < e->loopCount) {
      i = loopStart;
    } else {
      e->loopCounter = 0;
      stopPlaying(true);
      return;
    }
  } else if (loopEnd > 0 && backward && (e->flags & CAnimoEvent::kBackAndForth) && i < loopStart) {
    // Back at the loop start: turn forward again; a loop count counts these turns.
    if (e->loopCount > 0 && ++e->loopCounter >= e->loopCount) {
      e->loopCounter = 0;
      stopPlaying(true);
      return;
    }
    i += 2;
    direction_ = kForward;
  }
  if (i < 0 || i >= n) {
    eventEnded();
    return;
  }
  if (SetEventFrame(currentEvent_, std::clamp(i, 0, n - 1))) notify(kTick);
}

void CAnimo::unpackAhead() {
  // The next entry only, asked for by the animation manager shortly before it is due: a scene
  // of many animations does not hold more unpacked frames waiting than it shows.
  constexpr int kAhead = 1;
  const CAnimoEvent* e = GetEventInfo(currentEvent_);
  if (!e || state_ != kPlaying || tarnvik::FrameDecoder::instance().workers() == 0) return;
  const int n = static_cast<int>(e->entries.size());
  const int loopEnd = std::min(e->loopEnd, n - 1);
  const int step = direction_ == kBackward ? -1 : 1;
  int i = currentEntry_;
  for (int k = 0; k < kAhead; ++k) {
    i += step;
    if (loopEnd > 0 && i > loopEnd && !(e->flags & CAnimoEvent::kBackAndForth)) i = std::clamp(e->loopStart, 0, n - 1);
    if (i < 0 || i >= n) return;
    if (CAnimoFrame* f = frameAt(e->entries[static_cast<size_t>(i)].frame)) f->unpackAhead();
  }
}

void CAnimo::Prev() {
  if (currentEvent_ < 0 || currentEntry_ <= 0) return;
  if (SetEventFrame(currentEvent_, currentEntry_ - 1)) notify(kTick);
}

bool CAnimo::Seek(int entry) { return SetEventFrame(currentEvent_, entry); }

bool CAnimo::SetFrame(int frame) {
  if (!frameAt(frame)) return false;
  return showFrame(frame, CXPoint());
}

bool CAnimo::SetEventFrame(int event, int entry) {
  const CAnimoEntry* info = GetFrameInfo(event, entry);
  if (!info || !frameAt(info->frame)) return false;
  currentEvent_ = event;
  currentEntry_ = entry;
  if (hasEntrySounds() && info->hasSound && g_soundHook) g_soundHook(this, *info);
  return showFrame(info->frame, CXPoint(info->x, info->y));
}

// --- the shown frame ---

bool CAnimo::showFrame(int frame, CXPoint entryOffset) {
  if (frame == currentFrame_ && entryOffset == entryOffset_ && (frame < 0 || GetDataPtr())) return false;
  const bool visible = isVisible();
  if (visible) Invalidate();
  currentFrame_ = frame;
  entryOffset_ = entryOffset;
  placeFrame();
  if (visible) Invalidate();
  return true;
}

void CAnimo::placeFrame() {
  CAnimoFrame* f = frameAt(currentFrame_);
  if (f != shownFrame_) {
    if (shownFrame_) shownFrame_->setShown(false);
    shownFrame_ = f;
    if (f) f->setShown(true);
  }
  if (f) tarnvik::CFrameCache::instance().touch(f);
  if (!f || !f->GetDataPtr()) {
    SetDataPtr(nullptr, 0, 0, 16, 0);
  } else {
    // The frame's alpha is shown as it is, not copied: edits go to the frame itself (GetFrame keeps it),
    // so the animation only reads it.
    uint8_t* alpha = const_cast<uint8_t*>(std::as_const(*f).GetAlphaPtr());
    SetDataPtr(f->GetDataPtr(), f->Width(), f->Height(), f->GetRealBpp(), f->GetPitch(), alpha);
    frameAlpha_ = alphaGeneration();
  }
  CXPoint at = place_ + frameOffset() + getAnchor();
  CGraphicsObject::SetPosition(at.x, at.y);
}

CXPoint CAnimo::frameOffset() const {
  const CAnimoFrame* f = frameAt(currentFrame_);
  return f ? f->GetPosition() + entryOffset_ : CXPoint();
}

void CAnimo::SetPosition(int x, int y) {
  place_ = CXPoint(x, y) - getAnchor();
  CXPoint at = CXPoint(x, y) + frameOffset();
  CGraphicsObject::SetPosition(at.x, at.y);
}

void CAnimo::Move(int dx, int dy) {
  CXPoint to = place_ + getAnchor() + CXPoint(dx, dy);
  SetPosition(to.x, to.y);
}

void CAnimo::flipFrames(bool horizontal) {
  for (auto& f : frames_) {
    if (horizontal) f->FlipH();
    else f->FlipV();
  }
  // Only the flip state of the animation itself changes here: its picture is the shown frame's.
  SetDataPtr(nullptr, 0, 0, 16, 0);
  if (horizontal) CGraphicsObject::FlipH();
  else CGraphicsObject::FlipV();
  placeFrame();
  if (isVisible()) Invalidate();
}

void CAnimo::FlipH() { flipFrames(true); }
void CAnimo::FlipV() { flipFrames(false); }

CAnimoFrame* CAnimo::frameShownAsIs() const {
  // The own alpha is the shown frame's copy until something writes into it (MERGEALPHA on the animation).
  CAnimoFrame* f = frameAt(currentFrame_);
  return f && f->isUnpacked() && alphaGeneration() == frameAlpha_ ? f : nullptr;
}

// Both are kept by the frame, so they are found once per frame picture, not at every change of frame.
CXRect CAnimo::opaqueRect() {
  CAnimoFrame* f = frameShownAsIs();
  return f ? f->opaqueRect() : CGraphicsObject::opaqueRect();
}

std::shared_ptr<const std::vector<RowSpan>> CAnimo::shownRows() {
  CAnimoFrame* f = frameShownAsIs();
  return f ? f->shownRows() : CGraphicsObject::shownRows();
}

bool CAnimo::redraw(CGraphicsObject* destination) {
  CAnimoFrame* f = frameAt(currentFrame_);
  if (f && destination) {
    int depth = destination->GetRealBpp();
    if ((depth == 15 || depth == 16) && f->GetRealBpp() != depth && f->Convert(depth)) placeFrame();
  }
  return CGraphicsObject::redraw(destination);
}

void CAnimo::copyFrom(const CAnimo& other) {
  resetContent();
  for (const auto& from : other.frames_) {
    auto frame = std::make_unique<CAnimoFrame>();
    if (from->isPacked()) {
      frame->sharePacked(*from);
    } else if (from->GetDataPtr() && from->GetRealBpp() != 32 &&
        frame->create(from->Width(), from->Height(), from->GetRealBpp(), from->hasAlpha())) {
      for (int y = 0; y < from->Height(); ++y)
        std::memcpy(frame->pixels16() + static_cast<size_t>(y) * frame->GetPitch(),
                    static_cast<const uint16_t*>(from->pixels()) + static_cast<size_t>(y) * from->GetPitch(),
                    static_cast<size_t>(from->Width()) * 2);
      if (from->hasAlpha())
        std::memcpy(frame->GetAlphaPtr(), from->GetAlphaPtr(), static_cast<size_t>(from->Width()) * from->Height());
    }
    frame->SetPosition(from->GetPosition().x, from->GetPosition().y);
    frame->compression = from->compression;
    frame->extra = from->extra;
    frame->more = from->more;
    frames_.push_back(std::move(frame));
  }
  events_ = other.events_;
  Author = other.Author;
  Description = other.Description;
  layout_ = other.layout_;
  fpsOverride_ = other.fpsOverride_;
  animoFlags_ = other.animoFlags_;
  RandomFramesNumber = other.RandomFramesNumber;
  direction_ = other.direction_;
  headerText_ = other.headerText_;
  headerFps_ = other.headerFps_;
  setFileName(other.getFileName());
  SetFlags(other.GetFlags());
  SetOpacity(other.GetOpacity());
  SetClippingRect(other.GetClippingRect());
  setAnchor(other.getAnchor().x, other.getAnchor().y);
  currentEvent_ = other.currentEvent_;
  currentEntry_ = other.currentEntry_;
  currentFrame_ = other.currentFrame_;
  entryOffset_ = other.entryOffset_;
  place_ = other.place_;
  placeFrame();
  Visible(other.isVisible());
}
