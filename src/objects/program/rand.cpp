// RAND methods and the list draw.
#include "objects/program/rand.h"

#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "objects/data/array.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

CMC_Rand::CMC_Rand(const CXString& name) : CMC_Object(name, mc::TYPE_RANDOM) {}

CMC_Runner::MethodTable CMC_Rand_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"GET", GET},
      {"GETPLENTY", GETPLENTY},
  };
  return kMethods;
}

CMC_Object* CMC_Rand_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_RANDOM) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case GET: {
      if (argCount(args) >= 2)
        return CMC_VariableFactory::integer(CXRandom::random(getParameterInteger(args, 0), getParameterInteger(args, 1)));
      return CMC_VariableFactory::integer(CXRandom::random(getParameterInteger(args, 0)));
    }
    case GETPLENTY: {
      // GETPLENTY(array, count, first, n, unique): the values go to the named ARRAY.
      std::vector<int> values;
      if (!CXRandom::randomVector(getParameterInteger(args, 2), getParameterInteger(args, 3),
                                  getParameterInteger(args, 1), getParameterBool(args, 4), values))
        return nullptr;
      CMC_Array* array = arrayNamed(scope ? scope : target->getScene(), getParameterString(args, 0));
      if (!array) {
        TLOG_DEBUG("RAND^GETPLENTY: no ARRAY named " << getParameterString(args, 0).view());
        return nullptr;
      }
      int before = array->getSize();
      for (int v : values) array->appendOwned(std::make_unique<CMC_Integer>(CXString(), v));
      array->notifyFrom(before);
      return nullptr;
    }
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

bool CMC_Rand::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive); }

namespace tarnvik {

void registerRandType() {
  mc::registerRecordType(mc::TYPE_RANDOM, [](CMC_ObjectsContainer*) -> CMC_Object* { return new CMC_Rand(CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_Rand_Runner>(mc::TYPE_RANDOM);
}

}  // namespace tarnvik
