// STRUCT: fields, their lookup by name, copying, comparison, text form and the STRUCT methods.
#include "objects/data/structure.h"

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "objects/data/value_args.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

namespace {

int fieldType(const CXString& type) {
  if (type.equalsIgnoreCase("INTEGER")) return mc::TYPE_INTEGER;
  if (type.equalsIgnoreCase("STRING")) return mc::TYPE_STRING;
  if (type.equalsIgnoreCase("BOOL")) return mc::TYPE_BOOL;
  if (type.equalsIgnoreCase("DOUBLE")) return mc::TYPE_DOUBLE;
  return mc::TYPE_NONE;
}

// The part of a field variable's name that scripts use: the text after its last "_".
std::string_view shortName(const CXString& variableName) {
  std::string_view v = variableName.view();
  size_t bar = v.rfind('_');
  return bar == std::string_view::npos ? v : v.substr(bar + 1);
}

CMC_Object* findField(CMC_ObjectsContainer* scope, const CXString& structure, const CXString& field) {
  CMC_Object* object = scope ? scope->getObject(structure) : nullptr;
  if (!object || object->getType() != mc::TYPE_STRUCTURE) return nullptr;
  return static_cast<CMC_Structure*>(object)->getField(field.view());
}

}  // namespace

CMC_Structure::CMC_Structure(CXString name) : CMC_Variable(std::move(name), mc::TYPE_STRUCTURE) {}

CMC_Structure::CMC_Structure(CMC_ObjectsContainer* scene, CMElement* element)
    : CMC_Variable(scene, element, mc::TYPE_STRUCTURE) {
  declareFields(elementValue(element, "FIELDS"));
  initializeBehaviours(scene, element);
}

CMC_Structure::~CMC_Structure() = default;

bool CMC_Structure::declare(const CXString& variableName, const CXString& type) {
  int t = fieldType(type);
  if (t == mc::TYPE_NONE) {
    TLOG_WARN("STRUCT " << getName().view() << ": field " << variableName.view() << " has the type '" << type.view()
                        << "', which is none of INTEGER, STRING, BOOL, DOUBLE; no field made");
    return false;
  }
  own_.emplace_back(mc::makeVariable(t, variableName));
  if (!mapped_) fields_.push_back(own_.back().get());
  return true;
}

void CMC_Structure::declareFields(const CXString& fields) {
  std::string_view text = fields.view();
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view decl = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    size_t open = decl.find('<');
    size_t close = open == std::string_view::npos ? open : decl.find('>', open);
    CXString field(std::string(decl.substr(0, open)));
    field.AllTrim(' ');
    if (field.isEmpty()) continue;
    CXString type(open == std::string_view::npos ? std::string()
                                                 : std::string(decl.substr(open + 1, close == std::string_view::npos
                                                                                         ? std::string_view::npos
                                                                                         : close - open - 1)));
    if (field.Find('_') >= 0)
      TLOG_WARN("STRUCT " << getName().view() << ": field " << field.view()
                          << " has a \"_\" in its name; it can be reached by position only");
    declare(getName() + "_" + field, type);
  }
}

CMC_Variable* CMC_Structure::getField(int index) const {
  return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[index] : nullptr;
}

CMC_Variable* CMC_Structure::getField(std::string_view name) const {
  for (CMC_Variable* f : fields_)
    if (shortName(f->getName()) == name) return f;
  return nullptr;
}

void CMC_Structure::setField(int index, CMC_Variable* value) {
  if (CMC_Variable* f = getField(index); f && value) f->set(value);
}

void CMC_Structure::setField(std::string_view name, CMC_Variable* value) {
  if (CMC_Variable* f = getField(name); f && value) f->set(value);
}

CMC_Structure* CMC_Structure::copyStructure(const CXString& name) const {
  auto* copy = new CMC_Structure(name);
  copy->own_.reserve(fields_.size());
  for (CMC_Variable* f : fields_) {
    CMC_Variable* v = mc::makeVariable(f->getType(), f->getName());
    mc::copyValue(v, f);
    copy->own_.emplace_back(v);
    copy->fields_.push_back(v);
  }
  return copy;
}

CXObject* CMC_Structure::clone() const { return copyStructure(getName()); }

void CMC_Structure::map(CMC_Structure* other) {
  if (!other || other == this) return;
  fields_ = other->fields_;
  mapped_ = true;
}

void CMC_Structure::unmap() {
  fields_.clear();
  for (auto& f : own_) fields_.push_back(f.get());
  mapped_ = false;
}

bool CMC_Structure::sharesFieldsOf(const CMC_Structure* other) const {
  return mapped_ && other && !other->fields_.empty() && fields_ == other->fields_;
}

void CMC_Structure::set(CMC_Variable* v) {
  if (!v || v == this || v->getType() != mc::TYPE_STRUCTURE) return;
  auto* other = static_cast<CMC_Structure*>(v);
  for (size_t i = 0; i < fields_.size() && i < other->fields_.size(); ++i) fields_[i]->set(other->fields_[i]);
}

void CMC_Structure::clear() {
  for (CMC_Variable* f : fields_) f->clear();
}

bool CMC_Structure::equals(CMC_Variable* v) {
  if (!v || v->getType() != mc::TYPE_STRUCTURE) return false;
  auto* other = static_cast<CMC_Structure*>(v);
  for (size_t i = 0; i < fields_.size(); ++i)
    if (i >= other->fields_.size() || !fields_[i]->equals(other->fields_[i])) return false;
  return true;
}

