// STRUCT: a record of named value fields, copied, compared and turned into text as one value.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "runtime/runner.h"
#include "runtime/variable.h"

class CMC_Structure : public CMC_Variable {
 public:
  using CMC_Variable::clone;
  using CMC_Variable::compare;
  using CMC_Variable::equals;

  // A structure without fields (fields come from declare).
  explicit CMC_Structure(CXString name);
  // From a definition element: FIELDS "name<TYPE>,..." declares the fields in order.
  CMC_Structure(CMC_ObjectsContainer* scene, CMElement* element);
  ~CMC_Structure() override;

  // Appends a field named `variableName` of the type named by `type` (INTEGER, STRING, BOOL or
  // DOUBLE, any letter case); false, and no field, for any other type.
  bool declare(const CXString& variableName, const CXString& type);
  // Declares the fields of a FIELDS text, each named after this structure and the field.
  void declareFields(const CXString& fields);

  int getFieldsNo() const { return static_cast<int>(fields_.size()); }
  // The field at the position, or null outside the list.
  CMC_Variable* getField(int index) const;
  // The first field whose variable name, after its last "_", is `name`; null when none is.
  CMC_Variable* getField(std::string_view name) const;
  void setField(int index, CMC_Variable* value);
  void setField(std::string_view name, CMC_Variable* value);

  // A structure of the same fields (types, names and values) that owns its own variables.
  CMC_Structure* copyStructure(const CXString& name) const;
  // Shares the other structure's field variables (this one then deletes none of them).
  void map(CMC_Structure* other);
  // Back to the fields this structure owns, after a map.
  void unmap();
  bool isMapped() const { return mapped_; }
  // Whether the fields are those of `other` (through map).
  bool sharesFieldsOf(const CMC_Structure* other) const;

  // Field i takes the value of the other structure's field i (for as many fields as both have).
  void set(CMC_Variable* v) override;
  void clear() override;
  void swap(CMC_Variable*, CMC_Variable*) override {}
  void inc() override {}
  void dec() override {}
  // True for a STRUCT whose fields equal this one's, position by position.
  bool equals(CMC_Variable* v) override;
  int compare(CMC_Variable* v) override { return equals(v) ? 0 : 1; }
  CMC_Variable* calculate(CMC_Variable*, int) override { return nullptr; }
  void setDefault(CMC_Variable* v) override;
  void resetINI() override;
  int getBufferLen() const override;
  // Cuts the text at "|" and line feeds; the pieces go to the fields in order, extra pieces are
  // dropped. Returns nothing; extraPieces() tells how many pieces the last call dropped.
  void fromString(const CXString& text) override;
  // The fields' texts joined by "|".
  CXString toString() const override;
  int32_t asInteger() const override { return 0; }
  double asDouble() const override { return 0.0; }
  bool asBool() const override { return false; }
  bool store(CXArchive* archive) const override;
  bool restore(CXArchive* archive) override;
  bool storeValue(CXArchive* archive) const override;
  bool restoreValue(CXArchive* archive) override;
  // Run-time state: whether it shares a row of its database (the database, read first, shares it
  // again), then the field values.
  bool serializeState(CXArchive* archive) override;
  bool storeDefault(CXArchive* archive) const override;
  bool restoreDefault(CXArchive* archive) override;
  CXObject* clone() const override;
  // Saved-state record: the handlers, the name, TOINI and NETNOTIFY, then the fields it owns, each
  // as a value record (type, name, value, default).
  bool serialize(CXArchive* archive) override;

  // Pieces fromString found beyond the last field at its last call.
  int extraPieces() const { return extraPieces_; }

  // Installs the lookup of "STRUCT|FIELD" operands and call targets.
  static void installFieldResolver();

 protected:
  void resetValue() override {}

 private:
  template <class Operation>
  bool eachField(Operation operation) const {
    for (CMC_Variable* f : fields_)
      if (!operation(f)) return false;
    return true;
  }

  std::vector<std::unique_ptr<CMC_Variable>> own_;
  std::vector<CMC_Variable*> fields_;
  bool mapped_ = false;
  int extraPieces_ = 0;
};

class CMC_Structure_Runner : public CMC_Runner {
 public:
  enum Method { SET = 1, SETFIELD, GETFIELD };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers STRUCT, and the "STRUCT|FIELD" names that scripts read fields by: its maker, its saved-state record and its runner.
void registerStructureType();
}  // namespace tarnvik
