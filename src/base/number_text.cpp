#include "base/number_text.h"

#include <fmt/format.h>
#include <charconv>
#include <cmath>
#include <limits>

namespace slabrip {

namespace {

struct TSignedDigits {
  bool Negative = false;
  bool Hex = false;
  std::string_view Digits;
};

std::optional<TSignedDigits> SplitInteger(std::string_view text) {
  text = TrimBlanks(text);
  TSignedDigits out;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    out.Negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '$') {
    out.Hex = true;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    out.Hex = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  out.Digits = text;
  return out;
}

// Parses digits in full; hex is limited to maxHexDigits and read as unsigned.
std::optional<std::int64_t> ParseIntegerIn(std::string_view text, std::int64_t lo, std::int64_t hi,
                                           std::size_t maxHexDigits) {
  const auto parts = SplitInteger(text);
  if (!parts) return std::nullopt;
  const char* first = parts->Digits.data();
  const char* last = first + parts->Digits.size();
  if (parts->Hex) {
    if (parts->Digits.size() > maxHexDigits) return std::nullopt;
    std::uint64_t bits = 0;
    const auto [ptr, ec] = std::from_chars(first, last, bits, 16);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    // Two's complement at the width of the target type.
    std::int64_t value = 0;
    if (maxHexDigits == 8)
      value = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    else
      value = static_cast<std::int64_t>(bits);
    if (parts->Negative) {
      if (value == lo) return std::nullopt;
      value = -value;
    }
    return value;
  }
  std::uint64_t magnitude = 0;
  const auto [ptr, ec] = std::from_chars(first, last, magnitude, 10);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  const auto limit =
      parts->Negative ? static_cast<std::uint64_t>(-(lo + 1)) + 1u : static_cast<std::uint64_t>(hi);
  if (magnitude > limit) return std::nullopt;
  if (parts->Negative) return magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
  return static_cast<std::int64_t>(magnitude);
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::int64_t> ParseInt64(std::string_view text) {
  return ParseIntegerIn(text, std::numeric_limits<std::int64_t>::min(),
                        std::numeric_limits<std::int64_t>::max(), 16);
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  const auto value = ParseIntegerIn(text, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max(), 8);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

std::optional<double> ParseDouble(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const std::size_t digitAt = (!text.empty() && text.front() == '-') ? 1 : 0;
  // from_chars would take "inf", "nan" and a second sign; stored numbers never hold them.
  if (text.size() <= digitAt) return std::nullopt;
  const char lead = text[digitAt];
  if (!(lead == '.' || (lead >= '0' && lead <= '9'))) return std::nullopt;
  double value = 0;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), last, value, std::chars_format::general);
  if (ec != std::errc() || ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<float> ParseFloat32(std::string_view text) {
  const auto value = ParseDouble(text);
  if (!value) return std::nullopt;
  const auto narrow = static_cast<float>(*value);
  if (!std::isfinite(narrow)) return std::nullopt;
  return narrow;
}

std::string FormatGeneral(double value) {
  if (value == 0) return "0";  // also -0
  std::string text = fmt::format("{:.15G}", value);
  const auto e = text.find('E');
  if (e == std::string::npos) return text;
  // fmt writes "E-07" / "E+20"; the stored form drops the plus and leading zeros.
  std::string exponent;
  std::size_t i = e + 1;
  if (text[i] == '-') exponent = "-";
  if (text[i] == '-' || text[i] == '+') ++i;
  while (i + 1 < text.size() && text[i] == '0') ++i;
  exponent += text.substr(i);
  return text.substr(0, e + 1) + exponent;
}

std::string FormatHex64(std::int64_t value) {
  return fmt::format("${:016X}", static_cast<std::uint64_t>(value));
}

}  // namespace slabrip
