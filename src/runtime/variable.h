// CMC_Variable and the four value types INTEGER, DOUBLE, STRING and BOOL: conversions, arithmetic,
// change events, INI persistence and the saved-state encoding.
#pragma once

#include <cstdint>

#include "foundation/xstring.h"
#include "runtime/object.h"

class CConfig;
class CXArchive;
class CMElement;
class CMC_ObjectsContainer;

class CMC_Variable : public CMC_Object {
 public:
  CMC_Variable(CXString name, int type);
  CMC_Variable(CMC_ObjectsContainer* scene, CMElement* element, int type);

  using CMC_Object::clone;
  using CMC_Object::compare;
  using CMC_Object::equals;

  // Slot in the pool of its type, or -1 for a declared or named variable.
  int getPoolIndex() const { return poolIndex_; }
  void setPoolIndex(int index) { poolIndex_ = index; }
  bool isINI() const { return ini_; }
  void setINI(bool ini) { ini_ = ini; }
  bool isNetNotify() const { return netNotify_; }
  void setNetNotify(bool notify) { netNotify_ = notify; }

  // ONINIT, ONDONE, ONSIGNAL, ONCHANGED, ONBRUTALCHANGED, ONNETCHANGE.
  const CMC_EventList* getBehavioursList() const override;
  // Reads the INI entry when the INI flag is set, then fires ONINIT.
  void init() override;

  // Stores v converted to this type and fires the change events.
  virtual void set(CMC_Variable* v) = 0;
  virtual void clear() = 0;
  // INTEGER, DOUBLE, STRING: toggles between a and b; BOOL: negates.
  virtual void swap(CMC_Variable* a, CMC_Variable* b) = 0;
  virtual void inc() = 0;
  virtual void dec() = 0;
  // v converted to this type has the same value (false for null).
  virtual bool equals(CMC_Variable* v);
  // -1, 0 or 1 comparing this with v converted to this type; 1 for null.
  virtual int compare(CMC_Variable* v);
  // This value as the given type: this object for its own type, a pooled temporary for another
  // value type, null for any other number.
  virtual CMC_Variable* convert(int type);
  // A pooled temporary of this type holding this `op` other (mc::OP_ADD ... mc::OP_MOD).
  virtual CMC_Variable* calculate(CMC_Variable* other, int op) = 0;
  // Fires ONBRUTALCHANGED always and ONCHANGED when changed, writes the INI entry, notifies peers.
  // Most variables have none of these: they learn it here without a call.
  void onChange(bool changed) {
    if (ini_ || netNotify_ || hasHandlerFlag(mc::EVI_ONBRUTALCHANGED) || hasHandlerFlag(mc::EVI_ONCHANGED))
      tellChange(changed);
  }
  // Applies a value received from the network and fires ONNETCHANGE.
  virtual void onNetChange(CMC_Variable* v);
  virtual void setDefault(CMC_Variable* v) = 0;
  // With the INI flag: value := default and change events.
  virtual void resetINI() = 0;
  // Bytes netstore writes.
  virtual int getBufferLen() const = 0;
  // Type number (int32) then the value; returns the bytes written (getBufferLen()).
  virtual int netstore(void* buffer) const;
  // Reads a value written by netstore of any value type and sets this from it; bytes read or 0.
  virtual int netrestore(const void* buffer, int length);
  // Type number (int32) then the value in the serializer's encoding.
  virtual bool store(CXArchive* archive) const;
  // Reads what store wrote (type, then value) and takes the value without firing events.
  virtual bool restore(CXArchive* archive);
  // Saved-state record: the handlers, then name, value, default, TOINI and NETNOTIFY.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the value (storeValue / restoreValue).
  bool serializeState(CXArchive* archive) override;
  // Stores the text converted to this type (as set from a STRING), firing the change events.
  virtual void fromString(const CXString& text) = 0;
  // The value as text.
  CXString toString() const override = 0;

  // The conversion table applied to this value, without the pool.
  virtual int32_t asInteger() const = 0;
  virtual double asDouble() const = 0;
  virtual bool asBool() const = 0;
  virtual CXString asString() const { return toString(); }

  // Writes only the value in the serializer's encoding (no type number) / reads it back.
  virtual bool storeValue(CXArchive* archive) const = 0;
  virtual bool restoreValue(CXArchive* archive) = 0;
  // The same for the default value.
  virtual bool storeDefault(CXArchive* archive) const = 0;
  virtual bool restoreDefault(CXArchive* archive) = 0;

