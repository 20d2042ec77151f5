// RAND methods and the list draw.
#include "objects/program/rand.h"
#include "runtime/object_records.h"

#include <cstdlib>
#include <unordered_set>

#include "foundation/log.h"
#include "objects/data/array.h"
#include "foundation/xrandom.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

CMC_Rand::CMC_Rand(const CXString& name) : CMC_Object(name, mc::TYPE_RANDOM) {}

bool CMC_Rand::randomVector(int first, int n, int count, bool unique, std::vector<int>& out) {
  out.clear();
  if (count == 0) count = static_cast<int>(static_cast<int64_t>(n) - first);
  if (count > kMaxPlenty || count < 0) {
    TLOG_WARN("Arguments error: Random::getPlenty( ) with count " << count);
    return false;
  }
  int64_t range = n == 0 ? 1 : std::llabs(static_cast<int64_t>(n));
  if (unique && count > range) {
    TLOG_WARN("RAND^GETPLENTY: " << count << " different values asked from a range of " << range);
    return false;
  }
  std::unordered_set<int> seen;
  out.reserve(static_cast<size_t>(count));
  while (static_cast<int>(out.size()) < count) {
    int value = CXRandom::random(first, n);
    if (unique && !seen.insert(value).second) continue;
    out.push_back(value);
  }
  return true;
}

void CMC_Rand_Runner::prepareMthHashSet() {
  CMC_Runner::prepareMthHashSet();
  addMethod("GET", GET);
  addMethod("GETPLENTY", GETPLENTY);
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
      if (!CMC_Rand::randomVector(getParameterInteger(args, 2), getParameterInteger(args, 3),
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
