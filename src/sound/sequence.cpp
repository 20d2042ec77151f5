// Sequence trees: leaves, sequence nodes, speaking animations and the sequence-file reader.
#include "sound/sequence.h"

#include <algorithm>
#include <cctype>

#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/animation.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "sound/sound4.h"
#include "sound/sound_system.h"

namespace {

// Observers are kept once each.
void observe(CPlayable* playable, CPlayableObserver* observer) {
  playable->removeNotifier(observer);
  playable->addNotifier(observer);
}

}  // namespace

void CSeqPlayable::setVolume(int v) {
  CPlayable::setVolume(v);
  if (CSound4* sound = voice()) sound->setVolume(v);
}

void CSeqPlayable::setPanning(int p) {
  CPlayable::setPanning(p);
  if (CSound4* sound = voice()) sound->setPanning(p);
}

void CSeqPlayable::setFrequency(int f) {
  CPlayable::setFrequency(f);
  if (CSound4* sound = voice()) sound->setFrequency(f);
}

// Leaves.

CSeqLeaf::CSeqLeaf(std::shared_ptr<CAnimo> animo, const CXString& event) : animo_(std::move(animo)), event_(event) {}

CSeqLeaf::CSeqLeaf(std::unique_ptr<CSound4> sound, bool loop) : sound_(std::move(sound)), loop_(loop) {
  if (sound_) sound_->addNotifier(this);
}

CSeqLeaf::~CSeqLeaf() {
  if (animo_) animo_->removeNotifier(this);
  if (sound_) sound_->removeNotifier(this);
}

void CSeqLeaf::play() {
  state_ = kPlaying;
  notify(kStarted);
  bool started = false;
  if (animo_) {
    auto it = paramEvents_.find(parameter_.str());
    playing_ = it != paramEvents_.end() ? it->second : event_;
    observe(animo_.get(), this);
    started = animo_->Play(playing_);
  } else if (sound_) {
    playing_ = getName();
    sound_->Play(loop_);
    started = sound_->IsPlaying();
  }
  // Nothing to play (a missing file or event): the leaf ends at once, so its sequence goes on.
  if (!started && state_ == kPlaying) {
    state_ = kStopped;
    notify(kFinished);
  }
}

void CSeqLeaf::stop(bool notifyObservers) {
  bool was = state_ != kStopped;
  state_ = kStopped;
  if (animo_) {
    animo_->removeNotifier(this);
    if (was) animo_->StopNoNotify();
  }
  if (sound_) sound_->stop(false);
  if (was && notifyObservers) notify(kFinished);
}

void CSeqLeaf::pause() {
  if (state_ != kPlaying) return;
  state_ = kPaused;
  if (animo_) animo_->Pause();
  if (sound_) sound_->pause();
}

void CSeqLeaf::resume() {
  if (state_ != kPaused) return;
  state_ = kPlaying;
  if (animo_) animo_->Resume();
  if (sound_) sound_->resume();
}

bool CSeqLeaf::isPlaying() const { return state_ == kPlaying; }

CXString CSeqLeaf::playingEventName() const { return animo_ ? playing_ : getName(); }

void CSeqLeaf::show() {
  if (animo_) animo_->setVisibility(true);
}

void CSeqLeaf::hide() {
  if (animo_) animo_->setVisibility(false);
}

bool CSeqLeaf::onPlayableFinished(CPlayable* playable) {
  if (state_ != kPlaying) return true;
  if (playable == animo_.get()) animo_->removeNotifier(this);
  state_ = kStopped;
  notify(kFinished);
  return true;
}

// Sequence nodes.

int CSequencedPlayable::parameterIndex(const CXString& parameter) {
  if (parameter.isEmpty()) return -1;
  char c = parameter.str()[0];
  if (c >= '1' && c <= '9') return c - '1';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 9;
  if (c >= 'a' && c <= 'z') return c - 'a' + 35;
  return -1;
}

void CSequencedPlayable::setWait(CSeqPlayable* child, bool wait) {
  for (Child& c : children_)
    if (c.playable == child) c.wait = wait;
}

