// CXString: the engine's byte string with the script-visible text conversions.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/xobject.h"

class CXArray;
struct CXPoint;
struct CXRect;

class CXString : public CXObject {
 public:
  CXString() = default;
  CXString(const char* text) : s_(text ? text : "") {}  // NOLINT: implicit like the original
  // At most `length` characters, stopping early at a NUL so a short buffer is never read past its end.
  CXString(const char* text, int length)
      : s_(text && length > 0 ? std::string(text, ::strnlen(text, static_cast<size_t>(length))) : std::string()) {}
  CXString(std::string text) : s_(std::move(text)) {}    // NOLINT
  CXString(std::string_view text) : s_(text) {}          // NOLINT
  explicit CXString(int value);
  CXString(const CXString&) = default;
  CXString(CXString&&) noexcept = default;
  CXString& operator=(const CXString&) = default;
  CXString& operator=(CXString&&) noexcept = default;
  CXString& operator=(const char* text) { s_ = text ? text : ""; return *this; }
  ~CXString() override = default;

  // Access.
  int length() const { return static_cast<int>(s_.size()); }
  int GetLength() const { return length(); }
  bool isEmpty() const { return s_.empty(); }
  const char* c_str() const { return s_.c_str(); }
  operator const char*() const { return s_.c_str(); }  // NOLINT
  const std::string& str() const { return s_; }
  std::string& str() { return s_; }
  std::string_view view() const { return s_; }
  char GetAt(int i) const { return (i >= 0 && i < length()) ? s_[i] : '\0'; }
  char lastChar() const { return s_.empty() ? '\0' : s_.back(); }
  bool IsString() const { return true; }

  // Substrings. Right(n) is the text from index n on; Mid(a, b) runs from index a up to end index b.
  CXString Left(int n) const;
  CXString Right(int n) const;
  CXString Mid(int a, int b) const;
  void left(int n) { *this = Left(n); }
  void right(int n) { *this = Right(n); }
  void mid(int a, int b) { *this = Mid(a, b); }
  void left(int n, CXString& into) const { into = Left(n); }
  void right(int n, CXString& into) const { into = Right(n); }
  void mid(int a, int b, CXString& into) const { into = Mid(a, b); }

  // Search: indexes or -1.
  int Find(char c, int start = 0) const;
  int FindLast(char c, int start = 0) const;
  int FindSubString(const CXString& sub, int start = 0) const;
  int indexOf(const CXString& sub, int start = 0) const { return FindSubString(sub, start); }
  int findOneOf(const CXString& set, int start = 0) const;
  int getCount(char c) const;
  bool startsWith(const CXString& prefix) const;
  bool endsWith(const CXString& suffix) const;
  bool equals(const CXString& other) const { return s_ == other.s_; }
  bool equals(const char* other) const { return other && s_ == other; }
  bool equalsIgnoreCase(const CXString& other) const;

  // Editing.
  CXString& Upper();
  CXString& Lower();
  bool IsUpper() const;
  bool IsLower() const;
  bool IsUpper(int index) const;
  CXString& LTrim(char c = ' ');
  CXString& RTrim(char c = ' ');
  CXString& AllTrim(char c = ' ');
  CXString& Replace(char c1, char c2);
  CXString replace(const CXString& from, const CXString& to) const;
  // Replaces the first occurrence at or after start in place; returns its index or -1.
  int replaceOnce(const CXString& from, const CXString& to, int start = 0);
  CXString& FillWith(char c, int n);
  CXString& removeTag(const CXString& tag);
  CXString getWord(int n) const;

  // Safe sprintf-style formatting: only the given arguments are ever read (see xstring.cpp).
  CXString& Format(const char* pattern, int a);
  CXString& Format(const char* pattern, int a, int b);
  CXString& Format(const char* pattern, const CXString& a);
  CXString& Format(const char* pattern, const CXString& a, int b);
  CXString& Format(const char* pattern, const CXString& a, int b, const CXString& c);
  CXString& Format(const char* pattern, const CXString& a, int b, int c);

  // File-name wildcard test ("?" one character, "*" any tail), case-sensitive.
  bool FilterFits(const CXString& pattern) const;

  // Conversions (instance and static forms agree).
  int toNumber() const { return toNumber(*this); }
  long toLong() const { return toLong(*this); }
  bool isNumber() const { return isNumber(*this); }
  double toDouble() const { return toDouble(*this); }
  bool toBool() const { return toBool(*this); }
  static int toNumber(const CXString& s);
  static long toLong(const CXString& s);
  static bool isNumber(const CXString& s);
  static double toDouble(const CXString& s);
  static bool toBool(const CXString& s);
  static CXString toString(bool value);
  static CXString toString(int value);
  static CXString toString(double value);
  CXString toString() const override { return *this; }
  // toPoint reads "x,y", toRect "left,top,right,bottom" (missing fields are 0).
  static CXPoint toPoint(const CXString& s);
  static CXRect toRect(const CXString& s);
  // toVector splits at any of the delimiters into a new CXArray of new CXStrings, skipping empty
  // pieces; free it with releaseToVector.
  static CXArray* toVector(const CXString& s, const CXString& delimiters = CXString(", \n\r"));
  static void releaseToVector(CXArray* array);

  // CXObject.
  int compare(const CXObject* other) const override;
  bool equals(const CXObject* other) const override;
  int32_t hashCode() const override;
  CXObject* clone() const override { return new CXString(*this); }

  CXString& operator+=(const CXString& other) { s_ += other.s_; return *this; }
  CXString& operator+=(const char* other) { if (other) s_ += other; return *this; }
  CXString& operator+=(char c) { s_ += c; return *this; }
  friend CXString operator+(const CXString& a, const CXString& b) { return CXString(a.s_ + b.s_); }
  friend CXString operator+(const CXString& a, const char* b) { return CXString(a.s_ + (b ? b : "")); }
  friend CXString operator+(const char* a, const CXString& b) { return CXString((a ? a : "") + b.s_); }
  friend bool operator==(const CXString& a, const CXString& b) { return a.s_ == b.s_; }
  friend bool operator==(const CXString& a, const char* b) { return b && a.s_ == b; }
  friend bool operator<(const CXString& a, const CXString& b) { return a.s_ < b.s_; }

 private:
  std::string s_;
};

// The runtime library's _fcvt: the magnitude rounded to `digits` decimals as a digit string with no
// leading zeros, the decimal position and the sign. Used by CXString::toString(double).
std::string xfcvt(double value, int digits, int* decimalPosition, bool* negative);

// The string hash used by CStringHashCode and CXString::hashCode: each byte taken as signed 8-bit,
// hash = sum over i of ((1 << (i mod 16)) + (i + 1) * c[i]) with 32-bit wrap-around.
int32_t xstringHash(std::string_view text);
