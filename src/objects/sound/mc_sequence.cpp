// SEQUENCE objects: loading the tree, playing its parts, events and methods.
#include "objects/sound/mc_sequence.h"

#include "files/file.h"
#include "files/file_search.h"
#include "files/path.h"
#include "files/state_fields.h"
#include "files/xarchive.h"
#include "graphics/window.h"
#include "objects/data/array.h"
#include "objects/sound/sound.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/type_ids.h"
#include "runtime/variable_factory.h"
#include "sound/sequence.h"
#include "sound/sound_system.h"

namespace {

const CMC_EventList& sequenceEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONSTARTED", "ONFINISHED"});
  return list;
}

// The parameter character of a value, the reverse of the PARAMETER choice: 0-8 '1'-'9', 9-34
// 'A'-'Z', 35-60 'a'-'z'; 0 for other values.
char parameterCharacter(int32_t v) {
  if (v >= 0 && v <= 8) return static_cast<char>('1' + v);
  if (v >= 9 && v <= 34) return static_cast<char>('A' + v - 9);
  if (v >= 35 && v <= 60) return static_cast<char>('a' + v - 35);
  return 0;
}

// PLAY's parameter with each "x" or "X", in order, replaced by the parameter character of the next
// value of the ARRAY named by the parameter; unchanged when there is no such array. An "x" past the
// array's end, or for a value outside 0-60, stays as it is.
CXString substituteFromArray(CMC_ObjectsContainer* scope, const CXString& parameter) {
  CMC_Object* object = scope && !parameter.isEmpty() ? scope->getObject(parameter) : nullptr;
  if (!object || object->getType() != mc::TYPE_ARRAY) return parameter;
  const auto* values = static_cast<CMC_Array*>(object);
  std::string text = parameter.str();
  int next = 0;
  for (char& c : text) {
    if (c != 'x' && c != 'X') continue;
    CMC_Variable* value = values->get(next++);
    if (char p = value ? parameterCharacter(value->asInteger()) : 0) c = p;
  }
  return CXString(text);
}

}  // namespace

CMC_Sequence::CMC_Sequence(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_SEQUENCE) {
  CXString file = elementValue(element, "FILENAME");
  // IMPORT declares a sequence by name alone: its file is named after it.
  if (file.isEmpty() && !getName().isEmpty()) file = getName() + ".SEQ";
  load(file, elementInt(element, "PRIORITY"));
  initializeBehaviours(scope, element);
}

CMC_Sequence::~CMC_Sequence() { load(CXString(), 0); }

void CMC_Sequence::load(const CXString& file, int priority) {
  if (tree_)
    for (CSeqPlayable* p : tree_->all()) p->removeNotifier(this);
  playing_ = nullptr;
  tree_.reset();
  file_ = file;
  priority_ = priority;
  if (file.isEmpty()) return;
  std::vector<SequenceMissingFile> missing;
  tree_ = CMultimediaSequenceCreator::load(window(), file, priority, &missing);
  warnMissing(file, missing);
  if (tree_)
    for (CSeqPlayable* p : tree_->all()) p->addNotifier(this);
}

// A sequence file that cannot be read is named where the object was declared; a file the sequence
// file names, at its line in that file.
void CMC_Sequence::warnMissing(const CXString& file, const std::vector<SequenceMissingFile>& missing) const {
  if (!tarnvik::log::mistakesWanted()) return;
  CWindow* shown = window();
  if (!tree_) {
    TLOG_WARN_AT(getOrigin(), "SEQUENCE " << getName().view() << ": cannot load " << file.view() << " (looked in "
                                          << tarnvik::files::searchedPlaces(shown, file) << ")");
    return;
  }
  tarnvik::log::Origin where;
  CXString real = CFile::getPath(shown, file);  // empty for a file read from the archive
  where.file = std::make_shared<const std::string>(real.isEmpty() ? file.str()
                                                                  : tarnvik::files::gameRelative(CPath::toNative(real)));
  for (const SequenceMissingFile& m : missing) {
    where.line = m.line;
    std::string places = m.sound ? CSoundSystem::searchedPlaces(shown, m.file) : tarnvik::files::searchedPlaces(shown, m.file);
    TLOG_WARN_AT(where, "SEQUENCE " << getName().view() << ": " << (m.sound ? "sound " : "animation ") << m.file.view()
                                    << " cannot be found (looked in " << places << ")");
  }
}

bool CMC_Sequence::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  CXString name = getName();
  if (archive->isStoring()) {
    *archive << name << file_ << priority_;
    return archive->isOk();
  }
  CXString file;
  int32_t priority = 0;
  *archive >> name >> file >> priority;
  if (!archive->isOk()) return false;
  setName(name);
  load(file, priority);
  return true;
}

const CMC_EventList* CMC_Sequence::getBehavioursList() const { return &sequenceEvents(); }

