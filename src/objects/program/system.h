// SYSTEM: date and time (Polish names), processor speed, delays, file copies, the command line.
#pragma once

#include <ctime>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_System : public CMC_Object {
 public:
  // Record: the handlers and the name.
  bool serialize(CXArchive* archive) override;
  explicit CMC_System(const CXString& name = CXString("SYSTEM"));

  // The calendar time scripts see: the epoch set for the run plus the engine clock's seconds, so a
  // headless run with its virtual clock sees the same dates every time.
  static std::time_t now();
  // The calendar time at engine-clock zero; by default the real time when first asked.
  static void setEpoch(std::time_t epoch);
  // Processor clock in MHz as the operating system reports it; 0 when unknown.
  static int getMHz();
};

class CMC_System_Runner : public CMC_Runner {
 public:
  enum Method {
    GETDATE = 1, GETDATESTRING, GETDAY, GETDAYOFWEEK, GETDAYOFWEEKSTRING, GETMONTH, GETMONTHSTRING, GETYEAR,
    GETTIMESTRING, GETHOUR, GETMINUTES, GETSECONDS, GETSYSTEMTIME, GETMHZ, DELAY, COPYFILE, MINIMIZE,
    ISCMDLINEPARAMETER, GETCMDLINEPARAMETER, INSTALL, UNINSTALL
  };
  // Longest DELAY honoured, so a script cannot stall the engine for hours.
  static constexpr int kMaxDelayMs = 60000;

  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers SYSTEM (one built into every application): its maker, its saved-state record and its runner.
void registerSystemType();
}  // namespace tarnvik
