// ARRAY objects: elements, marker, arithmetic, sorting, INI and file persistence, and their methods.
#include "objects/data/array.h"

#include <algorithm>
#include <cmath>

#include "files/bytereader.h"
#include "files/file.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/window.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"
#include "settings/config.h"

namespace {

const CMC_EventList& arrayEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONCHANGED"});
  return list;
}

// Sorting rank: numbers first, then texts.
int rankOf(const CMC_Variable* v) { return v->getType() == mc::TYPE_STRING ? 1 : 0; }

// A strict weak order over elements of any value type (NaN after every other number).
bool lessThan(const CMC_Variable* a, const CMC_Variable* b) {
  int ra = rankOf(a), rb = rankOf(b);
  if (ra != rb) return ra < rb;
  if (ra == 1) return static_cast<const CMC_String*>(a)->getValue().str() < static_cast<const CMC_String*>(b)->getValue().str();
  double x = a->asDouble(), y = b->asDouble();
  if (std::isnan(x) || std::isnan(y)) return !std::isnan(x) && std::isnan(y);
  return x < y;
}

// Elements and searched values compare as values of the element's type, except that a text and a
// number compare as texts: otherwise every non-numeric text would equal the element 0.
bool sameValue(CMC_Variable* element, CMC_Variable* value) {
  if ((element->getType() == mc::TYPE_STRING) != (value->getType() == mc::TYPE_STRING))
    return element->asString().str() == value->asString().str();
  return element->equals(value);
}

void applyOp(CMC_Variable* element, int op, CMC_Variable* value) {
  if (element->getType() == mc::TYPE_INTEGER) {
    auto* e = static_cast<CMC_Integer*>(element);
    e->setValue(CMC_Integer::arithmetic(e->getValue(), value ? value->asInteger() : 0, op));
    return;
  }
  CMC_Variable* result = element->calculate(value, op);
  mc::copyValue(element, result);
  mc::release(result);
}

CMC_ObjectsContainer* scopeOf(CMC_ObjectsContainer* scope, CMC_Object* target) {
  return scope ? scope : target->getScene();
}

}  // namespace

CMC_Array* arrayNamed(CMC_ObjectsContainer* scope, const CXString& name) {
  CMC_Object* o = scope ? scope->getObject(name) : nullptr;
  return o && o->getType() == mc::TYPE_ARRAY ? static_cast<CMC_Array*>(o) : nullptr;
}

CMC_Array::CMC_Array(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Object(scope, element, mc::TYPE_ARRAY) {
  sendOnChange_ = elementBool(element, "SENDONCHANGE");
  initializeBehaviours(scope, element);
}

CMC_Array::CMC_Array(const CXString& name) : CMC_Object(name, mc::TYPE_ARRAY) {}

CMC_Array::~CMC_Array() = default;

const CMC_EventList* CMC_Array::getBehavioursList() const { return &arrayEvents(); }

CXObject* CMC_Array::clone() const {
  auto* copy = new CMC_Array(getName());
  for (const auto& e : elements_) copy->elements_.push_back(copyOf(e.get()));
  copy->sendOnChange_ = sendOnChange_;
  return copy;
}

bool CMC_Array::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive) && serializeState(archive); }

bool CMC_Array::serializeState(CXArchive* archive) {
  if (archive->isStoring()) {
    *archive << sendOnChange_ << static_cast<int32_t>(marker_);
    return mc::storeValueList(archive, elements_);
  }
  bool send = false;
  int32_t marker = -1;
  Elements read;
  *archive >> send >> marker;
  if (!mc::restoreValueList(archive, read)) return false;
  sendOnChange_ = send;
  marker_ = marker;
  elements_ = std::move(read);
  return true;
}

