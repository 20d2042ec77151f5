// The saved-state records of script objects: which types can be written into and read back from
// a precompiled scene, and how an empty object of each type is made before its record is read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMC_Object;
class CMC_Variable;
class CXArchive;
class CMC_ObjectsContainer;

namespace mc {

// Makes an empty object of one type in `scope` (not yet added to it); its serialize() then reads
// the record, name included. A type that registers a maker promises that its serialize() writes
// everything its definition element set, and reads it back the same way.
using RecordMaker = std::function<CMC_Object*(CMC_ObjectsContainer* scope)>;

// A later registration of the same type number replaces the earlier one.
void registerRecordType(int typeId, RecordMaker maker);
// For types whose empty object is made without a scope: it is then placed in the scope it is read into.
void registerScopedRecordType(int typeId, std::function<CMC_Object*()> make);
bool hasRecordType(int typeId);
// The empty object, or null for a type without a record.
CMC_Object* makeRecordObject(int typeId, CMC_ObjectsContainer* scope);
// The record of a type whose only state is its name: the handlers, then the name.
bool serializeNameRecord(CMC_Object& object, CXArchive* archive);

// Objects held by another record (or a file): the count, then each object's type number and record.
// Storing fails for an object whose type has no record (`why` names it) or that is a scene-level
// object; restoring makes each object empty in `scope`, lets it read its record and appends it to
// `out` (not added to the scope; the caller owns them, also on failure).
bool storeObjectList(CXArchive* archive, const std::vector<CMC_Object*>& objects, std::string* why = nullptr);
bool restoreObjectList(CXArchive* archive, CMC_ObjectsContainer* scope, std::vector<CMC_Object*>& out,
                       std::string* why = nullptr);
// Whether every object can be stored; `why` names the first that cannot ("object X of type Y has no
// saved-state record").
bool canStoreObjects(const std::vector<CMC_Object*>& objects, std::string* why);

// Reads a count written by a record writer; false (archive failed or not) for a negative count or
// one whose items, at `minBytesEach` bytes each, could not fit in the bytes left.
bool readRecordCount(CXArchive* archive, int32_t& n, int32_t minBytesEach);

// A value (INTEGER, STRING, BOOL or DOUBLE) held inside another object's record: its type number,
// then its own record. The smallest such entry (a BOOL without name) takes kMinValueRecordBytes.
inline constexpr int32_t kMinValueRecordBytes = 16;
bool storeValueRecord(CMC_Variable& value, CXArchive* archive);
// The value read back, or null when the type is none of the four or its record does not read.
std::unique_ptr<CMC_Variable> restoreValueRecord(CXArchive* archive);
// The count, then each value's record.
bool storeValueList(CXArchive* archive, const std::vector<std::unique_ptr<CMC_Variable>>& values);
// A count, then that many value records, into `out` (replaced only when all of them read); false
// for a count above `maxCount` or one the bytes left cannot hold.
bool restoreValueList(CXArchive* archive, std::vector<std::unique_ptr<CMC_Variable>>& out, int32_t maxCount = INT32_MAX);

}  // namespace mc
