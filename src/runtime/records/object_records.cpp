// The record registry, with the types of the script runtime: value variables, expressions,
// conditions and behaviours.
#include "runtime/records/object_records.h"

#include <unordered_map>

#include "files/file.h"
#include "files/xarchive.h"
#include "runtime/behaviour.h"
#include "runtime/condition.h"
#include "runtime/expression.h"
#include "runtime/runner.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"

namespace mc {

namespace {

std::unordered_map<int, RecordMaker>& makers() {
  static std::unordered_map<int, RecordMaker> table = [] {
    std::unordered_map<int, RecordMaker> t;
    auto named = [](CMC_Object* o, CMC_ObjectsContainer* scope) {
      o->setScene(scope);
      return o;
    };
    t[TYPE_INTEGER] = [named](CMC_ObjectsContainer* s) { return named(new CMC_Integer(CXString("temp")), s); };
    t[TYPE_STRING] = [named](CMC_ObjectsContainer* s) { return named(new CMC_String(CXString("temp")), s); };
    t[TYPE_BOOL] = [named](CMC_ObjectsContainer* s) { return named(new CMC_Bool(CXString("temp")), s); };
    t[TYPE_DOUBLE] = [named](CMC_ObjectsContainer* s) { return named(new CMC_Double(CXString("temp")), s); };
    t[TYPE_EXPRESSION] = [](CMC_ObjectsContainer* s) -> CMC_Object* { return new CMC_Expression(s, CXString()); };
    t[TYPE_CONDITION] = [](CMC_ObjectsContainer* s) -> CMC_Object* {
      return new CMC_Condition(s, CXString("temp"), CXString(), 0, CXString());
    };
    t[TYPE_COMPLEXCONDITION] = [](CMC_ObjectsContainer* s) -> CMC_Object* {
      return new CMC_ComplexCondition(s, CXString("temp"), CXString(), 0, CXString());
    };
    t[TYPE_BEHAVIOUR] = [](CMC_ObjectsContainer* s) -> CMC_Object* { return new CMC_Behaviour(s); };
    return t;
  }();
  return table;
}

}  // namespace

void registerRecordType(int typeId, RecordMaker maker) { makers()[typeId] = std::move(maker); }

void registerScopedRecordType(int typeId, std::function<CMC_Object*()> make) {
  registerRecordType(typeId, [make = std::move(make)](CMC_ObjectsContainer* scope) {
    CMC_Object* made = make();
    made->setScene(scope);
    return made;
  });
}

bool hasRecordType(int typeId) { return makers().count(typeId) != 0; }

CMC_Object* makeRecordObject(int typeId, CMC_ObjectsContainer* scope) {
  auto it = makers().find(typeId);
  return it == makers().end() ? nullptr : it->second(scope);
}

bool serializeNameRecord(CMC_Object& object, CXArchive* archive) {
  if (!object.CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << object.getName();
    return archive->isOk();
  }
  CXString name;
  *archive >> name;
  if (!archive->isOk()) return false;
  object.setName(name);
  return true;
}

bool canStoreObjects(const std::vector<CMC_Object*>& objects, std::string* why) {
  for (CMC_Object* object : objects) {
    int type = object->getType();
    if (type == TYPE_APPLICATION || type == TYPE_EPISODE || type == TYPE_SCENE || !hasRecordType(type)) {
      if (why)
        *why = "object " + object->getName().str() + " of type " + CMC_Object::typeToString(type).str() +
               " has no saved-state record";
      return false;
    }
  }
  return true;
}

bool storeObjectList(CXArchive* archive, const std::vector<CMC_Object*>& objects, std::string* why) {
  if (!canStoreObjects(objects, why)) return false;
  *archive << static_cast<int32_t>(objects.size());
  for (CMC_Object* object : objects) {
    *archive << static_cast<int32_t>(object->getType());
    if (!object->serialize(archive)) {
      if (why) *why = "object " + object->getName().str() + " could not be written";
      return false;
    }
  }
  return archive->isOk();
}

bool restoreObjectList(CXArchive* archive, CMC_ObjectsContainer* scope, std::vector<CMC_Object*>& out,
                       std::string* why) {
  // The smallest object record: its type number and an empty handler count.
  constexpr int32_t kMinObjectBytes = 8;
  int32_t count = 0;
  if (!readRecordCount(archive, count, kMinObjectBytes)) {
    if (why) *why = "object count " + std::to_string(count) + " does not fit the file";
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    int32_t type = 0;
    *archive >> type;
    std::unique_ptr<CMC_Object> object(archive->isOk() ? makeRecordObject(type, scope) : nullptr);
    if (!object) {
      if (why)
        *why = archive->isOk() ? "object " + std::to_string(i) + " has type " + std::to_string(type) + ", which has no record"
                               : "cut short";
      return false;
    }
    object->setScene(scope);
    if (!object->serialize(archive) || !archive->isOk()) {
      if (why) *why = "record of object " + std::to_string(i) + " (type " + std::to_string(type) + ") does not match";
      return false;
    }
    out.push_back(object.release());
  }
  return true;
}

bool readRecordCount(CXArchive* archive, int32_t& n, int32_t minBytesEach) {
  *archive >> n;
  if (!archive->isOk()) return false;
  CFile* file = archive->getFile();
  long left = file ? file->Length() - file->Tell() : 0;
  return n >= 0 && static_cast<int64_t>(n) * minBytesEach <= left;
}

bool storeValueRecord(CMC_Variable& value, CXArchive* archive) {
  *archive << static_cast<int32_t>(value.getType());
  return archive->isOk() && value.serialize(archive);
}

std::unique_ptr<CMC_Variable> restoreValueRecord(CXArchive* archive) {
  int32_t type = 0;
  *archive >> type;
  if (!archive->isOk() || !CMC_Variable::isValueType(type)) return nullptr;
  std::unique_ptr<CMC_Variable> value(makeVariable(type, CXString()));
  if (!value || !value->serialize(archive) || !archive->isOk()) return nullptr;
  return value;
}

bool storeValueList(CXArchive* archive, const std::vector<std::unique_ptr<CMC_Variable>>& values) {
  *archive << static_cast<int32_t>(values.size());
  for (const auto& v : values)
    if (!storeValueRecord(*v, archive)) return false;
  return archive->isOk();
}

bool restoreValueList(CXArchive* archive, std::vector<std::unique_ptr<CMC_Variable>>& out, int32_t maxCount) {
  int32_t n = 0;
  if (!readRecordCount(archive, n, kMinValueRecordBytes) || n > maxCount) return false;
  std::vector<std::unique_ptr<CMC_Variable>> read;
  for (int32_t i = 0; i < n; ++i) {
    std::unique_ptr<CMC_Variable> value = restoreValueRecord(archive);
    if (!value) return false;
    read.push_back(std::move(value));
  }
  out = std::move(read);
  return true;
}

}  // namespace mc

