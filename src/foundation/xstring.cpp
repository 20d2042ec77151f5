// CXString operations and conversions.
#include "foundation/xstring.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/xarray.h"

namespace {

unsigned char lowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }
unsigned char upperAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The numeric prefix the runtime library's atof accepts: blanks, sign, digits, point, digits, exponent.
// No hexadecimal, infinity or NaN forms.
std::string decimalPrefix(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  size_t begin = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { ++i; ++digits; }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { ++i; ++digits; }
  }
  if (digits == 0) return std::string();
  size_t mantissaEnd = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) { ++j; ++expDigits; }
    mantissaEnd = expDigits ? j : i;
  }
  return std::string(s.substr(begin, mantissaEnd - begin));
}

}  // namespace

int32_t xstringHash(std::string_view text) {
  uint32_t hash = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    int32_t c = static_cast<signed char>(text[i]);
    hash += (1u << (i % 16)) + static_cast<uint32_t>(i + 1) * static_cast<uint32_t>(c);
  }
  return static_cast<int32_t>(hash);
}

CXString::CXString(int value) : s_(std::to_string(value)) {}

CXString CXString::Left(int n) const {
  n = std::clamp(n, 0, length());
  return CXString(s_.substr(0, n));
}

CXString CXString::Right(int n) const {
  n = std::clamp(n, 0, length());
  return CXString(s_.substr(n));
}

CXString CXString::Mid(int a, int b) const {
  a = std::clamp(a, 0, length());
  b = std::clamp(b, 0, length());
  if (b <= a) return CXString();
  return CXString(s_.substr(a, b - a));
}

