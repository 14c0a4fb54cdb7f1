// Date-times as stored by Windows programs: days since 1899-12-30, time as the fraction.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace slabrip {

/// Parses the short date-time forms Windows machines write: ISO
/// (2026-12-08 14:30:05, also with T), day/month/year and month/day/year
/// with '/', '.' or '-', two- or four-digit years, 24-hour or AM/PM times,
/// the time optional. Day and month are told apart by a value above 12;
/// when both could be either, an AM/PM time means month first, otherwise
/// day first.
std::optional<double> ParseDateTime(std::string_view text);

/// "yyyy-mm-dd hh:nn:ss", or the date alone at midnight.
std::string FormatDateTime(double dateTime);

/// The local time now.
double NowDateTime();

}  // namespace slabrip
