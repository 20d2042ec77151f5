// MULTIARRAY: addressing, growing, counting, and the binary file form.
#include "objects/data/multiarray.h"

#include <algorithm>

#include "files/bytereader.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "objects/data/data_files.h"
#include "objects/data/value_args.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

CMC_MultiArray::CMC_MultiArray(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_MULTIARRAY) {
  int dimensions = elementInt(element, "DIMENSIONS");
  if (dimensions < 1 || dimensions > kMaxDimensions) {
    int used = std::clamp(dimensions, 1, kMaxDimensions);
    TLOG_WARN("MULTIARRAY " << getName().view() << ": DIMENSIONS " << dimensions << " is outside 1 to "
                            << kMaxDimensions << "; " << used << " used");
    dimensions = used;
  }
  sizes_.assign(static_cast<size_t>(dimensions), kInitialSize);
  cellCount_ = 1;
  for (int32_t s : sizes_) cellCount_ *= s;
  initializeBehaviours(scope, element);
}

CMC_MultiArray::CMC_MultiArray(const CXString& name, int dimensions) : CMC_Object(name, mc::TYPE_MULTIARRAY) {
  sizes_.assign(static_cast<size_t>(std::clamp(dimensions, 1, kMaxDimensions)), kInitialSize);
  cellCount_ = 1;
  for (int32_t s : sizes_) cellCount_ *= s;
}

CMC_MultiArray::~CMC_MultiArray() = default;

CXString CMC_MultiArray::label() const { return CXString("MULTIARRAY ") + getName(); }

int32_t CMC_MultiArray::getSize(int dimension) const {
  return dimension >= 0 && dimension < getDimensions() ? sizes_[static_cast<size_t>(dimension)] : 0;
}

int64_t CMC_MultiArray::indexOf(const std::vector<int32_t>& coords) const {
  for (size_t d = 0; d < coords.size(); ++d) {
    if (coords[d] < 0) return -1;
    // A coordinate past its dimension would alias another cell: it addresses none.
    if (d < sizes_.size() && coords[d] >= sizes_[d]) return -1;
  }
  int64_t c0 = coords.empty() ? 0 : coords[0];
  int64_t c1 = coords.size() < 2 ? 0 : coords[1];
  int64_t index = c1 * sizes_[0] + c0;
  return index < cellCount_ ? index : -1;
}

CMC_Variable* CMC_MultiArray::get(const std::vector<int32_t>& coords) const {
  int64_t index = indexOf(coords);
  if (index < 0) return nullptr;
  auto it = cells_.find(static_cast<int32_t>(index));
  return it == cells_.end() ? nullptr : it->second.get();
}

bool CMC_MultiArray::validateSize(const std::vector<int32_t>& coords) {
  std::vector<int32_t> sizes = sizes_;
  bool changed = false;
  int64_t count = 1;
  for (size_t d = 0; d < sizes.size(); ++d) {
    int64_t size = sizes[d];
    if (d < coords.size()) {
      if (coords[d] < 0) {
        TLOG_WARN(label().view() << "^SET: the negative coordinate " << coords[d] << " addresses no cell");
        return false;
      }
      while (size <= coords[d] && size <= kMaxCells) size *= 2;
    }
    count *= size;
    if (size > kMaxCells || count > kMaxCells) {
      TLOG_WARN(label().view() << "^SET: coordinate " << (d < coords.size() ? coords[d] : 0)
                               << " would grow the grid past " << kMaxCells << " cells; nothing stored");
      return false;
    }
    if (size != sizes[d]) {
      sizes[d] = static_cast<int32_t>(size);
      changed = true;
    }
  }
  if (!changed) return true;
  std::map<int32_t, std::unique_ptr<CMC_Variable>> moved;
  int64_t oldSize0 = sizes_[0];
  for (auto& [index, value] : cells_) {
    int64_t c0 = index % oldSize0, c1 = index / oldSize0;
    moved[static_cast<int32_t>(c1 * sizes[0] + c0)] = std::move(value);
  }
  cells_ = std::move(moved);
  sizes_ = std::move(sizes);
  cellCount_ = count;
  return true;
}

