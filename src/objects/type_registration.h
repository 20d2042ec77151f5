// The registration shared by script types built from a definition element: maker, record and runner.
#pragma once

#include "definitions/melement.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"

namespace tarnvik {

// Registers a type whose objects are built from their definition element and whose empty object for
// saved state is the same constructor without one: its maker, its record and its runner together.
template <class Object, class Runner>
void registerElementType(const char* typeName, int type) {
  CMC_ObjectsContainer::registerType(typeName, [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new Object(scope, element);
  });
  mc::registerRecordType(type, [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new Object(scope, nullptr); });
  CMC_RunnerFactory::registerRunner<Runner>(type);
}

}  // namespace tarnvik