  // Literal text to a pooled temporary: "..." STRING, numbers INTEGER or DOUBLE, TRUE/FALSE BOOL,
  // anything else STRING.
  static CMC_Variable* resolve(const CXString& text);
  // "-" or a digit first, then digits or "."; after a leading "0" only "." may follow.
  static bool isNumber(const CXString& text);
  // Half away from zero, saturating at the int32 range; NaN gives 0.
  static int32_t roundToInt(double value);
  static bool isValueType(int type) { return type >= mc::TYPE_INTEGER && type <= mc::TYPE_DOUBLE; }

  // The settings file that TOINI variables read and write; set by the application that owns it.
  static void setConfig(CConfig* config);
  static CConfig* getConfig();
  // Receives variables with NETNOTIFY after every change (the network object installs it).
  using NetNotifier = void (*)(CMC_Variable* variable);
  static void setNetNotifier(NetNotifier notifier);

  // Clears name, handlers, flags, scene and value for reuse from the pool (no heap use).
  void resetForPool();

 protected:
  // Reads TOINI and NETNOTIFY.
  void readFlags(CMElement* element);
  virtual void resetValue() = 0;
  friend class CMC_VariableFactory;

 private:
  void tellChange(bool changed);

  int poolIndex_ = -1;
  bool ini_ = false;
  bool netNotify_ = false;
};

class CMC_Integer : public CMC_Variable {
 public:
  using CMC_Variable::clone;
  using CMC_Variable::compare;
  using CMC_Variable::equals;

  explicit CMC_Integer(CXString name);
  CMC_Integer(CXString name, int32_t value);
  CMC_Integer(CMC_ObjectsContainer* scene, CMElement* element);

  int32_t getValue() const { return value_; }
  void setValue(int32_t value) { value_ = value; }
  int32_t getDefault() const { return default_; }
  // Stores a value and fires the change events.
  void assign(int32_t value) {
    bool changed = value != value_;
    value_ = value;
    onChange(changed);
  }

  void set(CMC_Variable* v) override;
  void clear() override;
  void swap(CMC_Variable* a, CMC_Variable* b) override;
  void inc() override;
  void dec() override;
  bool equals(CMC_Variable* v) override;
  int compare(CMC_Variable* v) override;
  CMC_Variable* calculate(CMC_Variable* other, int op) override;
  void onNetChange(CMC_Variable* v) override;
  void setDefault(CMC_Variable* v) override;
  void resetINI() override;
  int getBufferLen() const override { return 8; }
  void fromString(const CXString& text) override;
  CXString toString() const override;
  int32_t asInteger() const override { return value_; }
  double asDouble() const override { return value_; }
  bool asBool() const override { return value_ != 0; }
  bool storeValue(CXArchive* archive) const override;
  bool restoreValue(CXArchive* archive) override;
  bool storeDefault(CXArchive* archive) const override;
  bool restoreDefault(CXArchive* archive) override;
  CXObject* clone() const override;

  // 32-bit arithmetic with wrap-around; division and remainder by zero, and INT_MIN / -1, give 0.
  static int32_t arithmetic(int32_t a, int32_t b, int op);

 protected:
  void resetValue() override { value_ = 0; default_ = 0; }

 private:
  int32_t value_ = 0;
  int32_t default_ = 0;
};

class CMC_Double : public CMC_Variable {
 public:
  using CMC_Variable::clone;
  using CMC_Variable::compare;
  using CMC_Variable::equals;

  explicit CMC_Double(CXString name);
  CMC_Double(CXString name, double value);
  CMC_Double(CMC_ObjectsContainer* scene, CMElement* element);

  double getValue() const { return value_; }
  void setValue(double value) { value_ = value; }
  double getDefault() const { return default_; }
  void assign(double value);