bool CMC_MultiArray::set(const std::vector<int32_t>& coords, CMC_Object* value) {
  if (!value || !validateSize(coords)) return false;
  int64_t index = indexOf(coords);
  if (index < 0) {
    TLOG_WARN(label().view() << "^SET: the coordinates address no cell of a grid of " << getDimensions()
                             << " dimensions; nothing stored");
    return false;
  }
  CMC_Variable* copy = tarnvik::args::ownedCopy(value);
  if (!copy) return false;
  cells_[static_cast<int32_t>(index)].reset(copy);
  return true;
}

int CMC_MultiArray::count(CMC_Variable* v) const {
  if (!v) return 0;
  int n = 0;
  for (const auto& [index, value] : cells_)
    if (value->equals(v)) ++n;
  return n;
}

std::vector<uint8_t> CMC_MultiArray::toBytes() const {
  tarnvik::ByteWriter w;
  w.i32(getDimensions());
  for (int32_t s : sizes_) w.i32(s);
  for (const auto& [index, value] : cells_) {
    w.i32(index);
    w.i32(value->getType());
    switch (value->getType()) {
      case mc::TYPE_INTEGER:
      case mc::TYPE_BOOL: w.i32(value->asInteger()); break;
      case mc::TYPE_DOUBLE: w.i32(CXArchive::scaledDouble(value->asDouble())); break;
      default: w.string32(value->asString().str()); break;
    }
  }
  w.i32(static_cast<int32_t>(cellCount_));
  return w.take();
}

bool CMC_MultiArray::fromBytes(const uint8_t* data, size_t size) {
  tarnvik::ByteReader r(data, size);
  int32_t dimensions = r.i32();
  if (!r.ok() || dimensions < 1 || dimensions > kMaxDimensions) {
    TLOG_WARN(label().view() << "^LOAD: " << dimensions << " dimensions is outside 1 to " << kMaxDimensions
                             << "; nothing loaded");
    return false;
  }
  std::vector<int32_t> sizes;
  int64_t count = 1;
  for (int d = 0; d < dimensions; ++d) {
    int32_t s = r.i32();
    if (!r.ok() || s < 1) {
      TLOG_WARN(label().view() << "^LOAD: dimension " << d << " has the size " << s << "; nothing loaded");
      return false;
    }
    count *= s;
    if (count > kMaxCells) {
      TLOG_WARN(label().view() << "^LOAD: the sizes make more than " << kMaxCells << " cells; nothing loaded");
      return false;
    }
    sizes.push_back(s);
  }
  std::map<int32_t, std::unique_ptr<CMC_Variable>> cells;
  for (int64_t reads = 0; reads < count; ++reads) {
    int32_t index = r.i32();
    if (!r.ok()) {
      TLOG_WARN(label().view() << "^LOAD: the file ends without its end marker");
      break;
    }
    if (index >= count) break;  // the end marker
    int32_t type = r.i32();
    std::unique_ptr<CMC_Variable> value;
    switch (type) {
      case mc::TYPE_INTEGER: value.reset(new CMC_Integer(CXString(), r.i32())); break;
      case mc::TYPE_BOOL: value.reset(new CMC_Bool(CXString(), r.i32() != 0)); break;
      case mc::TYPE_DOUBLE: value.reset(new CMC_Double(CXString(), r.i32() * 0.001)); break;
      case mc::TYPE_STRING: value.reset(new CMC_String(CXString(), CXString(r.string32()))); break;
      default: break;
    }
    if (!r.ok() || !value) {
      TLOG_WARN(label().view() << "^LOAD: cell " << index << " cannot be restored (type " << type
                               << "); the cells after it are not read");
      break;
    }
    if (index < 0) {
      TLOG_WARN(label().view() << "^LOAD: the negative cell index " << index << " is skipped");
      continue;
    }
    cells[index] = std::move(value);
  }
  sizes_ = std::move(sizes);
  cellCount_ = count;
  cells_ = std::move(cells);
  return true;
}

bool CMC_MultiArray::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive) && serializeState(archive); }

