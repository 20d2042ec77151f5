// CTextCoder: plain lines out of plain or coded definition files, and the coded form's writers.
#pragma once

#include <memory>

#include "definitions/textfilereader.h"
#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CFileContext;

// The coded form: a header line "{<C:n>}" (or "{<D:n>}"), then physical lines of n coded logical
// lines, each followed by "<E>". Byte i of the running offset sequence adds +1, -1, +2, -2, ...
class CTextCoder : public CXObject {
 public:
  // Opens the file. A "{<D:" header writes the plain form next to it (name + ".decoded") unless
  // noAutoDecode is set.
  CTextCoder(CFileContext* window, const CXString& fileName, bool noAutoDecode);
  // Reads from an existing reader (not owned); no side files.
  CTextCoder(CFileContext* window, CTextFileReader* reader, bool noAutoDecode);
  ~CTextCoder() override;
  CTextCoder(const CTextCoder&) = delete;
  CTextCoder& operator=(const CTextCoder&) = delete;

  // Offset of the current offset index; advances the index, wrapping at the cycle.
  virtual int getOffset();
  // End of input: the reader's end for a plain file, the coded end flag for a coded one.
  virtual bool _eof();
  // The next plain line, always ending in a line feed.
  virtual CXString getLine();
  // The next coded physical line (cycle lines of the plain reader, each followed by "<E>") with a
  // line feed; just the line feed when the reader is exhausted.
  virtual CXString codeLine();
  virtual bool isCoded() { return coded_; }

  int getCycle() const { return cycle_; }
  // Sets the cycle for coding; values below 1 are refused (returns false).
  bool setCycle(int cycle);
  const CXString& getFileName() const { return fileName_; }
  CTextFileReader* getReader() { return reader_; }
  CFileContext* getWindow() const { return window_; }

  // The offset of position i of the sequence: (i + 2) / 2, negated when i is odd.
  static int offsetAt(int index);
  // Whole-file conversions; true when the target was written. A source already in the requested
  // form, or one that cannot be read or represented, writes nothing and returns false.
  static bool code(CFileContext* window, const CXString& source, const CXString& target, int cycle);
  static bool decode(CFileContext* window, const CXString& source, const CXString& target);
  // The same over bytes in memory (the coded or plain form appended to out).
  static bool codeBytes(const std::string& plain, int cycle, std::string& out);
  static bool decodeBytes(const std::string& coded, std::string& out);

  static constexpr int kDefaultCycle = 6;
  // Error code of a coded header without a usable cycle (file errors keep the reader's code).
  static constexpr int errorBadHeader = 2100;

 private:
  void init(bool noAutoDecode);
  bool decodeInto(std::string& out);
  bool codeInto(std::string& out);

  CFileContext* window_ = nullptr;
  CXString fileName_;
  CTextFileReader* reader_ = nullptr;
  std::unique_ptr<CTextFileReader> ownedReader_;
  bool coded_ = false;
  int cycle_ = 0;
  int offsetIndex_ = 0;
  bool codedEnd_ = false;
  int searchPosition_ = 0;
  int decodedLines_ = 0;
  CXString currentLine_;
  bool codeFault_ = false;  // a coded piece that would not read back
};