namespace {

// The value an argument stands for: the variable itself, or a computed expression's result.
CMC_Variable* valueOf(CMC_Object* value) {
  CMC_Variable* v = mc::asVariable(value);
  if (v && v->getType() == mc::TYPE_EXPRESSION) {
    CMC_Args one{value};
    v = mc::asVariable(CMC_Runner::getParameter(&one, 0));
  }
  return v && CMC_Variable::isValueType(v->getType()) ? v : nullptr;
}

}  // namespace

std::unique_ptr<CMC_Variable> CMC_Array::copyOf(CMC_Object* value) {
  CMC_Variable* v = valueOf(value);
  if (!v) {
    auto s = std::make_unique<CMC_String>(CXString());
    s->setValue(value && !mc::isControl(value) ? value->getName() : CXString());
    return s;
  }
  std::unique_ptr<CMC_Variable> copy(mc::makeVariable(v->getType(), CXString()));
  mc::copyValue(copy.get(), v);
  return copy;
}

CMC_Variable* CMC_Array::get(int i) const {
  return i >= 0 && i < getSize() ? elements_[static_cast<size_t>(i)].get() : nullptr;
}

void CMC_Array::appendOwned(std::unique_ptr<CMC_Variable> value) {
  if (value) elements_.push_back(std::move(value));
}

void CMC_Array::add(CMC_Object* value) {
  elements_.push_back(copyOf(value));
  notify(getSize() - 1);
}

bool CMC_Array::insertAt(int i, CMC_Object* value) {
  if (i < 0 || i >= getSize()) return false;
  elements_.insert(elements_.begin() + i, copyOf(value));
  notify(i);
  return true;
}

bool CMC_Array::changeAt(int i, CMC_Object* value) {
  if (i < 0 || i >= getSize()) return false;
  auto& slot = elements_[static_cast<size_t>(i)];
  if (slot->getType() == mc::TYPE_INTEGER && value && !mc::isControl(value) && value->getType() == mc::TYPE_INTEGER) {
    // INTEGER over INTEGER, the usual case, copied in place.
    static_cast<CMC_Integer*>(slot.get())->setValue(static_cast<CMC_Integer*>(value)->getValue());
    notify(i);
    return true;
  }
  CMC_Variable* v = valueOf(value);
  if (v && v->getType() == slot->getType())
    mc::copyValue(slot.get(), v);  // same type: no new element needed
  else
    slot = copyOf(value);
  notify(i);
  return true;
}

bool CMC_Array::removeAt(int i) {
  if (i < 0 || i >= getSize()) return false;
  elements_.erase(elements_.begin() + i);
  return true;
}

void CMC_Array::removeAll() { elements_.clear(); }

bool CMC_Array::remove(CMC_Variable* value) { return removeAt(find(value)); }

int CMC_Array::find(CMC_Variable* value) const {
  if (!value) return -1;
  for (int i = 0; i < getSize(); ++i)
    if (sameValue(elements_[static_cast<size_t>(i)].get(), value)) return i;
  return -1;
}

int CMC_Array::reversefind(CMC_Variable* value) const {
  if (!value) return -1;
  for (int i = getSize() - 1; i >= 0; --i)
    if (sameValue(elements_[static_cast<size_t>(i)].get(), value)) return i;
  return -1;
}

int CMC_Array::findAll(CMC_Variable* value, CMC_Array* out) const {
  if (!value || !out) return 0;
  std::vector<int> found;
  for (int i = 0; i < getSize(); ++i)
    if (sameValue(elements_[static_cast<size_t>(i)].get(), value)) found.push_back(i);
  for (int i : found) out->appendOwned(std::make_unique<CMC_Integer>(CXString(), i));
  return static_cast<int>(found.size());
}

CMC_Variable* CMC_Array::atMarker() { return get(marker_); }

CMC_Variable* CMC_Array::next(int step) {
  // Wrapping by repeated subtraction never ends on an empty array: stay where we are.
  if (elements_.empty()) return nullptr;
  int64_t size = getSize();
  int64_t m = (static_cast<int64_t>(marker_) + step) % size;
  marker_ = static_cast<int>(m < 0 ? m + size : m);
  return atMarker();
}

