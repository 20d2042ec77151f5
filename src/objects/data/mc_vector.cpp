// VECTOR: component arithmetic, its methods and its saved state.
#include "objects/data/mc_vector.h"

#include <algorithm>
#include <cmath>

#include "definitions/melement.h"
#include "files/xarchive.h"
#include "foundation/bit_cast.h"
#include "foundation/log.h"
#include "objects/data/value_args.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

CMC_Vector::CMC_Vector(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Object(scope, element, mc::TYPE_VECTOR) {
  int size = elementInt(element, "SIZE");
  if (size < 0 || size > kMaxSize) {
    TLOG_WARN("VECTOR " << getName().view() << ": SIZE " << size << " is outside 0 to " << kMaxSize << "; 0 used");
    size = 0;
  }
  components_.assign(static_cast<size_t>(size), 0.0);
  if (element) {
    std::vector<CXString> values = element->getPropertyList(CXString("VALUE"));
    for (size_t i = 0; i < values.size() && i < components_.size(); ++i) components_[i] = values[i].toDouble();
  }
  initializeBehaviours(scope, element);
}

CMC_Vector::CMC_Vector(const CXString& name, std::vector<double> components)
    : CMC_Object(name, mc::TYPE_VECTOR), components_(std::move(components)) {}

double CMC_Vector::get(int index) const {
  return index >= 0 && index < getSize() ? components_[static_cast<size_t>(index)] : 0.0;
}

bool CMC_Vector::add(const CMC_Vector& other, double sign) {
  if (other.getSize() != getSize()) return false;
  std::vector<double> from = other.components_;  // the vector may be this one
  for (size_t i = 0; i < components_.size(); ++i) components_[i] += sign * from[i];
  return true;
}

double CMC_Vector::smul(const CMC_Vector& other) const {
  if (other.getSize() != getSize()) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < components_.size(); ++i) sum += components_[i] * other.components_[i];
  return sum;
}

void CMC_Vector::mul(double factor) {
  for (double& c : components_) c *= factor;
}

double CMC_Vector::len() const { return std::sqrt(smul(*this)); }

void CMC_Vector::normalize() {
  double length = len();
  if (length == 0.0 || !std::isfinite(length)) return;
  for (double& c : components_) c /= length;
}

void CMC_Vector::reflect(const CMC_Vector& n, CMC_Vector& r) const {
  double d = 2.0 * smul(n);
  std::vector<double> self = components_, normal = n.components_;  // r may be this vector or n
  for (size_t i = 0; i < r.components_.size(); ++i) {
    double ni = i < normal.size() ? normal[i] : 0.0;
    double ti = i < self.size() ? self[i] : 0.0;
    r.components_[i] = d * ni - ti;
  }
}

bool CMC_Vector::expand(int size) {
  if (size < getSize() || size > kMaxSize) {
    TLOG_WARN("VECTOR " << getName().view() << "^EXPAND: " << size << " is outside " << getSize() << " to " << kMaxSize
                        << "; unchanged");
    return false;
  }
  std::vector<double> grown(static_cast<size_t>(size), 0.0);
  std::copy(components_.begin(), components_.end(), grown.end() - static_cast<std::ptrdiff_t>(components_.size()));
  components_ = std::move(grown);
  return true;
}

void CMC_Vector::set(int index, double value) {
  if (index >= 0 && index < getSize()) components_[static_cast<size_t>(index)] = value;
}

void CMC_Vector::copyFrom(const CMC_Vector& other) {
  for (size_t i = 0; i < components_.size() && i < other.components_.size(); ++i) components_[i] = other.components_[i];
}

void CMC_Vector::fill(double value) { std::fill(components_.begin(), components_.end(), value); }

void CMC_Vector::assign(const std::vector<double>& values) {
  for (size_t i = 0; i < values.size() && i < components_.size(); ++i) components_[i] = values[i];
}

void CMC_Vector::neg() {
  for (double& c : components_) c = -c;
}

CXObject* CMC_Vector::clone() const { return new CMC_Vector(getName(), components_); }

bool CMC_Vector::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive) && serializeState(archive); }

