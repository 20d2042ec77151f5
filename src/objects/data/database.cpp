// DATABASE: rows, the cursor that shares a row's fields, searching, and the row file.
#include "objects/data/database.h"

#include "files/xarchive.h"
#include "foundation/log.h"
#include "objects/data/data_files.h"
#include "objects/data/structure.h"
#include "objects/data/value_args.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

CMC_Database::CMC_Database(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_DATABASE), modelName_(elementValue(element, "MODEL")) {
  initializeBehaviours(scope, element);
}

CMC_Database::CMC_Database(const CXString& name, CMC_Structure* model)
    : CMC_Object(name, mc::TYPE_DATABASE), model_(model), modelLife_(mc::lifeOf(model)) {
  if (model) modelName_ = model->getName();
}

CMC_Database::~CMC_Database() {
  // The cursor may outlive the rows (it belongs to the container): give it its own fields back.
  if (CMC_Structure* cursor = getCursor()) cursor->unmap();
}

CXString CMC_Database::label() const { return CXString("DATABASE ") + getName(); }

CMC_Structure* CMC_Database::getModel() const { return model_ && !modelLife_.expired() ? model_ : nullptr; }
CMC_Structure* CMC_Database::getCursor() const { return cursor_ && !cursorLife_.expired() ? cursor_ : nullptr; }

CMC_Structure* CMC_Database::getRow(int index) const {
  return index >= 0 && index < getRowsNo() ? rows_[static_cast<size_t>(index)].get() : nullptr;
}

void CMC_Database::init() {
  CMC_ObjectsContainer* scope = getScene();
  if (!getModel()) {
    CMC_Object* model = scope ? scope->getObject(modelName_) : nullptr;
    if (model && model->getType() == mc::TYPE_STRUCTURE) {
      model_ = static_cast<CMC_Structure*>(model);
      modelLife_ = mc::lifeOf(model_);
    } else {
      TLOG_WARN(label().view() << ": the MODEL " << modelName_.view() << " is no STRUCT here");
    }
  }
  if (!getCursor()) {
    CXString name = getName() + "_CURSOR";
    // Before a row is selected the cursor has fields of its own, shaped like the model.
    cursor_ = getModel() ? getModel()->copyStructure(name) : new CMC_Structure(name);
    cursorLife_ = mc::lifeOf(cursor_);
    if (scope)
      scope->addObject(cursor_);
    else
      TLOG_DEBUG(label().view() << ": no container for the cursor");
    // Rows restored from a record: the cursor is on its row again.
    if (getRow(cursorPos_)) share(cursorPos_);
  }
  CMC_Object::init();
}

bool CMC_Database::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive) && serializeState(archive); }

bool CMC_Database::serializeState(CXArchive* archive) {
  if (archive->isStoring()) {
    *archive << modelName_ << cursorPos_ << static_cast<int32_t>(rows_.size());
    for (const auto& row : rows_)
      if (!row->serialize(archive)) return false;
    return archive->isOk();
  }
  CXString model;
  int32_t cursor = 0;
  int32_t n = 0;
  *archive >> model >> cursor;
  // A row record is at least its handler count, name, two flags and field count.
  if (!mc::readRecordCount(archive, n, 14) || n > kMaxRows) return false;
  std::vector<std::unique_ptr<CMC_Structure>> rows;
  for (int32_t i = 0; i < n; ++i) {
    auto row = std::make_unique<CMC_Structure>(CXString());
    if (!row->serialize(archive)) return false;
    rows.push_back(std::move(row));
  }
  modelName_ = model;
  cursorPos_ = cursor;
  rows_ = std::move(rows);
  // The cursor shares the new row at its place (never one of the rows just replaced); its own state,
  // read after this, lets go of it when it did not share one.
  if (getCursor()) share(cursorPos_);
  return true;
}

void CMC_Database::share(int index) {
  CMC_Structure* cursor = getCursor();
  if (!cursor) return;
  if (CMC_Structure* row = getRow(index))
    cursor->map(row);
  else
    cursor->unmap();
}

bool CMC_Database::add(CMC_Structure* structure) { return insertAt(getRowsNo(), structure); }

