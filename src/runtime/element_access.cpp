// CMC_Object's readers of definition elements: one place that knows the element classes.
#include "definitions/melement.h"
#include "runtime/object.h"

CXString CMC_Object::elementName(CMElement* element) { return element ? element->getName() : CXString(); }

CXString CMC_Object::elementValue(CMElement* element, const char* key) {
  return element ? element->getPropertyValue(CXString(key)) : CXString();
}

int CMC_Object::elementInt(CMElement* element, const char* key) {
  return element ? element->getPropertyIntValue(CXString(key)) : 0;
}

bool CMC_Object::elementBool(CMElement* element, const char* key) {
  return element ? element->getPropertyBoolValue(CXString(key)) : false;
}

double CMC_Object::elementDouble(CMElement* element, const char* key) {
  return element ? element->getPropertyDoubleValue(CXString(key)) : 0.0;
}

bool CMC_Object::elementHas(CMElement* element, const char* key) {
  return element ? element->hasProperty(CXString(key)) : false;
}

void CMC_Object::forEachProperty(CMElement* element,
                                 const std::function<void(const CXString&, const CXString&)>& visit) {
  if (!element) return;
  const CMProperties& props = element->getProperties();
  for (int i = 0; i < props.size(); ++i) {
    const CMProperty* p = props.getAt(i);
    if (p) visit(p->getName(), p->getValue());
  }
}
