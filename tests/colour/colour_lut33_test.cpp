#include "colour/colour_lut33.h"

#include <gtest/gtest.h>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "colour/colour_lookup.h"

namespace slabrip {
namespace {

TColor32 Rgb(int r, int g, int b, int a = 255) {
  return static_cast<TColor32>(a) << 24 | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 |
         static_cast<TColor32>(b);
}
int R(TColor32 c) { return c >> 16 & 255; }
int G(TColor32 c) { return c >> 8 & 255; }
int B(TColor32 c) { return c & 255; }

// Independent reference: the barycentric coordinates of the point in the
// cube cell (in eighths) within the tetrahedron that holds it, solved in
// double precision, then the weighted sum of the four vertices floored.
struct TReference {
  static constexpr int kOrders[6][3] = {{2, 1, 0}, {1, 2, 0}, {0, 1, 2}, {2, 0, 1}, {1, 0, 2}, {0, 2, 1}};

  // Coordinates in the order (r, g, b); returns 16 x barycentric weights of
  // the path base, +axis1, +axis1+axis2, +all for the first order that fits.
  static bool Weights(const int f[3], int t, std::array<double, 4>& w) {
    const int a = kOrders[t][0], b = kOrders[t][1], c = kOrders[t][2];
    if (!(f[a] >= f[b] && f[b] >= f[c])) return false;
    const double x = f[a] / 8.0, y = f[b] / 8.0, z = f[c] / 8.0;
    w = {16 * (1 - x), 16 * (x - y), 16 * (y - z), 16 * z};
    return true;
  }

