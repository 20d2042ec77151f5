// CMC_Variable and the four value types: conversions, arithmetic, change events, INI persistence.
#include "runtime/variable.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "runtime/objects_container.h"
#include "runtime/variable_factory.h"
#include "settings/config.h"

namespace {

CConfig* g_config = nullptr;
CMC_Variable::NetNotifier g_netNotifier = nullptr;

template <typename T>
int order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

// ---- CMC_Variable ----

CMC_Variable::CMC_Variable(CXString name, int type) : CMC_Object(std::move(name), type) {}

CMC_Variable::CMC_Variable(CMC_ObjectsContainer* scene, CMElement* element, int type)
    : CMC_Object(scene, element, type) {}

const CMC_EventList* CMC_Variable::getBehavioursList() const {
  static const CMC_EventList list = makeEventList({mc::EV_ONCHANGED, mc::EV_ONBRUTALCHANGED, mc::EV_ONNETCHANGE});
  return &list;
}

void CMC_Variable::readFlags(CMElement* element) {
  ini_ = elementBool(element, "TOINI");
  netNotify_ = elementBool(element, "NETNOTIFY");
}

void CMC_Variable::resetForPool() {
  if (!inResetState()) resetObjectState();
  ini_ = false;
  netNotify_ = false;
  resetValue();
}

void CMC_Variable::init() {
  if (ini_) {
    CConfig* config = g_config;
    CMC_ObjectsContainer* scene = getScene();
    if (config && scene) {
      CXString entry = config->GetString(scene->getName(), getName(), CXString());
      if (!entry.isEmpty())
        fromString(entry);
      else if (!config->PutString(scene->getName(), getName(), toString()))
        TLOG_WARN("variable " << getName().c_str() << ": settings entry cannot be written");
    } else {
      TLOG_DEBUG("variable " << getName().c_str() << ": TOINI without " << (config ? "scene" : "settings file"));
    }
  }
  CMC_Object::init();
}

bool CMC_Variable::equals(CMC_Variable* /*v*/) { return false; }

int CMC_Variable::compare(CMC_Variable* /*v*/) { return 1; }

CMC_Variable* CMC_Variable::convert(int type) {
  if (type == getType()) return this;
  switch (type) {
    case mc::TYPE_INTEGER: {
      CMC_Integer* t = CMC_VariableFactory::allocInteger();
      t->setValue(asInteger());
      return t;
    }
    case mc::TYPE_DOUBLE: {
      CMC_Double* t = CMC_VariableFactory::allocDouble();
      t->setValue(asDouble());
      return t;
    }
    case mc::TYPE_STRING: {
      CMC_String* t = CMC_VariableFactory::allocString();
      t->setValue(asString());
      return t;
    }
    case mc::TYPE_BOOL: {
      CMC_Bool* t = CMC_VariableFactory::allocBool();
      t->setValue(asBool());
      return t;
    }
    default:
      return nullptr;
  }
}

void CMC_Variable::tellChange(bool changed) {
  bool brutal = hasHandlerFlag(mc::EVI_ONBRUTALCHANGED);
  bool change = changed && hasHandlerFlag(mc::EVI_ONCHANGED);
  if (brutal || change) {
    std::weak_ptr<char> alive = lifeToken();
    if (brutal) {
      onSignalWithParam(mc::EV_ONBRUTALCHANGED, toString());
      if (alive.expired()) return;
    }
    if (change) {
      onSignalWithParam(mc::EV_ONCHANGED, toString());
      if (alive.expired()) return;
    }
  }
  if (ini_) {
    CMC_ObjectsContainer* scene = getScene();
    if (g_config && scene) {
      if (!g_config->PutString(scene->getName(), getName(), toString()))
        TLOG_WARN("variable " << getName().c_str() << ": settings entry cannot be written");
    }
  }
  if (netNotify_ && g_netNotifier) g_netNotifier(this);
}

void CMC_Variable::onNetChange(CMC_Variable* /*v*/) {
  if (hasHandlerFlag(mc::EVI_ONNETCHANGE)) onSignal(CXString(mc::EV_ONNETCHANGE));
}

bool CMC_Variable::isNumber(const CXString& text) {
  int n = text.length();
  if (n == 0) return false;
  char c0 = text.GetAt(0);
  if (c0 != '-' && !std::isdigit(static_cast<unsigned char>(c0))) return false;
  if (c0 == '0' && n > 1 && text.GetAt(1) != '.') return false;
  for (int i = 1; i < n; ++i) {
    char c = text.GetAt(i);
    if (c != '.' && !std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

CMC_Variable* CMC_Variable::resolve(const CXString& text) {
  if (text.GetAt(0) == '"') {
    CMC_String* s = CMC_VariableFactory::allocString();
    std::string& v = s->getValueRef().str();
    v.assign(text.view().substr(1));
    if (!v.empty() && v.back() == '"') v.pop_back();
    return s;
  }
  if (isNumber(text)) {
    if (text.Find('.') >= 0) {
      CMC_Double* d = CMC_VariableFactory::allocDouble();
      d->setValue(text.toDouble());
      return d;
    }
    CMC_Integer* i = CMC_VariableFactory::allocInteger();
    i->setValue(text.toNumber());
    return i;
  }
  if (text == "TRUE" || text == "FALSE") {
    CMC_Bool* b = CMC_VariableFactory::allocBool();
    b->setValue(text == "TRUE");
    return b;
  }
  CMC_String* s = CMC_VariableFactory::allocString();
  s->getValueRef().str().assign(text.view());
  return s;
}

int32_t CMC_Variable::roundToInt(double value) {
  if (std::isnan(value)) return 0;
  double t = std::trunc(value);
  double fraction = value - t;
  if (fraction >= 0.5)
    t += 1.0;
  else if (fraction <= -0.5)
    t -= 1.0;
  if (t >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (t <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(t);
}

void CMC_Variable::setConfig(CConfig* config) { g_config = config; }
CConfig* CMC_Variable::getConfig() { return g_config; }
void CMC_Variable::setNetNotifier(NetNotifier notifier) { g_netNotifier = notifier; }

// ---- CMC_Integer ----

CMC_Integer::CMC_Integer(CXString name) : CMC_Variable(std::move(name), mc::TYPE_INTEGER) {}

CMC_Integer::CMC_Integer(CXString name, int32_t value)
    : CMC_Variable(std::move(name), mc::TYPE_INTEGER), value_(value), default_(value) {}

CMC_Integer::CMC_Integer(CMC_ObjectsContainer* scene, CMElement* element)
    : CMC_Variable(scene, element, mc::TYPE_INTEGER) {
  value_ = elementInt(element, "VALUE");
  default_ = elementValue(element, "DEFAULT").isEmpty() ? value_ : elementInt(element, "DEFAULT");
  readFlags(element);
  initializeBehaviours(scene, element);
}

int32_t CMC_Integer::arithmetic(int32_t a, int32_t b, int op) {
  auto ua = static_cast<uint32_t>(a);
  auto ub = static_cast<uint32_t>(b);
  switch (op) {
    case mc::OP_ADD:
      return static_cast<int32_t>(ua + ub);
    case mc::OP_SUB:
      return static_cast<int32_t>(ua - ub);
    case mc::OP_MUL:
      return static_cast<int32_t>(ua * ub);
    case mc::OP_DIV:
      if (b == 0 || (a == INT32_MIN && b == -1)) return 0;
      return a / b;
    case mc::OP_MOD:
      if (b == 0 || b == -1) return 0;
      return a % b;
    default:
      return 0;
  }
}

void CMC_Integer::set(CMC_Variable* v) {
  if (!v) return;
  assign(v->asInteger());
}

void CMC_Integer::clear() { assign(0); }

void CMC_Integer::swap(CMC_Variable* a, CMC_Variable* b) {
  if (!a || !b) return;
  int32_t av = a->asInteger();
  int32_t bv = b->asInteger();
  assign(value_ == av ? bv : av);
}

void CMC_Integer::inc() {
  value_ = arithmetic(value_, 1, mc::OP_ADD);
  onChange(true);
}

void CMC_Integer::dec() {
  value_ = arithmetic(value_, 1, mc::OP_SUB);
  onChange(true);
}

bool CMC_Integer::equals(CMC_Variable* v) { return v && v->asInteger() == value_; }

int CMC_Integer::compare(CMC_Variable* v) { return v ? order(value_, v->asInteger()) : 1; }

CMC_Variable* CMC_Integer::calculate(CMC_Variable* other, int op) {
  CMC_Integer* t = CMC_VariableFactory::allocInteger();
  t->setValue(arithmetic(value_, other ? other->asInteger() : 0, op));
  return t;
}

void CMC_Integer::onNetChange(CMC_Variable* v) {
  if (v) value_ = v->asInteger();
  CMC_Variable::onNetChange(v);
}

void CMC_Integer::setDefault(CMC_Variable* v) {
  if (v) default_ = v->asInteger();
}

void CMC_Integer::resetINI() {
  if (!isINI()) return;
  value_ = default_;
  onChange(true);
}

void CMC_Integer::fromString(const CXString& text) { assign(text.toNumber()); }

CXString CMC_Integer::toString() const { return CXString::toString(static_cast<int>(value_)); }

CXObject* CMC_Integer::clone() const {
  auto* copy = new CMC_Integer(getName(), value_);
  copy->default_ = default_;
  copy->setINI(isINI());
  copy->setNetNotify(isNetNotify());
  return copy;
}

// ---- CMC_Double ----

CMC_Double::CMC_Double(CXString name) : CMC_Variable(std::move(name), mc::TYPE_DOUBLE) {}

CMC_Double::CMC_Double(CXString name, double value)
    : CMC_Variable(std::move(name), mc::TYPE_DOUBLE), value_(value), default_(value) {}

CMC_Double::CMC_Double(CMC_ObjectsContainer* scene, CMElement* element)
    : CMC_Variable(scene, element, mc::TYPE_DOUBLE) {
  value_ = elementDouble(element, "VALUE");
  default_ = elementValue(element, "DEFAULT").isEmpty() ? value_ : elementDouble(element, "DEFAULT");
  readFlags(element);
  initializeBehaviours(scene, element);
}

void CMC_Double::assign(double value) {
  bool changed = !(value == value_);
  value_ = value;
  onChange(changed);
}

void CMC_Double::set(CMC_Variable* v) {
  if (!v) return;
  assign(v->asDouble());
}

void CMC_Double::clear() { assign(0.0); }

void CMC_Double::swap(CMC_Variable* a, CMC_Variable* b) {
  if (!a || !b) return;
  double av = a->asDouble();
  double bv = b->asDouble();
  assign(value_ == av ? bv : av);
}

void CMC_Double::inc() {
  value_ += 1.0;
  onChange(true);
}

void CMC_Double::dec() {
  value_ -= 1.0;
  onChange(true);
}

bool CMC_Double::equals(CMC_Variable* v) { return v && v->asDouble() == value_; }

int CMC_Double::compare(CMC_Variable* v) { return v ? order(value_, v->asDouble()) : 1; }

CMC_Variable* CMC_Double::calculate(CMC_Variable* other, int op) {
  double b = other ? other->asDouble() : 0.0;
  double r = 0.0;
  switch (op) {
    case mc::OP_ADD: r = value_ + b; break;
    case mc::OP_SUB: r = value_ - b; break;
    case mc::OP_MUL: r = value_ * b; break;
    case mc::OP_DIV: r = value_ / b; break;
    case mc::OP_MOD: r = std::fmod(value_, b); break;
    default: break;
  }
  CMC_Double* t = CMC_VariableFactory::allocDouble();
  t->setValue(r);
  return t;
}

void CMC_Double::onNetChange(CMC_Variable* v) {
  if (v) value_ = v->asDouble();
  CMC_Variable::onNetChange(v);
}

void CMC_Double::setDefault(CMC_Variable* v) {
  if (v) default_ = v->asDouble();
}

void CMC_Double::resetINI() {
  if (!isINI()) return;
  value_ = default_;
  onChange(true);
}

void CMC_Double::fromString(const CXString& text) { assign(text.toDouble()); }

CXString CMC_Double::toString() const { return CXString::toString(value_); }

CXObject* CMC_Double::clone() const {
  auto* copy = new CMC_Double(getName(), value_);
  copy->default_ = default_;
  copy->setINI(isINI());
  copy->setNetNotify(isNetNotify());
  return copy;
}

// ---- CMC_String ----

CMC_String::CMC_String(CXString name) : CMC_Variable(std::move(name), mc::TYPE_STRING) {}

CMC_String::CMC_String(CXString name, CXString value)
    : CMC_Variable(std::move(name), mc::TYPE_STRING), value_(value), default_(value) {}

CMC_String::CMC_String(CMC_ObjectsContainer* scene, CMElement* element)
    : CMC_Variable(scene, element, mc::TYPE_STRING) {
  value_ = elementValue(element, "VALUE");
  CXString def = elementValue(element, "DEFAULT");
  default_ = def.isEmpty() ? value_ : def;
  readFlags(element);
  initializeBehaviours(scene, element);
}

void CMC_String::assign(const CXString& value) {
  bool changed = !(value == value_);
  value_ = value;
  onChange(changed);
}

void CMC_String::set(CMC_Variable* v) {
  if (!v) return;
  if (v->getType() == mc::TYPE_STRING)
    assign(static_cast<CMC_String*>(v)->value_);
  else
    assign(v->asString());
}

void CMC_String::clear() { assign(CXString()); }

void CMC_String::swap(CMC_Variable* a, CMC_Variable* b) {
  if (!a || !b) return;
  CXString av = a->asString();
  CXString bv = b->asString();
  assign(value_ == av ? bv : av);
}

bool CMC_String::equals(CMC_Variable* v) {
  if (!v) return false;
  if (v->getType() == mc::TYPE_STRING) return static_cast<CMC_String*>(v)->value_ == value_;
  return v->asString() == value_;
}

int CMC_String::compare(CMC_Variable* v) {
  if (!v) return 1;
  int c = v->getType() == mc::TYPE_STRING ? value_.str().compare(static_cast<CMC_String*>(v)->value_.str())
                                          : value_.str().compare(v->asString().str());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

CMC_Variable* CMC_String::calculate(CMC_Variable* other, int op) {
  CMC_String* t = CMC_VariableFactory::allocString();
  std::string& r = t->value_.str();
  switch (op) {
    case mc::OP_ADD:
      r.assign(value_.str());
      if (other) {
        if (other->getType() == mc::TYPE_STRING)
          r.append(static_cast<CMC_String*>(other)->value_.str());
        else
          r.append(other->asString().str());
      }
      break;
    case mc::OP_SUB:
    case mc::OP_MUL:
    case mc::OP_DIV:
    case mc::OP_MOD:
      r.assign(value_.str());
      break;
    default:
      break;
  }
  return t;
}

void CMC_String::onNetChange(CMC_Variable* v) {
  if (v) value_ = v->asString();
  CMC_Variable::onNetChange(v);
}

void CMC_String::setDefault(CMC_Variable* v) {
  if (v) default_ = v->asString();
}

void CMC_String::resetINI() {
  if (!isINI()) return;
  value_ = default_;
  onChange(true);
}

void CMC_String::fromString(const CXString& text) { assign(text); }

CXObject* CMC_String::clone() const {
  auto* copy = new CMC_String(getName(), value_);
  copy->default_ = default_;
  copy->setINI(isINI());
  copy->setNetNotify(isNetNotify());
  return copy;
}

// ---- CMC_Bool ----

CMC_Bool::CMC_Bool(CXString name) : CMC_Variable(std::move(name), mc::TYPE_BOOL) {}

CMC_Bool::CMC_Bool(CXString name, bool value)
    : CMC_Variable(std::move(name), mc::TYPE_BOOL), value_(value), default_(value) {}

CMC_Bool::CMC_Bool(CMC_ObjectsContainer* scene, CMElement* element) : CMC_Variable(scene, element, mc::TYPE_BOOL) {
  value_ = elementBool(element, "VALUE");
  default_ = elementValue(element, "DEFAULT").isEmpty() ? value_ : elementBool(element, "DEFAULT");
  readFlags(element);
  initializeBehaviours(scene, element);
}

void CMC_Bool::assign(bool value) {
  bool changed = value != value_;
  value_ = value;
  onChange(changed);
}

void CMC_Bool::set(CMC_Variable* v) {
  if (!v) return;
  assign(v->asBool());
}

void CMC_Bool::clear() { assign(false); }

void CMC_Bool::swap(CMC_Variable* /*a*/, CMC_Variable* /*b*/) { assign(!value_); }

void CMC_Bool::inc() { assign(!value_); }

void CMC_Bool::dec() { assign(!value_); }

bool CMC_Bool::equals(CMC_Variable* v) { return v && v->asBool() == value_; }

int CMC_Bool::compare(CMC_Variable* v) { return v ? order(value_, v->asBool()) : 1; }

CMC_Variable* CMC_Bool::calculate(CMC_Variable* other, int op) {
  bool b = other ? other->asBool() : false;
  bool r = false;
  switch (op) {
    case mc::OP_ADD: r = value_ && b; break;
    case mc::OP_MUL: r = value_ || b; break;
    case mc::OP_SUB:
    case mc::OP_DIV:
    case mc::OP_MOD: r = value_; break;
    default: break;
  }
  CMC_Bool* t = CMC_VariableFactory::allocBool();
  t->setValue(r);
  return t;
}

void CMC_Bool::onNetChange(CMC_Variable* v) {
  if (v) value_ = v->asBool();
  CMC_Variable::onNetChange(v);
}

void CMC_Bool::setDefault(CMC_Variable* v) {
  if (v) default_ = v->asBool();
}

void CMC_Bool::resetINI() {
  if (!isINI()) return;
  value_ = default_;
  onChange(true);
}

void CMC_Bool::fromString(const CXString& text) { assign(text.toBool()); }

CXObject* CMC_Bool::clone() const {
  auto* copy = new CMC_Bool(getName(), value_);
  copy->default_ = default_;
  copy->setINI(isINI());
  copy->setNetNotify(isNetNotify());
  return copy;
}