void CSequencedPlayable::start(int index, const CXString& parameter) {
  CSeqPlayable* child = children_[static_cast<size_t>(index)].playable;
  child->setParameter(parameter);
  observe(child, this);
  child->setVolume(getVolume());
  child->setPanning(getPanning());
  if (getFrequency() > 0) child->setFrequency(getFrequency());
  ++started_;
  child->play();
}

void CSequencedPlayable::runFrom(int index, const CXString& parameter) {
  int n = static_cast<int>(children_.size());
  for (int i = index; i < n && state_ == kPlaying; ++i) {
    current_ = i;
    bool wait = children_[static_cast<size_t>(i)].wait || i == n - 1;
    start(i, parameter);
    if (wait) return;
  }
}

void CSequencedPlayable::play() {
  stop(false);
  state_ = kPlaying;
  started_ = 0;
  current_ = -1;
  notify(kStarted);
  int n = static_cast<int>(children_.size());
  int chosen = -1;
  if (mode_ == kSequence) {
    if (n > 0) return runFrom(0, parameter_);
  } else if (mode_ == kRandom) {
    if (n > 0) chosen = CXRandom::random(n);
  } else {
    chosen = parameterIndex(parameter_);
    if (chosen >= n) chosen = -1;
  }
  if (chosen < 0) return finish();
  current_ = chosen;
  start(chosen, parameter_);
}

void CSequencedPlayable::finish() {
  state_ = kStopped;
  current_ = -1;
  notify(kFinished);
}

void CSequencedPlayable::stop(bool notifyObservers) {
  bool was = state_ != kStopped;
  state_ = kStopped;
  current_ = -1;
  for (Child& c : children_) {
    c.playable->removeNotifier(this);
    if (c.playable->getState() != kStopped) c.playable->stop(false);
  }
  if (was && notifyObservers) notify(kFinished);
}

void CSequencedPlayable::pause() {
  if (state_ != kPlaying) return;
  state_ = kPaused;
  if (current_ >= 0) children_[static_cast<size_t>(current_)].playable->pause();
}

void CSequencedPlayable::resume() {
  if (state_ != kPaused) return;
  state_ = kPlaying;
  if (current_ >= 0) children_[static_cast<size_t>(current_)].playable->resume();
}

void CSequencedPlayable::seek(int n) {
  int count = static_cast<int>(children_.size());
  if (current_ >= 0) {
    CSeqPlayable* now = children_[static_cast<size_t>(current_)].playable;
    now->removeNotifier(this);
    now->stop(false);
  }
  int to = n;
  if (n == -1) to = 0;
  else if (n == -2) to = count - 1;
  else if (n == -3) to = current_ - 1;
  else if (n == -4) to = current_ + 1 >= count ? -1 : current_ + 1;
  if (to < 0 || to >= count) {
    current_ = -1;
    return;
  }
  state_ = kPlaying;
  current_ = to;
  start(to, parameter_);
}

CXString CSequencedPlayable::playingEventName() const {
  if (current_ < 0) return CXString();
  return children_[static_cast<size_t>(current_)].playable->playingEventName();
}

void CSequencedPlayable::show() {
  for (Child& c : children_) c.playable->show();
}

void CSequencedPlayable::hide() {
  for (Child& c : children_) c.playable->hide();
}

bool CSequencedPlayable::onPlayableFinished(CPlayable* playable) {
  if (state_ != kPlaying || current_ < 0) return true;
  if (children_[static_cast<size_t>(current_)].playable != playable) return true;  // a child that did not wait
  CXString parameter = children_[static_cast<size_t>(current_)].playable->getParameter();
  if (mode_ == kSequence && current_ + 1 < static_cast<int>(children_.size()))
    runFrom(current_ + 1, parameter);
  else
    finish();
  return true;
}

// Speaking animations.

CSpeakingAnimation::CSpeakingAnimation(std::shared_ptr<CAnimo> animo, std::unique_ptr<CSound4> speech,
                                       const CXString& prefix, bool starting, bool ending)
    : animo_(std::move(animo)), speech_(std::move(speech)), prefix_(prefix), starting_(starting), ending_(ending) {
  if (speech_) speech_->addNotifier(this);
}

