// ARRAY: an ordered list of owned value variables with element-wise arithmetic, searching, sorting,
// a cyclic marker, INI persistence and a binary file form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Variable;

class CMC_Array : public CMC_Object {
 public:
  static constexpr int EVI_ONCHANGED = 3;
  // Largest array file LOAD reads; larger files are refused before anything is read.
  static constexpr size_t kMaxFileBytes = 64u << 20;
  // Largest element count FILL and RANDOMFILL make in one call.
  static constexpr int kMaxFill = 1000000;

  using Elements = std::vector<std::unique_ptr<CMC_Variable>>;

  CMC_Array(CMC_ObjectsContainer* scope, CMElement* element);
  explicit CMC_Array(const CXString& name);
  ~CMC_Array() override;

  const CMC_EventList* getBehavioursList() const override;
  // A copy with the same elements (for CLONE).
  CXObject* clone() const override;
  using CMC_Object::clone;
  // Saved-state record: the handlers, the name, SENDONCHANGE, the marker and every element.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the record's content after the name (the handlers are the save's own).
  bool serializeState(CXArchive* archive) override;

  int getSize() const { return static_cast<int>(elements_.size()); }
  // The element at i, or null when out of range.
  CMC_Variable* get(int i) const;
  // Appends a copy of a value; any other object is stored as a STRING holding its name.
  void add(CMC_Object* value);
  bool insertAt(int i, CMC_Object* value);
  bool changeAt(int i, CMC_Object* value);
  bool removeAt(int i);
  void removeAll();
  bool remove(CMC_Variable* value);
  bool contains(CMC_Variable* value) const { return find(value) >= 0; }
  int find(CMC_Variable* value) const;
  int reversefind(CMC_Variable* value) const;
  // Appends to `out` the indexes of all elements equal to value; returns how many.
  int findAll(CMC_Variable* value, CMC_Array* out) const;

  // Marker. On an empty array PREV and NEXT leave the marker alone and yield null.
  CMC_Variable* next(int step);
  CMC_Variable* prev(int step);
  void resetMarker() { marker_ = -1; }
  int getMarkerPos() const { return marker_; }
  void setMarkerPos(int pos) { marker_ = pos; }

  // Element-wise arithmetic (mc::OP_ADD ... mc::OP_MOD); every element keeps its type.
  void applyAll(int op, CMC_Variable* value);
  bool applyAt(int i, int op, CMC_Variable* value);
  // this[i] op= other[i] for i in [first, last], skipping indexes either array lacks.
  void applyArray(int op, const CMC_Array* other, int first, int last);
  bool clampAt(int i, CMC_Variable* low, CMC_Variable* high);
  bool swap(int i, int j);
  // Numbers (INTEGER, DOUBLE, BOOL by value) before STRINGs (by bytes); equal elements keep their
  // order. Descending is the reverse of that.
  void sort(bool ascending);
  // Sorts ascending and puts the elements of each other array of the same size in the same order.
  void sortMany(const std::vector<CMC_Array*>& others);
  void shiftLeft();
  void shiftRight();
  void rotateLeft();
  void rotateRight();
  bool compareArr(const CMC_Array* other) const;

  // "," joined text forms; one element per item back (typed as script literals).
  CXString toText() const;
  void fromText(const CXString& text);
  void saveINI() const;
  void loadINI();
  // Binary file: element count, then each element as it stores itself. LOAD appends.
  bool save(const CXString& fileName) const;
  bool load(const CXString& fileName);
  // The file form in memory. parseFile appends what it can read and stops at the end of the data,
  // a short record or an unknown type; false when it stopped early.
  static void writeFile(const Elements& elements, std::vector<uint8_t>& out);
  static bool parseFile(std::span<const uint8_t> data, Elements& out);

  bool isSendOnChange() const { return sendOnChange_; }
  void setSendOnChange(bool send) { sendOnChange_ = send; }
  // Fires ONCHANGED for index i when sending is on and a handler is bound.
  void notify(int i);
  // ONCHANGED for every index from `from` on, ascending, while the array is alive.
  void notifyFrom(int from);
  const Elements& elements() const { return elements_; }
  void appendOwned(std::unique_ptr<CMC_Variable> value);

  // A new unpooled variable holding the value (STRING of the name for other objects).
  static std::unique_ptr<CMC_Variable> copyOf(CMC_Object* value);

 private:
  CMC_Variable* atMarker();

  Elements elements_;
  int marker_ = -1;
  bool sendOnChange_ = false;
};

class CMC_Array_Runner : public CMC_Runner {
 public:
  enum Method {
    ADD = 1, GETSIZE, INSERTAT, REMOVEAT, CHANGEAT, REMOVEALL, GET, REMOVE, FIND, REVERSEFIND, FINDALL, CONTAINS,
    SAVEINI, LOADINI, PREV, NEXT, ADDCLONES, RESETMARKER, GETMARKERPOS, SETMARKERPOS, SUM, SUMA, SUB, SUBA, MUL,
    MULA, DIV, DIVA, MIN, MIND, MAX, MAXD, GETSUMVALUE, LOAD, SAVE, SORT, SORTMANY, ADDAT, SUBAT, MULAT, DIVAT,
    MODAT, CLAMPAT, DIR, COMPARE, COPYTO, SWAP, SENDONCHANGE, SHIFTLEFT, SHIFTRIGHT, ROTATELEFT, ROTATERIGHT, FILL,
    RANDOMFILL
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
  bool copiesIntoHolder(int id) const override { return id == GET; }

 private:
  CMC_Object* runOther(int id, CMC_Array* array, CMC_ObjectsContainer* scope, const CMC_Args* args);
};

// The ARRAY named by a method argument in the scope, or null.
CMC_Array* arrayNamed(CMC_ObjectsContainer* scope, const CXString& name);

namespace tarnvik {
// Registers ARRAY, and the common method that appends to an array (ADDTOGROUP): its maker, its saved-state record and its runner.
void registerArrayType();
}  // namespace tarnvik
