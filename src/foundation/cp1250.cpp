// Windows-1250 to Unicode, UTF-8 checks and encoding, and the case folding of names.
#include "foundation/cp1250.h"

namespace tarnvik::cp1250 {

namespace {

// Bytes 0x80 to 0xFF of Windows-1250.
constexpr char16_t kHigh[128] = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0,      0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Overlong forms, surrogates and code points past U+10FFFF are not valid.
size_t utf8At(std::string_view s, size_t at, char32_t& c) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(at);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  size_t n = b0 >= 0xF0 && b0 <= 0xF4 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 && b0 <= 0xDF ? 2 : 0;
  if (n == 0 || at + n > s.size() || (b0 >= 0xF8)) return 0;
  c = b0 & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
  for (size_t i = 1; i < n; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

namespace {

std::string foldedUtf8(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    char32_t c = 0;
    size_t n = utf8At(s, i, c);
    appendUtf8(out, foldCase(c));
    i += n;
  }
  return out;
}

std::string foldedCp1250(std::string_view s) {
  std::string out;
  for (char b : s) {
    char32_t c = toUnicode(static_cast<unsigned char>(b));
    // The unused bytes keep a place of their own (a private-use code point), so no two names meet.
    appendUtf8(out, c == 0 && b != 0 ? 0xE000 + static_cast<unsigned char>(b) : foldCase(c));
  }
  return out;
}

bool isAscii(std::string_view s) {
  for (char b : s)
    if (static_cast<unsigned char>(b) >= 0x80) return false;
  return true;
}

}  // namespace

char32_t toUnicode(unsigned char byte) { return byte < 0x80 ? byte : kHigh[byte - 0x80]; }

bool isValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    size_t n = utf8At(bytes, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string toUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (char b : bytes) {
    char32_t c = toUnicode(static_cast<unsigned char>(b));
    appendUtf8(out, c == 0 && b != 0 ? 0xFFFD : c);
  }
  return out;
}

std::string fromUtf8(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t n = utf8At(text, i, c);
    i += n ? n : 1;
    char byte = '?';
    if (n && c < 0x80) {
      byte = static_cast<char>(c);
    } else if (n) {
      for (int b = 0x80; b < 0x100; ++b)
        if (toUnicode(static_cast<unsigned char>(b)) == c) {
          byte = static_cast<char>(b);
          break;
        }
    }
    out += byte;
  }
  return out;
}

std::string displayUtf8(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    size_t n = utf8At(bytes, i, c);
    if (n == 0) {
      char32_t u = toUnicode(static_cast<unsigned char>(bytes[i]));
      appendUtf8(out, u ? u : 0xFFFD);
      ++i;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  return out;
}

char32_t foldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // Latin-1 capitals, not the multiplication sign
  if (c >= 0x100 && c <= 0x137) return c | 1;    // Ā ... Ķ: capital even, small odd
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;  // Ĺ ... Ň: capital odd
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;  // Ÿ
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
  return c;
}

std::string diskKey(std::string_view name) {
  if (isAscii(name)) return foldedUtf8(name);
  return isValidUtf8(name) ? foldedUtf8(name) : foldedCp1250(name);
}

std::vector<std::string> requestKeys(std::string_view name) {
  if (isAscii(name)) return {foldedUtf8(name)};
  std::vector<std::string> keys{foldedCp1250(name)};
  if (isValidUtf8(name)) keys.push_back(foldedUtf8(name));
  return keys;
}

}  // namespace tarnvik::cp1250