CSpeakingAnimation::~CSpeakingAnimation() {
  if (animo_) animo_->removeNotifier(this);
  if (speech_) speech_->removeNotifier(this);
}

int CSpeakingAnimation::prefixEvent(const char* part) const {
  if (!animo_) return -1;
  int n = animo_->GetEventNo(prefix_ + "_" + part);
  return n >= 0 ? n : animo_->GetEventNo(prefix_ + part);
}

std::vector<int> CSpeakingAnimation::talkingEvents() const {
  std::vector<int> out;
  if (!animo_) return out;
  std::string prefix = prefix_.str();
  std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::toupper(c); });
  for (int i = 0; i < animo_->GetNOE(); ++i) {
    std::string name = animo_->GetEventName(i).str();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string rest = name.substr(prefix.size());
    if (!rest.empty() && rest[0] == '_') rest.erase(0, 1);
    if (rest == "START" || rest == "END" || rest == "STOP") continue;
    out.push_back(i);
  }
  return out;
}

void CSpeakingAnimation::play() {
  stop(false);
  state_ = kPlaying;
  notify(kStarted);
  if (animo_) observe(animo_.get(), this);
  if (speech_) speech_->Play(false);
  if (!speech_ || !speech_->IsPlaying()) return speechEnded(false);
  int start = starting_ ? prefixEvent("START") : -1;
  if (start >= 0 && animo_->Play(start)) {
    phase_ = kStarting;
    event_ = start;
  } else {
    talk();
  }
}

void CSpeakingAnimation::talk() {
  phase_ = kTalking;
  std::vector<int> events = talkingEvents();
  if (events.empty()) return;
  event_ = events[static_cast<size_t>(CXRandom::random(static_cast<int>(events.size())))];
  animo_->Play(event_);
}

void CSpeakingAnimation::speechEnded(bool early) {
  if (animo_ && phase_ != kIdle) animo_->StopNoNotify();
  int end = ending_ ? prefixEvent(early ? "STOP" : "END") : -1;
  if (end >= 0 && animo_->Play(end)) {
    phase_ = kEnding;
    event_ = end;
    return;
  }
  phase_ = kIdle;
  event_ = -1;
  if (state_ != kStopped) {
    state_ = kStopped;
    if (!early) notify(kFinished);
  }
}

void CSpeakingAnimation::stop(bool notifyObservers) {
  if (state_ == kStopped && phase_ == kIdle) return;
  if (speech_) speech_->stop(false);
  speechEnded(true);
  if (state_ != kStopped) {
    state_ = kStopped;
    if (notifyObservers) notify(kFinished);
  } else if (notifyObservers) {
    notify(kFinished);
  }
}

void CSpeakingAnimation::pause() {
  if (state_ != kPlaying) return;
  state_ = kPaused;
  if (speech_) speech_->pause();
  if (animo_) animo_->Pause();
}

void CSpeakingAnimation::resume() {
  if (state_ != kPaused) return;
  state_ = kPlaying;
  if (speech_) speech_->resume();
  if (animo_) animo_->Resume();
}

CXString CSpeakingAnimation::playingEventName() const {
  return animo_ && event_ >= 0 ? animo_->GetEventName(event_) : CXString();
}

void CSpeakingAnimation::show() {
  if (animo_) animo_->setVisibility(true);
}

void CSpeakingAnimation::hide() {
  if (animo_) animo_->setVisibility(false);
}

bool CSpeakingAnimation::onPlayableFinished(CPlayable* playable) {
  if (playable == speech_.get()) {
    if (state_ == kPlaying) speechEnded(false);
    return true;
  }
  if (playable != animo_.get() || (state_ == kStopped && phase_ != kEnding)) return true;
  switch (phase_) {
    case kStarting:
    case kTalking:
      if (speech_ && speech_->IsPlaying()) talk();
      break;
    case kEnding:
      phase_ = kIdle;
      event_ = -1;
      if (state_ != kStopped) {
        state_ = kStopped;
        notify(kFinished);
      }
      break;
    case kIdle:
      break;
  }
  return true;
}