  void set(CMC_Variable* v) override;
  void clear() override;
  void swap(CMC_Variable* a, CMC_Variable* b) override;
  void inc() override;
  void dec() override;
  bool equals(CMC_Variable* v) override;
  int compare(CMC_Variable* v) override;
  CMC_Variable* calculate(CMC_Variable* other, int op) override;
  void onNetChange(CMC_Variable* v) override;
  void setDefault(CMC_Variable* v) override;
  void resetINI() override;
  int getBufferLen() const override { return 12; }
  void fromString(const CXString& text) override;
  CXString toString() const override;
  int32_t asInteger() const override { return roundToInt(value_); }
  double asDouble() const override { return value_; }
  bool asBool() const override { return value_ != 0.0; }
  bool storeValue(CXArchive* archive) const override;
  bool restoreValue(CXArchive* archive) override;
  bool storeDefault(CXArchive* archive) const override;
  bool restoreDefault(CXArchive* archive) override;
  // The variable record, then the value and the default once more as exact 64-bit patterns: the
  // serializer's double keeps only three decimals, and a precompiled game must compute as its
  // definition files do.
  // The value with every bit (the record's double keeps three decimals).
  bool serializeState(CXArchive* archive) override;
  bool serialize(CXArchive* archive) override;
  CXObject* clone() const override;

 protected:
  void resetValue() override { value_ = 0.0; default_ = 0.0; }

 private:
  double value_ = 0.0;
  double default_ = 0.0;
};

class CMC_String : public CMC_Variable {
 public:
  using CMC_Variable::clone;
  using CMC_Variable::compare;
  using CMC_Variable::equals;

  explicit CMC_String(CXString name);
  CMC_String(CXString name, CXString value);
  CMC_String(CMC_ObjectsContainer* scene, CMElement* element);

  const CXString& getValue() const { return value_; }
  // The stored text for editing in place (no events fire).
  CXString& getValueRef() { return value_; }
  void setValue(const CXString& value) { value_ = value; }
  const CXString& getDefault() const { return default_; }
  void assign(const CXString& value);

  void set(CMC_Variable* v) override;
  void clear() override;
  void swap(CMC_Variable* a, CMC_Variable* b) override;
  void inc() override {}
  void dec() override {}
  bool equals(CMC_Variable* v) override;
  int compare(CMC_Variable* v) override;
  CMC_Variable* calculate(CMC_Variable* other, int op) override;
  void onNetChange(CMC_Variable* v) override;
  void setDefault(CMC_Variable* v) override;
  void resetINI() override;
  int getBufferLen() const override { return 8 + value_.length(); }
  void fromString(const CXString& text) override;
  CXString toString() const override { return value_; }
  CXString asString() const override { return value_; }
  int32_t asInteger() const override { return value_.toNumber(); }
  double asDouble() const override { return value_.toDouble(); }
  bool asBool() const override { return value_.toBool(); }
  bool storeValue(CXArchive* archive) const override;
  bool restoreValue(CXArchive* archive) override;
  bool storeDefault(CXArchive* archive) const override;
  bool restoreDefault(CXArchive* archive) override;
  CXObject* clone() const override;

 protected:
  void resetValue() override { value_.str().clear(); default_.str().clear(); }

 private:
  CXString value_;
  CXString default_;
};

class CMC_Bool : public CMC_Variable {
 public:
  using CMC_Variable::clone;
  using CMC_Variable::compare;
  using CMC_Variable::equals;

  explicit CMC_Bool(CXString name);
  CMC_Bool(CXString name, bool value);
  CMC_Bool(CMC_ObjectsContainer* scene, CMElement* element);

  bool getValue() const { return value_; }
  void setValue(bool value) { value_ = value; }
  bool getDefault() const { return default_; }
  void assign(bool value);

  void set(CMC_Variable* v) override;
  void clear() override;
  void swap(CMC_Variable* a, CMC_Variable* b) override;
  void inc() override;
  void dec() override;
  bool equals(CMC_Variable* v) override;
  int compare(CMC_Variable* v) override;
  CMC_Variable* calculate(CMC_Variable* other, int op) override;
  void onNetChange(CMC_Variable* v) override;
  void setDefault(CMC_Variable* v) override;
  void resetINI() override;
  int getBufferLen() const override { return 5; }
  void fromString(const CXString& text) override;
  CXString toString() const override { return CXString::toString(value_); }
  int32_t asInteger() const override { return value_ ? 1 : 0; }
  double asDouble() const override { return value_ ? 1.0 : 0.0; }
  bool asBool() const override { return value_; }
  bool storeValue(CXArchive* archive) const override;
  bool restoreValue(CXArchive* archive) override;
  bool storeDefault(CXArchive* archive) const override;
  bool restoreDefault(CXArchive* archive) override;
  CXObject* clone() const override;

 protected:
  void resetValue() override { value_ = false; default_ = false; }

 private:
  bool value_ = false;
  bool default_ = false;
};