bool CMC_Vector::serializeState(CXArchive* archive) {
  if (archive->isStoring()) {
    *archive << static_cast<int32_t>(components_.size());
    for (double c : components_) *archive << c;
    for (double c : components_) *archive << tarnvik::bitCast<int64_t>(c);
    return archive->isOk();
  }
  int32_t size = 0;
  if (!mc::readRecordCount(archive, size, 12) || size > kMaxSize) return false;
  std::vector<double> read(static_cast<size_t>(size), 0.0);
  for (double& c : read) *archive >> c;
  for (double& c : read) {
    int64_t bits = 0;
    *archive >> bits;
    c = tarnvik::bitCast<double>(bits);
  }
  if (!archive->isOk()) return false;
  components_ = std::move(read);
  return true;
}

CMC_Runner::MethodTable CMC_Vector_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"ADD", ADD},
      {"GET", GET},
      {"GETSIZE", GETSIZE},
      {"VMUL", VMUL},
      {"SMUL", SMUL},
      {"MUL", MUL},
      {"LEN", LEN},
      {"NORMALIZE", NORMALIZE},
      {"REFLECT", REFLECT},
      {"EXPAND", EXPAND},
      {"SET", SET},
      {"ASSIGN", ASSIGN},
      {"SUB", SUB},
      {"NEG", NEG},
  };
  return kMethods;
}

namespace {

CMC_Vector* vectorArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  return static_cast<CMC_Vector*>(tarnvik::args::objectOfType(args, i, scope, mc::TYPE_VECTOR));
}

}  // namespace

CMC_Object* CMC_Vector_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_VECTOR) return CMC_Runner::run(id, target, scope, args);
  auto* v = static_cast<CMC_Vector*>(target);
  int n = argCount(args);
  switch (id) {
    case ADD:
    case SUB:
      for (int i = 0; i < n; ++i) {
        CMC_Vector* other = vectorArgument(args, i, scope);
        if (!other || !v->add(*other, id == ADD ? 1.0 : -1.0))
          TLOG_DEBUG("VECTOR " << v->getName().view() << ": argument " << i << " is no VECTOR of size " << v->getSize()
                               << "; skipped");
      }
      return nullptr;
    case GET: return CMC_VariableFactory::number(v->get(getParameterInteger(args, 0)));
    case GETSIZE: return CMC_VariableFactory::integer(v->getSize());
    case VMUL: return nullptr;
    case SMUL: {
      CMC_Vector* other = vectorArgument(args, 0, scope);
      return CMC_VariableFactory::number(other ? v->smul(*other) : 0.0);
    }
    case MUL: v->mul(getParameterDouble(args, 0, 1.0)); return nullptr;
    case LEN: return CMC_VariableFactory::number(v->len());
    case NORMALIZE: v->normalize(); return nullptr;
    case REFLECT: {
      CMC_Vector* normal = vectorArgument(args, 0, scope);
      CMC_Vector* result = vectorArgument(args, 1, scope);
      if (normal && result)
        v->reflect(*normal, *result);
      else
        TLOG_WARN("VECTOR " << v->getName().view() << "^REFLECT: needs a normal VECTOR and a result VECTOR");
      return nullptr;
    }
    case EXPAND: v->expand(getParameterInteger(args, 0)); return nullptr;
    case SET: {
      if (n >= 2) {
        v->set(getParameterInteger(args, 0), getParameterDouble(args, 1));
      } else if (n == 1) {
        if (CMC_Vector* other = vectorArgument(args, 0, scope))
          v->copyFrom(*other);
        else
          v->fill(getParameterDouble(args, 0));
      }
      return nullptr;
    }
    case ASSIGN: {
      std::vector<double> values;
      for (int i = 0; i < n && i < v->getSize(); ++i) values.push_back(getParameterDouble(args, i));
      v->assign(values);
      return nullptr;
    }
    case NEG: v->neg(); return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerVectorType() {
  CMC_ObjectsContainer::registerType("VECTOR", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Vector(scope, element);
  });
  mc::registerScopedRecordType(mc::TYPE_VECTOR, [] { return new CMC_Vector(CXString("temp"), {}); });
  CMC_RunnerFactory::registerRunner<CMC_Vector_Runner>(mc::TYPE_VECTOR);
}

}  // namespace tarnvik
