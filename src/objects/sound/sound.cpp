// SOUND objects: the shared sounds, the events and the methods.
#include "objects/sound/sound.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

#include "files/state_fields.h"
#include "files/file.h"
#include "files/file_search.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/type_ids.h"
#include "runtime/variable_factory.h"
#include "sound/sound4.h"
#include "sound/sound_system.h"

namespace {

const CMC_EventList& soundEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONSTARTED", "ONFINISHED", "ONRESUMED"});
  return list;
}

// The resource manager of sounds: one sound per resolved file name (any case) while someone holds it.
std::map<std::string, std::weak_ptr<CSound4>>& sharedSounds() {
  static std::map<std::string, std::weak_ptr<CSound4>> sounds;
  return sounds;
}

std::string shareKey(const CXString& name) {
  std::string key = name.str();
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return c == '\\' ? '/' : std::tolower(c); });
  return key;
}

}  // namespace

CMC_Sound::CMC_Sound(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Object(scope, element, mc::TYPE_SOUND) {
  preload_ = elementBool(element, "PRELOAD");
  flushAfterPlayed_ = elementBool(element, "FLUSHAFTERPLAYED");
  initSound(elementValue(element, "FILENAME"));
  initializeBehaviours(scope, element);
}

CMC_Sound::CMC_Sound(CMC_ObjectsContainer* scope, const CXString& name) : CMC_Object(scope, nullptr, mc::TYPE_SOUND) {
  setName(name);
  initSound(CXString());
}

CMC_Sound::~CMC_Sound() {
  // A sound shared with other SOUND objects plays on for them; the last holder frees it.
  if (sound_) sound_->removeNotifier(this);
}

bool CMC_Sound::serializeState(CXArchive* archive) {
  CXString file = file_;
  bool has = sound_ != nullptr;
  if (!saved::fields(archive, file, has)) return false;
  if (archive->isLoading() && file != file_ && !file.isEmpty()) load(file);
  if (!has) return true;
  if (sound_) return sound_->serializePlayState(archive);
  // The sound could not be made again: its state is read and dropped.
  CSound4 scratch(nullptr);
  return scratch.serializePlayState(archive);
}

bool CMC_Sound::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  CXString name = getName();
  if (archive->isStoring()) {
    *archive << name << file_ << preload_ << flushAfterPlayed_;
    return archive->isOk();
  }
  CXString file;
  bool preload = false, flush = false;
  *archive >> name >> file >> preload >> flush;
  if (!archive->isOk()) return false;
  setName(name);
  preload_ = preload;
  flushAfterPlayed_ = flush;
  if (sound_) sound_->removeNotifier(this);
  initSound(file);
  return true;
}

void CMC_Sound::initSound(const CXString& file) {
  file_ = file;
  CWindow* shown = window();
  CXString resolved = file.isEmpty() ? file : CSoundSystem::resolveSoundFX(shown, file);
  warnIfMissing(shown, file, resolved);
  if (!resolved.isEmpty()) {
    std::weak_ptr<CSound4>& slot = sharedSounds()[shareKey(resolved)];
    sound_ = slot.lock();
    if (!sound_) {
      sound_ = std::make_shared<CSound4>(shown, resolved, flushAfterPlayed_, preload_);
      slot = sound_;
    }
  } else {
    sound_ = std::make_shared<CSound4>(shown, resolved, flushAfterPlayed_, false);
  }
  sound_->addNotifier(this);
}

const CMC_EventList* CMC_Sound::getBehavioursList() const { return &soundEvents(); }

CXObject* CMC_Sound::clone() const {
  auto* copy = new CMC_Sound(getScene(), getName());
  copy->preload_ = preload_;
  copy->flushAfterPlayed_ = flushAfterPlayed_;
  copy->sound_->removeNotifier(copy);
  copy->initSound(file_);
  return copy;
}

