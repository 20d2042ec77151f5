// Writing element lists back as plain definition files that load into the same elements.
#include <string>
#include <string_view>
#include <unordered_map>

#include "definitions/deffile.h"
#include "definitions/melementsloader.h"
#include "foundation/log.h"

namespace {

// Characters no statement can carry: '/' and tabs are removed by the reader, line ends split lines.
bool hasUnwritable(std::string_view text) { return text.find_first_of("/\t\n\r") != std::string_view::npos; }

bool hasEdgeBlank(std::string_view text) { return !text.empty() && (text.front() == ' ' || text.back() == ' '); }

// A token of a NAME:KEY=VALUE line.
bool isPlainToken(std::string_view text) {
  return !text.empty() && !hasUnwritable(text) && !hasEdgeBlank(text) && text.find_first_of(":=") == std::string_view::npos;
}

// The element a name finds: the first one of that name.
using FirstByName = std::unordered_map<std::string_view, const CMElement*>;

bool isFirstOfName(const FirstByName& first, const CMElement* element) {
  auto found = first.find(element->getName().view());
  return found != first.end() && found->second == element;
}

// The element can be named at the start of a line, and that name finds this element.
bool isAddressable(const FirstByName& first, const CMElement* element) {
  std::string_view name = element->getName().view();
  if (!isPlainToken(name) || name[0] == '#' || name[0] == '!') return false;
  if (name == "DEF" || name == "OBJECT" || name == "IMPORT") return false;
  return isFirstOfName(first, element);
}

// A child can be named as the target of APPLY: a plain token that finds this element.
bool isReachable(const FirstByName& first, const CMElement* element) {
  return isPlainToken(element->getName().view()) && isFirstOfName(first, element);
}

bool fitsGenericLines(const CMElement* element) {
  const CMProperties& properties = element->getProperties();
  for (int i = 0; i < properties.size(); ++i) {
    const CMProperty* property = properties.getAt(i);
    std::string_view key = property->getName().view();
    std::string_view value = property->getValue().view();
    if (!isPlainToken(key) || key == "ADD" || key == "APPLY") return false;
    if (value.empty()) {
      // A value-less property is added only when none of that name exists yet.
      if (properties.get(property->getName()) != property) return false;
      continue;
    }
    if (hasUnwritable(value) || value.back() == ' ' || value.find_first_of(":=") != std::string_view::npos) return false;
  }
  return true;
}

bool fitsDefLine(const CMElement* element) {
  std::string_view name = element->getName().view();
  if (hasUnwritable(name) || name.find('(') != std::string_view::npos) return false;
  const CMProperties& properties = element->getProperties();
  for (int i = 0; i < properties.size(); ++i) {
    std::string_view key = properties.getAt(i)->getName().view();
    std::string_view value = properties.getAt(i)->getValue().view();
    if (hasUnwritable(key) || hasEdgeBlank(key) || key.find_first_of("=|") != std::string_view::npos) return false;
    if (hasUnwritable(value) || hasEdgeBlank(value) || value.find('|') != std::string_view::npos) return false;
  }
  return true;
}

// The closest text a DEF line can carry: unwritable characters and separators become blanks.
std::string approximate(std::string_view text, std::string_view also) {
  std::string out;
  for (char c : text) {
    bool bad = c == '/' || c == '\t' || c == '\n' || c == '\r' || also.find(c) != std::string_view::npos;
    out += bad ? ' ' : c;
  }
  size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

void writeDefLine(const CMElement* element, bool exact, std::string& out) {
  out += "DEF:";
  out += exact ? element->getName().str() : approximate(element->getName().view(), "(");
  out += '(';
  const CMProperties& properties = element->getProperties();
  for (int i = 0; i < properties.size(); ++i) {
    if (i > 0) out += '|';
    const CMProperty* property = properties.getAt(i);
    out += exact ? property->getName().str() : approximate(property->getName().view(), "=|");
    out += '=';
    out += exact ? property->getValue().str() : approximate(property->getValue().view(), "|");
  }
  out += ")\n";
}

void writeGenericLines(const CMElement* element, std::string& out) {
  const std::string& name = element->getName().str();
  out += "OBJECT=" + name + "\n";
  const CMProperties& properties = element->getProperties();
  for (int i = 0; i < properties.size(); ++i) {
    const CMProperty* property = properties.getAt(i);
    out += name + ":" + property->getName().str();
    if (!property->getValue().isEmpty()) out += "=" + property->getValue().str();
    out += '\n';
  }
}

}  // namespace

std::string CMElementsLoader::toText(const CMElements* elements, bool* lossless) {
  bool exact = true;
  std::string out;
  if (elements) {
    FirstByName first;
    for (const CMElement* element : *elements) first.emplace(element->getName().view(), element);
    for (const CMElement* element : *elements) {
      if (isAddressable(first, element) && fitsGenericLines(element)) {
        writeGenericLines(element, out);
      } else if (fitsDefLine(element)) {
        writeDefLine(element, true, out);
      } else {
        TLOG_WARN("definitions: element '" << element->getName().str() << "' cannot be written exactly");
        writeDefLine(element, false, out);
        exact = false;
      }
    }
    for (const CMElement* element : *elements) {
      for (const CMElement* child : *element->getChildren()) {
        if (isAddressable(first, element) && isReachable(first, child)) {
          out += element->getName().str() + ":APPLY=" + child->getName().str() + "\n";
        } else {
          TLOG_WARN("definitions: child '" << child->getName().str() << "' of '" << element->getName().str()
                                           << "' cannot be written");
          exact = false;
        }
      }
    }
  }
  if (lossless) *lossless = exact;
  return out;
}

bool CMElementsLoader::save(CFileContext* window, const CMElements* elements, const CXString& fileName) {
  bool exact = true;
  std::string text = toText(elements, &exact);
  return tarnvik::definitions::writeTextFile(window, fileName, text) && exact;
}
