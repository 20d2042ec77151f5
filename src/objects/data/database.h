// DATABASE: a table of STRUCT rows of one model, a cursor structure over them, and a row file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Structure;
class CMC_Variable;

class CMC_Database : public CMC_Object {
 public:
  // Row files larger than this are not read, and a table takes at most kMaxRows rows.
  static constexpr size_t kMaxFileBytes = 8u << 20;
  static constexpr int kMaxRows = 65536;

  CMC_Database(CMC_ObjectsContainer* scope, CMElement* element);
  // Made by code: the model is given (not owned), the cursor is made by init.
  CMC_Database(const CXString& name, CMC_Structure* model);
  ~CMC_Database() override;

  // Finds the model, makes the cursor NAME_CURSOR and adds it to the container, then ONINIT.
  void init() override;
  // Saved-state record: the handlers, the name, MODEL, the cursor position and every row (each as a
  // STRUCT record). The cursor structure is made again by init.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the record's content after the name (the handlers are the save's own).
  bool serializeState(CXArchive* archive) override;

  int getRowsNo() const { return static_cast<int>(rows_.size()); }
  CMC_Structure* getRow(int index) const;
  CMC_Structure* getModel() const;
  CMC_Structure* getCursor() const;
  int getCursorPos() const { return cursorPos_; }

  // Appends / inserts a copy of the structure (with an empty name); false when the table is full
  // or the index lies outside 0..rows.
  bool add(CMC_Structure* structure);
  bool insertAt(int index, CMC_Structure* structure);
  // Removes every row whose field equals the value; the number removed.
  int remove(const CXString& field, CMC_Variable* value);
  bool removeAt(int index);
  void removeAll();
  // The first row from `start` on whose field equals the value, or -1; the cursor shares the row
  // found, its position stays.
  int find(const CXString& field, CMC_Variable* value, int start);
  void select(int index);
  void next();
  void prev();

  // The rows' text forms, each followed by a line feed.
  std::string saveText() const;
  // Appends the rows of a row file's content; the number of rows added. Lines with more pieces
  // than the model has fields, and rows beyond kMaxRows, are reported once each.
  int loadText(const std::string& text);
  bool load(const CXString& fileName);
  bool save(const CXString& fileName);

 private:
  // The cursor shares the row at the position, or its own fields when there is none.
  void share(int index);
  // After rows left the table: the cursor stays on a row that exists (or on its own fields).
  void afterRemoval(const std::vector<CMC_Structure*>& removed);
  CXString label() const;

  CXString modelName_;
  CMC_Structure* model_ = nullptr;
  std::weak_ptr<char> modelLife_;
  CMC_Structure* cursor_ = nullptr;
  std::weak_ptr<char> cursorLife_;
  int32_t cursorPos_ = 0;
  std::vector<std::unique_ptr<CMC_Structure>> rows_;
};

class CMC_Database_Runner : public CMC_Runner {
 public:
  enum Method { ADD = 1, INSERTAT, REMOVE, REMOVEAT, REMOVEALL, FIND, SELECT, NEXT, PREV, GETROWSNO, GETCURSORPOS, LOAD, SAVE };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers DATABASE: its maker, its saved-state record and its runner.
void registerDatabaseType();
}  // namespace tarnvik
