// CXVersion parsing, comparison and the engine's current version.
#include "foundation/xversion.h"

#include <vector>

#ifndef TARNVIK_VERSION_STRING
#define TARNVIK_VERSION_STRING "0.0.0"
#endif

CXVersion::CXVersion(const CXString& text) : type_(0), major_(0), minor_(0), build_(0) {
  std::vector<int> parts;
  const std::string& t = text.str();
  size_t start = 0;
  while (parts.size() < 4) {
    size_t dot = t.find('.', start);
    parts.push_back(CXString::toNumber(CXString(t.substr(start, dot == std::string::npos ? std::string::npos : dot - start))));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (parts.size() == 4) {
    type_ = parts[0];
    parts.erase(parts.begin());
  }
  major_ = parts.size() > 0 ? parts[0] : 0;
  minor_ = parts.size() > 1 ? parts[1] : 0;
  build_ = parts.size() > 2 ? parts[2] : 0;
}

CXString CXVersion::toString() const {
  std::string s = std::to_string(major_) + "." + std::to_string(minor_) + "." + std::to_string(build_);
  if (type_ != 0) s = std::to_string(type_) + "." + s;
  return CXString(std::move(s));
}

int CXVersion::compare(const CXObject* other) const {
  auto* v = dynamic_cast<const CXVersion*>(other);
  if (!v) return CXObject::compare(other);
  const int mine[] = {type_, major_, minor_, build_};
  const int theirs[] = {v->type_, v->major_, v->minor_, v->build_};
  for (int i = 0; i < 4; ++i)
    if (mine[i] != theirs[i]) return mine[i] < theirs[i] ? -1 : 1;
  return 0;
}

bool CXVersion::equals(const CXObject* other) const {
  return dynamic_cast<const CXVersion*>(other) && compare(other) == 0;
}

bool CXVersion::verify(const CXVersion* required) const { return !required || compare(required) >= 0; }

const CXVersion* CXVersion::getCurrentVersion() {
  static const CXVersion current{CXString(TARNVIK_VERSION_STRING)};
  return &current;
}
