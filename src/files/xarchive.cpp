// The serializer's encodings and its length checks.
#include "files/xarchive.h"

#include <climits>
#include <cmath>
#include <limits>
#include <cstring>
#include <vector>

#include "files/bytereader.h"
#include "files/file.h"
#include "foundation/log.h"

namespace {

int32_t encodeDouble(double v) {
  if (std::isnan(v)) return 0;
  // A value read back from its thousandths (n * 0.001) may land a rounding step below n / 1000; the
  // product is then a hair off the integer n, which truncation would turn into n - 1 and so lose a
  // thousandth at each save. A product within a few units in the last place of an integer is that integer.
  double product = v * 1000.0;
  double nearest = std::nearbyint(product);
  double scaled = std::fabs(product - nearest) <= std::fabs(nearest) * 8 * std::numeric_limits<double>::epsilon()
                      ? nearest
                      : std::trunc(product);
  if (scaled >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (scaled <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(scaled);
}

}  // namespace

bool CXArchive::direction(bool wantStoring) {
  if (failed_) return false;
  if (!file_ || !file_->isOpen()) {
    TLOG_WARN("archive used without an open file");
    failed_ = true;
    return false;
  }
  if (storing_ != wantStoring) {
    TLOG_WARN("archive opened for " << (storing_ ? "storing" : "loading") << " used the other way");
    failed_ = true;
    return false;
  }
  return true;
}

bool CXArchive::writeBytes(const void* data, size_t n) {
  if (!direction(true)) return false;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    int chunk = static_cast<int>(std::min<size_t>(n, 1 << 30));
    if (file_->Write(p, chunk) != chunk) {
      TLOG_ERROR("archive write to " << file_->getFullPath().str() << " failed");
      failed_ = true;
      return false;
    }
    p += chunk;
    n -= static_cast<size_t>(chunk);
  }
  return true;
}

bool CXArchive::readBytes(void* data, size_t n) {
  if (direction(false) && canRead(static_cast<int64_t>(n))) {
    if (n == 0 || file_->Read(data, static_cast<int>(n)) == static_cast<int>(n)) return true;
    failed_ = true;
  }
  if (n) std::memset(data, 0, n);
  return false;
}

bool CXArchive::canRead(int64_t n) {
  if (failed_) return false;
  long length = file_->Length();
  long here = file_->Tell();
  if (n < 0 || length < 0 || here < 0 || n > static_cast<int64_t>(length - here)) {
    TLOG_WARN("archive read of " << n << " bytes at " << here << " runs past the end (" << length << ")");
    failed_ = true;
    return false;
  }
  return true;
}

CXArchive& CXArchive::operator<<(int32_t v) {
  tarnvik::ByteWriter w;
  w.i32(v);
  writeBytes(w.data().data(), w.size());
  return *this;
}

CXArchive& CXArchive::operator>>(int32_t& v) {
  uint8_t b[4];
  readBytes(b, sizeof b);
  v = tarnvik::ByteReader(b, sizeof b).i32();
  return *this;
}

CXArchive& CXArchive::operator<<(bool v) {
  uint8_t b = v ? 1 : 0;
  writeBytes(&b, 1);
  return *this;
}

CXArchive& CXArchive::operator>>(bool& v) {
  uint8_t b = 0;
  readBytes(&b, 1);
  v = b != 0;
  return *this;
}

CXArchive& CXArchive::operator<<(int64_t v) {
  tarnvik::ByteWriter w;
  w.i64(v);
  writeBytes(w.data().data(), w.size());
  return *this;
}

CXArchive& CXArchive::operator>>(int64_t& v) {
  uint8_t b[8];
  readBytes(b, sizeof b);
  v = tarnvik::ByteReader(b, sizeof b).i64();
  return *this;
}

int32_t CXArchive::scaledDouble(double v) { return encodeDouble(v); }

CXArchive& CXArchive::operator<<(double v) { return *this << encodeDouble(v); }

CXArchive& CXArchive::operator>>(double& v) {
  int32_t scaled = 0;
  *this >> scaled;
  v = scaled * 0.001;
  return *this;
}

CXArchive& CXArchive::operator<<(const CXString& v) {
  *this << static_cast<int32_t>(v.length());
  writeBytes(v.c_str(), static_cast<size_t>(v.length()));
  return *this;
}

CXArchive& CXArchive::operator>>(CXString& v) {
  int32_t n = 0;
  *this >> n;
  v = CXString();
  if (!canRead(n)) return *this;
  std::string text(static_cast<size_t>(n), '\0');
  if (readBytes(text.data(), text.size())) v = CXString(std::move(text));
  return *this;
}

CXArchive& CXArchive::operator<<(const char* v) {
  size_t n = v ? std::strlen(v) : 0;
  if (n > static_cast<size_t>(INT32_MAX)) {
    failed_ = true;
    return *this;
  }
  *this << static_cast<int32_t>(n);
  writeBytes(v, n);
  return *this;
}

CXArchive& CXArchive::operator>>(std::unique_ptr<char[]>& v) {
  int32_t n = 0;
  *this >> n;
  v.reset();
  if (!canRead(n)) return *this;
  auto text = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
  if (readBytes(text.get(), static_cast<size_t>(n))) {
    text[n] = '\0';
    v = std::move(text);
  }
  return *this;
}

CXArchive& CXArchive::operator<<(const CXRect& v) { return *this << v.left << v.top << v.right << v.bottom; }

CXArchive& CXArchive::operator>>(CXRect& v) { return *this >> v.left >> v.top >> v.right >> v.bottom; }

bool CXArchive::writeShortString(const CXString& v) {
  if (v.length() > maxShortString) {
    TLOG_WARN("short string of " << v.length() << " bytes not written (at most " << maxShortString << ")");
    return false;
  }
  uint8_t n = static_cast<uint8_t>(v.length());
  return writeBytes(&n, 1) && writeBytes(v.c_str(), n);
}

bool CXArchive::readShortString(CXString& v) {
  v = CXString();
  int8_t n = 0;
  if (!readBytes(&n, 1)) return false;
  if (n < 0) {
    TLOG_WARN("short string with a negative length byte");
    failed_ = true;
    return false;
  }
  std::string text(static_cast<size_t>(n), '\0');
  if (!readBytes(text.data(), text.size())) return false;
  v = CXString(std::move(text));
  return true;
}

bool CXArchive::FWrite(const CXString& v) { return writeBytes(v.c_str(), static_cast<size_t>(v.length())); }

bool CXArchive::FRead(CXString& v) { return FRead(v, v.length()); }

bool CXArchive::FRead(CXString& v, int n) {
  if (!direction(false) || !canRead(n)) return false;
  std::string text(static_cast<size_t>(n), '\0');
  if (!readBytes(text.data(), text.size())) return false;
  v = CXString(std::move(text));
  return true;
}

bool CXArchive::CopyFileA(const CXString& name) {
  if (!direction(true)) return false;
  CFile source(nullptr, name, CFile::modeRead | CFile::modeBinary);
  if (source.getErrorCode() != 0) {
    TLOG_WARN("archive cannot copy " << name.str() << ": not found");
    return false;
  }
  std::vector<char> buffer(64 * 1024);
  while (true) {
    int got = source.Read(buffer.data(), static_cast<int>(buffer.size()));
    if (got <= 0) break;
    if (!writeBytes(buffer.data(), static_cast<size_t>(got))) return false;
  }
  return true;
}
