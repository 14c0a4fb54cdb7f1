// Locale-free number parsing and formatting for stored files and job tickets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace slabrip {

/// Blanks and tabs removed from both ends.
std::string_view TrimBlanks(std::string_view text);

/// Decimal, or hexadecimal after `$` or `0x`, with an optional sign and
/// surrounding blanks. Hex takes up to 16 digits as two's complement.
std::optional<std::int64_t> ParseInt64(std::string_view text);

/// As ParseInt64 within the 32-bit range; hex takes up to 8 digits.
std::optional<std::int32_t> ParseInt32(std::string_view text);

/// A finite decimal number with "." as separator and an optional exponent;
/// no hex floats, no inf or nan.
std::optional<double> ParseDouble(std::string_view text);

/// ParseDouble narrowed to float32; values beyond the float32 range fail.
std::optional<float> ParseFloat32(std::string_view text);

/// Shortest general form with at most 15 significant digits: fixed for
/// exponents -5 < e < 15, else scientific as "1.5E-7" or "1E20".
std::string FormatGeneral(double value);

/// "$" followed by 16 upper-case hex digits, two's complement for negatives.
std::string FormatHex64(std::int64_t value);

}  // namespace slabrip
