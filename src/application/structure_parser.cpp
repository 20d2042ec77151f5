// Reading the application file into scenes, episodes and the application, in three passes.
#include "application/structure_parser.h"

#include "application/mc_application.h"
#include "application/scene.h"
#include "definitions/deffile.h"
#include "definitions/melement.h"
#include "definitions/melementsloader.h"
#include "application/precompiled.h"
#include "files/file.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

namespace {

std::vector<CXString> memberNames(CMElement* element, const char* key) {
  std::vector<CXString> names;
  if (CMProperty* property = element->getProperty(key))
    for (const CXString& name : property->getList()) names.push_back(name);
  return names;
}

}  // namespace

CMC_StructureParser::CMC_StructureParser(CWindow* window, const CXString& fileName) {
  CMC_VariableFactory::initialize();
  CMC_RunnerFactory::initialize();
  fileFound_ = CFile::fileExists(CPath::makeAbsolute(fileName));
  std::unique_ptr<CMElements> elements(fileFound_ ? CMElementsLoader::load(window, fileName) : nullptr);
  if (!elements) return;
  build(window, elements.get(), fileName);
}

CMC_StructureParser::CMC_StructureParser(CWindow* window, const CXString& fileName, Precompiled) {
  CMC_VariableFactory::initialize();
  CMC_RunnerFactory::initialize();
  std::vector<uint8_t> bytes;
  fileFound_ = CFile::readAll(window, fileName, bytes);
  if (!fileFound_) {
    binaryError_ = "cannot be read";
    return;
  }
  buildPrecompiled(window, bytes, fileName);
}

CMC_StructureParser::CMC_StructureParser(CWindow* window, const std::vector<uint8_t>& bytes, Precompiled) {
  CMC_VariableFactory::initialize();
  CMC_RunnerFactory::initialize();
  fileFound_ = true;
  buildPrecompiled(window, bytes, CXString("application.bin"));
}

void CMC_StructureParser::buildPrecompiled(CWindow* window, const std::vector<uint8_t>& bytes, const CXString& fileName) {
  CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive archive(&stream, false);
  CMElements elements;
  if (!tarnvik::precompiled::readStructureElements(archive, elements, binaryError_)) return;
  // The structure's entries stand at the file, which keeps no lines.
  tarnvik::log::Origin where{std::make_shared<const std::string>(tarnvik::definitions::sourceName(window, fileName)), 0};
  for (CMElement* element : elements) {
    element->setOrigin(where);
    for (int i = 0; i < element->getProperties().size(); ++i) element->getProperties().getAt(i)->setOrigin(where);
  }
  build(window, &elements, fileName);
  // The records that follow are in the order of the structure entries: a file whose entries do not
  // build one object each, in that order, cannot be matched to them.
  std::vector<CMC_Scene*> built = structure();
  bool sameOrder = built.size() == static_cast<size_t>(elements.size());
  for (size_t i = 0; sameOrder && i < built.size(); ++i) sameOrder = built[i]->getName() == elements.getAt(static_cast<int>(i))->getName();
  if (application_ && !sameOrder) {
    binaryError_ = "structure entries out of order";
    application_ = nullptr;
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) it->reset();
    objects_.clear();
  } else if (!application_) {
    binaryError_ = "declares no APPLICATION";
  } else if (!tarnvik::precompiled::readStructureTail(archive, *this, structure(), binaryError_)) {
    application_ = nullptr;
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) it->reset();
    objects_.clear();
  }
}

std::vector<CMC_Scene*> CMC_StructureParser::structure() const {
  std::vector<CMC_Scene*> out;
  for (const auto& object : objects_)
    if (object) out.push_back(object.get());
  return out;
}

void CMC_StructureParser::build(CWindow* window, CMElements* elements, const CXString& fileName) {
  // Scenes first, then episodes, then the application, so that each finds its members by name.
  for (CMElement* element : *elements)
    if (element->getPropertyValue("TYPE") == "SCENE" && !get(element->getName()))
      objects_.push_back(std::make_unique<CMC_Scene>(window, element, nullptr));
  for (CMElement* element : *elements) {
    if (element->getPropertyValue("TYPE") != "EPISODE" || get(element->getName())) continue;
    auto episode = std::make_unique<CMC_Episode>(window, element, nullptr);
    for (const CXString& name : memberNames(element, "SCENES")) {
      CMC_Scene* scene = get(name);
      if (!scene || scene->getType() != mc::TYPE_SCENE) {
        TLOG_WARN("episode " << element->getName().view() << ": SCENES names " << name.view()
                             << ", which is not a declared scene");
        continue;
      }
      episode->addChild(scene);
      scene->setParent(episode.get());
    }
    objects_.push_back(std::move(episode));
  }
  for (CMElement* element : *elements) {
    if (element->getPropertyValue("TYPE") != "APPLICATION") continue;
    // An application named DEMO is GAME, before anything sees its name.
    std::unique_ptr<CMElement> renamed;
    if (element->getName() == "DEMO") {
      renamed = std::make_unique<CMElement>(CXString("GAME"));
      for (int i = 0; i < element->getProperties().size(); ++i) {
        CMProperty* property = element->getProperties().getAt(i);
        renamed->addProperty(property->getName(), property->getValue());
      }
      element = renamed.get();
    }
    auto application = std::make_unique<CMC_Application>(window, element, this);
    // Handlers declared on the application element (ONINIT, ONEXIT, ...): inline code or names.
    application->initializeBehaviours(application.get(), element);
    application_ = application.get();
    objects_.push_back(std::move(application));
    break;
  }
  if (!application_) TLOG_ERROR(fileName.view() << " declares no APPLICATION");
}

CMC_StructureParser::~CMC_StructureParser() {
  // The application first: its objects may refer to the episodes and scenes.
  for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) it->reset();
  objects_.clear();
  CMC_RunnerFactory::done();
  CMC_VariableFactory::done();
}

CMC_Scene* CMC_StructureParser::get(const CXString& name) const {
  for (const auto& object : objects_)
    if (object && object->getName() == name) return object.get();
  return nullptr;
}