int CXString::Find(char c, int start) const {
  if (start < 0) start = 0;
  if (start >= length()) return -1;
  size_t pos = s_.find(c, start);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CXString::FindLast(char c, int start) const {
  if (start < 0) start = 0;
  for (int i = length() - 1; i >= start; --i)
    if (s_[i] == c) return i;
  return -1;
}

int CXString::FindSubString(const CXString& sub, int start) const {
  if (start < 0) start = 0;
  if (start > length()) return -1;
  size_t pos = s_.find(sub.s_, start);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CXString::findOneOf(const CXString& set, int start) const {
  if (start < 0) start = 0;
  if (start >= length() || set.isEmpty()) return -1;
  size_t pos = s_.find_first_of(set.s_, start);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CXString::getCount(char c) const { return static_cast<int>(std::count(s_.begin(), s_.end(), c)); }

bool CXString::startsWith(const CXString& prefix) const {
  return s_.size() >= prefix.s_.size() && s_.compare(0, prefix.s_.size(), prefix.s_) == 0;
}

bool CXString::endsWith(const CXString& suffix) const {
  return s_.size() >= suffix.s_.size() && s_.compare(s_.size() - suffix.s_.size(), suffix.s_.size(), suffix.s_) == 0;
}

bool CXString::equalsIgnoreCase(const CXString& other) const {
  if (s_.size() != other.s_.size()) return false;
  for (size_t i = 0; i < s_.size(); ++i)
    if (lowerAscii(static_cast<unsigned char>(s_[i])) != lowerAscii(static_cast<unsigned char>(other.s_[i]))) return false;
  return true;
}

CXString& CXString::Upper() {
  for (char& c : s_) c = static_cast<char>(upperAscii(static_cast<unsigned char>(c)));
  return *this;
}

CXString& CXString::Lower() {
  for (char& c : s_) c = static_cast<char>(lowerAscii(static_cast<unsigned char>(c)));
  return *this;
}

bool CXString::IsUpper() const {
  return std::none_of(s_.begin(), s_.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

bool CXString::IsLower() const {
  return std::none_of(s_.begin(), s_.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool CXString::IsUpper(int index) const {
  char c = GetAt(index);
  return c >= 'A' && c <= 'Z';
}

CXString& CXString::LTrim(char c) {
  size_t i = 0;
  while (i < s_.size() && s_[i] == c) ++i;
  s_.erase(0, i);
  return *this;
}

CXString& CXString::RTrim(char c) {
  while (!s_.empty() && s_.back() == c) s_.pop_back();
  return *this;
}

CXString& CXString::AllTrim(char c) { return LTrim(c).RTrim(c); }

CXString& CXString::Replace(char c1, char c2) {
  std::replace(s_.begin(), s_.end(), c1, c2);
  return *this;
}

CXString CXString::replace(const CXString& from, const CXString& to) const {
  if (from.isEmpty()) return *this;
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = s_.find(from.s_, pos);
    if (hit == std::string::npos) break;
    out.append(s_, pos, hit - pos);
    out += to.s_;
    pos = hit + from.s_.size();
  }
  out.append(s_, pos, std::string::npos);
  return CXString(std::move(out));
}

int CXString::replaceOnce(const CXString& from, const CXString& to, int start) {
  if (from.isEmpty()) return -1;
  int hit = FindSubString(from, start);
  if (hit < 0) return -1;
  s_.replace(hit, from.s_.size(), to.s_);
  return hit;
}

CXString& CXString::FillWith(char c, int n) {
  s_.assign(n > 0 ? static_cast<size_t>(n) : 0, c);
  return *this;
}

// Removes every opening "<tag>" and closing "</tag>" mark of the given tag name.
CXString& CXString::removeTag(const CXString& tag) {
  if (tag.isEmpty()) return *this;
  *this = replace("<" + tag + ">", "").replace("</" + tag + ">", "");
  return *this;
}

// The n-th (0-based) word; runs of blanks separate words, so no word is empty. Out of range: "".
CXString CXString::getWord(int n) const {
  int index = 0;
  size_t i = 0;
  while (i < s_.size()) {
    while (i < s_.size() && s_[i] == ' ') ++i;
    if (i >= s_.size()) break;
    size_t end = s_.find(' ', i);
    if (end == std::string::npos) end = s_.size();
    if (index == n) return CXString(s_.substr(i, end - i));
    ++index;
    i = end;
  }
  return CXString();
}

namespace {

struct FormatArg {
  bool isText;
  int number;
  const CXString* text;
};

// A printf subset driven only by the supplied arguments: each conversion takes the next argument;
// a conversion with no argument left prints nothing. "*" widths are not honoured, widths and
// precisions are capped, so a pattern from game data can never read memory it was not given.
std::string formatSafe(const char* pattern, const FormatArg* args, size_t count) {
  std::string out;
  if (!pattern) return out;
  size_t next = 0;
  for (const char* p = pattern; *p;) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    std::string conversion = "%";
    while (*p && std::strchr("-+ #0", *p)) conversion += *p++;
    int width = 0;
    while (*p && std::isdigit(static_cast<unsigned char>(*p))) width = std::min(width * 10 + (*p++ - '0'), 1000);
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      while (*p && std::isdigit(static_cast<unsigned char>(*p))) precision = std::min(precision * 10 + (*p++ - '0'), 1000);
    }
    while (*p && std::strchr("hlLqjzt*", *p)) ++p;  // length modifiers are irrelevant: arguments are typed
    char conv = *p;
    if (!conv) {
      out.append(start);
      break;
    }
    ++p;
    if (width) conversion += std::to_string(width);
    if (precision >= 0) {
      conversion += '.';
      conversion += std::to_string(precision);
    }
    const FormatArg* arg = next < count ? &args[next] : nullptr;
    char buffer[2100];
    switch (conv) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'c': {
        if (!arg) break;
        ++next;
        int value = arg->isText ? arg->text->toNumber() : arg->number;
        conversion += conv;
        std::snprintf(buffer, sizeof buffer, conversion.c_str(), value);
        out += buffer;
        break;
      }
      case 's': {
        if (!arg) break;
        ++next;
        std::string text = arg->isText ? arg->text->str() : std::to_string(arg->number);
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text.resize(precision);
        bool leftAlign = conversion.find('-') != std::string::npos;
        if (static_cast<size_t>(width) > text.size()) {
          std::string pad(width - text.size(), ' ');
          text = leftAlign ? text + pad : pad + text;
        }
        out += text;
        break;
      }
      default:  // unknown or unsupported conversion (floating point, %n, %p): copied as text
        out.append(start, p);
        break;
    }
  }
  return out;
}

}  // namespace

CXString& CXString::Format(const char* pattern, int a) {
  FormatArg args[] = {{false, a, nullptr}};
  s_ = formatSafe(pattern, args, 1);
  return *this;
}

CXString& CXString::Format(const char* pattern, int a, int b) {
  FormatArg args[] = {{false, a, nullptr}, {false, b, nullptr}};
  s_ = formatSafe(pattern, args, 2);
  return *this;
}

CXString& CXString::Format(const char* pattern, const CXString& a) {
  CXString copy = a;  // the pattern or argument may be this string
  FormatArg args[] = {{true, 0, &copy}};
  s_ = formatSafe(pattern, args, 1);
  return *this;
}

CXString& CXString::Format(const char* pattern, const CXString& a, int b) {
  CXString copy = a;
  FormatArg args[] = {{true, 0, &copy}, {false, b, nullptr}};
  s_ = formatSafe(pattern, args, 2);
  return *this;
}

CXString& CXString::Format(const char* pattern, const CXString& a, int b, const CXString& c) {
  CXString copyA = a, copyC = c;
  FormatArg args[] = {{true, 0, &copyA}, {false, b, nullptr}, {true, 0, &copyC}};
  s_ = formatSafe(pattern, args, 3);
  return *this;
}

CXString& CXString::Format(const char* pattern, const CXString& a, int b, int c) {
  CXString copy = a;
  FormatArg args[] = {{true, 0, &copy}, {false, b, nullptr}, {false, c, nullptr}};
  s_ = formatSafe(pattern, args, 3);
  return *this;
}

bool CXString::FilterFits(const CXString& pattern) const {
  const std::string& pat = pattern.s_;
  if (pat == "*" || pat == "*.*") return true;
  // Iterative wildcard match with backtracking to the last "*".
  size_t si = 0, pi = 0, starP = std::string::npos, starS = 0;
  while (si < s_.size()) {
    if (pi < pat.size() && (pat[pi] == '?' || pat[pi] == s_[si])) {
      ++si;
      ++pi;
    } else if (pi < pat.size() && pat[pi] == '*') {
      if (pi + 1 == pat.size()) return true;
      starP = pi++;
      starS = si;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < pat.size() && pat[pi] == '*') ++pi;
  return pi == pat.size();
}

int CXString::toNumber(const CXString& s) {
  long v = toLong(s);
  return static_cast<int>(v);
}

// atol: leading blanks and sign, then digits; saturates at the 32-bit limits on overflow.
long CXString::toLong(const CXString& s) {
  const std::string& t = s.s_;
  size_t i = 0;
  while (i < t.size() && isBlank(t[i])) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  int64_t value = 0;
  bool overflow = false;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
    value = value * 10 + (t[i++] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) overflow = true, value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  (void)overflow;
  return static_cast<long>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool CXString::isNumber(const CXString& s) { return toNumber(s) != 0; }

double CXString::toDouble(const CXString& s) {
  std::string prefix = decimalPrefix(s.s_);
  if (prefix.empty()) return 0.0;
  double v = std::strtod(prefix.c_str(), nullptr);
  return v;
}

bool CXString::toBool(const CXString& s) { return s.equalsIgnoreCase(CXString("true")); }

CXString CXString::toString(bool value) { return CXString(value ? "TRUE" : "FALSE"); }

CXString CXString::toString(int value) { return CXString(std::to_string(value)); }

std::string xfcvt(double value, int digits, int* decimalPosition, bool* negative) {
  *negative = std::signbit(value);
  double magnitude = std::fabs(value);
  if (!std::isfinite(magnitude)) {
    *decimalPosition = 0;
    return std::string();
  }
  if (digits < 0) digits = 0;
  if (digits > 340) digits = 340;
  // Correctly rounded fixed-point text of the magnitude, then split into digits and point position.
  int needed = std::snprintf(nullptr, 0, "%.*f", digits, magnitude);
  if (needed <= 0) {
    *decimalPosition = 0;
    return std::string();
  }
  std::vector<char> buffer(static_cast<size_t>(needed) + 1);
  std::snprintf(buffer.data(), buffer.size(), "%.*f", digits, magnitude);
  std::string fixed(buffer.data(), static_cast<size_t>(needed));
  size_t point = fixed.find('.');
  std::string intPart = point == std::string::npos ? fixed : fixed.substr(0, point);
  std::string fracPart = point == std::string::npos ? std::string() : fixed.substr(point + 1);
  std::string all = intPart + fracPart;
  int position = static_cast<int>(intPart.size());
  // Drop leading zeros; each one moves the decimal position left.
  size_t lead = 0;
  while (lead < all.size() && all[lead] == '0') ++lead;
  if (lead == all.size()) {
    // The value rounds to zero at this many decimals: no digits, the position is -digits.
    *decimalPosition = -digits;
    return std::string();
  }
  *decimalPosition = position - static_cast<int>(lead);
  return all.substr(lead);
}

CXString CXString::toString(double value) {
  // Infinities and NaN (from overflowing arithmetic) have no digits; they print as zero.
  if (value == 0.0 || !std::isfinite(value)) return CXString("0");
  int position = 0;
  bool negative = false;
  std::string digits = xfcvt(value, 5, &position, &negative);
  std::string out = negative ? "-" : "";
  if (position <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-position), '0');
    out += digits;
  } else {
    out += digits.substr(0, position);
    out += '.';
    out += digits.substr(position);
  }
  return CXString(std::move(out));
}

int CXString::compare(const CXObject* other) const {
  auto* text = dynamic_cast<const CXString*>(other);
  if (!text) return CXObject::compare(other);
  int c = s_.compare(text->s_);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool CXString::equals(const CXObject* other) const {
  auto* text = dynamic_cast<const CXString*>(other);
  return text && text->s_ == s_;
}

int32_t CXString::hashCode() const { return xstringHash(s_); }

namespace {

// Splits at commas, keeping empty fields, so "1,,3" gives three fields.
std::vector<std::string> commaFields(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return fields;
}

}  // namespace

CXPoint CXString::toPoint(const CXString& s) {
  std::vector<std::string> f = commaFields(s.s_);
  CXPoint p;
  p.x = toNumber(CXString(f[0]));
  if (f.size() > 1) p.y = toNumber(CXString(f[1]));
  return p;
}

CXRect CXString::toRect(const CXString& s) {
  std::vector<std::string> f = commaFields(s.s_);
  int32_t v[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < 4 && i < f.size(); ++i) v[i] = toNumber(CXString(f[i]));
  return CXRect(v[0], v[1], v[2], v[3]);
}

CXArray* CXString::toVector(const CXString& s, const CXString& delimiters) {
  auto* array = new CXArray(101, 0.75f);
  const std::string& t = s.s_;
  size_t i = 0;
  while (i < t.size()) {
    size_t begin = t.find_first_not_of(delimiters.s_, i);
    if (begin == std::string::npos) break;
    size_t end = t.find_first_of(delimiters.s_, begin);
    if (end == std::string::npos) end = t.size();
    array->add(new CXString(t.substr(begin, end - begin)));
    i = end;
  }
  return array;
}

void CXString::releaseToVector(CXArray* array) {
  if (!array) return;
  for (void* item : *array) delete static_cast<CXString*>(item);
  delete array;
}
