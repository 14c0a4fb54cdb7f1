#include "base/date_time.h"

#include <fmt/format.h>
#include <cctype>
#include <cmath>
#include <ctime>
#include <vector>

#include "base/ascii_case.h"
#include "base/rounding.h"

namespace slabrip {

namespace {

constexpr double kUnixEpochDays = 25569;  // 1970-01-01 as a day number
constexpr double kSecondsPerDay = 86400;

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

struct TCivil {
  long long Year;
  unsigned Month;
  unsigned Day;
};

TCivil CivilFromDays(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<long long>(yoe) + era * 400 + (m <= 2), m, d};
}

bool ValidDate(long long y, unsigned m, unsigned d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1u : 0u);
}

// Delphi's form: the day number plus the time of day, the fraction's sign
// ignored before 1899-12-30.
double Compose(long long days, double dayFraction) {
  const double day = static_cast<double>(days) + kUnixEpochDays;
  return day < 0 ? day - dayFraction : day + dayFraction;
}

// A cursor over the text that hands out numbers and separators.
class TScanner {
 public:
  explicit TScanner(std::string_view text) : Text(text) {}
  void SkipBlanks() {
    while (Pos < Text.size() && (Text[Pos] == ' ' || Text[Pos] == '\t')) ++Pos;
  }
  bool AtEnd() const { return Pos >= Text.size(); }
  char Peek() const { return AtEnd() ? '\0' : Text[Pos]; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++Pos;
    return true;
  }
  // Up to 4 digits; the digit count tells a 4-digit year from a 2-digit one.
  std::optional<unsigned> Number(std::size_t& digits) {
    unsigned value = 0;
    digits = 0;
    while (!AtEnd() && std::isdigit(static_cast<unsigned char>(Text[Pos])) && digits < 5) {
      value = value * 10 + static_cast<unsigned>(Text[Pos] - '0');
      ++Pos;
      ++digits;
    }
    if (digits == 0 || digits > 4) return std::nullopt;
    return value;
  }
  std::string_view Rest() const { return Text.substr(Pos); }
  void Skip(std::size_t n) { Pos += n; }

 private:
  std::string_view Text;
  std::size_t Pos = 0;
};

struct TClock {
  double DayFraction = 0;
  int Meridiem = 0;  // 0 none, 1 AM, 2 PM
};

std::optional<TClock> ParseClock(TScanner& s) {
  TClock clock;
  s.SkipBlanks();
  if (s.AtEnd()) return clock;
  std::size_t digits = 0;
  const auto hour = s.Number(digits);
  if (!hour || digits > 2 || !s.Take(':')) return std::nullopt;
  const auto minute = s.Number(digits);
  if (!minute || digits != 2) return std::nullopt;
  double seconds = 0;
  if (s.Take(':')) {
    const auto whole = s.Number(digits);
    if (!whole || digits != 2) return std::nullopt;
    seconds = *whole;
    if (s.Take('.') || s.Take(',')) {
      double scale = 0.1;
      while (std::isdigit(static_cast<unsigned char>(s.Peek()))) {
        seconds += (s.Peek() - '0') * scale;
        scale /= 10;
        s.Skip(1);
      }
    }
  }
  s.SkipBlanks();
  const std::string_view rest = s.Rest();
  if (EqualIgnoringCase(rest, "AM")) clock.Meridiem = 1;
  if (EqualIgnoringCase(rest, "PM")) clock.Meridiem = 2;
  if (clock.Meridiem == 0 && !rest.empty()) return std::nullopt;
  unsigned h = *hour;
  if (clock.Meridiem != 0) {
    if (h < 1 || h > 12) return std::nullopt;
    h = (h % 12) + (clock.Meridiem == 2 ? 12u : 0u);
  }
  if (h > 23 || *minute > 59 || seconds >= 60) return std::nullopt;
  clock.DayFraction = (h * 3600.0 + *minute * 60.0 + seconds) / kSecondsPerDay;
  return clock;
}

}  // namespace

std::optional<double> ParseDateTime(std::string_view text) {
  TScanner s(text);
  s.SkipBlanks();
  unsigned part[3] = {};
  std::size_t digits[3] = {};
  char separator = '\0';
  for (int i = 0; i < 3; ++i) {
    const auto value = s.Number(digits[i]);
    if (!value) return std::nullopt;
    part[i] = *value;
    if (i == 2) break;
    const char c = s.Peek();
    if (c != '/' && c != '.' && c != '-') return std::nullopt;
    if (i == 0) separator = c;
    if (c != separator) return std::nullopt;
    s.Skip(1);
  }
  if (!s.Take('T') && !s.AtEnd() && s.Peek() != ' ' && s.Peek() != '\t') return std::nullopt;
  const auto clock = ParseClock(s);
  if (!clock) return std::nullopt;

  long long year = 0;
  unsigned month = 0;
  unsigned day = 0;
  if (digits[0] == 4) {
    year = part[0];
    month = part[1];
    day = part[2];
  } else {
    if (digits[2] != 2 && digits[2] != 4) return std::nullopt;
    year = part[2];
    if (digits[2] == 2) year += year < 50 ? 2000 : 1900;
    const bool monthFirst = part[0] <= 12 && (part[1] > 12 || clock->Meridiem != 0);
    month = monthFirst ? part[0] : part[1];
    day = monthFirst ? part[1] : part[0];
  }
  if (!ValidDate(year, month, day)) return std::nullopt;
  return Compose(DaysFromCivil(year, month, day), clock->DayFraction);
}

std::string FormatDateTime(double dateTime) {
  const double whole = std::trunc(dateTime);
  long long days = static_cast<long long>(whole) - static_cast<long long>(kUnixEpochDays);
  auto seconds = static_cast<long long>(RoundHalfEven(std::fabs(dateTime - whole) * kSecondsPerDay));
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  const TCivil date = CivilFromDays(days);
  if (seconds == 0) return fmt::format("{:04}-{:02}-{:02}", date.Year, date.Month, date.Day);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", date.Year, date.Month, date.Day, seconds / 3600,
                     seconds / 60 % 60, seconds % 60);
}

double NowDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const long long days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday));
  return Compose(days, (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec) / kSecondsPerDay);
}

}  // namespace slabrip