void CMC_Sound::play() { sound_->play(); }
void CMC_Sound::stop(bool notify) { sound_->stop(notify); }
void CMC_Sound::pause() { sound_->pause(); }
void CMC_Sound::resume() { sound_->resume(); }
bool CMC_Sound::isPlaying() const { return sound_->isPlaying(); }

bool CMC_Sound::load(const CXString& file) {
  CWindow* shown = window();
  CXString resolved = CSoundSystem::resolveSoundFX(shown, file);
  warnIfMissing(shown, file, resolved);
  return sound_->Load(resolved);
}

void CMC_Sound::warnIfMissing(CWindow* window, const CXString& file, const CXString& resolved) {
  if (!file.isEmpty() && !CFile::canRead(window, resolved))
    TLOG_WARN_AT(getOrigin(), "SOUND " << getName().view() << ": cannot load " << file.view() << " (looked in "
                                       << CSoundSystem::searchedPlaces(window, file) << ")");
}

int CMC_Sound::volumeFromScript(int v) {
  int64_t a = ((static_cast<int64_t>(v) - 800) * 3200) / 800;
  if (a < -3099) return -10000;
  return static_cast<int>(std::min<int64_t>(a, INT32_MAX));
}

int CMC_Sound::panFromScript(int p) {
  int64_t a = ((static_cast<int64_t>(p) - 400) * 3200) / 1600;
  if (a < -3099) return -10000;
  if (a > 3099) return 10000;
  return static_cast<int>(a);
}

void CMC_Sound::setVolume(int v) { sound_->setVolume(volumeFromScript(v)); }
void CMC_Sound::setPan(int p) { sound_->setPanning(panFromScript(p)); }
void CMC_Sound::setFrequency(int f) { sound_->setFrequency(f); }

void CMC_Sound::fire(int index, const char* event) {
  if (hasHandlerFlag(index)) onSignal(CXString(event));
}

bool CMC_Sound::onPlayableStarted(CPlayable*) {
  fire(EVI_ONSTARTED, "ONSTARTED");
  return true;
}

bool CMC_Sound::onPlayableFinished(CPlayable*) {
  fire(EVI_ONFINISHED, "ONFINISHED");
  return true;
}

bool CMC_Sound::onPlayableEvent4(CPlayable*) {
  fire(EVI_ONRESUMED, "ONRESUMED");
  return true;
}

CMC_Runner::MethodTable CMC_Sound_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"PLAY", PLAY},
      {"STOP", STOP},
      {"PAUSE", PAUSE},
      {"RESUME", RESUME},
      {"LOAD", LOAD},
      {"SETVOLUME", SETVOLUME},
      {"SETPAN", SETPAN},
      {"SETFREQ", SETFREQ},
      {"ISPLAYING", ISPLAYING},
  };
  return kMethods;
}

CMC_Object* CMC_Sound_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* sound = dynamic_cast<CMC_Sound*>(target);
  if (!sound) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case PLAY: sound->play(); return nullptr;
    case STOP: sound->stop(argCount(args) > 0 ? getParameterBool(args, 0, true) : true); return nullptr;
    case PAUSE: sound->pause(); return nullptr;
    case RESUME: sound->resume(); return nullptr;
    case LOAD: return CMC_VariableFactory::boolean(sound->load(getParameterString(args, 0)));
    case SETVOLUME: sound->setVolume(getParameterInteger(args, 0)); return nullptr;
    case SETPAN: sound->setPan(getParameterInteger(args, 0)); return nullptr;
    case SETFREQ: sound->setFrequency(getParameterInteger(args, 0)); return nullptr;
    case ISPLAYING: return CMC_VariableFactory::boolean(sound->isPlaying());
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerSoundType() {
  CMC_ObjectsContainer::registerType("SOUND", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Sound(scope, element);
  });
  mc::registerRecordType(mc::TYPE_SOUND,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Sound(scope, CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_Sound_Runner>(mc::TYPE_SOUND);
}

}  // namespace tarnvik
