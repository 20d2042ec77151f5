// SYSTEM methods.
#include "objects/program/system.h"

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "platform/clock.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"
#include "settings/commandline.h"

namespace {

const char* const kDayNames[] = {"Niedziela", "Poniedzialek", "Wtorek", "Sroda", "Czwartek", "Piatek", "Sobota"};
const char* const kMonthNames[] = {"Styczen", "Luty",     "Marzec",   "Kwiecien",    "Maj",      "Czerwiec",
                                   "Lipiec",  "Sierpien", "Wrzesien", "Pazdziernik", "Listopad", "Grudzien"};

std::optional<std::time_t> g_epoch;

std::tm calendar() {
  std::time_t t = CMC_System::now();
  std::tm fields{};
  gmtime_r(&t, &fields);
  return fields;
}

// Copies a game file (names resolved like resource names) to a place scripts may write.
void copyFile(CWindow* window, const CXString& source, const CXString& target) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(window, source, bytes)) {
    TLOG_WARN("SYSTEM^COPYFILE: cannot read " << source.view());
    return;
  }
  CXString to = CPath::makeAbsolute(CPath::resolveFileName(window, target));
  if (!CPath::isWritable(to)) {
    TLOG_WARN("SYSTEM^COPYFILE: " << target.view() << " lies outside the game's writable places");
    return;
  }
  if (!CFile::writeFileAtomic(to, bytes.data(), bytes.size())) TLOG_WARN("SYSTEM^COPYFILE: cannot write " << to.view());
}

}  // namespace

CMC_System::CMC_System(const CXString& name) : CMC_Object(name, mc::TYPE_SYSTEM) {}

void CMC_System::setEpoch(std::time_t epoch) { g_epoch = epoch; }

std::time_t CMC_System::now() {
  if (!g_epoch) g_epoch = std::time(nullptr) - static_cast<std::time_t>(tarnvik::engineClock().now() / 1000);
  return *g_epoch + static_cast<std::time_t>(tarnvik::engineClock().now() / 1000);
}

int CMC_System::getMHz() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("cpu MHz", 0) != 0) continue;
    auto colon = line.find(':');
    if (colon != std::string::npos) return static_cast<int>(CXString(line.substr(colon + 1)).toDouble());
  }
  std::ifstream maxFreq("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
  long khz = 0;
  if (maxFreq >> khz) return static_cast<int>(khz / 1000);
  return 0;
}

CMC_Runner::MethodTable CMC_System_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"GETDATE", GETDATE},
      {"GETDATESTRING", GETDATESTRING},
      {"GETDAY", GETDAY},
      {"GETDAYOFWEEK", GETDAYOFWEEK},
      {"GETDAYOFWEEKSTRING", GETDAYOFWEEKSTRING},
      {"GETMONTH", GETMONTH},
      {"GETMONTHSTRING", GETMONTHSTRING},
      {"GETYEAR", GETYEAR},
      {"GETTIMESTRING", GETTIMESTRING},
      {"GETHOUR", GETHOUR},
      {"GETMINUTES", GETMINUTES},
      {"GETSECONDS", GETSECONDS},
      {"GETSYSTEMTIME", GETSYSTEMTIME},
      {"GETMHZ", GETMHZ},
      {"DELAY", DELAY},
      {"COPYFILE", COPYFILE},
      {"MINIMIZE", MINIMIZE},
      {"ISCMDLINEPARAMETER", ISCMDLINEPARAMETER},
      {"GETCMDLINEPARAMETER", GETCMDLINEPARAMETER},
      {"INSTALL", INSTALL},
      {"UNINSTALL", UNINSTALL},
  };
  return kMethods;
}

CMC_Object* CMC_System_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_SYSTEM) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case GETDATE: {
      std::tm t = calendar();
      return CMC_VariableFactory::integer((t.tm_year + 1900 - 2000) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday);
    }
    case GETDATESTRING: {
      std::tm t = calendar();
      return CMC_VariableFactory::string(CXString(std::to_string(t.tm_mday) + "/" + kMonthNames[t.tm_mon] + "/" +
                                   std::to_string(t.tm_year + 1900)));
    }
    case GETDAY: return CMC_VariableFactory::integer(calendar().tm_mday);
    case GETDAYOFWEEK: return CMC_VariableFactory::integer(calendar().tm_wday + 1);
    case GETDAYOFWEEKSTRING: return CMC_VariableFactory::string(kDayNames[calendar().tm_wday]);
    case GETMONTH: return CMC_VariableFactory::integer(calendar().tm_mon + 1);
    case GETMONTHSTRING: return CMC_VariableFactory::string(kMonthNames[calendar().tm_mon]);
    case GETYEAR: return CMC_VariableFactory::integer(calendar().tm_year + 1900);
    case GETTIMESTRING: {
      // The hour and the minutes as "%d:%d" (no zero padding: "9:5" at five past nine).
      std::tm t = calendar();
      return CMC_VariableFactory::string(CXString(std::to_string(t.tm_hour) + ":" + std::to_string(t.tm_min)));
    }
    case GETHOUR: return CMC_VariableFactory::integer(calendar().tm_hour);
    case GETMINUTES: return CMC_VariableFactory::integer(calendar().tm_min);
    case GETSECONDS: return CMC_VariableFactory::integer(calendar().tm_sec);
    case GETSYSTEMTIME: return CMC_VariableFactory::integer(static_cast<int32_t>(tarnvik::engineClock().now()));
    case GETMHZ: return CMC_VariableFactory::integer(CMC_System::getMHz());
    case DELAY: {
      int ms = getParameterInteger(args, 0);
      if (ms <= 0) return nullptr;
      if (ms > kMaxDelayMs) {
        TLOG_WARN("SYSTEM^DELAY(" << ms << "): waiting " << kMaxDelayMs << " ms at most");
        ms = kMaxDelayMs;
      }
      tarnvik::engineClock().delay(static_cast<uint32_t>(ms));
      return nullptr;
    }
    case COPYFILE:
      if (argCount(args) >= 2) copyFile(CMC_Object::windowOf(scope), getParameterString(args, 0), getParameterString(args, 1));
      return nullptr;
    case MINIMIZE:
      if (CWindow* window = CMC_Object::windowOf(scope)) window->minimize();
      return nullptr;
    case ISCMDLINEPARAMETER: {
      CWindow* window = CMC_Object::windowOf(scope);
      CCommandLine6* commandLine = window ? window->getCommandLine() : nullptr;
      return CMC_VariableFactory::boolean(commandLine && commandLine->isParameter(getParameterString(args, 0)));
    }
    case GETCMDLINEPARAMETER: {
      CWindow* window = CMC_Object::windowOf(scope);
      CCommandLine6* commandLine = window ? window->getCommandLine() : nullptr;
      return CMC_VariableFactory::string(commandLine ? commandLine->getParameter(getParameterString(args, 0)) : CXString());
    }
    case INSTALL:
    case UNINSTALL:
      TLOG_WARN("SYSTEM^" << (id == INSTALL ? "INSTALL" : "UNINSTALL") << ": installing games is not supported");
      return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

bool CMC_System::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive); }

namespace tarnvik {

void registerSystemType() {
  mc::registerRecordType(mc::TYPE_SYSTEM, [](CMC_ObjectsContainer*) -> CMC_Object* { return new CMC_System(CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_System_Runner>(mc::TYPE_SYSTEM);
}

}  // namespace tarnvik