CMC_Variable* CMC_Array::prev(int step) { return next(-step); }

void CMC_Array::notify(int i) {
  if (sendOnChange_ && i >= 0) fireEvent(EVI_ONCHANGED, mc::EV_ONCHANGED, CXString::toString(i));
}

void CMC_Array::notifyFrom(int from) {
  if (!sendOnChange_ || !hasHandlerFlag(EVI_ONCHANGED)) return;
  std::weak_ptr<char> alive = lifeToken();
  // A handler may shrink the array or delete it: check both before every index.
  for (int i = from; !alive.expired() && i < getSize(); ++i) notify(i);
}

void CMC_Array::applyAll(int op, CMC_Variable* value) {
  for (auto& e : elements_) applyOp(e.get(), op, value);
  notifyFrom(0);
}

bool CMC_Array::applyAt(int i, int op, CMC_Variable* value) {
  CMC_Variable* e = get(i);
  if (!e) return false;
  applyOp(e, op, value);
  notify(i);
  return true;
}

void CMC_Array::applyArray(int op, const CMC_Array* other, int first, int last) {
  if (!other) return;
  int end = std::min(getSize(), other->getSize()) - 1;
  first = std::max(first, 0);
  last = std::min(last, end);
  // The other array may be this one: read each operand before changing anything at that index.
  for (int i = first; i <= last; ++i) {
    std::unique_ptr<CMC_Variable> operand = copyOf(other->get(i));
    applyOp(get(i), op, operand.get());
  }
  for (int i = first; i <= last && i < getSize(); ++i) notify(i);
}

bool CMC_Array::clampAt(int i, CMC_Variable* low, CMC_Variable* high) {
  CMC_Variable* e = get(i);
  if (!e || !low || !high) return false;
  if (e->getType() == mc::TYPE_INTEGER) {
    auto* v = static_cast<CMC_Integer*>(e);
    v->setValue(std::max(low->asInteger(), std::min(high->asInteger(), v->getValue())));
  } else if (e->getType() == mc::TYPE_DOUBLE) {
    auto* v = static_cast<CMC_Double*>(e);
    v->setValue(std::max(low->asDouble(), std::min(high->asDouble(), v->getValue())));
  } else {
    return false;
  }
  notify(i);
  return true;
}

bool CMC_Array::swap(int i, int j) {
  if (!get(i) || !get(j)) return false;
  std::swap(elements_[static_cast<size_t>(i)], elements_[static_cast<size_t>(j)]);
  std::weak_ptr<char> alive = lifeToken();
  notify(std::min(i, j));
  if (i != j && !alive.expired()) notify(std::max(i, j));
  return true;
}

void CMC_Array::sort(bool ascending) {
  std::stable_sort(elements_.begin(), elements_.end(),
                   [](const auto& a, const auto& b) { return lessThan(a.get(), b.get()); });
  if (!ascending) std::reverse(elements_.begin(), elements_.end());
}

void CMC_Array::sortMany(const std::vector<CMC_Array*>& others) {
  std::vector<size_t> order(elements_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [this](size_t a, size_t b) { return lessThan(elements_[a].get(), elements_[b].get()); });
  auto permute = [&order](Elements& list) {
    Elements sorted;
    sorted.reserve(list.size());
    for (size_t i : order) sorted.push_back(std::move(list[i]));
    list.swap(sorted);
  };
  for (CMC_Array* other : others)
    if (other && other != this && other->elements_.size() == order.size()) permute(other->elements_);
  permute(elements_);
}

void CMC_Array::rotateLeft() {
  if (elements_.size() < 2) return;
  std::rotate(elements_.begin(), elements_.begin() + 1, elements_.end());
  notifyFrom(0);
}

void CMC_Array::rotateRight() {
  if (elements_.size() < 2) return;
  std::rotate(elements_.rbegin(), elements_.rbegin() + 1, elements_.rend());
  notifyFrom(0);
}

