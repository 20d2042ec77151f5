// Writing and reading the precompiled form: file headers, object lists, scene files and the structure.
#include "application/precompiled.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "application/mc_application.h"
#include "application/scene.h"
#include "application/structure_parser.h"
#include "definitions/deffile.h"
#include "definitions/melement.h"
#include "definitions/melementsloader.h"
#include "files/file.h"
#include "files/memory_sink.h"
#include "files/file_search.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/behaviour.h"
#include "runtime/records/object_records.h"

namespace tarnvik::precompiled {

namespace {

int64_t bytesLeft(CXArchive& archive) {
  CFile* file = archive.getFile();
  return file ? static_cast<int64_t>(file->Length()) - file->Tell() : 0;
}

// Opens a real path for a whole rewrite and writes through the serializer; the file appears under
// its name only when everything was written.
template <typename Body>
bool writeFile(const std::string& native, Body&& body, std::string& why) {
  CFile file;
  if (!file.openRewrite(native)) {
    why = "cannot create " + native;
    return false;
  }
  CXArchive archive(&file, true);
  if (!body(archive) || !archive.isOk()) {
    file.abandon();
    if (why.empty()) why = "cannot write " + native;
    return false;
  }
  if (file.Close() != 0) {
    why = "cannot write " + native;
    return false;
  }
  return true;
}

}  // namespace

bool canWrite(const std::vector<CMC_Object*>& objects, std::string& why) { return mc::canStoreObjects(objects, &why); }

bool writeObjects(CXArchive& archive, const std::vector<CMC_Object*>& objects) {
  return mc::storeObjectList(&archive, objects);
}

bool readObjects(CXArchive& archive, CMC_ObjectsContainer* scope, std::vector<CMC_Object*>& out, std::string& why) {
  return mc::restoreObjectList(&archive, scope, out, &why);
}

namespace {

// An empty scene-level object of the same kind and name (same events), for trial reads and compiling.
std::unique_ptr<CMC_Scene> standInFor(CMC_Scene* scene, CMC_ObjectsContainer* parent) {
  if (scene->getType() == mc::TYPE_APPLICATION) {
    CMElement element(scene->getName());
    return std::make_unique<CMC_Application>(scene->getWindow(), &element, nullptr);
  }
  return std::make_unique<CMC_Scene>(scene->getWindow(), scene->getName(), parent, scene->getType());
}

void deleteAll(std::vector<CMC_Object*>& objects) {
  for (CMC_Object* o : objects) delete o;
  objects.clear();
}

// Reads a scene file into `scene`: its strings and its objects, then binds the scene's file
// handlers. Nothing is changed unless the whole file reads.
bool readSceneFile(const std::vector<uint8_t>& bytes, CMC_Scene* scene, bool apply, std::string& why) {
  CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive archive(&stream, false);
  CXString dlls, background, music;
  archive >> dlls >> background >> music;
  std::vector<CMC_Object*> objects;
  if (!archive.isOk() || !readObjects(archive, scene, objects, why)) {
    if (why.empty()) why = "cut short";
    deleteAll(objects);
    return false;
  }
  if (!apply) {
    bool whole = bytesLeft(archive) == 0;
    deleteAll(objects);
    if (!whole) why = "bytes after the last record";
    return whole;
  }
  scene->setSceneStrings(dlls, background, music);
  for (CMC_Object* object : objects) scene->addObject(object);
  if (!scene->getFileHandlers().empty()) {
    CFile_Stream record(scene->getFileHandlers().data(), static_cast<long>(scene->getFileHandlers().size()));
    CXArchive handlers(&record, false);
    scene->serializeHandlers(&handlers, scene);
  }
  // Handlers restored before the behaviour they name was read are bound now; conditions are
  // looked up as when the definition file is read.
  for (CMC_Object* object : scene->objects())
    if (object->getType() == mc::TYPE_BEHAVIOUR) static_cast<CMC_Behaviour*>(object)->resolveCondition();
  for (CMC_Object* object : std::vector<CMC_Object*>(scene->objects())) object->initializeBehaviours(scene, nullptr);
  scene->initializeBehaviours(scene, nullptr);
  return true;
}

// The handler record of a scene-level object, as bytes.
std::vector<uint8_t> handlerRecord(CMC_Scene& scene) {
  CFile_Sink sink;
  CXArchive archive(&sink, true);
  scene.serializeHandlers(&archive, &scene);
  return std::move(sink.bytes());
}

// One entry of a handler record: event key, behaviour name, arguments.
struct HandlerEntry {
  CXString key, behaviour;
  std::vector<CXString> args;
  bool operator==(const HandlerEntry&) const = default;
};

std::vector<HandlerEntry> handlerEntries(const std::vector<uint8_t>& record) {
  std::vector<HandlerEntry> out;
  CFile_Stream stream(record.data(), static_cast<long>(record.size()));
  CXArchive archive(&stream, false);
  int32_t count = 0;
  archive >> count;
  for (int32_t i = 0; i < count && archive.isOk(); ++i) {
    HandlerEntry e;
    int32_t n = 0;
    archive >> e.key >> e.behaviour >> n;
    for (int32_t k = 0; k < n && archive.isOk(); ++k) archive >> e.args.emplace_back();
    if (archive.isOk()) out.push_back(std::move(e));
  }
  return out;
}

// The structure handlers of a scene-level object: its handlers now, less those its own definition file
// binds when it is entered (a running game's current scenes hold both; they are kept apart).
std::vector<uint8_t> structureHandlerRecord(CMC_Scene& scene, const std::vector<uint8_t>& fileHandlers) {
  std::vector<HandlerEntry> entries = handlerEntries(handlerRecord(scene));
  for (const HandlerEntry& bound : handlerEntries(fileHandlers)) {
    auto it = std::find(entries.begin(), entries.end(), bound);
    if (it != entries.end()) entries.erase(it);
  }
  CFile_Sink sink;
  CXArchive archive(&sink, true);
  archive << static_cast<int32_t>(entries.size());
  for (const HandlerEntry& e : entries) {
    archive << e.key << e.behaviour << static_cast<int32_t>(e.args.size());
    for (const CXString& a : e.args) archive << a;
  }
  return std::move(sink.bytes());
}

}  // namespace

bool loadScene(CMC_Scene* scene, const CXString& path, std::string& why) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(scene->getWindow(), path, bytes)) {
    why = "cannot be read";
    return false;
  }
  std::vector<CMC_Object*> before = scene->objects();
  if (!loadScene(scene, bytes, why)) return false;
  // A precompiled file keeps no lines: its objects are placed at the file only.
  tarnvik::log::Origin where{std::make_shared<const std::string>(tarnvik::definitions::sourceName(scene->getWindow(), path)), 0};
  for (CMC_Object* object : scene->objects())
    if (std::find(before.begin(), before.end(), object) == before.end()) object->setOrigin(where);
  return true;
}

