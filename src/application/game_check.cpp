// The static check: structure, every container's own file, every behaviour's statements, with the
// engine's located warnings gathered through the logger's collector.
#include "application/game_check.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string_view>
#include <tuple>
#include <unordered_set>

#include "application/application.h"
#include "application/mc_application.h"
#include "application/precompiled.h"
#include "application/scene.h"
#include "definitions/melementsloader.h"
#include "files/file.h"
#include "files/file_search.h"
#include "files/path.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/behaviour.h"
#include "runtime/behaviour_entry.h"
#include "settings/commandline.h"
#include "sound/sound_system.h"

namespace tarnvik {
namespace {

struct Importer {
  std::string shown;
  ImportedFiles files;
};

std::map<int, Importer>& importers() {
  static std::map<int, Importer> table;
  return table;
}

std::vector<CheckDiagnostic>& gathered() {
  static std::vector<CheckDiagnostic> list;
  return list;
}

void collect(const log::Origin& where, log::Rank rank, std::string_view message) {
  gathered().push_back({where.file ? *where.file : std::string(), where.line, rank == log::Rank::error, std::string(message)});
}

// A definition file that is not text (NUL bytes, or mostly control characters) is not a game's.
bool looksBinary(const std::vector<uint8_t>& bytes) {
  size_t control = 0;
  for (uint8_t b : bytes) {
    if (b == 0) return true;
    if (b < 32 && b != '\n' && b != '\r' && b != '\t') ++control;
  }
  return control * 10 > bytes.size();
}

// A definition file the game reads, when present, must be text.
bool definitionReadable(CWindow* window, const CXString& name, std::string& why) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(window, name, bytes) || !looksBinary(bytes)) return true;
  why = files::gameRelative(CPath::toNative(CPath::makeAbsolute(name))) + " is not a definition file (binary data)";
  return false;
}

// Every container of the structure, the application first, each episode before its scenes.
void walk(CMC_Scene* scene, std::vector<CMC_Scene*>& out) {
  if (std::find(out.begin(), out.end(), scene) != out.end()) return;
  out.push_back(scene);
  for (CMC_Scene* child : scene->getChildren()) walk(child, out);
}

// Every behaviour of the container parsed again now that all its objects (and its parents') exist.
// Parsing again replaces the inline behaviours of arguments: only those still here are visited.
void forEachBehaviour(CMC_ObjectsContainer* scope, const std::function<void(CMC_Behaviour*)>& visit) {
  for (CMC_Object* object : std::vector<CMC_Object*>(scope->objects())) {
    const auto& now = scope->objects();
    if (std::find(now.begin(), now.end(), object) == now.end() || object->getType() != mc::TYPE_BEHAVIOUR) continue;
    auto* behaviour = static_cast<CMC_Behaviour*>(object);
    behaviour->parse();
    visit(behaviour);
  }
}

// The objects a game makes while it runs, named by the first argument of NEW, CREATE and CLONE
// (clones are "NAME_1", "NAME_2", ...): calls on them are not judged.
struct MadeNames {
  std::unordered_set<std::string> names;
  void gather(CMC_Behaviour* behaviour) {
    for (const auto& line : behaviour->getLines()) gather(line.get());
  }
  void gather(const CMC_Behaviour_Entry* statement) {
    std::string_view method = statement->getMethodName().view();
    if (method == "NEW" || method == "CREATE") names.insert(statement->getArgumentText(0).str());
    if (method == "CLONE") names.insert(statement->getTargetName().str() + "_");
    for (int i = 0; i < statement->getArgumentCount(); ++i)
      if (const CMC_Behaviour_Entry* inner = statement->getArgumentStatement(i)) gather(inner);
  }
  bool operator()(std::string_view name) const {
    if (names.contains(std::string(name))) return true;
    size_t cut = name.find_last_of('_');
    return cut != std::string_view::npos && cut + 1 < name.size() &&
           name.find_first_not_of("0123456789", cut + 1) == std::string_view::npos &&
           names.contains(std::string(name.substr(0, cut + 1)));
  }
};

// A scope the check reads code in, and the scene whose folder its file names are found from (none
// for the application and episodes: their code runs in whatever scene is current).
struct Scope {
  CMC_ObjectsContainer* container;
  CMC_Scene* folderOf;
};

void checkBehaviours(const std::vector<Scope>& scopes) {
  MadeNames made;
  for (const Scope& s : scopes) forEachBehaviour(s.container, [&](CMC_Behaviour* b) { made.gather(b); });
  std::function<bool(std::string_view)> isMade = [&made](std::string_view name) { return made(name); };
  for (const Scope& s : scopes)
    forEachBehaviour(s.container, [&](CMC_Behaviour* b) {
      for (const auto& line : b->getLines()) line->checkNames(isMade);
    });
}

