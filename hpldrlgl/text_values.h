// Strict readers for the values in the XML documents and the models file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace slabrip::hpldrlgl {

/// Plain decimal digits, no sign or blanks, at most `max`.
std::optional<std::int64_t> ParseUnsigned(std::string_view text, std::int64_t max);
/// One to sixteen hexadecimal digits of either case.
std::optional<std::uint64_t> ParseHex(std::string_view text);
/// A decimal number as the driver writes one: optional sign, digits with an
/// optional point, optional exponent ("15", "-0.5", "1E-7").
bool IsDecimalNumber(std::string_view text);
/// `text` with every '"' and every byte below 0x20 replaced by '_', so it
/// can stand between quotes on one line.
std::string QuoteSafe(std::string_view text);
/// The decimal digits of `value` appended to `out`.
void AppendDecimal(std::string& out, std::int64_t value);

}  // namespace slabrip::hpldrlgl
