#include "colour/colour_filter.h"

#include <gtest/gtest.h>
#include <cmath>

namespace slabrip {
namespace {

int R(TColor32 c) { return c >> 16 & 255; }
int G(TColor32 c) { return c >> 8 & 255; }
int B(TColor32 c) { return c & 255; }
int Pos(int k) { return k < 16 ? 16 * k : 255; }

// The grid entry of node (r, g, b), each 0..16.
TColor32 Node(const std::vector<TColor32>& grid, int r, int g, int b) {
  return grid[static_cast<std::size_t>(b * 289 + g * 17 + r)];
}

TEST(HueWheel, RampAndItsInverseAgreeAndTheWheelRoundTrips) {
  EXPECT_NEAR(TColorHuePicker::WheelRamp(0), 1.0, 1e-8);
  EXPECT_NEAR(TColorHuePicker::WheelRamp(1), 0.0, 1e-8);
  EXPECT_EQ(TColorHuePicker::WheelRamp(2), 0.0);
  const TWheelColour red = TColorHuePicker::WheelFromRgb(1, 0, 0);
  EXPECT_NEAR(red.Hue, 0, 1e-9);
  EXPECT_NEAR(TColorHuePicker::WheelFromRgb(1, 1, 0).Hue, 1.0 / 6, 1e-7);
  EXPECT_NEAR(TColorHuePicker::WheelFromRgb(0, 1, 1).Hue, 0.5, 1e-7);
  EXPECT_NEAR(TColorHuePicker::WheelFromRgb(1, 0, 1).Hue, 5.0 / 6, 1e-7);
  const TWheelColour grey = TColorHuePicker::WheelFromRgb(0.4, 0.4, 0.4);
  EXPECT_EQ(grey.Chroma, 0);
  EXPECT_EQ(grey.Floor, 0.4);
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 15) {
        const TWheelColour w = TColorHuePicker::WheelFromRgb(r / 255.0, g / 255.0, b / 255.0);
        const TColor32 back = TColorHuePicker::RgbFromWheel(w.Chroma, w.Floor, w.Hue);
        ASSERT_NEAR(R(back), r, 1) << r << "," << g << "," << b;
        ASSERT_NEAR(G(back), g, 1);
        ASSERT_NEAR(B(back), b, 1);
        ASSERT_EQ(back >> 24, 255u);
      }
}

TEST(HueWheel, UnshiftedHueMapIsTheIdentityAndShiftsMoveTheWheel) {
  const THueNodes plain = HueNodes({});
  for (double x = 0; x <= 1; x += 0.01) EXPECT_NEAR(HueMap(plain, x), x, 1e-12) << x;
  TColourFilterSettings settings;
  settings.HueShift[0] = 0.5f;  // red half-way to yellow
  const THueNodes shifted = HueNodes(settings);
  // The spline runs between the node midpoints: -1/24 - 1/48 + 1/8 by hand.
  EXPECT_NEAR(HueMap(shifted, 0), 0.0625, 1e-12);
  EXPECT_NEAR(HueMap(shifted, 0.5), 0.5, 1e-9);  // cyan stays
}

TEST(ColourFilter, ZeroSettingsGiveNearlyTheIdentity) {
  const auto grid = BuildFilterGrid({}, nullptr);
  ASSERT_EQ(grid.size(), 4914u);
  for (int b = 0; b <= 16; ++b)
    for (int g = 0; g <= 16; ++g)
      for (int r = 0; r <= 16; ++r) {
        const TColor32 c = Node(grid, r, g, b);
        ASSERT_NEAR(R(c), Pos(r), 1) << r << "," << g << "," << b;
        ASSERT_NEAR(G(c), Pos(g), 1);
        ASSERT_NEAR(B(c), Pos(b), 1);
      }
  EXPECT_EQ(grid[4913], 0xFFFFFFFFu);
  const auto table = BuildFilterTable({}, nullptr);
  EXPECT_FALSE(table->CmykOutput);
  EXPECT_EQ(table->WhiteEntry(), 0xFFFFFFFFu);
  const TColor32 mid = table->ConvertColour(0xFF6496C8);
  EXPECT_NEAR(R(mid), 0x64, 1);
  EXPECT_NEAR(G(mid), 0x96, 1);
  EXPECT_NEAR(B(mid), 0xC8, 1);
}

TEST(ColourFilter, SaturationMinusOneMakesEveryNodeGrey) {
  TColourFilterSettings settings;
  settings.Saturation = -1;
  const auto grid = BuildFilterGrid(settings, nullptr);
  for (const TColor32 c : grid) {
    ASSERT_EQ(R(c), G(c));
    ASSERT_EQ(G(c), B(c));
  }
  // Grey keeps the HSL lightness: pure red becomes 50 % grey.
  EXPECT_NEAR(R(Node(grid, 16, 0, 0)), 128, 1);
}

TEST(ColourFilter, BrightnessLiftsBlackFullyAndLeavesWhite) {
  TColourFilterSettings settings;
  settings.Brightness = 0.5f;
  const auto grid = BuildFilterGrid(settings, nullptr);
  EXPECT_EQ(Node(grid, 0, 0, 0), 0xFF808080u);  // 0.5 + 0.5 * 0 with weight 1
  EXPECT_EQ(Node(grid, 16, 16, 16), 0xFFFFFFFFu);
  settings.Brightness = -0.25f;
  const auto darker = BuildFilterGrid(settings, nullptr);
  EXPECT_EQ(Node(darker, 0, 0, 0), 0xFF000000u);  // clamped at 0
  EXPECT_LT(R(Node(darker, 8, 8, 8)), 128);
}

TEST(ColourFilter, GammaBendsLightness) {
  TColourFilterSettings settings;
  settings.Gamma = 0;
  EXPECT_EQ(BuildFilterGrid(settings, nullptr), BuildFilterGrid({}, nullptr));
  settings.Gamma = static_cast<float>(std::log(2.0));  // exponent 0.5
  const auto grid = BuildFilterGrid(settings, nullptr);
  EXPECT_NEAR(R(Node(grid, 4, 4, 4)), 255 * std::sqrt(64 / 255.0), 1);
}

TEST(ColourFilter, ShiftingRedTowardsYellowTurnsRedOrangeAndLeavesCyan) {
  TColourFilterSettings settings;
  settings.HueShift[0] = 0.5f;
  const auto grid = BuildFilterGrid(settings, nullptr);
  const TColor32 red = Node(grid, 16, 0, 0);
  EXPECT_EQ(R(red), 255);
  EXPECT_GT(G(red), 40);
  EXPECT_LT(G(red), 215);
  EXPECT_EQ(B(red), 0);
  const TColor32 cyan = Node(grid, 0, 16, 16);
  EXPECT_NEAR(R(cyan), 0, 1);
  EXPECT_NEAR(G(cyan), 255, 1);
  EXPECT_NEAR(B(cyan), 255, 1);
}

TEST(ContrastTable, FromCurveTextOrNothing) {
  EXPECT_FALSE(ContrastTableFromText(""));
  EXPECT_FALSE(ContrastTableFromText("50,50/garbage"));
  const auto table = ContrastTableFromText("0,0/25,10/75,90/100,100");
  ASSERT_TRUE(table);
  EXPECT_EQ((*table)[511], 1.0f);
  for (std::size_t i = 1; i < 512; ++i) EXPECT_GE((*table)[i], (*table)[i - 1]) << i;
  EXPECT_LT((*table)[128], 128 / 511.0f);  // an S-curve darkens the quarter tones
  TColourFilterSettings settings;
  const auto withCurve = BuildFilterGrid(settings, &*table);
  EXPECT_LT(R(Node(withCurve, 4, 4, 4)), 64);
}

}  // namespace
}  // namespace slabrip
