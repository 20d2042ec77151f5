// Typed list and geometry readings of properties and elements.
#include "definitions/melement.h"
#include "foundation/geometry.h"
#include "foundation/xarray.h"

namespace {
int itemAt(const std::vector<CXString>& items, size_t index) {
  return index < items.size() ? items[index].toNumber() : 0;
}
}  // namespace

CXArray* CMProperty::getListValue() const { return CXString::toVector(value_); }

CXPoint CMProperty::getPointValue() const {
  std::vector<CXString> items = getList();
  return CXPoint(itemAt(items, 0), itemAt(items, 1));
}

CXSize CMProperty::getSizeValue() const {
  std::vector<CXString> items = getList();
  return CXSize(itemAt(items, 0), itemAt(items, 1));
}

CXRect CMProperty::getRectValue() const {
  std::vector<CXString> items = getList();
  return CXRect(itemAt(items, 0), itemAt(items, 1), itemAt(items, 2), itemAt(items, 3));
}

CXArray* CMElement::getPropertyListValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getListValue() : new CXArray(101, 0.75f);
}

CXPoint CMElement::getPropertyPointValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getPointValue() : CXPoint();
}

CXSize CMElement::getPropertySizeValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getSizeValue() : CXSize();
}

CXRect CMElement::getPropertyRectValue(const CXString& name) const {
  const CMProperty* property = properties_.get(name);
  return property ? property->getRectValue() : CXRect();
}
