#include "base/date_time.h"

#include <gtest/gtest.h>

namespace slabrip {
namespace {

// 2026-12-08 is day 46364 counted from 1899-12-30.
constexpr double kDec8 = 46364;

TEST(ParseDateTime, ReadsTheShortFormsWindowsMachinesWrite) {
  EXPECT_EQ(ParseDateTime("2026-12-08"), kDec8);
  EXPECT_EQ(ParseDateTime("2026-12-08 12:00"), kDec8 + 0.5);
  EXPECT_EQ(ParseDateTime("2026-12-08T18:00:00"), kDec8 + 0.75);
  EXPECT_EQ(ParseDateTime("08/12/2026 12:00:00"), kDec8 + 0.5);  // day first, 24 h
  EXPECT_EQ(ParseDateTime("08.12.2026 12:00"), kDec8 + 0.5);
  EXPECT_EQ(ParseDateTime("12/8/2026 12:00:00 PM"), kDec8 + 0.5);  // month first with AM/PM
  EXPECT_EQ(ParseDateTime("12/8/2026 12:00:00 AM"), kDec8);
  EXPECT_EQ(ParseDateTime("12/8/2026 6:00 pm"), kDec8 + 0.75);
  EXPECT_EQ(ParseDateTime("8/12/26"), kDec8);
  EXPECT_EQ(ParseDateTime("1899-12-30"), 0.0);
}

TEST(ParseDateTime, ADayAboveTwelveDecidesTheOrder) {
  EXPECT_EQ(ParseDateTime("12/25/2026"), ParseDateTime("2026-12-25"));
  EXPECT_EQ(ParseDateTime("25/12/2026"), ParseDateTime("2026-12-25"));
  EXPECT_EQ(ParseDateTime("25/12/2026 1:00 PM"), ParseDateTime("2026-12-25 13:00"));
}

TEST(ParseDateTime, RejectsWhatIsNotADate) {
  for (const char* bad :
       {"", "today", "2026-13-01", "2026-02-29", "31/04/2026", "2026-12-08 24:00", "2026-12-08 10:60",
        "12/8/2026 13:00 PM", "2026/12-08", "2026-12-08x", "1/2/123", "99999-01-01", "2026-12-08 10:00 XM"})
    EXPECT_EQ(ParseDateTime(bad), std::nullopt) << bad;
  EXPECT_NE(ParseDateTime("2024-02-29"), std::nullopt);
}

TEST(FormatDateTime, WritesIsoAndOmitsMidnight) {
  EXPECT_EQ(FormatDateTime(kDec8), "2026-12-08");
  EXPECT_EQ(FormatDateTime(kDec8 + 0.75), "2026-12-08 18:00:00");
  EXPECT_EQ(FormatDateTime(*ParseDateTime("12/8/2026 4:05:30 PM")), "2026-12-08 16:05:30");
}

TEST(NowDateTime, IsAPlausibleDayNumber) {
  const double now = NowDateTime();
  EXPECT_GT(now, *ParseDateTime("2020-01-01"));
  EXPECT_LT(now, *ParseDateTime("2200-01-01"));
}

}  // namespace
}  // namespace slabrip
