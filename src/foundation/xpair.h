// CXPair and CXTriple: two or three object pointers kept together (not owned).
#pragma once

#include <memory>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CXPair : public CXObject {
 public:
  CXPair(CXObject* a = nullptr, CXObject* b = nullptr) : first(a), second(b) {}  // NOLINT
  // The first member is the pair's own copy of the text.
  CXPair(const CXString& text, CXObject* b) : first(nullptr), second(b), text_(std::make_unique<CXString>(text)) {
    first = text_.get();
  }
  CXPair(const CXPair& other) : CXObject(other), first(other.first), second(other.second) {
    if (other.text_) {
      text_ = std::make_unique<CXString>(*other.text_);
      if (other.first == other.text_.get()) first = text_.get();
    }
  }
  CXPair& operator=(const CXPair& other) {
    if (this != &other) {
      CXPair copy(other);
      std::swap(first, copy.first);
      std::swap(second, copy.second);
      std::swap(text_, copy.text_);
      CXObject::operator=(other);
    }
    return *this;
  }

  // The text the pair was built from; "" for a pair of two pointers.
  CXString getString() const { return text_ ? *text_ : CXString(); }
  CXObject* getFirst() const { return first; }
  CXObject* getSecond() const { return second; }
  CXObject* clone() const override { return new CXPair(*this); }

  CXObject* first;
  CXObject* second;

 private:
  std::unique_ptr<CXString> text_;
};

class CXTriple : public CXObject {
 public:
  CXTriple(CXObject* a = nullptr, CXObject* b = nullptr, CXObject* c = nullptr)  // NOLINT
      : first(a), second(b), third(c) {}

  CXObject* getFirst() const { return first; }
  CXObject* getSecond() const { return second; }
  CXObject* getThird() const { return third; }
  CXObject* clone() const override { return new CXTriple(*this); }

  CXObject* first;
  CXObject* second;
  CXObject* third;
};
