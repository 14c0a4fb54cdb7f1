#include "base/number_text.h"

#include <gtest/gtest.h>
#include <clocale>
#include <utility>

#include "base/rounding.h"

namespace slabrip {
namespace {

TEST(ParseInteger, AcceptsDecimalDollarAndZeroXHex) {
  EXPECT_EQ(ParseInt32("12345"), 12345);
  EXPECT_EQ(ParseInt32("$3039"), 12345);
  EXPECT_EQ(ParseInt32("0x3039"), 12345);
  EXPECT_EQ(ParseInt32("0X3039"), 12345);
  EXPECT_EQ(ParseInt32("  -42 "), -42);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt64("$3039"), 12345);
}

TEST(ParseInteger, HexIsTwosComplementAtTheTargetWidth) {
  EXPECT_EQ(ParseInt32("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(ParseInt64("$FFFFFFFF"), 4294967295);
  EXPECT_EQ(ParseInt32("$100000000"), std::nullopt);
  EXPECT_EQ(ParseInt64("$10000000000000000"), std::nullopt);
}

TEST(ParseInteger, RejectsTrailingGarbageEmptyTextAndOverflow) {
  for (const char* bad : {"", " ", "12x", "x12", "$", "0x", "1 2", "--1", "1.0", "$G", "2147483648"})
    EXPECT_EQ(ParseInt32(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ParseInt64("9223372036854775808"), std::nullopt);
  EXPECT_EQ(ParseInt64("99999999999999999999999"), std::nullopt);
}

TEST(ParseFloat, UsesDotWhateverTheLocale) {
  // A comma-decimal locale must not change how stored numbers read.
  const bool haveGerman = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(ParseDouble("1.5"), 1.5);
  EXPECT_EQ(ParseDouble("1,5"), std::nullopt);
  EXPECT_EQ(FormatGeneral(1.5), "1.5");
  if (haveGerman) std::setlocale(LC_ALL, "C");
}

TEST(ParseFloat, AcceptsTheUsualFormsAndRejectsTheRest) {
  EXPECT_EQ(ParseDouble(" 2.5 "), 2.5);
  EXPECT_EQ(ParseDouble("+.5"), 0.5);
  EXPECT_EQ(ParseDouble("-3"), -3.0);
  EXPECT_EQ(ParseDouble("1e3"), 1000.0);
  EXPECT_EQ(ParseDouble("1.5E-7"), 1.5e-7);
  for (const char* bad : {"", "abc", "inf", "nan", "-inf", "1e999", "0x10", "1.2.3", "--1", "1 2"})
    EXPECT_EQ(ParseDouble(bad), std::nullopt) << bad;
}

TEST(ParseFloat, Float32RangeIsEnforced) {
  EXPECT_EQ(ParseFloat32("0.1"), 0.1f);
  EXPECT_EQ(ParseFloat32("1e38"), 1e38f);
  EXPECT_EQ(ParseFloat32("1e39"), std::nullopt);
  EXPECT_EQ(ParseFloat32("-1e39"), std::nullopt);
}

TEST(FormatGeneral, WritesFloat32ValuesWidenedToDouble) {
  EXPECT_EQ(FormatGeneral(0.1f), "0.100000001490116");
  using TCase = std::pair<double, const char*>;
  for (const auto& [value, text] : {TCase{0.1, "0.1"}, TCase{15, "15"}, TCase{0.5, "0.5"},
                                    TCase{1048576, "1048576"}, TCase{-2.25, "-2.25"}, TCase{-0.0, "0"}})
    EXPECT_EQ(FormatGeneral(value), text) << value;
}

TEST(FormatGeneral, SwitchesToScientificOutsideFifteenDigitsOrBelowTenToTheMinusFour) {
  using TCase = std::pair<double, const char*>;
  for (const auto& [value, text] : {TCase{999999999999999.0, "999999999999999"}, TCase{1e15, "1E15"},
                                    TCase{1234567890123456789.0, "1.23456789012346E18"},
                                    TCase{0.0001, "0.0001"}, TCase{0.00001, "1E-5"}, TCase{1.5e-7, "1.5E-7"}})
    EXPECT_EQ(FormatGeneral(value), text) << value;
}

TEST(FormatGeneral, RoundTripsThroughTheParser) {
  for (const double v : {0.1, 1.0 / 3.0, 123456.789, 2.5e-9, 6.02e23, -17.125})
    EXPECT_NEAR(*ParseDouble(FormatGeneral(v)), v, std::abs(v) * 1e-14) << v;
}

TEST(FormatHex64, WritesDollarAndSixteenUpperCaseDigits) {
  EXPECT_EQ(FormatHex64(12345), "$0000000000003039");
  EXPECT_EQ(FormatHex64(-1), "$FFFFFFFFFFFFFFFF");
  EXPECT_EQ(FormatHex64(0x40E42ACCBAD66E1E), "$40E42ACCBAD66E1E");
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundToInt32(1e12), INT32_MAX);
  EXPECT_EQ(RoundClamp(std::nan(""), 0, 255), 0);
  EXPECT_EQ(RoundClamp(255.5, 0, 255), 255);
}

}  // namespace
}  // namespace slabrip
