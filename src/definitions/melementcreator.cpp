// CMElementCreator: engine objects built straight from elements (used by sequence files).
#include "definitions/melementcreator.h"

#include "definitions/melement.h"
#include "foundation/log.h"

CPlayable* CMElementCreator::createPlayable(CWindow*, CMElement* element) {
  if (element)
    TLOG_DEBUG("definitions: no playable for '" << element->getName().str() << "' of TYPE '"
                                                << element->getPropertyValue("TYPE").str() << "' in this layer");
  return nullptr;
}

namespace {
CMElementCreator::ObjectMaker g_objectMaker = nullptr;
}

void CMElementCreator::setObjectMaker(ObjectMaker maker) { g_objectMaker = maker; }

CGraphicsObject* CMElementCreator::createObject(CWindow* window, CMElement* element) {
  if (element && g_objectMaker && element->getPropertyValue("TYPE") == "IMAGE") return g_objectMaker(window, element);
  if (element)
    TLOG_DEBUG("definitions: no graphics object for '" << element->getName().str() << "' of TYPE '"
                                                       << element->getPropertyValue("TYPE").str() << "' in this layer");
  return nullptr;
}