// Shifts keep the size: the place left free gets its type's neutral value (0, 0.0, "", FALSE).
void CMC_Array::shiftLeft() {
  if (elements_.empty()) return;
  std::rotate(elements_.begin(), elements_.begin() + 1, elements_.end());
  CMC_Variable* last = elements_.back().get();
  std::unique_ptr<CMC_Variable> blank(mc::makeVariable(last->getType(), CXString()));
  elements_.back() = std::move(blank);
  notifyFrom(0);
}

void CMC_Array::shiftRight() {
  if (elements_.empty()) return;
  std::rotate(elements_.rbegin(), elements_.rbegin() + 1, elements_.rend());
  std::unique_ptr<CMC_Variable> blank(mc::makeVariable(elements_.front()->getType(), CXString()));
  elements_.front() = std::move(blank);
  notifyFrom(0);
}

bool CMC_Array::compareArr(const CMC_Array* other) const {
  if (!other || other->getSize() != getSize()) return false;
  for (int i = 0; i < getSize(); ++i)
    if (!sameValue(elements_[static_cast<size_t>(i)].get(), other->get(i))) return false;
  return true;
}

CXString CMC_Array::toText() const {
  std::string text;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (i) text += ',';
    text += elements_[i]->asString().str();
  }
  return CXString(std::move(text));
}

