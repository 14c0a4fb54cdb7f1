#include "jobs/rip_job_pos.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace slabrip {
namespace {

TRipJobPos Sample() {
  TRipJobPos pos;
  for (std::size_t i = 0; i < TRipJobPos::kSize; ++i) pos.Bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  pos.SetJobIndex(2);
  pos.SetPlacedBounds({1.5f, 2.5f, 101.5f, 52.5f});
  pos.SetTransform({10, 20, 0, 1, -1, 0});
  return pos;
}

TEST(RipJobPos, FieldsSitAtTheirOffsetsLittleEndianAndUnaligned) {
  const TRipJobPos pos = Sample();
  EXPECT_EQ(pos.Bytes[0], 2);
  EXPECT_EQ(pos.Bytes[3], 0);
  // dx = 10.0f = 0x41200000 starts at byte 61.
  EXPECT_EQ(pos.Bytes[61], 0x00);
  EXPECT_EQ(pos.Bytes[63], 0x20);
  EXPECT_EQ(pos.Bytes[64], 0x41);
  // The suite's bytes around the fields stay as they were.
  EXPECT_EQ(pos.Bytes[20], 0xA0 + 20);
  EXPECT_EQ(pos.Bytes[60], 0xA0 + 60);
  EXPECT_EQ(pos.Bytes[85], 0xA0 + 85);
  EXPECT_EQ(pos.PlacedBounds(), (TRectF{1.5f, 2.5f, 101.5f, 52.5f}));
  EXPECT_EQ(pos.Transform(), (TAffine{10, 20, 0, 1, -1, 0}));
  EXPECT_EQ(pos.Transform().Map({1, 0}), (TPointF{10, 21}));
}

TEST(RipJobPos, HexRoundTripsInEitherCase) {
  const TRipJobPos pos = Sample();
  const std::string hex = pos.ToHex();
  ASSERT_EQ(hex.size(), 192u);
  std::string lower = hex;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  EXPECT_EQ(TRipJobPos::FromHex(hex).Bytes, pos.Bytes);
  EXPECT_EQ(TRipJobPos::FromHex(lower).Bytes, pos.Bytes);
  EXPECT_EQ(TRipJobPos::FromHex(hex).JobIndex(), 2);
}

TEST(RipJobPos, WrongLengthGivesAZeroRecord) {
  const std::string hex = Sample().ToHex();
  const TRipJobPos zero;
  EXPECT_EQ(TRipJobPos::FromHex(hex.substr(0, 191)).Bytes, zero.Bytes);
  EXPECT_EQ(TRipJobPos::FromHex(hex + "0").Bytes, zero.Bytes);
  EXPECT_EQ(TRipJobPos::FromHex("").Bytes, zero.Bytes);
}

TEST(RipJobPos, DecodingStopsAtTheFirstBadPairAndKeepsTheBytesBefore) {
  std::string hex = Sample().ToHex();
  hex.replace(20, 2, "zz");  // byte 10
  const TRipJobPos pos = TRipJobPos::FromHex(hex);
  const TRipJobPos sample = Sample();
  EXPECT_TRUE(std::equal(pos.Bytes.begin(), pos.Bytes.begin() + 10, sample.Bytes.begin()));
  EXPECT_TRUE(std::all_of(pos.Bytes.begin() + 10, pos.Bytes.end(), [](auto b) { return b == 0; }));
  hex = Sample().ToHex();
  hex[41] = 'g';  // second digit of byte 20 bad: byte 20 onwards zero
  EXPECT_EQ(TRipJobPos::FromHex(hex).Bytes[19], sample.Bytes[19]);
  EXPECT_EQ(TRipJobPos::FromHex(hex).Bytes[20], 0);
}

}  // namespace
}  // namespace slabrip