void CMC_Structure::setDefault(CMC_Variable* v) {
  for (CMC_Variable* f : fields_) f->setDefault(v);
}

void CMC_Structure::resetINI() {
  for (CMC_Variable* f : fields_) f->resetINI();
}

int CMC_Structure::getBufferLen() const {
  int n = 0;
  for (CMC_Variable* f : fields_) n += f->getBufferLen();
  return n;
}

void CMC_Structure::fromString(const CXString& text) {
  std::string_view rest = text.view();
  size_t i = 0;
  extraPieces_ = 0;
  while (true) {
    size_t cut = rest.find_first_of("|\n");
    std::string_view piece = rest.substr(0, cut);
    if (i < fields_.size())
      fields_[i++]->fromString(CXString(std::string(piece)));
    else
      ++extraPieces_;
    if (cut == std::string_view::npos) break;
    rest = rest.substr(cut + 1);
  }
}

CXString CMC_Structure::toString() const {
  std::string out;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (i) out += '|';
    out += fields_[i]->toString().str();
  }
  return CXString(std::move(out));
}

// The saved forms apply the same operation to every field in order and stop at the first failure.
bool CMC_Structure::store(CXArchive* archive) const {
  return eachField([&](CMC_Variable* f) { return f->store(archive); });
}
bool CMC_Structure::restore(CXArchive* archive) {
  return eachField([&](CMC_Variable* f) { return f->restore(archive); });
}
bool CMC_Structure::storeValue(CXArchive* archive) const {
  return eachField([&](CMC_Variable* f) { return f->storeValue(archive); });
}
bool CMC_Structure::restoreValue(CXArchive* archive) {
  return eachField([&](CMC_Variable* f) { return f->restoreValue(archive); });
}
bool CMC_Structure::storeDefault(CXArchive* archive) const {
  return eachField([&](CMC_Variable* f) { return f->storeDefault(archive); });
}
bool CMC_Structure::restoreDefault(CXArchive* archive) {
  return eachField([&](CMC_Variable* f) { return f->restoreDefault(archive); });
}

bool CMC_Structure::serialize(CXArchive* archive) {
  if (!mc::serializeNameRecord(*this, archive)) return false;
  if (archive->isStoring()) {
    *archive << isINI() << isNetNotify();
    return mc::storeValueList(archive, own_);
  }
  bool ini = false;
  bool net = false;
  std::vector<std::unique_ptr<CMC_Variable>> read;
  *archive >> ini >> net;
  if (!mc::restoreValueList(archive, read)) return false;
  setINI(ini);
  setNetNotify(net);
  own_ = std::move(read);
  fields_.clear();
  for (const auto& f : own_) fields_.push_back(f.get());
  mapped_ = false;
  return true;
}

void CMC_Structure::installFieldResolver() { mc::setFieldResolver(&findField); }

CMC_Runner::MethodTable CMC_Structure_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SET", SET},
      {"SETFIELD", SETFIELD},
      {"GETFIELD", GETFIELD},
  };
  return kMethods;
}

CMC_Object* CMC_Structure_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_STRUCTURE) return CMC_Runner::run(id, target, scope, args);
  auto* s = static_cast<CMC_Structure*>(target);
  switch (id) {
    case SET: {
      int n = argCount(args);
      if (n == 1) {
        if (CMC_Object* source = tarnvik::args::objectOfType(args, 0, scope, mc::TYPE_STRUCTURE))
          s->set(static_cast<CMC_Structure*>(source));
        else
          TLOG_WARN("STRUCT " << s->getName().view() << "^SET: no STRUCT named " << getParameterString(args, 0).view());
        return nullptr;
      }
      if (n > s->getFieldsNo())
        TLOG_WARN("STRUCT " << s->getName().view() << "^SET: " << n << " values for " << s->getFieldsNo()
                            << " fields; the extra ones are ignored");
      for (int i = 0; i < n && i < s->getFieldsNo(); ++i) s->setField(i, tarnvik::args::Value(args, i).get());
      return nullptr;
    }
    case SETFIELD: {
      CMC_Variable* field = s->getField(getParameterString(args, 0).view());
      if (!field) {
        TLOG_WARN("STRUCT " << s->getName().view() << "^SETFIELD: no field " << getParameterString(args, 0).view());
        return nullptr;
      }
      tarnvik::args::Value value(args, 1);
      if (value.get()) field->set(value.get());
      return nullptr;
    }
    case GETFIELD: {
      CMC_Object* arg = getParameter(args, 0);
      CMC_Variable* field = arg && arg->getType() == mc::TYPE_INTEGER
                                ? s->getField(static_cast<CMC_Integer*>(arg)->getValue())
                                : s->getField(getParameterString(args, 0).view());
      return field ? CMC_VariableFactory::copyVariable(field) : nullptr;
    }
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerStructureType() {
  CMC_ObjectsContainer::registerType("STRUCT", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Structure(scope, element);
  });
  mc::registerScopedRecordType(mc::TYPE_STRUCTURE, [] { return new CMC_Structure(CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_Structure_Runner>(mc::TYPE_STRUCTURE);
  CMC_Structure::installFieldResolver();
}

}  // namespace tarnvik

bool CMC_Structure::serializeState(CXArchive* archive) {
  bool mapped = mapped_;
  if (!saved::fields(archive, mapped)) return false;
  if (archive->isLoading() && !mapped && mapped_) unmap();
  return CMC_Variable::serializeState(archive);
}