void CMC_Array::fromText(const CXString& text) {
  if (text.isEmpty()) return;
  std::string_view rest = text.view();
  while (true) {
    size_t comma = rest.find(',');
    CMC_Variable* literal = CMC_Variable::resolve(CXString(rest.substr(0, comma)));
    elements_.push_back(copyOf(literal));
    mc::release(literal);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
}

void CMC_Array::saveINI() const {
  CConfig* config = CMC_Variable::getConfig();
  CMC_ObjectsContainer* scene = getScene();
  if (!config || !scene) return;
  if (!config->PutString(scene->getName(), getName(), toText()))
    TLOG_WARN("array " << getName().view() << ": its text cannot be stored in the settings file");
}

void CMC_Array::loadINI() {
  CConfig* config = CMC_Variable::getConfig();
  CMC_ObjectsContainer* scene = getScene();
  if (!config || !scene) return;
  fromText(config->GetString(scene->getName(), getName(), CXString()));
}

void CMC_Array::writeFile(const Elements& elements, std::vector<uint8_t>& out) {
  tarnvik::ByteWriter w;
  w.i32(static_cast<int32_t>(elements.size()));
  for (const auto& e : elements) {
    w.i32(e->getType());
    switch (e->getType()) {
      case mc::TYPE_INTEGER: w.i32(e->asInteger()); break;
      case mc::TYPE_BOOL: w.u8(e->asBool() ? 1 : 0); break;
      case mc::TYPE_DOUBLE: {
        // The serializer's encoding: the value times 1000 as int32, saturated, NaN as 0.
        double scaled = e->asDouble() * 1000.0;
        int32_t v = std::isnan(scaled) ? 0
                    : scaled >= 2147483647.0 ? INT32_MAX
                    : scaled <= -2147483648.0 ? INT32_MIN
                                              : static_cast<int32_t>(scaled);
        w.i32(v);
        break;
      }
      default: {
        CXString text = e->asString();
        w.i32(text.length());
        w.bytes(text.c_str(), static_cast<size_t>(text.length()));
        break;
      }
    }
  }
  out = w.take();
}

bool CMC_Array::parseFile(std::span<const uint8_t> data, Elements& out) {
  tarnvik::ByteReader r(data);
  int32_t count = r.i32();
  if (!r.ok() || count < 0) return false;
  for (int32_t n = 0; n < count; ++n) {
    if (r.atEnd()) return false;
    int32_t type = r.i32();
    std::unique_ptr<CMC_Variable> v;
    switch (type) {
      case mc::TYPE_INTEGER: v = std::make_unique<CMC_Integer>(CXString(), r.i32()); break;
      case mc::TYPE_BOOL: v = std::make_unique<CMC_Bool>(CXString(), r.u8() != 0); break;
      case mc::TYPE_DOUBLE: v = std::make_unique<CMC_Double>(CXString(), r.i32() * 0.001); break;
      case mc::TYPE_STRING: v = std::make_unique<CMC_String>(CXString(), CXString(r.string32())); break;
      default:
        TLOG_WARN("array file: element " << n << " has the unknown type " << type << "; reading stops");
        return false;
    }
    if (!r.ok()) {
      TLOG_WARN("array file: element " << n << " of " << count << " runs past the end; reading stops");
      return false;
    }
    out.push_back(std::move(v));
  }
  return true;
}

bool CMC_Array::save(const CXString& fileName) const {
  std::vector<uint8_t> bytes;
  writeFile(elements_, bytes);
  CMC_ObjectsContainer* scene = getScene();
  CFile file(scene ? scene->getWindow() : nullptr, fileName, CFile::modeBinary);
  if (!file.isOpen()) {
    TLOG_WARN("array " << getName().view() << ": cannot write " << fileName.view());
    return false;
  }
  bool ok = file.Write(bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
  return file.Close() == 0 && ok;
}

bool CMC_Array::load(const CXString& fileName) {
  CMC_ObjectsContainer* scene = getScene();
  CFile file(scene ? scene->getWindow() : nullptr, fileName, CFile::modeRead | CFile::modeBinary);
  if (!file.isOpen()) return false;
  long length = file.Length();
  if (length < 0 || static_cast<unsigned long>(length) > kMaxFileBytes) {
    TLOG_WARN("array " << getName().view() << ": " << fileName.view() << " has " << length
                       << " bytes, more than an array file may have (" << kMaxFileBytes << "); not loaded");
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (length > 0 && file.Read(bytes.data(), static_cast<int>(length)) != static_cast<int>(length)) return false;
  int before = getSize();
  bool complete = parseFile(bytes, elements_);
  notifyFrom(before);
  return complete;
}

CMC_Runner::MethodTable CMC_Array_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"ADD", ADD},
      {"GETSIZE", GETSIZE},
      {"INSERTAT", INSERTAT},
      {"REMOVEAT", REMOVEAT},
      {"CHANGEAT", CHANGEAT},
      {"REMOVEALL", REMOVEALL},
      {"GET", GET},
      {"REMOVE", REMOVE},
      {"FIND", FIND},
      {"REVERSEFIND", REVERSEFIND},
      {"FINDALL", FINDALL},
      {"CONTAINS", CONTAINS},
      {"SAVEINI", SAVEINI},
      {"LOADINI", LOADINI},
      {"PREV", PREV},
      {"NEXT", NEXT},
      {"ADDCLONES", ADDCLONES},
      {"RESETMARKER", RESETMARKER},
      {"GETMARKERPOS", GETMARKERPOS},
      {"SETMARKERPOS", SETMARKERPOS},
      {"SUM", SUM},
      {"SUMA", SUMA},
      {"SUB", SUB},
      {"SUBA", SUBA},
      {"MUL", MUL},
      {"MULA", MULA},
      {"DIV", DIV},
      {"DIVA", DIVA},
      {"MIN", MIN},
      {"MIND", MIND},
      {"MAX", MAX},
      {"MAXD", MAXD},
      {"GETSUMVALUE", GETSUMVALUE},
      {"LOAD", LOAD},
      {"SAVE", SAVE},
      {"SORT", SORT},
      {"SORTMANY", SORTMANY},
      {"ADDAT", ADDAT},
      {"SUBAT", SUBAT},
      {"MULAT", MULAT},
      {"DIVAT", DIVAT},
      {"MODAT", MODAT},
      {"CLAMPAT", CLAMPAT},
      {"DIR", DIR},
      {"COMPARE", COMPARE},
      {"COPYTO", COPYTO},
      {"SWAP", SWAP},
      {"SENDONCHANGE", SENDONCHANGE},
      {"SHIFTLEFT", SHIFTLEFT},
      {"SHIFTRIGHT", SHIFTRIGHT},
      {"ROTATELEFT", ROTATELEFT},
      {"ROTATERIGHT", ROTATERIGHT},
      {"FILL", FILL},
      {"RANDOMFILL", RANDOMFILL},
  };
  return kMethods;
}

