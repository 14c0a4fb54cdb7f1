// Solid, hatch and texture brushes painted through cairo onto small bitmaps.
#include "render/brushes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "support/pixel_checks.h"

namespace slabrip {
namespace {

using test::Channel;
using test::Near;

// Fills the rectangle with the pattern on a bitmap of the given background.
TBitmap32 Painted(cairo_pattern_t* pattern, int width, int height, TColor32 background, double left = 0,
                  double top = 0, double right = -1, double bottom = -1) {
  TBitmap32 bitmap(width, height);
  bitmap.Fill(background);
  {
    TCairoSurface surface = SurfaceOver(bitmap);
    TCairo cr(cairo_create(surface.get()));
    cairo_set_source(cr.get(), pattern);
    cairo_rectangle(cr.get(), left, top, (right < 0 ? width : right) - left,
                    (bottom < 0 ? height : bottom) - top);
    cairo_fill(cr.get());
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    cr.reset();
    cairo_surface_flush(surface.get());
  }
  return bitmap;
}

// Straight colour `argb` composited over an opaque background.
TColor32 Over(std::uint32_t argb, TColor32 background) {
  const double a = Channel(argb, 24) / 255.0;
  TColor32 result = 0xFF000000;
  for (int shift : {16, 8, 0}) {
    const double v = Channel(argb, shift) * a + Channel(background, shift) * (1 - a);
    result |= static_cast<TColor32>(std::lround(v)) << shift;
  }
  return result;
}

TEST(SolidBrushes, TransparencyBecomesTheAlphaOfTheColour) {
  const TColor32 white = 0xFFFFFFFF;
  const auto brush = TcmfBrush::Solid(0x7F123456, 0x40);  // the top byte of the colour is not alpha
  const TBitmap32 painted = Painted(brush->Pattern(), 4, 4, white);
  EXPECT_TRUE(Near(painted.Row(2)[1], Over(0xBF123456, white), 1));

  const TBitmap32 opaque = Painted(TcmfBrush::Solid(0x123456, 0)->Pattern(), 2, 2, white);
  EXPECT_EQ(opaque.Pixels()[3], 0xFF123456u);
  for (std::uint32_t t : {255u, 4000u}) {
    const TBitmap32 clear = Painted(TcmfBrush::Solid(0x123456, t)->Pattern(), 2, 2, 0xFF808080);
    EXPECT_EQ(clear.Pixels()[0], 0xFF808080u) << t;
  }
}

TEST(SolidBrushes, StraightColoursArePremultipliedOnTheBand) {
  const auto pattern = SolidPattern(0x80FF4020);
  const TBitmap32 painted = Painted(pattern.get(), 2, 2, 0);
  EXPECT_TRUE(Near(painted.Pixels()[0], 0x80802010, 1));
}

// GDI+'s diagonal cross: the lines x = y and x + y = 7, repeated every 8 pixels from the device origin.
bool OnDiagonalCross(int x, int y) { return (x - y) % 8 == 0 || (x + y) % 8 == 7; }

TEST(HatchBrushes, DiagonalCrossRepeatsEveryEightPixelsFromTheDeviceOrigin) {
  const TColor32 fore = 0xFF0000FF;
  const TColor32 back = 0xFF00FF00;
  const auto pattern = HatchPattern(THatchStyle::kDiagonalCross, fore, back);
  // The filled rectangle starts off the cell grid: the hatch must not follow it.
  const TBitmap32 painted = Painted(pattern.get(), 27, 21, 0, 3, 5);
  int foreCount = 0;
  for (int y = 5; y < 21; ++y)
    for (int x = 3; x < 27; ++x) {
      const TColor32 expected = OnDiagonalCross(x, y) ? fore : back;
      ASSERT_EQ(painted.Row(y)[x], expected) << x << "," << y;
      foreCount += expected == fore;
    }
  EXPECT_GT(foreCount, 80);
  EXPECT_EQ(painted.Row(0)[0], 0u);  // outside the rectangle
}

TEST(HatchBrushes, TranslucentHatchColoursBlendOverTheBand) {
  const auto pattern = HatchPattern(THatchStyle::kDiagonalCross, 0x800080FF, 0x00FFFFFF);
  const TBitmap32 painted = Painted(pattern.get(), 16, 16, 0xFF204060);
  EXPECT_TRUE(Near(painted.Row(4)[4], Over(0x800080FF, 0xFF204060), 1));
  EXPECT_EQ(painted.Row(4)[5], 0xFF204060u);  // a transparent background leaves the band
  const auto grey = HatchPattern(THatchStyle::kDiagonalCross, 0x80C0C0C0, 0x80FFFFFF);
  const TBitmap32 onBlack = Painted(grey.get(), 8, 8, 0xFF000000);
  EXPECT_TRUE(Near(onBlack.Row(0)[7], Over(0x80C0C0C0, 0xFF000000), 1));
  EXPECT_TRUE(Near(onBlack.Row(0)[6], Over(0x80FFFFFF, 0xFF000000), 1));
}

TEST(HatchBrushes, FiftyPercentIsACheckerboard) {
  const auto pattern = HatchPattern(THatchStyle::kPercent50, 0xFFFF0000, 0xFF0000FF);
  const TBitmap32 painted = Painted(pattern.get(), 19, 13, 0, 1, 2);
  for (int y = 2; y < 13; ++y)
    for (int x = 1; x < 19; ++x)
      ASSERT_EQ(painted.Row(y)[x], (x + y) % 2 == 0 ? 0xFFFF0000u : 0xFF0000FFu) << x << "," << y;
}

// A 4 x 4 texture of four 2 x 2 quadrants.
constexpr std::array<TColor32, 4> kQuadrants = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
constexpr int kTextureSize = 4;

TBitmap32 QuadrantTexture() {
  TBitmap32 texture(kTextureSize, kTextureSize);
  for (int y = 0; y < kTextureSize; ++y)
    for (int x = 0; x < kTextureSize; ++x)
      texture.Row(y)[x] = kQuadrants[static_cast<std::size_t>(y / 2 * 2 + x / 2)];
  return texture;
}

// The quadrant (0 or 1) along one axis of texture coordinate t under GDI+'s
// wrap modes: tiles repeat, odd tiles mirrored when flipped; nothing outside
// the one copy when clamped.
std::optional<int> QuadrantAlong(double t, bool flip, bool clamp) {
  const double tile = std::floor(t / kTextureSize);
  if (clamp && tile != 0) return std::nullopt;
  double local = t - tile * kTextureSize;
  if (flip && std::abs(std::fmod(tile, 2.0)) == 1) local = kTextureSize - local;
  return local < kTextureSize / 2 ? 0 : 1;
}

struct TWrapCase {
  TTextureWrap Wrap;
  bool FlipX, FlipY, Clamp;
};

// Paints the quadrant texture through an orthogonal device parallelogram
// (origin, axes a and b, each the image of one texture side) and checks
// every pixel whose bilinear sample (the texels half a texel either side,
// with a margin) lies in one quadrant against the wrap rule; pixels far
// outside a clamped copy must keep the background.
void CheckTexture(const TWrapCase& c, TPointD origin, TPointD a, TPointD b) {
  const TColor32 background = 0xFF808080;
  const TBitmap32 texture = QuadrantTexture();
  const auto pattern = TexturePattern(texture, {origin, origin + a, origin + b}, c.Wrap);
  ASSERT_NE(pattern, nullptr);
  const int size = 72;
  const TBitmap32 painted = Painted(pattern.get(), size, size, background);
  int checked = 0;
  int outside = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const TPointD q = TPointD{x + 0.5, y + 0.5} - origin;
      // Projections onto the orthogonal axes, in texels.
      const double tx = kTextureSize * (q.X * a.X + q.Y * a.Y) / (a.X * a.X + a.Y * a.Y);
      const double ty = kTextureSize * (q.X * b.X + q.Y * b.Y) / (b.X * b.X + b.Y * b.Y);
      const bool farOutside =
          c.Clamp && (tx < -1.5 || ty < -1.5 || tx > kTextureSize + 1.5 || ty > kTextureSize + 1.5);
      if (farOutside) {
        ASSERT_EQ(painted.Row(y)[x], background) << x << "," << y;
        ++outside;
        continue;
      }
      const auto qx = QuadrantAlong(tx - 0.6, c.FlipX, c.Clamp);
      const auto qy = QuadrantAlong(ty - 0.6, c.FlipY, c.Clamp);
      if (!qx || !qy || QuadrantAlong(tx + 0.6, c.FlipX, c.Clamp) != qx ||
          QuadrantAlong(ty + 0.6, c.FlipY, c.Clamp) != qy)
        continue;
      const TColor32 expected = kQuadrants[static_cast<std::size_t>(*qy * 2 + *qx)];
      ASSERT_TRUE(Near(painted.Row(y)[x], expected, 2)) << x << "," << y << " at texel " << tx << "," << ty;
      ++checked;
    }
  EXPECT_GT(checked, c.Clamp ? 20 : 400);
  if (c.Clamp) {
    EXPECT_GT(outside, 2000);
  }
}

const TWrapCase kWrapCases[] = {{TTextureWrap::kTile, false, false, false},
                                {TTextureWrap::kTileFlipX, true, false, false},
                                {TTextureWrap::kTileFlipY, false, true, false},
                                {TTextureWrap::kTileFlipXY, true, true, false},
                                {TTextureWrap::kClamp, false, false, true}};

TEST(TextureBrushes, WrapModesUnderAScaledParallelogram) {
  for (const TWrapCase& c : kWrapCases) {
    SCOPED_TRACE(static_cast<int>(c.Wrap));
    // 4 device pixels a texel across, 3 down; the copy at the origin sits mid-bitmap.
    CheckTexture(c, {30, 27}, {16, 0}, {0, 12});
  }
}

TEST(TextureBrushes, WrapModesUnderARotatedParallelogram) {
  const double angle = std::numbers::pi / 6;
  const TPointD a = {20 * std::cos(angle), 20 * std::sin(angle)};
  const TPointD b = {-20 * std::sin(angle), 20 * std::cos(angle)};
  for (const TWrapCase& c : kWrapCases) {
    SCOPED_TRACE(static_cast<int>(c.Wrap));
    CheckTexture(c, {36, 22}, a, b);
  }
}

TEST(TextureBrushes, FlipsAreMirrorImagesAtTheSeam) {
  // One texel per device pixel: the pixels either side of a tile seam are
  // the same texel when flipped and opposite texels when tiled.
  TBitmap32 texture(3, 1);
  texture.Pixels()[0] = 0xFFFF0000;
  texture.Pixels()[1] = 0xFF00FF00;
  texture.Pixels()[2] = 0xFF0000FF;
  const TParallelogramD device = {TPointD{0, 0}, TPointD{3, 0}, TPointD{0, 1}};
  const TBitmap32 tiled = Painted(TexturePattern(texture, device, TTextureWrap::kTile).get(), 9, 1, 0);
  const TBitmap32 flipped = Painted(TexturePattern(texture, device, TTextureWrap::kTileFlipX).get(), 9, 1, 0);
  const TBitmap32 flippedY =
      Painted(TexturePattern(texture, device, TTextureWrap::kTileFlipY).get(), 9, 1, 0);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(tiled.Pixels()[x], texture.Pixels()[x % 3]) << x;
    const int mirrored = (x / 3) % 2 == 0 ? x % 3 : 2 - x % 3;
    EXPECT_EQ(flipped.Pixels()[x], texture.Pixels()[mirrored]) << x;
    EXPECT_EQ(flippedY.Pixels()[x], texture.Pixels()[x % 3]) << x;  // flipping y leaves a row's order
  }
}

TEST(TextureBrushes, NothingForAnEmptyTextureOrADegenerateParallelogram) {
  const TBitmap32 texture = QuadrantTexture();
  const TParallelogramD flat = {TPointD{0, 0}, TPointD{10, 10}, TPointD{20, 20}};
  EXPECT_EQ(TexturePattern(texture, flat, TTextureWrap::kTile), nullptr);
  const double nan = std::nan("");
  EXPECT_EQ(TexturePattern(texture, {TPointD{nan, 0}, TPointD{4, 0}, TPointD{0, 4}}, TTextureWrap::kTile),
            nullptr);
  EXPECT_EQ(
      TexturePattern(TBitmap32(0, 3), {TPointD{0, 0}, TPointD{4, 0}, TPointD{0, 4}}, TTextureWrap::kTile),
      nullptr);
}

}  // namespace
}  // namespace slabrip
