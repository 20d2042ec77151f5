// MULTIARRAY: a grid of value cells that grows on demand and saves itself as a binary file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Variable;

class CMC_MultiArray : public CMC_Object {
 public:
  // The cell count never exceeds this (it must fit the file's int32 index and end marker), and a
  // grid has 1 to kMaxDimensions dimensions (16 to the power of 7 is the last that fits).
  static constexpr int64_t kMaxCells = INT32_MAX;
  static constexpr int kMaxDimensions = 7;
  static constexpr int kInitialSize = 16;
  // Files larger than this are not read.
  static constexpr size_t kMaxFileBytes = 64u << 20;

  CMC_MultiArray(CMC_ObjectsContainer* scope, CMElement* element);
  CMC_MultiArray(const CXString& name, int dimensions);
  ~CMC_MultiArray() override;

  int getDimensions() const { return static_cast<int>(sizes_.size()); }
  int32_t getSize(int dimension) const;
  int64_t getCellCount() const { return cellCount_; }
  int getFilledCount() const { return static_cast<int>(cells_.size()); }

  // The cell index of the coordinates (only the first two count; a missing one is 0); -1 for a
  // negative coordinate or an index at or past the cell count.
  int64_t indexOf(const std::vector<int32_t>& coords) const;
  // The value stored at the coordinates, or null for an empty cell or no cell.
  CMC_Variable* get(const std::vector<int32_t>& coords) const;
  // Grows as needed and stores a copy of the value; false (nothing stored) for negative coordinates
  // or a grid that would grow past kMaxCells.
  bool set(const std::vector<int32_t>& coords, CMC_Object* value);
  // Cells whose value equals v by the cell's comparison.
  int count(CMC_Variable* v) const;

  // The file form; `fromBytes` replaces the grid when the header is sound (else keeps it and returns
  // false), reads cells until the end marker and stops at a cell it cannot restore.
  std::vector<uint8_t> toBytes() const;
  bool fromBytes(const uint8_t* data, size_t size);
  bool load(const CXString& fileName);
  bool save(const CXString& fileName);
  // Saved-state record: the handlers, the name, the sizes and the filled cells (index and value
  // record, values exact where the file form rounds doubles).
  bool serialize(CXArchive* archive) override;
  // Run-time state: the record's content after the name (the handlers are the save's own).
  bool serializeState(CXArchive* archive) override;

 private:
  bool validateSize(const std::vector<int32_t>& coords);
  CXString label() const;

  int64_t cellCount_ = 0;
  std::vector<int32_t> sizes_;
  // Only the cells that hold a value, by index (increasing, as the file lists them).
  std::map<int32_t, std::unique_ptr<CMC_Variable>> cells_;
};

class CMC_MultiArray_Runner : public CMC_Runner {
 public:
  enum Method { SET = 1, GET, SAFEGET, COUNT, GETSIZE, SAVE, LOAD };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers MULTIARRAY: its maker, its saved-state record and its runner.
void registerMultiArrayType();
}  // namespace tarnvik