bool CMC_Database::insertAt(int index, CMC_Structure* structure) {
  if (!structure || index < 0 || index > getRowsNo()) return false;
  if (getRowsNo() >= kMaxRows) {
    TLOG_WARN(label().view() << ": the table holds " << kMaxRows << " rows already; no row added");
    return false;
  }
  rows_.emplace(rows_.begin() + index, structure->copyStructure(CXString()));
  return true;
}

void CMC_Database::afterRemoval(const std::vector<CMC_Structure*>& removed) {
  CMC_Structure* cursor = getCursor();
  bool lost = false;
  if (cursor)
    for (CMC_Structure* row : removed)
      if (cursor->sharesFieldsOf(row)) lost = true;
  if (rows_.empty())
    cursorPos_ = 0;
  else if (cursorPos_ >= getRowsNo())
    cursorPos_ = getRowsNo() - 1;
  if (lost) share(cursorPos_);
}

int CMC_Database::remove(const CXString& field, CMC_Variable* value) {
  if (!value) return 0;
  std::vector<std::unique_ptr<CMC_Structure>> kept;
  std::vector<std::unique_ptr<CMC_Structure>> gone;
  for (auto& row : rows_) {
    CMC_Variable* f = row->getField(field.view());
    (f && f->equals(value) ? gone : kept).push_back(std::move(row));
  }
  rows_ = std::move(kept);
  std::vector<CMC_Structure*> removed;
  for (auto& row : gone) removed.push_back(row.get());
  afterRemoval(removed);
  return static_cast<int>(gone.size());  // the rows are deleted here, after the cursor left them
}

bool CMC_Database::removeAt(int index) {
  if (index < 0 || index >= getRowsNo()) return false;
  std::unique_ptr<CMC_Structure> row = std::move(rows_[static_cast<size_t>(index)]);
  rows_.erase(rows_.begin() + index);
  afterRemoval({row.get()});
  return true;
}

void CMC_Database::removeAll() {
  std::vector<std::unique_ptr<CMC_Structure>> gone = std::move(rows_);
  rows_.clear();
  std::vector<CMC_Structure*> removed;
  for (auto& row : gone) removed.push_back(row.get());
  afterRemoval(removed);
}

int CMC_Database::find(const CXString& field, CMC_Variable* value, int start) {
  if (!value) return -1;
  for (int i = start < 0 ? 0 : start; i < getRowsNo(); ++i) {
    CMC_Variable* f = rows_[static_cast<size_t>(i)]->getField(field.view());
    if (f && f->equals(value)) {
      if (CMC_Structure* cursor = getCursor()) cursor->map(rows_[static_cast<size_t>(i)].get());
      return i;
    }
  }
  return -1;
}

void CMC_Database::select(int index) {
  if (index < 0 || index >= getRowsNo()) return;
  cursorPos_ = index;
  share(index);
}

void CMC_Database::next() {
  if (rows_.empty()) return;
  cursorPos_ = cursorPos_ + 1 >= getRowsNo() || cursorPos_ < 0 ? 0 : cursorPos_ + 1;
  share(cursorPos_);
}

void CMC_Database::prev() {
  if (rows_.empty()) return;
  cursorPos_ = cursorPos_ <= 0 || cursorPos_ > getRowsNo() ? getRowsNo() - 1 : cursorPos_ - 1;
  share(cursorPos_);
}

std::string CMC_Database::saveText() const {
  std::string out;
  for (const auto& row : rows_) {
    out += row->toString().str();
    out += '\n';
  }
  return out;
}