namespace {

CMC_Variable* valueArg(const CMC_Args* args, int i) { return mc::asVariable(CMC_Runner::getParameter(args, i)); }

CMC_Object* elementCopy(CMC_Variable* element) {
  return element ? CMC_VariableFactory::copyVariable(element) : nullptr;
}

// The clone names of an object: name + "_" + i for i in [first, last].
void appendCloneNames(CMC_Array* array, const CXString& name, int first, int last) {
  constexpr int kMaxNames = 100000;
  if (last - first >= kMaxNames) last = first + kMaxNames - 1;
  int before = array->getSize();
  for (int i = first; i <= last; ++i)
    array->appendOwned(std::make_unique<CMC_String>(CXString(), name + "_" + CXString::toString(i)));
  array->notifyFrom(before);
}

}  // namespace

CMC_Object* CMC_Array_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_ARRAY) return CMC_Runner::run(id, target, scope, args);
  auto* array = static_cast<CMC_Array*>(target);
  // The element methods loops call most, in a small frame.
  switch (id) {
    case GET: {
      // Taken before the index is read: reading it may run code that calls GET again.
      mc::ValueHolder* into = mc::ResultInto::take(array);
      CMC_Variable* element = array->get(getParameterInteger(args, 0, -1));
      return element ? mc::resultCopy(element, into) : CMC_VariableFactory::string(CXString("NULL"));
    }
    case CHANGEAT:
      array->changeAt(getParameterInteger(args, 0), getParameter(args, 1));
      return nullptr;
    case ADDAT:
      array->applyAt(getParameterInteger(args, 0), mc::OP_ADD, valueArg(args, 1));
      return nullptr;
    default:
      return runOther(id, array, scope, args);
  }
}

