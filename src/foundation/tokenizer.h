// CStringTokenizer (splitting text at delimiter characters) and CStringArray (a list of strings).
#pragma once

#include <vector>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

// Walks the pieces of a text between delimiter characters; runs of delimiters give no empty pieces.
class CStringTokenizer : public CXObject {
 public:
  explicit CStringTokenizer(const CXString& text, const CXString& delimiters = CXString(" \t\n\r\f"));

  bool hasMoreTokens() const;
  // The next piece; "" once there is none.
  CXString nextToken();
  // The next piece up to any of new delimiters, which stay in force afterwards.
  CXString nextToken(const CXString& delimiters);
  // Pieces not yet returned.
  int countTokens() const;

 private:
  size_t skipDelimiters(size_t from) const;

  CXString text_;
  CXString delimiters_;
  size_t position_ = 0;
};

// A growable list of strings held by value.
class CStringArray : public CXObject {
 public:
  CStringArray() = default;
  // The pieces of the text between the delimiters (as CStringTokenizer gives them).
  static CStringArray split(const CXString& text, const CXString& delimiters);

  int add(const CXString& text);
  bool insertAt(int index, const CXString& text);
  bool removeAt(int index);
  void removeAll() { items_.clear(); }
  bool setAt(int index, const CXString& text);
  // The string at the index; "" when out of range.
  CXString getAt(int index) const;
  CXString operator[](int index) const { return getAt(index); }
  int find(const CXString& text) const;
  bool contains(const CXString& text) const { return find(text) >= 0; }
  int size() const { return static_cast<int>(items_.size()); }
  int getCount() const { return size(); }
  bool isEmpty() const { return items_.empty(); }
  // The strings joined with the separator between them.
  CXString join(const CXString& separator) const;

  CXObject* clone() const override { return new CStringArray(*this); }

 private:
  std::vector<CXString> items_;
};