// Records of the runtime's own types. Each begins with the common part (the handlers) and the name.

namespace {

bool readCount(CXArchive* archive, int32_t& n, int32_t minBytesEach) { return mc::readRecordCount(archive, n, minBytesEach); }

}  // namespace

bool CMC_Behaviour::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << getName() << code_ << conditionName_ << enabled_ << static_cast<int32_t>(breakpoint_);
    return archive->isOk();
  }
  CXString name, code, condition;
  bool enabled = true;
  int32_t breakpoint = -1;
  *archive >> name >> code >> condition >> enabled >> breakpoint;
  if (!archive->isOk()) return false;
  setName(name);
  code_ = code;
  conditionName_ = condition;
  enabled_ = enabled;
  breakpoint_ = breakpoint;
  return true;
}

namespace {

// The record shape of both condition types: name, text, number, text. Fields change only when the
// whole record reads.
bool serializeJoin(CMC_Object& object, CXArchive* archive, CXString& first, int& number, CXString& second) {
  if (!object.CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << object.getName() << first << static_cast<int32_t>(number) << second;
    return archive->isOk();
  }
  CXString name, a, b;
  int32_t n = 0;
  *archive >> name >> a >> n >> b;
  if (!archive->isOk()) return false;
  object.setName(name);
  first = a;
  number = n;
  second = b;
  return true;
}

}  // namespace

bool CMC_Condition::serialize(CXArchive* archive) { return serializeJoin(*this, archive, left_, operator_, right_); }

bool CMC_ComplexCondition::serialize(CXArchive* archive) { return serializeJoin(*this, archive, first_, join_, second_); }

bool CMC_Expression::serialize(CXArchive* archive) {
  if (!CMC_Variable::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << still_ << static_cast<int32_t>(operandTexts_.size());
    for (const CXString& t : operandTexts_) *archive << t;
    *archive << static_cast<int32_t>(operators_.size());
    for (int op : operators_) *archive << static_cast<int32_t>(op);
    return archive->isOk();
  }
  bool still = false;
  int32_t n = 0;
  *archive >> still;
  if (!readCount(archive, n, 4)) return false;
  std::vector<CXString> texts(static_cast<size_t>(n));
  for (CXString& t : texts) *archive >> t;
  int32_t m = 0;
  if (!readCount(archive, m, 4)) return false;
  std::vector<int> ops;
  for (int32_t i = 0; i < m && archive->isOk(); ++i) {
    int32_t op = 0;
    *archive >> op;
    ops.push_back(op);
  }
  if (!archive->isOk()) return false;
  still_ = still;
  operandTexts_ = std::move(texts);
  operators_ = std::move(ops);
  return true;
}
