// CTextCoder: plain lines out of plain or coded definition files, and the coded form's writers.
#include "definitions/textcoder.h"

#include <string>

#include "definitions/deffile.h"
#include "foundation/log.h"

namespace {
const CXString kEndMark("<E>");

CXString removeTabs(const CXString& text) {
  std::string out;
  out.reserve(text.str().size());
  for (char c : text.str())
    if (c != '\t') out += c;
  return CXString(std::move(out));
}
}  // namespace

CTextCoder::CTextCoder(CFileContext* window, const CXString& fileName, bool noAutoDecode)
    : window_(window), fileName_(fileName) {
  ownedReader_ = std::make_unique<CTextFileReader>(window, fileName);
  reader_ = ownedReader_.get();
  init(noAutoDecode);
}

CTextCoder::CTextCoder(CFileContext* window, CTextFileReader* reader, bool noAutoDecode) : window_(window), reader_(reader) {
  if (!reader_) {
    ownedReader_ = std::make_unique<CTextFileReader>(nullptr, 0);
    reader_ = ownedReader_.get();
  }
  init(noAutoDecode);
}

CTextCoder::~CTextCoder() = default;

void CTextCoder::init(bool noAutoDecode) {
  setErrorCode(reader_->getErrorCode());
  if (getErrorCode() != 0) return;
  CXString first = reader_->getLine();
  if (!first.startsWith("{<C:") && !first.startsWith("{<D:")) {
    coded_ = false;
    reader_->reset();
    return;
  }
  coded_ = true;
  int colon = first.Find(':');
  int close = first.Find('>');
  cycle_ = close > colon ? CXString(first.str().substr(colon + 1, close - colon - 1)).toNumber() : 0;
  if (cycle_ < 1) {
    TLOG_WARN("definitions: coded header without a valid cycle in '" << fileName_.str() << "'");
    setErrorCode(errorBadHeader);
    coded_ = false;
    return;
  }
  if (first.startsWith("{<D:") && !noAutoDecode && !fileName_.isEmpty())
    decode(window_, fileName_, fileName_ + ".decoded");
}

int CTextCoder::offsetAt(int index) {
  int magnitude = index / 2 + 1;
  return (index % 2) ? -magnitude : magnitude;
}

bool CTextCoder::setCycle(int cycle) {
  if (cycle < 1) return false;
  cycle_ = cycle;
  offsetIndex_ = 0;
  return true;
}

int CTextCoder::getOffset() {
  if (cycle_ < 1) return 0;
  int offset = offsetAt(offsetIndex_);
  offsetIndex_ = offsetIndex_ + 1 >= cycle_ ? 0 : offsetIndex_ + 1;
  return offset;
}

bool CTextCoder::_eof() {
  if (getErrorCode() != 0) return true;
  return coded_ ? codedEnd_ : reader_->eof();
}

CXString CTextCoder::getLine() {
  if (getErrorCode() != 0) return CXString("\n");
  if (!coded_) {
    std::string line = std::move(reader_->getLine().str());
    line += '\n';
    return CXString(std::move(line));
  }
  if (codedEnd_) return CXString("\n");
  bool justRead = false;
  if (decodedLines_ % cycle_ == 0) {
    currentLine_ = reader_->getLine();
    searchPosition_ = 0;
    justRead = true;
  }
  int end = currentLine_.FindSubString(kEndMark, searchPosition_);
  if (end < 0) {
    codedEnd_ = true;
    return (justRead ? currentLine_ : CXString()) + "\n";
  }
  std::string plain;
  plain.reserve(static_cast<size_t>(end - searchPosition_) + 1);
  for (int i = searchPosition_; i < end; ++i)
    plain += static_cast<char>(static_cast<unsigned char>(currentLine_.str()[i]) - getOffset());
  plain += '\n';
  searchPosition_ = end + kEndMark.length();
  ++decodedLines_;
  return CXString(std::move(plain));
}

CXString CTextCoder::codeLine() {
  std::string out;
  for (int round = 0; round < cycle_ && !reader_->eof(); ++round) {
    CXString line = reader_->getLine();
    line.AllTrim(' ');
    line = removeTabs(line);
    if (line.lastChar() == '\n') line.str().pop_back();
    std::string piece;
    piece.reserve(line.str().size());
    for (char c : line.str()) piece += static_cast<char>(static_cast<unsigned char>(c) + getOffset());
    // A piece holding a line feed or an end mark would not read back as it was written.
    if (piece.find('\n') != std::string::npos || piece.find(kEndMark.str()) != std::string::npos) codeFault_ = true;
    out += piece;
    out += kEndMark.str();
  }
  out += '\n';
  return CXString(std::move(out));
}

bool CTextCoder::codeInto(std::string& out) {
  CXString header;
  header.Format("{<C:%d>}\n", cycle_);
  out += header.str();
  codeFault_ = false;
  while (!reader_->eof()) {
    CXString line = codeLine();
    if (line.equals("\n")) continue;
    out += line.str();
  }
  return !codeFault_;
}

bool CTextCoder::decodeInto(std::string& out) {
  while (!_eof()) {
    CXString line = getLine();
    if (_eof() && line.equals("\n")) break;
    out += line.str();
  }
  return true;
}

bool CTextCoder::codeBytes(const std::string& plain, int cycle, std::string& out) {
  CTextFileReader reader(plain);
  CTextCoder coder(nullptr, &reader, true);
  if (coder.isCoded() || coder.getErrorCode() != 0 || !coder.setCycle(cycle)) return false;
  std::string coded;
  if (!coder.codeInto(coded)) return false;
  out += coded;
  return true;
}

bool CTextCoder::decodeBytes(const std::string& coded, std::string& out) {
  CTextFileReader reader(coded);
  CTextCoder coder(nullptr, &reader, true);
  if (!coder.isCoded() || coder.getErrorCode() != 0) return false;
  return coder.decodeInto(out);
}

bool CTextCoder::code(CFileContext* window, const CXString& source, const CXString& target, int cycle) {
  CTextCoder coder(window, source, false);
  if (coder.getErrorCode() != 0) return false;
  if (coder.isCoded()) {
    TLOG_INFO("definitions: '" << source.str() << "' is already coded");
    return false;
  }
  if (!coder.setCycle(cycle)) {
    TLOG_WARN("definitions: invalid cycle " << cycle << " for coding '" << source.str() << "'");
    return false;
  }
  std::string out;
  if (!coder.codeInto(out)) {
    TLOG_WARN("definitions: '" << source.str() << "' holds text the coded form cannot carry; not coded");
    return false;
  }
  return tarnvik::definitions::writeTextFile(window, target, out);
}

bool CTextCoder::decode(CFileContext* window, const CXString& source, const CXString& target) {
  CTextCoder coder(window, source, true);
  if (coder.getErrorCode() != 0 || !coder.isCoded()) return false;
  std::string out;
  coder.decodeInto(out);
  return tarnvik::definitions::writeTextFile(window, target, out);
}