// The tree and its reader.

CSequenceTree::~CSequenceTree() {
  for (CSeqPlayable* p : order_) p->stop(false);
  for (auto& animo : animos_)
    if (CDrawableCanvas* screen = animo->GetCanvas()) screen->remove(animo.get());
  playables_.clear();
}

CSeqPlayable* CSequenceTree::find(const CXString& name) const {
  auto it = playables_.find(name.str());
  return it == playables_.end() ? nullptr : it->second.get();
}

namespace {

struct SeqElement {
  std::string name;
  int kind = 1;  // 1 SIMPLE, 2 SEQUENCE, 3 SPEAKING
  CXString fileName, event, animoFile, wavFile, prefix;
  int mode = CSequencedPlayable::kSequence;
  std::vector<std::string> children;
  std::vector<std::pair<CXString, CXString>> paramEvents;
  bool wait = true, starting = false, ending = false, loop = false;
  int visible = -1;  // SHOW 1, HIDE 0, unset -1
  int fileLine = 0, animoLine = 0, wavLine = 0;  // where FILENAME, ANIMOFN and WAVFN were given
};

std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> out;
  std::string t;
  for (char c : line) {
    if (c == ' ' || c == '=' || c == ':' || c == '\n' || c == '\r' || c == '\t') {
      if (!t.empty()) out.push_back(t), t.clear();
    } else {
      t += c;
    }
  }
  if (!t.empty()) out.push_back(t);
  return out;
}

bool isTrue(const std::string& v) {
  CXString s(v);
  return s.equalsIgnoreCase("TRUE");
}

bool endsWithIgnoreCase(const CXString& name, const char* ext) {
  std::string n = name.str(), e = ext;
  if (n.size() < e.size()) return false;
  return CXString(n.substr(n.size() - e.size())).equalsIgnoreCase(CXString(e));
}

}  // namespace

std::unique_ptr<CSequenceTree> CMultimediaSequenceCreator::load(CWindow* window, const CXString& fileName,
                                                                 int priority, std::vector<SequenceMissingFile>* missing) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(window, fileName, bytes)) {
    // The object that named the file says so, where it was declared.
    TLOG_DEBUG("sequence " << fileName.view() << ": file not found");
    return nullptr;
  }
  std::string base = fileName.str();
  size_t slash = base.find_last_of("/\\");
  if (slash != std::string::npos) base.erase(0, slash + 1);
  size_t dot = base.find_last_of('.');
  if (dot != std::string::npos) base.erase(dot);
  return build(window, std::string(bytes.begin(), bytes.end()), CXString(base), priority, missing);
}

