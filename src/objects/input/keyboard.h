// KEYBOARD: a key listener that turns key presses, releases and typed characters into script
// events, and answers which keys are down.
#pragma once

#include <deque>

#include "input/input_manager.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Keyboard : public CMC_Object, public CKeyListener {
 public:
  enum { EVI_ONCHAR = 3, EVI_ONKEYDOWN, EVI_ONKEYUP };
  // The latest keys kept for GETLATESTKEYS.
  static constexpr size_t kLatestKeys = 64;

  CMC_Keyboard(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_Keyboard() override;

  const CMC_EventList* getBehavioursList() const override;
  // Record: the handlers, the name and the enabled flag.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the switch, the latest key and character, the queue of latest keys.
  bool serializeState(CXArchive* archive) override;

  void onKeyDown(int code) override;
  void onKeyUp(int code) override;
  void onChar(const std::string& character) override;

  void enable(bool on) { enabled_ = on; }
  bool isEnabled() const { return enabled_; }
  const CXString& getLatestKey() const { return latest_; }
  const CXString& getLastChar() const { return lastChar_; }
  // The queued latest keys, oldest first; `clear` empties the queue.
  std::deque<CXString> takeLatestKeys(bool clear);

 private:
  void keyEvent(int code, int index, const char* event);

  bool enabled_ = true;
  CXString latest_, lastChar_;
  std::deque<CXString> latestKeys_;
};

class CMC_Keyboard_Runner : public CMC_Runner {
 public:
  enum Method { ENABLE = 1, DISABLE, SETAUTOREPEAT, ISKEYDOWN, GETLATESTKEY, GETLATESTKEYS, ISENABLED };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers KEYBOARD: its maker, its saved-state record and its runner.
void registerKeyboardType();
}  // namespace tarnvik