bool loadScene(CMC_Scene* scene, const std::vector<uint8_t>& bytes, std::string& why) {
  if (!readSceneFile(bytes, scene, false, why)) return false;
  return readSceneFile(bytes, scene, true, why);
}

void warnIfOlder(const CXString& precompiledFile, const CXString& definitionFile) {
  std::string bin, def;
  if (!CPath::findExisting(precompiledFile, bin) || !CPath::findExisting(definitionFile, def)) return;
  std::error_code a, b;
  auto binTime = std::filesystem::last_write_time(bin, a);
  auto defTime = std::filesystem::last_write_time(def, b);
  if (a || b || !(binTime < defTime)) return;
  // Located at the precompiled file, so the player's warning (said once) and the checker's line agree.
  tarnvik::log::Origin where{std::make_shared<const std::string>(tarnvik::files::gameRelative(bin)), 0};
  TLOG_DOUBT_AT(where, "older than " << tarnvik::files::gameRelative(def)
                                     << ", which was edited after precompiling; the precompiled file runs");
}

bool storeScene(CMC_Scene* scene, std::string& why, std::vector<uint8_t>* fileHandlers) {
  CXString cnvName = scene->getName() + ".cnv";
  // The folder the scene's file is read from when the scene is entered.
  CXString saved = CPath::getCurrentDirectory();
  struct Restore {
    CXString dir;
    ~Restore() { CPath::setCurrentDirectory(dir); }
  } restore{saved};
  // enterFolder is the scene's rule; a scene of the same path and name finds the same folder.
  CXString folder;
  {
    CXString relative = scene->getPath().isEmpty() ? CXString("Dane") : CPath::join("Dane", scene->getPath());
    CXString local = CPath::join(CPath::getStartDirectory(), relative);
    folder = CFile::fileExists(CPath::join(local, cnvName)) ? local : CPath::join(CPath::getDataRoot(), relative);
  }
  std::string native;
  bool hasFolder = CPath::findExisting(folder, native);
  CXString binPath = CPath::join(CXString(native), scene->getName() + ".bin");
  auto dropStale = [&] {
    std::string stale;
    if (hasFolder && CPath::findExisting(binPath, stale)) CFile::deleteFile(CXString(stale));
  };
  if (!hasFolder || !CFile::fileExists(CPath::join(folder, cnvName))) {
    // A game shipped in its precompiled form alone keeps its scene files.
    why = "no " + cnvName.str();
    return false;
  }
  CPath::setCurrentDirectory(folder);
  std::unique_ptr<CMElements> elements(CMElementsLoader::load(scene->getWindow(), cnvName));
  if (!elements) {
    why = "cannot read " + cnvName.str();
    dropStale();
    return false;
  }
  std::unique_ptr<CMC_Scene> compiled = standInFor(scene, scene->getParent());
  CMC_Scene& probe = *compiled;
  probe.resolveObjects(elements.get());
  if (CMElement* own = elements->get(scene->getName())) probe.initializeBehaviours(&probe, own);
  if (!canWrite(probe.objects(), why)) {
    dropStale();
    return false;
  }
  bool ok = writeFile(
      binPath.str(),
      [&](CXArchive& archive) {
        archive << scene->getDlls() << scene->getBackground() << scene->getMusicFilename();
        return writeObjects(archive, probe.objects());
      },
      why);
  if (!ok) dropStale();
  if (ok && fileHandlers) *fileHandlers = handlerRecord(probe);
  return ok;
}

