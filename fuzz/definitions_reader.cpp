// Fuzz target: arbitrary bytes through the definition coder, loader and writer.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "definitions/melementsloader.h"
#include "definitions/textcoder.h"
#include "definitions/textfilereader.h"
#include "foundation/geometry.h"
#include "foundation/xarray.h"

namespace {

std::string describe(const CMElements* list) {
  std::string out;
  for (const CMElement* element : *list) {
    out += element->getName().str() + "\x01";
    const CMProperties& properties = element->getProperties();
    for (int i = 0; i < properties.size(); ++i)
      out += properties.getAt(i)->getName().str() + "\x02" + properties.getAt(i)->getValue().str() + "\x03";
    for (const CMElement* child : *element->getChildren()) out += child->getName().str() + "\x04";
    out += "\x05";
  }
  return out;
}

CMElements* parse(const std::string& text) {
  CTextFileReader reader(text);
  return CMElementsLoader::load(nullptr, &reader);
}

void readEverything(const CMElements* list) {
  for (const CMElement* element : *list) {
    const CMProperties& properties = element->getProperties();
    for (int i = 0; i < properties.size(); ++i) {
      const CXString& name = properties.getAt(i)->getName();
      (void)element->getPropertyIntValue(name);
      (void)element->getPropertyDoubleValue(name);
      (void)element->getPropertyBoolValue(name);
      (void)element->getPropertyRectValue(name);
      CXString::releaseToVector(element->getPropertyListValue(name));
    }
  }
}

// What coding keeps of a plain text: every physical line trimmed of blanks, without tabs.
std::string normalised(const std::string& plain) {
  std::string out;
  CTextFileReader reader(plain);
  while (!reader.eof()) {
    CXString line = reader.getLine();
    line.AllTrim(' ');
    for (char c : line.str())
      if (c != '\t') out += c;
    out += '\n';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  CTextFileReader reader(bytes.data(), static_cast<int>(bytes.size()));
  CTextCoder coder(nullptr, &reader, true);
  std::unique_ptr<CMElements> list(CMElementsLoader::load(&coder));
  if (list) {
    readEverything(list.get());
    bool lossless = false;
    std::string saved = CMElementsLoader::toText(list.get(), &lossless);
    std::unique_ptr<CMElements> again(parse(saved));
    if (!again) std::abort();
    if (lossless && describe(again.get()) != describe(list.get())) std::abort();
  }

  std::string plain;
  CTextCoder::decodeBytes(bytes, plain);

  std::string coded;
  int cycle = 1 + static_cast<int>(size % 9);
  if (CTextCoder::codeBytes(bytes, cycle, coded)) {
    std::string back;
    if (!CTextCoder::decodeBytes(coded, back)) std::abort();
    if (back != normalised(bytes)) std::abort();
    // The decoded text reads as the same definitions, unless trimming turned its first line into a
    // coded header or a carriage return would be folded when the text is read again. A plain text
    // whose first line is a coded header is refused when read (its cycle is not usable, or it would
    // be decoded again), so only the coded form must always read.
    bool header = back.starts_with("{<C:") || back.starts_with("{<D:");
    bool comparable = !header && back.find('\r') == std::string::npos;
    std::unique_ptr<CMElements> fromCoded(parse(coded));
    std::unique_ptr<CMElements> fromPlain(parse(back));
    if (!fromCoded || (!header && !fromPlain)) std::abort();
    if (comparable && describe(fromCoded.get()) != describe(fromPlain.get())) std::abort();
  }
  return 0;
}