// Statements whose first argument names a file: the target's type, the method, and what the file is.
enum class Named { Image, Sound, Definitions };
struct FileMethod {
  int type;
  std::string_view shown;  // the type as the author writes it
  std::string_view method;
  Named what;
};
constexpr FileMethod kFileMethods[] = {
    {mc::TYPE_ANIMO, "ANIMO", "LOAD", Named::Image},
    {mc::TYPE_IMAGE, "IMAGE", "LOAD", Named::Image},
    {mc::TYPE_SOUND, "SOUND", "LOAD", Named::Sound},
    {mc::TYPE_CANVASOBSERVER, "CANVASOBSERVER", "SETBACKGROUND", Named::Image},
    {mc::TYPE_CNVLOADER, "CNVLOADER", "LOAD", Named::Definitions},
};

// "TYPE NAME", or the name alone for the objects named like their type (CNVLOADER).
std::string shownObject(std::string_view type, const CXString& name) {
  return name.view() == type ? std::string(type) : std::string(type) + " " + name.str();
}

std::string placesFor(CWindow* window, const CXString& file, Named what) {
  return what == Named::Sound ? CSoundSystem::searchedPlaces(window, file) : files::searchedPlaces(window, file);
}

bool readable(CWindow* window, const CXString& file, Named what) {
  return CFile::canRead(window, what == Named::Sound ? CSoundSystem::resolveSoundFX(window, file) : file);
}

// Reads the definition files the game loads while it runs into scopes of their own (children of
// the scope that loads them), so their declarations and code are checked like a scene's.
class Imports {
 public:
  Imports(CWindow* window, std::vector<Scope>& scopes) : window_(window), scopes_(scopes) {}
  ~Imports() {
    // Newest first: a later scope may be a child of an earlier one.
    while (!made_.empty()) made_.pop_back();
  }

  void readClassFiles() {
    for (size_t i = 0; i < scopes_.size(); ++i) {
      Scope scope = scopes_[i];
      for (CMC_Object* object : std::vector<CMC_Object*>(scope.container->objects())) {
        auto it = importers().find(object->getType());
        if (it == importers().end()) continue;
        for (const CXString& file : it->second.files(*object))
          if (!CFile::canRead(window_, file))
            TLOG_WARN_AT(object->getOrigin(), shownObject(it->second.shown, object->getName())
                                                  << ": cannot read " << file.view() << " (looked in "
                                                  << files::searchedPlaces(window_, file) << ")");
          else
            read(file, object->getName(), scope);
      }
    }
  }

  // A definition file, read once for each scene folder it is loaded from: a file that loads itself
  // (or a class file that declares its own class) is read once.
  void read(const CXString& file, const CXString& name, const Scope& into) {
    std::string key = file.str() + '\n' + std::to_string(reinterpret_cast<uintptr_t>(into.folderOf));
    if (!seen_.insert(key).second) return;
    std::unique_ptr<CMElements> elements(CMElementsLoader::load(window_, file));
    if (!elements) return;
    auto scope = std::make_unique<CMC_ObjectsContainer>(window_, name, into.container, mc::TYPE_GROUP);
    scope->resolveObjects(elements.get());
    scopes_.push_back({scope.get(), into.folderOf});
    made_.push_back(std::move(scope));
  }

 private:
  CWindow* window_;
  std::vector<Scope>& scopes_;
  std::vector<std::unique_ptr<CMC_ObjectsContainer>> made_;
  std::unordered_set<std::string> seen_;
};

// Every file a statement names by a literal argument, found as the run would find it from the
// scene's folder; a definition file found is read as the loader would.
void checkStatementFiles(const CMC_Behaviour_Entry* statement, const Scope& scope, Imports& imports, CWindow* window) {
  for (int i = 0; i < statement->getArgumentCount(); ++i)
    if (const CMC_Behaviour_Entry* inner = statement->getArgumentStatement(i)) checkStatementFiles(inner, scope, imports, window);
  const CMC_Object* target = statement->kind() == CMC_Behaviour_Entry::Kind::Call ? statement->getTarget() : nullptr;
  CXString file = target ? statement->getLiteralText(0) : CXString();
  if (file.isEmpty()) return;
  for (const FileMethod& row : kFileMethods) {
    if (row.type != target->getType() || statement->getMethodName().view() != row.method) continue;
    CMC_Behaviour* owner = statement->getBehaviour();
    if (!readable(window, file, row.what))
      TLOG_WARN_AT(owner ? owner->getOrigin() : log::Origin(),
                   shownObject(row.shown, target->getName()) << ": " << row.method << " names " << file.view()
                                                             << ", which cannot be found (looked in "
                                                             << placesFor(window, file, row.what) << ")");
    else if (row.what == Named::Definitions)
      imports.read(file, file, scope);
  }
}

