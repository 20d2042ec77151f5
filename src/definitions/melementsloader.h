// CMElementsLoader: definition files parsed into element lists, and element lists written back.
#pragma once

#include <string>

#include "definitions/melement.h"
#include "definitions/textcoder.h"
#include "definitions/textfilereader.h"
#include "foundation/xstring.h"

class CFileContext;

class CMElementsLoader {
 public:
  // Reads a definition file (plain or coded); null when it cannot be read. With the code or decode
  // option set, the coded or plain form is also written next to it (name + ".coded" / ".decoded").
  static CMElements* load(CFileContext* window, const CXString& fileName);
  // The same over an existing reader (no side files).
  static CMElements* load(CFileContext* window, CTextFileReader* reader);
  // The parser proper; null when the coder could not open its input. Elements and properties keep
  // the file (named as diagnostics name it, see sourceName) and the first physical line of their
  // logical line; the second form names the file itself (empty: no file known).
  static CMElements* load(CTextCoder* coder);
  static CMElements* load(CTextCoder* coder, const std::string& sourceName);
  // One logical line: physical lines joined while they contain '/', every '/' and tab removed.
  static CXString getLine(CTextCoder* coder);
  // The same, adding the number of plain lines it read to `consumed`.
  static CXString getLine(CTextCoder* coder, int& consumed);

  // Writes the list as a plain definition file that loads back into the same elements, properties
  // and children in the same order. False when it could not be written, or when something cannot
  // be expressed in the format (that part is written as closely as it can be).
  static bool save(CFileContext* window, const CMElements* elements, const CXString& fileName);
  // The text save writes; lossless is cleared when something could not be expressed exactly.
  static std::string toText(const CMElements* elements, bool* lossless = nullptr);

  // The command line's "code" and "decode" switches, set once by the application at start.
  static void setCodingOptions(bool code, bool decode);
  static bool isToCode();
  static bool isToDecode();
};
