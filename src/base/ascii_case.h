// Letter case as Windows compares names: ASCII letters only, whatever the locale.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace slabrip {

/// An ASCII capital in lower case; every other byte as it is.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// The text with its ASCII capitals in lower case.
inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  std::ranges::transform(out, out.begin(), [](char c) { return AsciiLower(c); });
  return out;
}

/// Equal but for the case of ASCII letters, as Windows compares names.
constexpr bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace slabrip
