// CMElementsLoader: definition files parsed into element lists, and element lists written back.
#include "definitions/melementsloader.h"

#include <atomic>
#include <memory>
#include <string_view>
#include <vector>

#include "definitions/deffile.h"
#include "foundation/log.h"

namespace {

std::atomic<bool> gCode{false};
std::atomic<bool> gDecode{false};

bool isSeparator(char c) { return c == ':' || c == '=' || c == '\n'; }

// Tokens at ':', '=' and line feed; runs of separators give no empty tokens.
std::vector<CXString> tokenize(std::string_view line) {
  std::vector<CXString> tokens;
  tokens.reserve(4);  // a statement is mostly NAME:KEY=VALUE
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && !isSeparator(line[i])) continue;
    if (i > start) tokens.emplace_back(line.substr(start, i - start));
    start = i + 1;
  }
  return tokens;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// DEF, one separator, a name up to the first '(', a body up to the last ')', pieces split at '|'.
void parseDef(const std::string& line, CMElements* list, const tarnvik::log::Origin& where) {
  size_t keyword = line.find("DEF");
  size_t nameStart = keyword + 4;
  size_t open = nameStart <= line.size() ? line.find('(', nameStart) : std::string::npos;
  size_t close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) {
    TLOG_DEBUG("definitions: DEF line without (...) ignored: " << line);
    return;
  }
  auto element = std::make_unique<CMElement>(CXString(line.substr(nameStart, open - nameStart)));
  element->setOrigin(where);
  std::string_view body(line.data() + open + 1, close - open - 1);
  size_t start = 0;
  while (start <= body.size()) {
    size_t bar = body.find('|', start);
    if (bar == std::string_view::npos) bar = body.size();
    std::string_view piece = body.substr(start, bar - start);
    size_t equals = piece.find('=');
    if (equals != std::string_view::npos) {
      element->addProperty(CXString(trimBlanks(piece.substr(0, equals))), CXString(trimBlanks(piece.substr(equals + 1))));
    } else if (!trimBlanks(piece).empty()) {
      TLOG_DEBUG("definitions: DEF piece without '=' ignored: " << piece);
    }
    start = bar + 1;
  }
  list->add(element.release());
}

// A statement from token `index` on; OBJECT, IMPORT, ADD and APPLY go on with the tokens left.
void parseStatement(const std::vector<CXString>& tokens, size_t index, CMElements* list,
                    const tarnvik::log::Origin& where, CMElement*& last) {
  const size_t count = tokens.size();
  while (index < count) {
    const CXString& first = tokens[index];
    if (first == "OBJECT" || first == "IMPORT") {
      if (index + 1 >= count) return;
      const CXString& name = tokens[index + 1];
      if (list->contains(name)) {
        if (first == "OBJECT") return;
      } else {
        auto* element = new CMElement(name);
        element->setOrigin(where);
        if (first == "IMPORT") element->addProperty("TYPE", "SEQUENCE");
        list->add(element);
        last = element;
      }
      index += 2;
      continue;
    }
    if (first == "DEF") return;  // DEF declares only as a whole line
    // The lines of an object mostly follow one another: the element of the line before is asked
    // first (it is the first of its name, which is what the list's lookup gives).
    CMElement* element = last && last->getName() == first ? last : list->get(first);
    if (!element || index + 1 >= count) return;
    last = element;
    const CXString& key = tokens[index + 1];
    if (key == "ADD" || key == "APPLY") {
      if (index + 2 >= count) return;
      CMElement* other = list->get(tokens[index + 2]);
      if (!other) return;
      if (key == "ADD")
        other->addChild(element);
      else
        element->addChild(other);
      index += 3;
      continue;
    }
    if (index + 2 >= count) {
      bool fresh = !element->hasProperty(key);
      element->addProperty(key);
      if (fresh) element->getProperty(key)->setOrigin(where);
      return;
    }
    std::string value = tokens[index + 2].str();
    for (size_t i = index + 3; i < count; ++i) {
      value += ' ';
      value += tokens[i].str();
    }
    element->addProperty(key, CXString(std::move(value)));
    CMProperties& properties = element->getProperties();
    properties.getAt(properties.size() - 1)->setOrigin(where);
    return;
  }
}

}  // namespace

void CMElementsLoader::setCodingOptions(bool code, bool decode) {
  gCode = code;
  gDecode = decode;
}

bool CMElementsLoader::isToCode() { return gCode; }
bool CMElementsLoader::isToDecode() { return gDecode; }

CMElements* CMElementsLoader::load(CFileContext* window, const CXString& fileName) {
  CTextCoder coder(window, fileName, false);
  if (coder.getErrorCode() != 0) {
    TLOG_DEBUG("definitions: cannot read '" << fileName.str() << "'");
    return nullptr;
  }
  if (isToCode()) CTextCoder::code(window, fileName, fileName + ".coded", CTextCoder::kDefaultCycle);
  if (isToDecode()) CTextCoder::decode(window, fileName, fileName + ".decoded");
  return load(&coder);
}

CMElements* CMElementsLoader::load(CFileContext* window, CTextFileReader* reader) {
  if (!reader) return nullptr;
  CTextCoder coder(window, reader, true);
  return load(&coder);
}

CXString CMElementsLoader::getLine(CTextCoder* coder) {
  int consumed = 0;
  return getLine(coder, consumed);
}

CXString CMElementsLoader::getLine(CTextCoder* coder, int& consumed) {
  std::string result;
  while (true) {
    CXString raw = coder->getLine();
    ++consumed;
    // Every line from the coder ends in the line feed it added; joined lines meet without it.
    std::string_view piece = raw.view();
    if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);
    const bool first = result.empty();
    result.reserve(result.size() + piece.size());
    bool slash = false;
    for (char c : piece) {
      if (c == '\t') continue;
      if (c == '/') slash = true;
      if (first && c == ' ' && result.empty()) continue;  // leading blanks of the statement
      result += c;
    }
    while (!result.empty() && result.back() == ' ') result.pop_back();
    if (!slash || coder->_eof()) break;
  }
  std::erase(result, '/');
  return CXString(std::move(result));
}

CMElements* CMElementsLoader::load(CTextCoder* coder) {
  if (!coder) return nullptr;
  CXString fileName = coder->getFileName();
  if (fileName.isEmpty() && coder->getReader()) fileName = coder->getReader()->getFileName();
  return load(coder, fileName.isEmpty() ? std::string() : tarnvik::definitions::sourceName(coder->getWindow(), fileName));
}

CMElements* CMElementsLoader::load(CTextCoder* coder, const std::string& name) {
  if (!coder || coder->getErrorCode() != 0) return nullptr;
  auto list = std::make_unique<CMElements>(true);
  std::shared_ptr<const std::string> file;
  if (!name.empty()) file = std::make_shared<const std::string>(name);
  int consumed = 0;
  CMElement* last = nullptr;
  while (!coder->_eof()) {
    tarnvik::log::Origin where{file, consumed + 1};
    CXString line = getLine(coder, consumed);
    if (line.isEmpty()) continue;
    if (line.GetAt(0) == '!') break;
    if (line.GetAt(0) == '#') continue;
    std::vector<CXString> tokens = tokenize(line.view());
    if (tokens.empty()) continue;
    if (tokens[0] == "DEF")
      parseDef(line.str(), list.get(), where);
    else
      parseStatement(tokens, 0, list.get(), where, last);
  }
  return list.release();
}