void checkNamedFiles(std::vector<Scope>& scopes, Imports& imports, CWindow* window) {
  // Scopes read from definition files are appended while this runs: walk by index.
  for (size_t i = 0; i < scopes.size(); ++i) {
    Scope scope = scopes[i];
    if (!scope.folderOf) continue;
    scope.folderOf->enterFolder(scope.folderOf->getName() + ".cnv");
    forEachBehaviour(scope.container, [&](CMC_Behaviour* b) {
      for (const auto& line : b->getLines()) checkStatementFiles(line.get(), scope, imports, window);
    });
  }
}

void checkStructureNames(CMC_Application* application, const std::vector<CMC_Scene*>& structure) {
  if (!application->find(application->getStartWith()))
    TLOG_WARN_AT(application->getOrigin(), "application " << application->getName().view() << ": STARTWITH "
                                                          << application->getStartWith().view()
                                                          << " names none of its episodes or scenes");
  for (CMC_Scene* s : structure)
    if (s->getType() == mc::TYPE_EPISODE) static_cast<CMC_Episode*>(s)->startScene();
}

CXString sceneFolder(const CXString& dane, CMC_Scene* scene) {
  return scene->getPath().isEmpty() ? dane : CPath::join(dane, scene->getPath());
}

bool loadAll(CWindow* window, CApplication& application, const std::string& folder, std::string& why) {
  CXString dane = CPath::join(CXString(folder), "Dane");
  if (!definitionReadable(window, CPath::join(dane, "application.def"), why)) return false;
  if (!application.loadGame(CXString(folder)) || !application.getApplication()) {
    why = application.getStartError().empty() ? "no application could be built" : application.getStartError();
    return false;
  }
  CMC_Application* app = application.getApplication();
  app->addBuiltins();
  std::vector<CMC_Scene*> structure;
  walk(app, structure);
  for (CMC_Scene* scene : structure) {
    CXString place = sceneFolder(dane, scene);
    CXString cnv = CPath::join(place, scene->getName() + ".cnv");
    if (!definitionReadable(window, cnv, why)) return false;
    // As entering it would: the scene's folder becomes current (a PATH naming none is said there).
    scene->enterFolder(scene->getName() + ".cnv");
    scene->loadCnv();
    scene->warnMissingFiles();
    if (!scene->isBinary()) tarnvik::precompiled::warnIfOlder(CPath::join(place, scene->getName() + ".bin"), cnv);
  }
  std::vector<Scope> scopes;
  for (CMC_Scene* scene : structure) scopes.push_back({scene, scene->getType() == mc::TYPE_SCENE ? scene : nullptr});
  Imports imports(window, scopes);
  imports.readClassFiles();
  checkNamedFiles(scopes, imports, window);
  checkBehaviours(scopes);
  checkStructureNames(app, structure);
  return true;
}

}  // namespace

void registerImportedFiles(int typeId, std::string_view typeName, ImportedFiles files) {
  importers()[typeId] = {std::string(typeName), std::move(files)};
}

bool checkGame(CWindow* window, const std::string& folder, const std::string& archive, std::vector<CheckDiagnostic>& out,
               std::string& why) {
  CPath::setStartDirectory(CXString(folder));
  CCommandLine6 commandLine{CXString()};
  commandLine.setPath(CXString(folder));
  gathered().clear();
  log::setCollector(collect);
  bool ok = false;
  {
    CApplication application(window, CXString(), CXString(archive), &commandLine);
    if (!archive.empty() && !CFile::getBigFileIfc())
      why = archive + " is not a readable archive";
    else
      ok = loadAll(window, application, folder, why);
  }
  log::setCollector(nullptr);
  out = std::move(gathered());
  gathered().clear();
  auto key = [](const CheckDiagnostic& d) { return std::tie(d.file, d.line, d.message); };
  std::sort(out.begin(), out.end(), [&](const CheckDiagnostic& a, const CheckDiagnostic& b) { return key(a) < key(b); });
  out.erase(std::unique(out.begin(), out.end(), [&](const CheckDiagnostic& a, const CheckDiagnostic& b) { return key(a) == key(b); }),
            out.end());
  return ok;
}

std::string formatDiagnostics(const std::vector<CheckDiagnostic>& list, bool json) {
  if (json) {
    nlohmann::json array = nlohmann::json::array();
    for (const CheckDiagnostic& d : list)
      array.push_back({{"file", d.file}, {"line", d.line}, {"severity", d.error ? "error" : "warning"}, {"message", d.message}});
    return array.dump(2) + "\n";
  }
  std::string text;
  int errors = 0, warnings = 0;
  for (const CheckDiagnostic& d : list) {
    (d.error ? errors : warnings)++;
    std::string where = d.file.empty() ? std::string("(game)") : d.line > 0 ? d.file + ":" + std::to_string(d.line) : d.file + " (precompiled)";
    text += where + ": " + (d.error ? "error" : "warning") + ": " + d.message + "\n";
  }
  text += std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
          (warnings == 1 ? " warning\n" : " warnings\n");
  return text;
}

}  // namespace tarnvik