bool CMC_MultiArray::serializeState(CXArchive* archive) {
  if (archive->isStoring()) {
    *archive << static_cast<int32_t>(sizes_.size());
    for (int32_t size : sizes_) *archive << size;
    *archive << static_cast<int32_t>(cells_.size());
    for (const auto& [index, value] : cells_) {
      *archive << index;
      if (!mc::storeValueRecord(*value, archive)) return false;
    }
    return archive->isOk();
  }
  int32_t dimensions = 0;
  *archive >> dimensions;
  if (!archive->isOk() || dimensions < 1 || dimensions > kMaxDimensions) return false;
  std::vector<int32_t> sizes(static_cast<size_t>(dimensions));
  int64_t cellCount = 1;
  for (int32_t& size : sizes) {
    *archive >> size;
    if (!archive->isOk() || size < 1) return false;
    cellCount *= size;
    if (cellCount > kMaxCells) return false;
  }
  int32_t n = 0;
  if (!mc::readRecordCount(archive, n, 4 + mc::kMinValueRecordBytes)) return false;
  std::map<int32_t, std::unique_ptr<CMC_Variable>> cells;
  int64_t last = -1;
  for (int32_t i = 0; i < n; ++i) {
    int32_t index = 0;
    *archive >> index;
    // Cells come in increasing index order, inside the grid.
    if (!archive->isOk() || index <= last || index >= cellCount) return false;
    std::unique_ptr<CMC_Variable> value = mc::restoreValueRecord(archive);
    if (!value) return false;
    cells.emplace(index, std::move(value));
    last = index;
  }
  sizes_ = std::move(sizes);
  cellCount_ = cellCount;
  cells_ = std::move(cells);
  return true;
}

bool CMC_MultiArray::load(const CXString& fileName) {
  std::vector<uint8_t> bytes;
  if (!tarnvik::datafiles::readFile(getScene(), fileName, kMaxFileBytes, bytes, label() + "^LOAD")) return false;
  return fromBytes(bytes.data(), bytes.size());
}

bool CMC_MultiArray::save(const CXString& fileName) {
  std::vector<uint8_t> bytes = toBytes();
  return tarnvik::datafiles::writeFile(getScene(), fileName, bytes.data(), bytes.size(), label() + "^SAVE");
}

CMC_Runner::MethodTable CMC_MultiArray_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SET", SET},
      {"GET", GET},
      {"SAFEGET", SAFEGET},
      {"COUNT", COUNT},
      {"GETSIZE", GETSIZE},
      {"SAVE", SAVE},
      {"LOAD", LOAD},
  };
  return kMethods;
}

CMC_Object* CMC_MultiArray_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_MULTIARRAY) return CMC_Runner::run(id, target, scope, args);
  auto* grid = static_cast<CMC_MultiArray*>(target);
  int n = argCount(args);
  auto coordinates = [&](int count) {
    std::vector<int32_t> coords;
    for (int i = 0; i < count; ++i) coords.push_back(getParameterInteger(args, i));
    return coords;
  };
  switch (id) {
    case SET:
      if (n >= 1) grid->set(coordinates(n - 1), getParameter(args, n - 1));
      return nullptr;
    case GET:
    case SAFEGET: {
      CMC_Variable* v = grid->get(coordinates(n));
      if (v) return CMC_VariableFactory::copyVariable(v);
      if (id == GET) return CMC_VariableFactory::string(CXString("NULL"));
      return CMC_VariableFactory::integer(0);
    }
    case COUNT: {
      tarnvik::args::Value value(args, 0);
      return CMC_VariableFactory::integer(grid->count(value.get()));
    }
    case GETSIZE: return CMC_VariableFactory::integer(grid->getSize(getParameterInteger(args, 0)));
    case SAVE: grid->save(getParameterString(args, 0)); return nullptr;
    case LOAD: grid->load(getParameterString(args, 0)); return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerMultiArrayType() {
  CMC_ObjectsContainer::registerType("MULTIARRAY", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_MultiArray(scope, element);
  });
  mc::registerScopedRecordType(mc::TYPE_MULTIARRAY, [] { return new CMC_MultiArray(CXString("temp"), 1); });
  CMC_RunnerFactory::registerRunner<CMC_MultiArray_Runner>(mc::TYPE_MULTIARRAY);
}

}  // namespace tarnvik