bool CMC_Sequence::play(const CXString& name, const CXString& parameter) {
  CSeqPlayable* p = tree_ ? tree_->find(name) : nullptr;
  if (!p) return false;
  if (playing_ && playing_ != p && playing_->getState() != CPlayable::kStopped) playing_->stop(false);
  playing_ = p;
  p->setParameter(parameter);
  p->setVolume(volume_);
  p->setPanning(pan_);
  if (freq_ > 0) p->setFrequency(freq_);
  p->play();
  return true;
}

void CMC_Sequence::stop(bool notify) {
  if (playing_) playing_->stop(notify);
}

void CMC_Sequence::pause() {
  if (playing_) playing_->pause();
}

void CMC_Sequence::resume() {
  if (playing_) playing_->resume();
}

void CMC_Sequence::show() {
  if (tree_)
    for (CSeqPlayable* p : tree_->all()) p->show();
}

void CMC_Sequence::hide() {
  if (tree_)
    for (CSeqPlayable* p : tree_->all()) p->hide();
}

bool CMC_Sequence::isPlaying() const { return playing_ && playing_->getState() != CPlayable::kStopped; }

void CMC_Sequence::setVolume(int v) {
  volume_ = CMC_Sound::volumeFromScript(v);
  if (playing_) playing_->setVolume(volume_);
}

void CMC_Sequence::setPan(int p) {
  pan_ = CMC_Sound::panFromScript(p);
  if (playing_) playing_->setPanning(pan_);
}

void CMC_Sequence::setFrequency(int f) {
  freq_ = f;
  if (playing_) playing_->setFrequency(f);
}

CXString CMC_Sequence::getEventName() const { return isPlaying() ? playing_->playingEventName() : CXString(); }

CXString CMC_Sequence::getPlaying() const { return isPlaying() ? playing_->getName() : CXString(); }

bool CMC_Sequence::onPlayableStarted(CPlayable* playable) {
  fireEvent(EVI_ONSTARTED, "ONSTARTED", playable->getName());
  return true;
}

bool CMC_Sequence::onPlayableFinished(CPlayable* playable) {
  fireEvent(EVI_ONFINISHED, "ONFINISHED", playable->getName());
  return true;
}

CMC_Runner::MethodTable CMC_Sequence_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"PLAY", PLAY},
      {"STOP", STOP},
      {"PAUSE", PAUSE},
      {"RESUME", RESUME},
      {"SHOW", SHOW},
      {"HIDE", HIDE},
      {"ISPLAYING", ISPLAYING},
      {"SETVOLUME", SETVOLUME},
      {"SETPAN", SETPAN},
      {"SETFREQ", SETFREQ},
      {"GETEVENTNAME", GETEVENTNAME},
      {"GETPLAYING", GETPLAYING},
  };
  return kMethods;
}

CMC_Object* CMC_Sequence_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* seq = dynamic_cast<CMC_Sequence*>(target);
  if (!seq) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case PLAY:
      seq->play(getParameterString(args, 0), substituteFromArray(scope, getParameterString(args, 1)));
      return nullptr;
    case STOP: seq->stop(argCount(args) > 0 ? getParameterBool(args, 0, true) : true); return nullptr;
    case PAUSE: seq->pause(); return nullptr;
    case RESUME: seq->resume(); return nullptr;
    case SHOW: seq->show(); return nullptr;
    case HIDE: seq->hide(); return nullptr;
    case ISPLAYING: return CMC_VariableFactory::boolean(seq->isPlaying());
    case SETVOLUME: seq->setVolume(getParameterInteger(args, 0)); return nullptr;
    case SETPAN: seq->setPan(getParameterInteger(args, 0)); return nullptr;
    case SETFREQ: seq->setFrequency(getParameterInteger(args, 0)); return nullptr;
    case GETEVENTNAME: return CMC_VariableFactory::string(seq->getEventName());
    case GETPLAYING: return CMC_VariableFactory::string(seq->getPlaying());
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerSequenceType() {
  registerElementType<CMC_Sequence, CMC_Sequence_Runner>("SEQUENCE", mc::TYPE_SEQUENCE);
}

}  // namespace tarnvik

bool CMC_Sequence::serializeState(CXArchive* archive) {
  CXString playing = playing_ ? playing_->getName() : CXString();
  int32_t volume = volume_, pan = pan_, freq = freq_;
  bool tree = tree_ != nullptr;
  if (!saved::fields(archive, playing, volume, pan, freq, tree) || tree != (tree_ != nullptr)) return false;
  if (tree_ && !tree_->serializeState(archive, window())) return false;
  if (archive->isStoring()) return true;
  playing_ = tree_ && !playing.isEmpty() ? tree_->find(playing) : nullptr;
  volume_ = volume;
  pan_ = pan;
  freq_ = freq;
  return true;
}