// The structure.

namespace {

CXString joinNames(const std::vector<CMC_Scene*>& scenes, int type) {
  CXString out;
  for (CMC_Scene* s : scenes) {
    if (s->getType() != type) continue;
    if (!out.isEmpty()) out += ", ";
    out += s->getName();
  }
  return out;
}

std::vector<std::pair<CXString, CXString>> structureProperties(CMC_Scene* s) {
  std::vector<std::pair<CXString, CXString>> p;
  auto put = [&p](const char* key, const CXString& value) {
    if (!value.isEmpty()) p.emplace_back(CXString(key), value);
  };
  int type = s->getType();
  put("TYPE", CXString(type == mc::TYPE_APPLICATION ? "APPLICATION" : type == mc::TYPE_EPISODE ? "EPISODE" : "SCENE"));
  put("PATH", s->getPath());
  put("BACKGROUND", s->getBackground());
  put("MUSIC", s->getMusicFilename());
  put("DLLS", s->getDlls());
  if (s->isDeamon()) put("DEAMON", CXString("TRUE"));
  for (const auto& [key, value] : s->getDescriptions()) p.emplace_back(key, value);
  if (type == mc::TYPE_EPISODE) {
    auto* e = static_cast<CMC_Episode*>(s);
    put("SCENES", joinNames(e->getChildren(), mc::TYPE_SCENE));
    put("STARTWITH", e->getStartWith());
  } else if (type == mc::TYPE_APPLICATION) {
    auto* a = static_cast<CMC_Application*>(s);
    put("EPISODES", joinNames(a->getChildren(), mc::TYPE_EPISODE));
    put("SCENES", joinNames(a->getChildren(), mc::TYPE_SCENE));
    put("STARTWITH", a->getStartWith());
    put("TARNVIK_VERSION", a->getRequiredVersion());
    put("VERSION", a->getGameVersion());
  }
  return p;
}

}  // namespace

bool storeApplication(CMC_Application* application, const std::vector<CMC_Scene*>& structure,
                      const CXString& daneFolder, int* scenes, std::string& why) {
  std::vector<CMC_Object*> own = application->getStructureObjects();
  if (!canWrite(own, why)) {
    why += " (in " + application->getName().str() + ")";
    return false;
  }
  int written = 0;
  // Each structure object's file handlers; an empty record where it has no definition file.
  std::vector<std::vector<uint8_t>> fileHandlers;
  for (CMC_Scene* s : structure) {
    std::string skipped;
    std::vector<uint8_t> record;
    if (storeScene(s, skipped, &record)) {
      ++written;
    } else if (skipped.starts_with("no ")) {
      TLOG_DEBUG(s->getName().view() << ": no precompiled scene file (" << skipped << ")");
      record = handlerRecord(*standInFor(s, nullptr));
    } else {
      why = skipped + " (in " + s->getName().str() + ")";
      return false;
    }
    fileHandlers.push_back(std::move(record));
  }
  if (scenes) *scenes = written;
  std::string native;
  if (!CPath::findExisting(daneFolder, native)) {
    why = daneFolder.str() + " does not exist";
    return false;
  }
  return writeFile(
      native + "/application.bin",
      [&](CXArchive& archive) {
        archive << static_cast<int32_t>(structure.size());
        for (CMC_Scene* s : structure) {
          auto properties = structureProperties(s);
          archive << static_cast<int32_t>(s->getType()) << s->getName() << static_cast<int32_t>(properties.size());
          for (const auto& [key, value] : properties) archive << key << value;
        }
        if (!writeObjects(archive, own)) return false;
        for (size_t i = 0; i < structure.size(); ++i) {
          std::vector<uint8_t> own = structureHandlerRecord(*structure[i], fileHandlers[i]);
          archive.FWrite(CXString(std::string(own.begin(), own.end())));
          if (!fileHandlers[i].empty())
            archive.FWrite(CXString(std::string(fileHandlers[i].begin(), fileHandlers[i].end())));
        }
        CMC_Scene* current = application->getCurrentChild();
        int32_t subId = -1;
        for (size_t i = 0; i < application->getChildren().size(); ++i)
          if (application->getChildren()[i] == current) subId = static_cast<int32_t>(i);
        archive << subId;
        return archive.isOk();
      },
      why);
}