CMC_Object* CMC_Array_Runner::runOther(int id, CMC_Array* array, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  CMC_Object* target = array;
  CMC_ObjectsContainer* where = scopeOf(scope, target);
  switch (id) {
    case ADD: {
      // A change handler may delete the array between two values.
      std::weak_ptr<char> alive = mc::lifeOf(array);
      for (int i = 0; i < argCount(args) && !alive.expired(); ++i) array->add(getParameter(args, i));
      return nullptr;
    }
    case GETSIZE:
      return CMC_VariableFactory::integer(array->getSize());
    case INSERTAT:
      array->insertAt(getParameterInteger(args, 0), getParameter(args, 1));
      return nullptr;
    case REMOVEAT:
      array->removeAt(getParameterInteger(args, 0));
      return nullptr;
    case REMOVEALL:
      array->removeAll();
      return nullptr;
    case REMOVE:
      array->remove(valueArg(args, 0));
      return nullptr;
    case FIND:
      return CMC_VariableFactory::integer(array->find(valueArg(args, 0)));
    case REVERSEFIND:
      return CMC_VariableFactory::integer(array->reversefind(valueArg(args, 0)));
    case CONTAINS:
      return CMC_VariableFactory::boolean(array->contains(valueArg(args, 0)));
    case FINDALL: {
      CMC_Array* out = arrayNamed(where, getParameterString(args, 0));
      int total = 0;
      for (int i = 1; out && i < argCount(args); ++i) total += array->findAll(valueArg(args, i), out);
      if (out) out->notifyFrom(out->getSize() - total);
      return CMC_VariableFactory::integer(total);
    }
    case SAVEINI:
      array->saveINI();
      return nullptr;
    case LOADINI: {
      int before = array->getSize();
      array->loadINI();
      array->notifyFrom(before);
      return nullptr;
    }
    case PREV:
      return elementCopy(array->prev(getParameterInteger(args, 0, 1)));
    case NEXT:
      return elementCopy(array->next(getParameterInteger(args, 0, 1)));
    case ADDCLONES: {
      CMC_Object* object = getParameterObject(args, 0, where);
      CXString name = object ? object->getName() : getParameterString(args, 0);
      int first = getParameterInteger(args, 1, 1);
      int last = getParameterInteger(args, 2, object ? object->getClonesNo() : 0);
      if (object || argCount(args) >= 3) appendCloneNames(array, name, first, last);
      return nullptr;
    }
    case RESETMARKER:
      array->resetMarker();
      return nullptr;
    case GETMARKERPOS:
      return CMC_VariableFactory::integer(array->getMarkerPos());
    case SETMARKERPOS:
      array->setMarkerPos(getParameterInteger(args, 0));
      return nullptr;
    case SUM: array->applyAll(mc::OP_ADD, valueArg(args, 0)); return nullptr;
    case SUB: array->applyAll(mc::OP_SUB, valueArg(args, 0)); return nullptr;
    case MUL: array->applyAll(mc::OP_MUL, valueArg(args, 0)); return nullptr;
    case DIV: array->applyAll(mc::OP_DIV, valueArg(args, 0)); return nullptr;
    case SUMA:
    case SUBA:
    case MULA:
    case DIVA: {
      static const int ops[] = {mc::OP_ADD, mc::OP_SUB, mc::OP_MUL, mc::OP_DIV};
      int op = ops[id == SUMA ? 0 : id == SUBA ? 1 : id == MULA ? 2 : 3];
      array->applyArray(op, arrayNamed(where, getParameterString(args, 0)), getParameterInteger(args, 1, 0),
                        getParameterInteger(args, 2, INT32_MAX));
      return nullptr;
    }
    case SUBAT: array->applyAt(getParameterInteger(args, 0), mc::OP_SUB, valueArg(args, 1)); return nullptr;
    case MULAT: array->applyAt(getParameterInteger(args, 0), mc::OP_MUL, valueArg(args, 1)); return nullptr;
    case DIVAT: array->applyAt(getParameterInteger(args, 0), mc::OP_DIV, valueArg(args, 1)); return nullptr;
    case MODAT: array->applyAt(getParameterInteger(args, 0), mc::OP_MOD, valueArg(args, 1)); return nullptr;
    case CLAMPAT:
      array->clampAt(getParameterInteger(args, 0), valueArg(args, 1), valueArg(args, 2));
      return nullptr;
    case MIN:
    case MAX: {
      int32_t best = id == MIN ? 1000000 : 0;
      for (const auto& e : array->elements())
        if (e->getType() == mc::TYPE_INTEGER)
          best = id == MIN ? std::min(best, e->asInteger()) : std::max(best, e->asInteger());
      return CMC_VariableFactory::integer(best);
    }
    case MIND:
    case MAXD: {
      double best = id == MIND ? 1000000.0 : 0.0;
      for (const auto& e : array->elements())
        if (e->getType() == mc::TYPE_DOUBLE)
          best = id == MIND ? std::min(best, e->asDouble()) : std::max(best, e->asDouble());
      return CMC_VariableFactory::number(best);
    }
    case GETSUMVALUE: {
      int32_t sum = 0;
      for (const auto& e : array->elements())
        if (e->getType() == mc::TYPE_INTEGER) sum = CMC_Integer::arithmetic(sum, e->asInteger(), mc::OP_ADD);
      return CMC_VariableFactory::integer(sum);
    }
    case LOAD:
      array->load(getParameterString(args, 0));
      return nullptr;
    case SAVE:
      array->save(getParameterString(args, 0));
      return nullptr;
    case SORT:
      array->sort(getParameterBool(args, 0, true));
      return nullptr;
    case SORTMANY: {
      std::vector<CMC_Array*> others;
      for (int i = 0; i < argCount(args); ++i) others.push_back(arrayNamed(where, getParameterString(args, i)));
      array->sortMany(others);
      return nullptr;
    }
    case DIR: {
      // DIR(pattern): the array becomes the names of the files matching the pattern, sorted.
      array->removeAll();
      CXString pattern = getParameterString(args, 0);
      if (pattern.indexOf(CXString("..")) >= 0 || CPath::isAbsolute(pattern)) {
        TLOG_WARN("array " << array->getName().view() << ": DIR of " << pattern.view()
                           << " refused: listings stay inside the game's folders");
        return nullptr;
      }
      CFindData info;
      intptr_t handle = CFile::findFirst(pattern, info);
      std::vector<CXString> names;
      for (int more = handle == -1 ? -1 : 0; more == 0 && names.size() < 100000; more = CFile::findNext(handle, info))
        if (!info.isDirectory) names.push_back(info.name);
      if (handle != -1) CFile::findClose(handle);
      std::sort(names.begin(), names.end(), [](const CXString& a, const CXString& b) { return a.str() < b.str(); });
      for (const CXString& n : names) array->appendOwned(std::make_unique<CMC_String>(CXString(), n));
      array->notifyFrom(0);
      return nullptr;
    }
    case COMPARE:
      return CMC_VariableFactory::boolean(array->compareArr(arrayNamed(where, getParameterString(args, 0))));
    case COPYTO: {
      CMC_Array* out = arrayNamed(where, getParameterString(args, 0));
      if (!out) return nullptr;
      int before = out->getSize();
      int count = array->getSize();  // copying into itself doubles it once
      for (int i = 0; i < count; ++i) out->appendOwned(CMC_Array::copyOf(array->get(i)));
      out->notifyFrom(before);
      return nullptr;
    }
    case SWAP:
      array->swap(getParameterInteger(args, 0), getParameterInteger(args, 1));
      return nullptr;
    case SENDONCHANGE:
      array->setSendOnChange(getParameterBool(args, 0, true));
      return nullptr;
    case SHIFTLEFT: array->shiftLeft(); return nullptr;
    case SHIFTRIGHT: array->shiftRight(); return nullptr;
    case ROTATELEFT: array->rotateLeft(); return nullptr;
    case ROTATERIGHT: array->rotateRight(); return nullptr;
    case FILL: {
      int n = getParameterInteger(args, 0);
      if (n > CMC_Array::kMaxFill) {
        TLOG_WARN("array " << array->getName().view() << ": FILL of " << n << " elements cut to " << CMC_Array::kMaxFill);
        n = CMC_Array::kMaxFill;
      }
      array->removeAll();
      CMC_Object* value = getParameter(args, 1);
      for (int i = 0; i < n; ++i) array->appendOwned(CMC_Array::copyOf(value));
      array->notifyFrom(0);
      return nullptr;
    }
    case RANDOMFILL: {
      int n = getParameterInteger(args, 0);
      int low = getParameterInteger(args, 1), high = getParameterInteger(args, 2);
      array->removeAll();
      std::vector<int> values;
      int64_t range = static_cast<int64_t>(high) - low + 1;
      if (n > 0 && range > 0 && range <= INT32_MAX &&
          CXRandom::randomVector(low, static_cast<int>(range), n, getParameterBool(args, 3), values))
        for (int v : values) array->appendOwned(std::make_unique<CMC_Integer>(CXString(), v));
      array->notifyFrom(0);
      return nullptr;
    }
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerArrayType() {
  CMC_ObjectsContainer::registerType("ARRAY", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Array(scope, element);
  });
  mc::registerScopedRecordType(mc::TYPE_ARRAY, [] { return new CMC_Array(CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_Array_Runner>(mc::TYPE_ARRAY);
  // Crossed pairing: the common ADDTOGROUP appends to an ARRAY.
  CMC_Runner::setArrayAdder([](CMC_Object* array, CMC_Object* member) {
    static_cast<CMC_Array*>(array)->add(member);
    return true;
  });
}

}  // namespace tarnvik
