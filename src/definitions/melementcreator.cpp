// CMElementCreator: engine objects built straight from elements (used by sequence files).
#include "definitions/melementcreator.h"

#include "definitions/melement.h"
#include "foundation/log.h"

#include <string>
#include <utility>
#include <vector>

namespace {
CMElementCreator::PlayableMaker g_playableMaker = nullptr;
}

void CMElementCreator::setPlayableMaker(PlayableMaker maker) { g_playableMaker = maker; }

CPlayable* CMElementCreator::createPlayable(CWindow* window, CMElement* element) {
  if (element && g_playableMaker && element->getPropertyValue("TYPE") == "ANIMO") return g_playableMaker(window, element);
  if (element)
    TLOG_DEBUG("definitions: no playable for '" << element->getName().str() << "' of TYPE '"
                                                << element->getPropertyValue("TYPE").str() << "' in this layer");
  return nullptr;
}

namespace {
std::vector<std::pair<std::string, CMElementCreator::ObjectMaker>>& objectMakers() {
  static std::vector<std::pair<std::string, CMElementCreator::ObjectMaker>> makers;
  return makers;
}
}  // namespace

void CMElementCreator::setObjectMaker(const char* type, ObjectMaker maker) {
  for (auto& [name, made] : objectMakers())
    if (name == type) {
      made = maker;
      return;
    }
  objectMakers().emplace_back(type, maker);
}

CGraphicsObject* CMElementCreator::createObject(CWindow* window, CMElement* element) {
  if (element)
    for (const auto& [type, maker] : objectMakers())
      if (maker && element->getPropertyValue("TYPE") == type.c_str()) return maker(window, element);
  if (element)
    TLOG_DEBUG("definitions: no graphics object for '" << element->getName().str() << "' of TYPE '"
                                                       << element->getPropertyValue("TYPE").str() << "' in this layer");
  return nullptr;
}