bool readStructureElements(CXArchive& archive, CMElements& elements, std::string& why) {
  int32_t count = 0;
  archive >> count;
  // Each structure entry takes at least its type, an empty name and a property count.
  if (!archive.isOk() || count < 1 || count > bytesLeft(archive) / 12) {
    why = "structure count " + std::to_string(count) + " does not fit the file";
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    int32_t type = 0, properties = 0;
    CXString name;
    archive >> type >> name >> properties;
    if (!archive.isOk() || (type != mc::TYPE_APPLICATION && type != mc::TYPE_EPISODE && type != mc::TYPE_SCENE) ||
        properties < 0 || properties > bytesLeft(archive) / 8) {
      why = "structure entry " + std::to_string(i) + " does not match";
      return false;
    }
    auto element = std::make_unique<CMElement>(name);
    for (int32_t k = 0; k < properties && archive.isOk(); ++k) {
      CXString key, value;
      archive >> key >> value;
      element->addProperty(key, value);
    }
    if (!archive.isOk() || element->getPropertyValue("TYPE") !=
                               (type == mc::TYPE_APPLICATION ? "APPLICATION" : type == mc::TYPE_EPISODE ? "EPISODE" : "SCENE")) {
      why = "structure entry " + std::to_string(i) + " does not match";
      return false;
    }
    elements.add(element.release());
  }
  return true;
}

bool readStructureTail(CXArchive& archive, CMC_StructureParser&, const std::vector<CMC_Scene*>& structure,
                       std::string& why) {
  CMC_Application* application = nullptr;
  for (CMC_Scene* s : structure)
    if (s->getType() == mc::TYPE_APPLICATION) application = static_cast<CMC_Application*>(s);
  if (!application) {
    why = "no application in the structure";
    return false;
  }
  std::vector<CMC_Object*> own;
  if (!readObjects(archive, application, own, why)) {
    deleteAll(own);
    return false;
  }
  for (CMC_Object* object : own) application->addObject(object);
  for (CMC_Scene* s : structure) {
    if (!s->serializeHandlers(&archive, s)) {
      why = "handlers of " + s->getName().str() + " do not match";
      return false;
    }
    // The scene's file handlers: checked on a stand-in, kept as bytes until the scene is entered.
    CFile* file = archive.getFile();
    long start = file->Tell();
    std::unique_ptr<CMC_Scene> standIn = standInFor(s, nullptr);
    if (!standIn->serializeHandlers(&archive, standIn.get()) || !archive.isOk()) {
      why = "file handlers of " + s->getName().str() + " do not match";
      return false;
    }
    long end = file->Tell();
    std::vector<uint8_t> record(static_cast<size_t>(end - start));
    file->Seek(start, SEEK_SET);
    if (!record.empty() && file->Read(record.data(), static_cast<int>(record.size())) != static_cast<int>(record.size())) {
      why = "cut short";
      return false;
    }
    s->setFileHandlers(std::move(record));
  }
  int32_t subId = -1;
  archive >> subId;
  if (!archive.isOk() || bytesLeft(archive) != 0) {
    why = archive.isOk() ? "bytes after the last record" : "cut short";
    return false;
  }
  for (CMC_Object* object : std::vector<CMC_Object*>(application->objects())) object->initializeBehaviours(application, nullptr);
  for (CMC_Scene* s : structure) {
    s->initializeBehaviours(s, nullptr);
    s->setBinary(true);
  }
  return true;
}

}  // namespace tarnvik::precompiled
