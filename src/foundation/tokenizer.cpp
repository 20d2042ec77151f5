// CStringTokenizer and CStringArray.
#include "foundation/tokenizer.h"

CStringTokenizer::CStringTokenizer(const CXString& text, const CXString& delimiters)
    : text_(text), delimiters_(delimiters) {}

size_t CStringTokenizer::skipDelimiters(size_t from) const {
  const std::string& t = text_.str();
  size_t pos = t.find_first_not_of(delimiters_.str(), from);
  return pos == std::string::npos ? t.size() : pos;
}

bool CStringTokenizer::hasMoreTokens() const { return skipDelimiters(position_) < text_.str().size(); }

CXString CStringTokenizer::nextToken() {
  const std::string& t = text_.str();
  size_t begin = skipDelimiters(position_);
  if (begin >= t.size()) {
    position_ = t.size();
    return CXString();
  }
  size_t end = t.find_first_of(delimiters_.str(), begin);
  if (end == std::string::npos) end = t.size();
  position_ = end;
  return CXString(t.substr(begin, end - begin));
}

CXString CStringTokenizer::nextToken(const CXString& delimiters) {
  delimiters_ = delimiters;
  return nextToken();
}

int CStringTokenizer::countTokens() const {
  CStringTokenizer copy(*this);
  int n = 0;
  while (copy.hasMoreTokens()) {
    copy.nextToken();
    ++n;
  }
  return n;
}

CStringArray CStringArray::split(const CXString& text, const CXString& delimiters) {
  CStringArray out;
  CStringTokenizer tokens(text, delimiters);
  while (tokens.hasMoreTokens()) out.add(tokens.nextToken());
  return out;
}

int CStringArray::add(const CXString& text) {
  items_.push_back(text);
  return size() - 1;
}

bool CStringArray::insertAt(int index, const CXString& text) {
  if (index < 0 || index > size()) return false;
  items_.insert(items_.begin() + index, text);
  return true;
}

bool CStringArray::removeAt(int index) {
  if (index < 0 || index >= size()) return false;
  items_.erase(items_.begin() + index);
  return true;
}

bool CStringArray::setAt(int index, const CXString& text) {
  if (index < 0 || index >= size()) return false;
  items_[index] = text;
  return true;
}

CXString CStringArray::getAt(int index) const {
  return (index >= 0 && index < size()) ? items_[index] : CXString();
}

int CStringArray::find(const CXString& text) const {
  for (int i = 0; i < size(); ++i)
    if (items_[i].equals(text)) return i;
  return -1;
}

CXString CStringArray::join(const CXString& separator) const {
  CXString out;
  for (int i = 0; i < size(); ++i) {
    if (i) out += separator;
    out += items_[i];
  }
  return out;
}