std::unique_ptr<CSequenceTree> CMultimediaSequenceCreator::build(CWindow* window, const std::string& text,
                                                                 const CXString& baseName, int priority,
                                                                 std::vector<SequenceMissingFile>* missing) {
  std::vector<SeqElement> elements;
  auto find = [&](const std::string& name) -> SeqElement* {
    for (SeqElement& e : elements)
      if (e.name == name) return &e;
    return nullptr;
  };
  size_t from = 0;
  int lineNumber = 0;
  while (from <= text.size()) {
    ++lineNumber;
    size_t end = text.find('\n', from);
    std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    from = end == std::string::npos ? text.size() + 1 : end + 1;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> t = tokens(line);
    if (t.size() < 2) continue;
    if (t[0] == "NAME") {
      if (!find(t[1])) {
        elements.emplace_back();
        elements.back().name = t[1];
      }
      continue;
    }
    SeqElement* e = find(t[0]);
    if (!e) {
      TLOG_DEBUG("sequence: undeclared element " << t[0]);
      continue;
    }
    const std::string& key = t[1];
    std::string value = t.size() > 2 ? t[2] : std::string();
    if (key == "TYPE") e->kind = value == "SEQUENCE" ? 2 : value == "SPEAKING" ? 3 : 1;
    else if (key == "FILENAME") e->fileName = CXString(value), e->fileLine = lineNumber;
    else if (key == "EVENT") e->event = CXString(value);
    else if (key == "MODE") e->mode = value == "RANDOM" ? CSequencedPlayable::kRandom
                                     : value == "PARAMETER" ? CSequencedPlayable::kParameter
                                                            : CSequencedPlayable::kSequence;
    else if (key == "ADD") { if (!value.empty()) e->children.push_back(value); }
    else if (key == "WAIT") e->wait = isTrue(value);
    else if (key == "SEQEVENT") { if (t.size() > 3) e->paramEvents.emplace_back(CXString(t[2]), CXString(t[3])); }
    else if (key == "ANIMOFN") e->animoFile = CXString(value), e->animoLine = lineNumber;
    else if (key == "WAVFN") e->wavFile = CXString(value), e->wavLine = lineNumber;
    else if (key == "PREFIX") e->prefix = CXString(value);
    else if (key == "STARTING") e->starting = isTrue(value);
    else if (key == "ENDING") e->ending = isTrue(value);
    else if (key == "LOOP") e->loop = isTrue(value);
    else if (key == "SHOW") e->visible = 1;
    else if (key == "HIDE") e->visible = 0;
  }

  auto tree = std::make_unique<CSequenceTree>();
  std::map<std::string, std::shared_ptr<CAnimo>> animations;
  CRefreshScreen* screen = window ? window->getRefreshScreen() : nullptr;
  // One animation per file, on the screen but hidden until an event of it plays.
  auto animation = [&](const CXString& file, int line) {
    std::string key = file.str();
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    auto it = animations.find(key);
    if (it != animations.end()) return it->second;
    auto animo = std::make_shared<CAnimo>();
    if (!animo->Load(window, file)) {
      // A speaking element without ANIMOFN falls back on PIXEL.ANN: its absence is the author's choice.
      if (missing) {
        if (line > 0) missing->push_back({line, file, false});
      }
      else TLOG_WARN("sequence: animation " << file.view() << " cannot be read");
    }
    animo->setVisibility(false);
    if (screen) screen->put(animo.get(), priority);
    animations[key] = animo;
    tree->animos_.push_back(animo);
    return animo;
  };
  auto sound = [&](const CXString& file, int line) {
    CXString resolved = CSoundSystem::resolveSoundFX(window, file);
    if (missing && !file.isEmpty() && !CFile::canRead(window, resolved)) missing->push_back({line, file, true});
    return std::make_unique<CSound4>(window, resolved, false, true);
  };
  for (const SeqElement& e : elements) {
    std::unique_ptr<CSeqPlayable> p;
    if (e.kind == 2) {
      auto node = std::make_unique<CSequencedPlayable>();
      node->setMode(e.mode);
      p = std::move(node);
    } else if (e.kind == 3) {
      CXString animoFile = e.animoFile.isEmpty() ? CXString("PIXEL.ANN") : e.animoFile;
      p = std::make_unique<CSpeakingAnimation>(animation(animoFile, e.animoLine), sound(e.wavFile, e.wavLine), e.prefix,
                                               e.starting, e.ending);
    } else if (endsWithIgnoreCase(e.fileName, ".ANN")) {
      auto leaf = std::make_unique<CSeqLeaf>(animation(e.fileName, e.fileLine), e.event);
      for (const auto& [param, event] : e.paramEvents) leaf->addParameterEvent(param, event);
      p = std::move(leaf);
    } else {
      p = std::make_unique<CSeqLeaf>(sound(e.fileName, e.fileLine), e.loop);
    }
    p->setName(CXString(e.name));
    if (e.visible == 0) p->hide();
    tree->order_.push_back(p.get());
    tree->playables_[e.name] = std::move(p);
  }
  for (const SeqElement& e : elements) {
    if (e.kind != 2) continue;
    auto* node = static_cast<CSequencedPlayable*>(tree->find(CXString(e.name)));
    for (const std::string& c : e.children) {
      const SeqElement* child = find(c);
      CSeqPlayable* playable = tree->find(CXString(c));
      if (!child || !playable || playable == node) continue;
      node->add(playable, child->wait);
    }
  }
  tree->root_ = tree->find(baseName);
  return tree;
}
