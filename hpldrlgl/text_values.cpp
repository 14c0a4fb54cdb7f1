#include "text_values.h"

#include <charconv>

namespace slabrip::hpldrlgl {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits from `i` on; returns how many.
std::size_t SkipDigits(std::string_view text, std::size_t& i) {
  const std::size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i - start;
}

}  // namespace

std::optional<std::int64_t> ParseUnsigned(std::string_view text, std::int64_t max) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ParseHex(std::string_view text) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool IsDecimalNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::size_t digits = SkipDigits(text, i);
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += SkipDigits(text, i);
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (SkipDigits(text, i) == 0) return false;
  }
  return i == text.size();
}

std::string QuoteSafe(std::string_view text) {
  std::string safe(text);
  for (char& c : safe)
    if (c == '"' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return safe;
}

void AppendDecimal(std::string& out, std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace slabrip::hpldrlgl
