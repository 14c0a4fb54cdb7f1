#include "base/text_encoding.h"

#include <array>
#include <cstdint>

namespace slabrip {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Code points of bytes 0x80..0x9F; the five bytes Windows leaves undefined keep
// their C1 code point, as the system's own conversion does.
constexpr std::array<char32_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07u;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0u) != 0x80u) return false;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char To1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHigh1252.size(); ++i)
    if (kHigh1252[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string DecodeText(std::string_view bytes, TTextFormat& format) {
  format = {};
  const auto lf = bytes.find('\n');
  format.CrLf = lf != std::string_view::npos && lf > 0 && bytes[lf - 1] == '\r';
  if (bytes.substr(0, kBom.size()) == kBom) {
    format.Encoding = TTextEncoding::Utf8Bom;
    bytes.remove_prefix(kBom.size());
    // A BOM promises UTF-8; broken sequences still fall back below.
    if (IsValidUtf8(bytes)) return std::string(bytes);
  } else if (IsValidUtf8(bytes)) {
    return std::string(bytes);
  }
  format.Encoding = TTextEncoding::Windows1252;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh1252[c - 0x80] : char32_t{c});
  }
  return out;
}

std::string EncodeText(std::string_view utf8, TTextEncoding encoding) {
  if (encoding == TTextEncoding::Utf8) return std::string(utf8);
  if (encoding == TTextEncoding::Utf8Bom) return std::string(kBom) + std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (i + extra >= utf8.size()) extra = utf8.size() - 1 - i;
    char32_t cp = extra == 0 ? c : c & (0x3Fu >> extra);
    for (std::size_t k = 1; k <= extra; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    out += To1252(cp);
    i += extra + 1;
  }
  return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace slabrip
