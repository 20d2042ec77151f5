// Parsed definition files: properties, elements and element lists.
#include "definitions/melement.h"

#include <algorithm>

CMProperty::CMProperty(const CXString& name, const CXString& value) : name_(name), value_(value) {}

int CMProperty::getIntValue() const { return value_.toNumber(); }

bool CMProperty::getBoolValue() const { return value_.equalsIgnoreCase(CXString("TRUE")); }

double CMProperty::getDoubleValue() const { return value_.toDouble(); }

std::vector<CXString> CMProperty::getList() const {
  std::vector<CXString> items;
  const std::string& text = value_.str();
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    bool separator = i == text.size() || text[i] == ',' || text[i] == ' ' || text[i] == '\r' || text[i] == '\n';
    if (!separator) continue;
    if (i > start) items.emplace_back(text.substr(start, i - start));
    start = i + 1;
  }
  return items;
}

bool CMProperty::equals(const CXObject* other) const {
  if (!other) return false;
  if (auto property = dynamic_cast<const CMProperty*>(other)) return property->name_ == name_;
  if (auto text = dynamic_cast<const CXString*>(other)) return *text == name_;
  if (auto element = dynamic_cast<const CMElement*>(other)) return element->getName() == name_;
  return false;
}

void CMProperties::add(CMProperty* property) {
  if (!property) return;
  if (items_.empty()) items_.reserve(4);  // most elements hold a few keys: one allocation, not three
  items_.emplace_back(property);
}

namespace {

// Calls `visit` with each name of a text of names that each end in a line feed, until it says stop.
template <typename Visit>
bool anyName(std::string_view names, Visit visit) {
  for (size_t at = 0; at < names.size();) {
    const size_t end = names.find('\n', at);
    if (visit(names.substr(at, end - at))) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

CMProperty* CMProperties::get(const CXString& name) const {
  for (const auto& item : items_)
    if (item->getName() == name) {
      item->markRead();
      return item.get();
    }
  const std::string_view view = name.view();
  if (asked_.size() < 1024 && !view.empty() && view.find('\n') == std::string_view::npos &&
      !anyName(asked_, [view](std::string_view asked) { return asked == view; })) {
    if (asked_.empty()) asked_.reserve(48);  // mostly a few short keys: one allocation
    asked_ += view;
    asked_ += '\n';
  }
  return nullptr;
}

std::vector<std::string> CMProperties::askedFor() const {
  std::vector<std::string> names;
  anyName(asked_, [&names](std::string_view asked) {
    names.emplace_back(asked);
    return false;
  });
  return names;
}

CMProperty* CMProperties::getAt(int index) const {
  if (index < 0 || index >= size()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

void CMProperties::remove(const CXString& name) {
  std::erase_if(items_, [&](const std::unique_ptr<CMProperty>& item) { return item->getName() == name; });
}

CMElements::~CMElements() { removeAll(); }

std::string_view CMElements::nameOf(const CMElement* element) { return element->getName().view(); }

void CMElements::add(CMElement* element) {
  if (!element) return;
  items_.push_back(element);
  first_.insert(element);
}

CMElement* CMElements::getAt(int index) const {
  if (index < 0 || index >= size()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

CMElement* CMElements::get(const CXString& name) const {
  return first_.find(name.view());
}

void CMElements::forget(CMElement* element) {
  if (std::erase(items_, element) > 0) reindex(element);
}

void CMElements::reindex(const CMElement* element) {
  if (first_.find(element->getName().view()) != element) return;
  first_.erase(element->getName().view());
  for (CMElement* item : items_)
    if (item->getName() == element->getName()) {
      first_.insert(item);
      return;
    }
}

void CMElements::remove(CMElement* element) {
  if (!element || std::find(items_.begin(), items_.end(), element) == items_.end()) return;
  forget(element);
  if (!owning_) return;
  for (CMElement* item : items_) item->removeChild(element);
  delete element;
}

void CMElements::removeAll() {
  std::vector<CMElement*> items;
  items.swap(items_);
  first_.clear();
  if (!owning_) return;
  for (CMElement* item : items) delete item;
}

CMElement::CMElement(const CXString& name) : name_(name) {}

void CMElement::addProperty(const CXString& name) {
  if (properties_.contains(name)) return;
  auto* property = new CMProperty(name);
  property->setOrigin(origin_);
  properties_.add(property);
}

void CMElement::addProperty(const CXString& name, const CXString& value) {
  auto* property = new CMProperty(name, value);
  property->setOrigin(origin_);
  properties_.add(property);
}

void CMElement::setProperty(const CXString& name, const CXString& value) {
  if (CMProperty* property = properties_.get(name)) property->setValue(value);
}

void CMElement::removeProperty(const CXString& name) { properties_.remove(name); }

void CMElement::removeAll() { properties_.removeAll(); }

void CMElement::addChild(CMElement* element) { children_.add(element); }

CXString CMElement::getPropertyValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getValue() : CXString();
}

int CMElement::getPropertyIntValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getIntValue() : 0;
}

bool CMElement::getPropertyBoolValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property && property->getBoolValue();
}

double CMElement::getPropertyDoubleValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getDoubleValue() : 0.0;
}

std::vector<CXString> CMElement::getPropertyList(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getList() : std::vector<CXString>();
}