int CMC_Database::loadText(const std::string& text) {
  CMC_Structure* model = getModel();
  if (!model) {
    TLOG_WARN(label().view() << ": no MODEL, so no row can be read");
    return 0;
  }
  int added = 0;
  int lineNo = 0;
  bool reportedWide = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    size_t len = end - pos;
    if (len > 0 && text[pos + len - 1] == '\r') --len;  // a row file written on another system
    ++lineNo;
    if (getRowsNo() >= kMaxRows) {
      TLOG_WARN(label().view() << ": the table holds " << kMaxRows << " rows; the rest of the file from line " << lineNo
                               << " is not read");
      break;
    }
    std::unique_ptr<CMC_Structure> row(model->copyStructure(CXString()));
    row->fromString(CXString(text.substr(pos, len)));
    if (row->extraPieces() > 0 && !reportedWide) {
      reportedWide = true;
      TLOG_WARN(label().view() << ": line " << lineNo << " has " << row->getFieldsNo() + row->extraPieces()
                               << " fields, the model " << row->getFieldsNo() << "; the extra ones are ignored");
    }
    rows_.push_back(std::move(row));
    ++added;
    pos = next;
  }
  if (!rows_.empty()) {
    cursorPos_ = 0;
    share(0);
  }
  return added;
}

bool CMC_Database::load(const CXString& fileName) {
  std::vector<uint8_t> bytes;
  if (!tarnvik::datafiles::readFile(getScene(), fileName, kMaxFileBytes, bytes, label() + "^LOAD")) return false;
  loadText(std::string(bytes.begin(), bytes.end()));
  return true;
}

bool CMC_Database::save(const CXString& fileName) {
  std::string text = saveText();
  return tarnvik::datafiles::writeFile(getScene(), fileName, text.data(), text.size(), label() + "^SAVE");
}

CMC_Runner::MethodTable CMC_Database_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"ADD", ADD},
      {"INSERTAT", INSERTAT},
      {"REMOVE", REMOVE},
      {"REMOVEAT", REMOVEAT},
      {"REMOVEALL", REMOVEALL},
      {"FIND", FIND},
      {"SELECT", SELECT},
      {"NEXT", NEXT},
      {"PREV", PREV},
      {"GETROWSNO", GETROWSNO},
      {"GETCURSORPOS", GETCURSORPOS},
      {"LOAD", LOAD},
      {"SAVE", SAVE},
  };
  return kMethods;
}

namespace {

CMC_Structure* structureArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  return static_cast<CMC_Structure*>(tarnvik::args::objectOfType(args, i, scope, mc::TYPE_STRUCTURE));
}

}  // namespace

CMC_Object* CMC_Database_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_DATABASE) return CMC_Runner::run(id, target, scope, args);
  auto* db = static_cast<CMC_Database*>(target);
  switch (id) {
    case ADD:
    case INSERTAT: {
      int at = id == ADD ? db->getRowsNo() : getParameterInteger(args, 0);
      CMC_Structure* s = structureArgument(args, id == ADD ? 0 : 1, scope);
      if (!s)
        TLOG_WARN("DATABASE " << db->getName().view() << ": no STRUCT named "
                              << getParameterString(args, id == ADD ? 0 : 1).view());
      else
        db->insertAt(at, s);
      return nullptr;
    }
    case REMOVE:
    case FIND: {
      tarnvik::args::Value value(args, 1);
      CXString field = getParameterString(args, 0);
      if (id == REMOVE) {
        db->remove(field, value.get());
        return nullptr;
      }
      return CMC_VariableFactory::integer(db->find(field, value.get(), getParameterInteger(args, 2)));
    }
    case REMOVEAT: db->removeAt(getParameterInteger(args, 0)); return nullptr;
    case REMOVEALL: db->removeAll(); return nullptr;
    case SELECT: db->select(getParameterInteger(args, 0)); return nullptr;
    case NEXT: db->next(); return nullptr;
    case PREV: db->prev(); return nullptr;
    case GETROWSNO: return CMC_VariableFactory::integer(db->getRowsNo());
    case GETCURSORPOS: return CMC_VariableFactory::integer(db->getCursorPos());
    case LOAD: db->load(getParameterString(args, 0)); return nullptr;
    case SAVE: db->save(getParameterString(args, 0)); return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerDatabaseType() {
  CMC_ObjectsContainer::registerType("DATABASE", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Database(scope, element);
  });
  mc::registerScopedRecordType(mc::TYPE_DATABASE, [] { return new CMC_Database(CXString("temp"), nullptr); });
  CMC_RunnerFactory::registerRunner<CMC_Database_Runner>(mc::TYPE_DATABASE);
}

}  // namespace tarnvik
