// Parsed definition files: properties, elements and element lists.
#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/name_index.h"
#include "foundation/small_pool.h"
#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CXArray;
struct CXPoint;
struct CXSize;
struct CXRect;

// One named string value with typed readings computed on demand.
class CMProperty : public CXObject, public tarnvik::Pooled {
 public:
  explicit CMProperty(const CXString& name, const CXString& value = CXString());

  const CXString& getName() const { return name_; }
  const CXString& getValue() const { return value_; }
  void setValue(const CXString& value) { value_ = value; }

  // Decimal as atoi reads it: optional sign and leading digits, 0 when none.
  int getIntValue() const;
  // True exactly when the value, upper-cased, equals "TRUE".
  bool getBoolValue() const;
  // As atof reads it.
  double getDoubleValue() const;
  // A new CXArray of new CXStrings (free with CXString::releaseToVector): the value split at comma,
  // blank, carriage return and line feed, empty pieces dropped.
  CXArray* getListValue() const;
  // The same pieces as a plain vector.
  std::vector<CXString> getList() const;
  CXPoint getPointValue() const;  // first two list items as x, y
  CXSize getSizeValue() const;    // first two list items as width, height
  CXRect getRectValue() const;    // first four list items as left, top, right, bottom

  // Compares this property's name with the other object's name (a property's name or a string).
  bool equals(const CXObject* other) const override;
  CXString toString() const override { return name_; }

  // The file and line the property was written on.
  const tarnvik::log::Origin& getOrigin() const { return origin_; }
  void setOrigin(const tarnvik::log::Origin& origin) { origin_ = origin; }
  // Whether the engine looked the property up (or bound it as a handler): a key nothing reads is
  // one the type does not know.
  bool isRead() const { return read_; }
  void markRead() const { read_ = true; }

 private:
  CXString name_;
  CXString value_;
  tarnvik::log::Origin origin_;
  mutable bool read_ = false;
};

// Ordered, owning list of properties; duplicates allowed, lookups see the earliest.
class CMProperties {
 public:
  CMProperties() = default;
  CMProperties(const CMProperties&) = delete;
  CMProperties& operator=(const CMProperties&) = delete;

  void add(CMProperty* property);  // takes ownership; null is ignored
  // The earliest property of that name, marked as read; a name not found is kept in askedFor.
  CMProperty* get(const CXString& name) const;
  // The names looked up that no property had (the keys a type knows but the author left out).
  std::vector<std::string> askedFor() const;
  bool contains(const CXString& name) const { return get(name) != nullptr; }
  int size() const { return static_cast<int>(items_.size()); }
  int getCount() const { return size(); }
  CMProperty* getAt(int index) const;  // null when out of range
  // Removes (and deletes) every property of that name.
  void remove(const CXString& name);
  void removeAll() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<CMProperty>, tarnvik::PoolAllocator<std::unique_ptr<CMProperty>>> items_;
  // Those names, each ended by a line feed: one small string, as every object of a large scene
  // asks for a few keys its definition leaves out.
  mutable std::basic_string<char, std::char_traits<char>, tarnvik::PoolAllocator<char>> asked_;
};

class CMElement;

// Ordered list of elements; the list a file loads into owns its members, child lists do not.
class CMElements {
 public:
  explicit CMElements(bool owning = true) : owning_(owning) {}
  ~CMElements();
  CMElements(const CMElements&) = delete;
  CMElements& operator=(const CMElements&) = delete;

  bool isOwning() const { return owning_; }
  void add(CMElement* element);  // appends; null is ignored
  CMElement* getAt(int index) const;  // null when out of range
  CMElement* get(const CXString& name) const;
  bool contains(const CXString& name) const { return get(name) != nullptr; }
  int size() const { return static_cast<int>(items_.size()); }
  int getCount() const { return size(); }
  // Takes the element out of the list; an owning list deletes it and also drops it from the
  // children of its remaining members, so no child list keeps a dangling pointer.
  void remove(CMElement* element);
  // Empties the list, deleting the members when owning.
  void removeAll();

  std::vector<CMElement*>::const_iterator begin() const { return items_.begin(); }
  std::vector<CMElement*>::const_iterator end() const { return items_.end(); }

 private:
  void forget(CMElement* element);  // drops every occurrence without deleting
  // After `element` left the list: its name now leads to the next member of that name, or nowhere.
  void reindex(const CMElement* element);
  friend class CMElement;

  bool owning_;
  std::vector<CMElement*> items_;
  static std::string_view nameOf(const CMElement* element);
  // The first member of each name, so that lookups cost the same in a file of 100 or 100,000
  // elements. Keys are the members' names, which never change while they are listed.
  CNameIndex<CMElement, &CMElements::nameOf> first_;
};

// One declared thing: a name, its properties in declaration order and non-owned children.
class CMElement : public CXObject, public tarnvik::Pooled {
 public:
  explicit CMElement(const CXString& name);

  const CXString& getName() const { return name_; }
  CMProperties& getProperties() { return properties_; }
  const CMProperties& getProperties() const { return properties_; }

  // Adds a value-less property unless one of that name exists.
  void addProperty(const CXString& name);
  // Always appends, even when a property of that name exists.
  void addProperty(const CXString& name, const CXString& value);
  // Replaces the value of the first property of that name; nothing when there is none.
  void setProperty(const CXString& name, const CXString& value);
  void removeProperty(const CXString& name);
  void removeAll();

  void addChild(CMElement* element);
  CMElements* getChildren() { return &children_; }
  const CMElements* getChildren() const { return &children_; }
  void removeChild(CMElement* element) { children_.forget(element); }

  bool isPropertyAvailable(const CXString& name) const { return properties_.contains(name); }
  bool hasProperty(const CXString& name) const { return properties_.contains(name); }
  CMProperty* getProperty(const CXString& name) const { return properties_.get(name); }

  // Readings of the first property of that name; an absent one reads as empty, 0, false, 0.0.
  CXString getPropertyValue(const CXString& name) const;
  int getPropertyIntValue(const CXString& name) const;
  bool getPropertyBoolValue(const CXString& name) const;
  double getPropertyDoubleValue(const CXString& name) const;
  CXArray* getPropertyListValue(const CXString& name) const;  // never null; caller frees
  std::vector<CXString> getPropertyList(const CXString& name) const;
  CXPoint getPropertyPointValue(const CXString& name) const;
  CXSize getPropertySizeValue(const CXString& name) const;
  CXRect getPropertyRectValue(const CXString& name) const;

  CXString toString() const override { return name_; }

  // The file and line the element was declared on; properties added later inherit it.
  const tarnvik::log::Origin& getOrigin() const { return origin_; }
  void setOrigin(const tarnvik::log::Origin& origin) { origin_ = origin; }

 private:
  CXString name_;
  tarnvik::log::Origin origin_;
  CMProperties properties_;
  CMElements children_{false};
};