  static TColor32 Interpolate(const TColorLut33Obj& table, TColor32 p) {
    const int v[3] = {R(p), G(p), B(p)};
    const int cell[3] = {v[0] >> 3, v[1] >> 3, v[2] >> 3};
    const int f[3] = {v[0] & 7, v[1] & 7, v[2] & 7};
    for (int t = 0; t < 6; ++t) {
      std::array<double, 4> w{};
      if (!Weights(f, t, w)) continue;
      int corner[3] = {cell[0], cell[1], cell[2]};
      double sums[4] = {};
      for (int k = 0; k < 4; ++k) {
        if (k > 0) ++corner[kOrders[t][k - 1]];
        const TColor32 e =
            table.Grid()[static_cast<std::size_t>(corner[2] * 1089 + corner[1] * 33 + corner[0])];
        for (int c = 0; c < 4; ++c) sums[c] += w[static_cast<std::size_t>(k)] * (e >> (8 * c) & 255);
      }
      TColor32 out = 0;
      for (int c = 0; c < 4; ++c) out |= static_cast<TColor32>(std::floor(sums[c] / 16)) << (8 * c);
      return out;
    }
    ADD_FAILURE() << "no tetrahedron holds the point";
    return 0;
  }
};

TColorLut33Obj RandomTable(std::uint32_t seed) {
  TColorLut33Obj table;
  std::mt19937 random(seed);
  for (TColor32& e : table.Grid()) e = static_cast<TColor32>(random());
  table.Ready = true;
  table.CmykOutput = true;
  return table;
}

TEST(WeightTable, WeightsAreSixteenTimesTheBarycentricCoordinates) {
  for (int fb = 0; fb < 8; ++fb)
    for (int fg = 0; fg < 8; ++fg)
      for (int fr = 0; fr < 8; ++fr) {
        const std::uint32_t word = lut::kWeightTable[static_cast<std::size_t>(fb * 64 + fg * 8 + fr)];
        const int f[3] = {fr, fg, fb};
        int first = -1;
        std::array<double, 4> expected{};
        for (int t = 0; t < 6 && first < 0; ++t)
          if (TReference::Weights(f, t, expected)) first = t;
        ASSERT_EQ(static_cast<int>(word >> 20), first);
        for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(word >> (5 * k) & 31, expected[k]) << fb << fg << fr;
      }
}

TEST(ColourLut, IdentityKeepsValuesUpTo248AndLosesALittleAbove) {
  TColorLut33Obj table;
  table.MakeIdentity();
  EXPECT_EQ(table.ConvertColour(Rgb(100, 100, 100)), Rgb(100, 100, 100));
  EXPECT_EQ(table.ConvertColour(Rgb(249, 3, 130)), Rgb(248, 3, 130));
  EXPECT_EQ(table.ConvertColour(Rgb(253, 0, 0)), Rgb(252, 0, 0));
  EXPECT_EQ(table.ConvertColour(Rgb(255, 255, 254)), Rgb(254, 254, 253));
  EXPECT_EQ(table.ConvertColour(Rgb(255, 255, 255)), Rgb(255, 255, 255));
}

TEST(ColourLut, IdentityMatchesItsOneDimensionalFormulaEverywhere) {
  // On the identity each channel interpolates on its own axis: exact up to
  // 248, and 248 + frac * 14 / 16 in the last cell whose far node holds 255.
  const auto expected = [](int v) { return v <= 248 ? v : 248 + (v - 248) * 14 / 16; };
  TColorLut33Obj table;
  table.MakeIdentity();
  std::vector<TColor32> row(256);
  for (int b = 0; b < 256; b += 3)
    for (int g = 0; g < 256; g += 3) {
      for (int r = 0; r < 256; ++r) row[static_cast<std::size_t>(r)] = Rgb(r, g, b);
      table.ConvertPixels(row.data(), row.size());
      for (int r = 0; r < 256; ++r) {
        const TColor32 out = row[static_cast<std::size_t>(r)];
        if (r == 255 && g == 255 && b == 255) continue;
        ASSERT_EQ(out, Rgb(expected(r), expected(g), expected(b))) << r << "," << g << "," << b;
      }
    }
}

TEST(ColourLut, InterpolationMatchesTheBarycentricReferenceOnARandomGrid) {
  TColorLut33Obj table = RandomTable(7);
  std::mt19937 random(11);
  std::vector<TColor32> pixels(200000);
  for (TColor32& p : pixels) p = static_cast<TColor32>(random()) | 0xFF000000u;
  std::vector<TColor32> out = pixels;
  table.ConvertPixels(out.data(), out.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if ((pixels[i] & 0xFFFFFF) == 0xFFFFFF) continue;
    ASSERT_EQ(out[i], TReference::Interpolate(table, pixels[i])) << std::hex << pixels[i];
  }
}

TEST(ColourLut, TiedTetrahedraGiveTheSameResult) {
  // Fractions (fb, fg, fr) = (5, 5, 2): tetrahedra 0 and 1 both hold.
  const TColorLut33Obj table = RandomTable(3);
  const TColor32 p = Rgb(8 * 4 + 2, 8 * 9 + 5, 8 * 20 + 5);
  const std::uint32_t word = lut::kWeightTable[5 * 64 + 5 * 8 + 2];
  EXPECT_EQ(word >> 20, 0u);
  lut::TCell cell = lut::Locate(p);
  const TColor32 viaFirst = lut::Narrow(lut::Sums(table.Grid().data(), cell));
  cell.Offsets = lut::kTetraTable[1];
  EXPECT_EQ(lut::Narrow(lut::Sums(table.Grid().data(), cell)), viaFirst);
}

TEST(ColourLut, TheVectorKernelMatchesTheScalarReferenceForEveryFraction) {
  const TColorLut33Obj table = RandomTable(5);
  std::mt19937 random(9);
  for (int round = 0; round < 64; ++round)
    for (TColor32 fractions = 0; fractions < 512; ++fractions) {
      // Random cell, every fraction triple: bytes b, g, r = 8 * cell + fraction.
      const auto cell = [&](TColor32 f) { return (static_cast<TColor32>(random()) % 31) * 8 + f; };
      const TColor32 p = cell(fractions >> 6) | cell(fractions >> 3 & 7) << 8 | cell(fractions & 7) << 16;
      const lut::TCell located = lut::Locate(p);
      ASSERT_EQ(lut::Sums(table.Grid().data(), located), lut::SumsScalar(table.Grid().data(), located))
          << std::hex << p;
    }
}

TEST(ColourLut, RgbTablesKeepAlphaAndWhiteTakesTheWhiteEntry) {
  TColorLut33Obj table;
  table.MakeIdentity();
  table.WhiteEntry() = Rgb(250, 251, 252, 7);
  std::vector<TColor32> px = {Rgb(255, 255, 255, 254), Rgb(10, 20, 30, 0), Rgb(10, 20, 30, 128), 0xFFFFFFFF};
  table.ConvertPixels(px.data(), px.size());
  EXPECT_EQ(px[0], Rgb(250, 251, 252, 254));
  EXPECT_EQ(px[1], Rgb(10, 20, 30, 0));
  EXPECT_EQ(px[2], Rgb(10, 20, 30, 128));  // cache hit, own alpha
  EXPECT_EQ(px[3], Rgb(250, 251, 252, 255));

  table.CmykOutput = true;  // four-byte tables give entries whole
  px = {Rgb(255, 255, 255, 9), Rgb(0, 0, 0, 9)};
  table.ConvertPixels(px.data(), px.size());
  EXPECT_EQ(px[0], Rgb(250, 251, 252, 7));
  EXPECT_EQ(px[1], Rgb(0, 0, 0, 255));
  EXPECT_EQ(table.ConvertColour(Rgb(0, 0, 0, 9)), Rgb(0, 0, 0, 9));  // always the RGB conversion
}

TEST(ColourLut, ATableThatIsNotReadyConvertsAsTheIdentity) {
  TColorLut33Obj table;
  EXPECT_EQ(table.ConvertColour(Rgb(16, 32, 64)), Rgb(16, 32, 64));
  EXPECT_TRUE(table.Ready);
}

TEST(ColourLut, BuildersAndAlpha) {
  TColorLut33Obj table;
  table.BuildFromFunction([](TColor32 e) { return e ^ 0x00FFFFFFu; });
  EXPECT_EQ(*table.CellPointer(0, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(*table.CellPointer(32, 1, 0), Rgb(0, 247, 255));
  EXPECT_EQ(table.WhiteEntry(), 0xFF000000u);
  table.BuildFromFunction(nullptr);
  EXPECT_EQ(*table.CellPointer(32, 1, 0), Rgb(255, 8, 0));
  std::size_t seen = 0;
  table.BuildWithCallback([&](std::span<TColor32, TColorLut33Obj::kEntryCount> grid) {
    seen = grid.size();
    grid[0] = 5;
  });
  EXPECT_EQ(seen, 35938u);
  EXPECT_EQ(*table.CellPointer(0, 0, 0), 5u);
  table.SetAlpha(0x40);
  EXPECT_EQ(*table.CellPointer(0, 0, 0), 0x40000005u);
  EXPECT_EQ(table.WhiteEntry(), 0x40FFFFFFu);
}

TEST(ImportGrid17, EvenNodesTakeSourceNodesOddNodesTheMidpointsAndWhiteIsKept) {
  // A 17-grid holding a function of its node indices, so every imported node can be checked.
  const auto node17 = [](int r, int g, int b) { return Rgb(15 * r, 255 - 15 * g, (r * g + b) % 256); };
  std::vector<TColor32> source(TColorLut33Obj::kGrid17Count);
  for (int b = 0; b <= 16; ++b)
    for (int g = 0; g <= 16; ++g)
      for (int r = 0; r <= 16; ++r) source[static_cast<std::size_t>(b * 289 + g * 17 + r)] = node17(r, g, b);
  source.back() = 0x12345678;
  TColorLut33Obj table;
  table.ImportGrid17(std::span<const TColor32, TColorLut33Obj::kGrid17Count>(source));
  EXPECT_TRUE(table.Ready);
  EXPECT_EQ(table.WhiteEntry(), 0x12345678u);
  TColorLut33Obj low;  // the same 17-grid placed as a 33-grid, for the odd nodes
  for (int b = 0; b <= 16; ++b)
    for (int g = 0; g <= 16; ++g)
      for (int r = 0; r <= 16; ++r) *low.CellPointer(r, g, b) = node17(r, g, b);
  low.Ready = true;
  for (int b = 0; b <= 32; ++b)
    for (int g = 0; g <= 32; ++g)
      for (int r = 0; r <= 32; ++r) {
        const TColor32 got = *table.CellPointer(r, g, b);
        if (r % 2 == 0 && g % 2 == 0 && b % 2 == 0)
          ASSERT_EQ(got, node17(r / 2, g / 2, b / 2)) << r << "," << g << "," << b;
        else
          ASSERT_EQ(got, TReference::Interpolate(
                             low, Rgb(r < 32 ? 4 * r : 128, g < 32 ? 4 * g : 128, b < 32 ? 4 * b : 128)) |
                             0xFF000000u)
              << r << "," << g << "," << b;
      }
}

class LookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    First.MakeIdentity();
    Second.BuildFromFunction([](TColor32) { return 0xFFFFFFFFu; });
    Lookup.MakeCurrent(Second);
    Lookup.CopyCurrentToSecond();
    Lookup.MakeCurrent(First);
  }
  TColorLut33Obj First, Second;
  TColourLookup Lookup;
};

TEST_F(LookupTest, FourInkGivesTheCurrentTablesBytesAndWhiteEntry) {
  First.WhiteEntry() = 0x01020304;
  Lookup.MakeCurrent(First);
  Lookup.InvalidateCache(Rgb(100, 50, 25));
  Lookup.LookupFourInk(Rgb(100, 50, 25, 7));
  EXPECT_EQ(Lookup.LastResult(), Rgb(100, 50, 25));
  EXPECT_EQ(Lookup.LastAlpha(), 7);
  Lookup.LookupFourInk(Rgb(255, 255, 255, 3));
  EXPECT_EQ(Lookup.LastResult(), 0x01020304u);
  EXPECT_EQ(Lookup.LastAlpha(), 3);
}

TEST_F(LookupTest, EightInkTakesLanesFromBothTablesShiftedToSixteenBits) {
  Lookup.InvalidateCache(Rgb(64, 128, 8));
  Lookup.LookupEightInk(Rgb(64, 128, 8));
  // Lanes are bytes 0..3 (blue, green, red, alpha) times 128.
  const TInkVector expected{{8 * 128, 128 * 128, 64 * 128, 255 * 128, 32640, 32640, 32640, 32640}};
  EXPECT_EQ(Lookup.LastInks(), expected);
  Lookup.LookupEightInk(Rgb(255, 255, 255, 0));
  EXPECT_EQ(Lookup.LastInks(), TInkVector{});
  EXPECT_EQ(Lookup.LastAlpha(), 0);
}

TEST_F(LookupTest, TheCacheRepeatsARunAndOnlyInvalidationForgetsIt) {
  Lookup.InvalidateCache(Rgb(10, 10, 10));
  Lookup.LookupFourInk(Rgb(10, 10, 10));
  // Change the table under the cache: a hit still repeats the remembered result.
  *First.CellPointer(1, 1, 1) = 0;
  Lookup.LookupFourInk(Rgb(10, 10, 10, 200));
  EXPECT_EQ(Lookup.LastResult(), Rgb(10, 10, 10));
  EXPECT_EQ(Lookup.LastAlpha(), 200);
  Lookup.InvalidateCache(Rgb(10, 10, 10));
  Lookup.LookupFourInk(Rgb(10, 10, 10));
  EXPECT_NE(Lookup.LastResult(), Rgb(10, 10, 10));
}

}  // namespace
}  // namespace slabrip
