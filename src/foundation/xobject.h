// CXObject: root of the engine's object family (error code, delete mark, identity compare, hashing).
#pragma once

#include <cstdint>

class CXString;

class CXObject {
 public:
  CXObject() = default;
  CXObject(const CXObject&) = default;
  CXObject& operator=(const CXObject&) = default;
  virtual ~CXObject() = default;

  void setErrorCode(int code) { errorCode_ = code; }
  int getErrorCode() const { return errorCode_; }
  void setToDelete(bool mark = true) { toDelete_ = mark; }
  bool isToDelete() const { return toDelete_; }

  virtual CXString toString() const;
  // Identity by default: 0 for the same object, otherwise -1 / 1 by address.
  virtual int compare(const CXObject* other) const;
  virtual bool equals(const CXObject* other) const { return other == this; }
  virtual int32_t hashCode() const;
  // A copy of the same dynamic type, or nullptr where copying has no meaning.
  virtual CXObject* clone() const { return nullptr; }

  // Forwards to the engine log at debug level.
  void log(const CXString& text, int flag = 0) const;
  // Profiling timer: flag true starts the named timer, false stops it and logs the time spent.
  static void profile(const char* name, bool flag);

  static uint16_t swap_word(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
  static uint32_t swap_dword(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
  }

 private:
  int errorCode_ = 0;
  bool toDelete_ = false;
};
