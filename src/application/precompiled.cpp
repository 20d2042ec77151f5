// Writing and reading the precompiled form: file headers, object lists, scene files and the structure.
#include "application/precompiled.h"

#include <algorithm>
#include <memory>

#include "application/mc_application.h"
#include "application/scene.h"
#include "application/structure_parser.h"
#include "definitions/deffile.h"
#include "definitions/melement.h"
#include "definitions/melementsloader.h"
#include "files/file.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/behaviour.h"
#include "runtime/object_records.h"

namespace tarnvik::precompiled {

namespace {

// Bytes the smallest object record takes (type number and an empty handler count).
constexpr int64_t kMinObjectBytes = 8;

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

void writeHeader(CXArchive& archive, Kind kind) {
  archive << CXString(kMagic) << kLayoutVersion << static_cast<int32_t>(kind);
}

bool readHeader(CXArchive& archive, Kind kind, std::string& why) {
  int32_t magicLength = 0;
  archive >> magicLength;
  CXString magic;
  if (archive.isOk() && magicLength == static_cast<int32_t>(std::char_traits<char>::length(kMagic)))
    archive.FRead(magic, magicLength);
  if (!archive.isOk() || magic != kMagic) {
    why = "not a precompiled file of this engine";
    return false;
  }
  int32_t version = 0, fileKind = 0;
  archive >> version >> fileKind;
  if (!archive.isOk() || version != kLayoutVersion) {
    why = "record layout " + std::to_string(version) + ", this engine reads layout " + std::to_string(kLayoutVersion);
    return false;
  }
  if (fileKind != kind) {
    why = kind == kSceneFile ? "an application file where a scene file belongs" : "a scene file where the application file belongs";
    return false;
  }
  return true;
}

bool canWrite(const std::vector<CMC_Object*>& objects, std::string& why) {
  for (CMC_Object* object : objects) {
    int type = object->getType();
    if (type == mc::TYPE_APPLICATION || type == mc::TYPE_EPISODE || type == mc::TYPE_SCENE || !mc::hasRecordType(type)) {
      why = "object " + object->getName().str() + " of type " + CMC_Object::typeToString(type).str() +
            " has no saved-state record";
      return false;
    }
  }
  return true;
}

bool writeObjects(CXArchive& archive, const std::vector<CMC_Object*>& objects) {
  archive << static_cast<int32_t>(objects.size());
  for (CMC_Object* object : objects) {
    archive << static_cast<int32_t>(object->getType());
    if (!object->serialize(&archive)) return false;
  }
  return archive.isOk();
}

bool readObjects(CXArchive& archive, CMC_ObjectsContainer* scope, std::vector<CMC_Object*>& out, std::string& why) {
  int32_t count = 0;
  archive >> count;
  if (!archive.isOk() || count < 0 || count > bytesLeft(archive) / kMinObjectBytes) {
    why = "object count " + std::to_string(count) + " does not fit the file";
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    int32_t type = 0;
    archive >> type;
    std::unique_ptr<CMC_Object> object(archive.isOk() ? mc::makeRecordObject(type, scope) : nullptr);
    if (!object) {
      why = archive.isOk() ? "object " + std::to_string(i) + " has type " + std::to_string(type) + ", which has no record"
                           : "cut short";
      return false;
    }
    object->setScene(scope);
    if (!object->serialize(&archive) || !archive.isOk()) {
      why = "record of object " + std::to_string(i) + " (type " + std::to_string(type) + ") does not match";
      return false;
    }
    out.push_back(object.release());
  }
  return true;
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

// Reads a scene file into `scene`: its strings, its objects, its own handlers. Nothing is changed
// unless the whole file reads.
bool readSceneFile(const std::vector<uint8_t>& bytes, CMC_Scene* scene, bool apply, std::string& why) {
  CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive archive(&stream, false);
  if (!readHeader(archive, kSceneFile, why)) return false;
  CXString dlls, background, music;
  archive >> dlls >> background >> music;
  std::vector<CMC_Object*> objects;
  if (!archive.isOk() || !readObjects(archive, scene, objects, why)) {
    if (why.empty()) why = "cut short";
    deleteAll(objects);
    return false;
  }
  if (!apply) {
    // A trial read: the handler record is checked on a stand-in of the same type.
    std::unique_ptr<CMC_Scene> standIn = standInFor(scene, nullptr);
    bool ok = standIn->serializeHandlers(&archive, standIn.get()) && archive.isOk() && bytesLeft(archive) == 0;
    deleteAll(objects);
    if (!ok) why = bytesLeft(archive) ? "bytes after the last record" : "scene handlers do not match";
    return ok;
  }
  scene->setSceneStrings(dlls, background, music);
  for (CMC_Object* object : objects) scene->addObject(object);
  scene->serializeHandlers(&archive, scene);
  // Handlers restored before the behaviour they name was read are bound now; conditions are
  // looked up as when the definition file is read.
  for (CMC_Object* object : scene->objects())
    if (object->getType() == mc::TYPE_BEHAVIOUR) static_cast<CMC_Behaviour*>(object)->resolveCondition();
  for (CMC_Object* object : std::vector<CMC_Object*>(scene->objects())) object->initializeBehaviours(scene, nullptr);
  scene->initializeBehaviours(scene, nullptr);
  return true;
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

bool storeScene(CMC_Scene* scene, std::string& why) {
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
        writeHeader(archive, kSceneFile);
        archive << scene->getDlls() << scene->getBackground() << scene->getMusicFilename();
        return writeObjects(archive, probe.objects()) && probe.serializeHandlers(&archive, &probe);
      },
      why);
  if (!ok) dropStale();
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
  std::vector<CMC_Object*> own(application->objects());
  if (!canWrite(own, why)) return false;
  int written = 0;
  for (CMC_Scene* s : structure) {
    std::string skipped;
    if (storeScene(s, skipped)) ++written;
    else if (skipped.starts_with("no "))
      TLOG_DEBUG(s->getName().view() << ": no precompiled scene file (" << skipped << ")");
    else
      TLOG_WARN(s->getName().view() << ": no precompiled scene file (" << skipped << "); its definition file is read at run time");
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
        writeHeader(archive, kApplicationFile);
        archive << static_cast<int32_t>(structure.size());
        for (CMC_Scene* s : structure) {
          auto properties = structureProperties(s);
          archive << static_cast<int32_t>(s->getType()) << s->getName() << static_cast<int32_t>(properties.size());
          for (const auto& [key, value] : properties) archive << key << value;
        }
        if (!writeObjects(archive, own)) return false;
        for (CMC_Scene* s : structure)
          if (!s->serializeHandlers(&archive, s)) return false;
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
  if (!readHeader(archive, kApplicationFile, why)) return false;
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
  for (CMC_Scene* s : structure)
    if (!s->serializeHandlers(&archive, s)) {
      why = "handlers of " + s->getName().str() + " do not match";
      return false;
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
