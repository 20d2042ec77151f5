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

CGraphicsObject* CMElementCreator::createObject(CWindow*, CMElement* element) {
  if (element)
    TLOG_DEBUG("definitions: no graphics object for '" << element->getName().str() << "' of TYPE '"
                                                       << element->getPropertyValue("TYPE").str() << "' in this layer");
  return nullptr;
}
