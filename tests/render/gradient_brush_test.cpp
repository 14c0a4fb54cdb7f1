// Gradient brushes painted through cairo onto small bitmaps, against independent computations of the
// gradients.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "render/brushes.h"
#include "support/pixel_checks.h"

namespace slabrip {
namespace {

using test::Channel;
using test::Near;

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr TRectD kWideClip = {-1e5, -1e5, 1e5, 1e5};
constexpr double kPi = std::numbers::pi;

TRef<TGradRange> Range(std::vector<TGradColor> stops, std::uint8_t kind = kGradientLinear,
                       bool gamma = false) {
  auto range = MakeRef<TGradRange>();
  range->Stops = std::move(stops);
  range->Kind = kind;
  range->GammaCorrection = gamma;
  return range;
}

constexpr std::array<TPointF, 3> kUnitFrame = {TPointF{0, 0}, TPointF{1, 0}, TPointF{0, 1}};

TCairoPattern Gradient(const TGradRange& range, const TRectF& extent,
                       const std::array<TPointF, 3>& frame = kUnitFrame, std::uint32_t transparency = 0,
                       const TAffine& matrix = {}, const TRectD& clip = kWideClip) {
  return GradientPattern(range, extent, frame, transparency, clip, matrix);
}

// The whole bitmap painted with the pattern over `background`.
TBitmap32 Painted(cairo_pattern_t* pattern, int width, int height, TColor32 background = 0) {
  TBitmap32 bitmap(width, height);
  bitmap.Fill(background);
  {
    TCairoSurface surface = SurfaceOver(bitmap);
    TCairo cr(cairo_create(surface.get()));
    cairo_set_source(cr.get(), pattern);
    cairo_paint(cr.get());
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    cr.reset();
    cairo_surface_flush(surface.get());
  }
  return bitmap;
}

// Reference blend of two opaque colours: straight, or through linear light of gamma 2.2.
TColor32 Mixed(std::uint32_t c0, std::uint32_t c1, double f, bool gamma = false) {
  TColor32 result = 0xFF000000;
  for (int shift : {16, 8, 0}) {
    const double a = Channel(c0, shift) / 255.0;
    const double b = Channel(c1, shift) / 255.0;
    const double v =
        gamma ? std::pow((1 - f) * std::pow(a, 2.2) + f * std::pow(b, 2.2), 1 / 2.2) : a + (b - a) * f;
    result |= static_cast<TColor32>(std::lround(v * 255)) << shift;
  }
  return result;
}

// Reference colour of opaque stops at position p, the end colours held beyond the ends.
TColor32 ColourAt(const std::vector<TGradColor>& stops, double p, bool gamma = false) {
  if (p <= stops.front().Position) return stops.front().Colour;
  for (std::size_t i = 1; i < stops.size(); ++i)
    if (p <= stops[i].Position) {
      const double f = (p - stops[i - 1].Position) / (stops[i].Position - stops[i - 1].Position);
      return Mixed(stops[i - 1].Colour, stops[i].Colour, f, gamma);
    }
  return stops.back().Colour;
}

TEST(LinearGradients, ColoursFollowTheStopsAlongTheFirstAxis) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kGreen, 0.3f}, {kBlue, 1}};
  const auto pattern = Gradient(*Range(stops), {0, 0, 100, 20});
  ASSERT_NE(pattern, nullptr);
  const TBitmap32 painted = Painted(pattern.get(), 100, 20);
  for (int x = 0; x < 100; ++x) {
    const TColor32 expected = ColourAt(stops, (x + 0.5) / 100);
    ASSERT_TRUE(Near(painted.Row(3)[x], expected, 2)) << x;
    ASSERT_EQ(painted.Row(17)[x], painted.Row(3)[x]) << x;  // constant across the axis
  }
}

TEST(LinearGradients, AnExtentInsideTheFrameKeepsTheStoredStops) {
  // The frame runs from x = -50 to 150 over the extent 0..100: u from 0.25 to 0.75.
  const std::vector<TGradColor> stops = {{kRed, 0}, {kBlue, 1}};
  const std::array<TPointF, 3> frame = {TPointF{-0.5f, 0}, TPointF{1.5f, 0}, TPointF{-0.5f, 1}};
  const auto pattern = Gradient(*Range(stops), {0, 0, 100, 10}, frame);
  ASSERT_NE(pattern, nullptr);
  int count = 0;
  ASSERT_EQ(cairo_pattern_get_color_stop_count(pattern.get(), &count), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(count, 2);
  const TBitmap32 painted = Painted(pattern.get(), 100, 10);
  for (int x = 0; x < 100; ++x)
    ASSERT_TRUE(Near(painted.Row(5)[x], ColourAt(stops, (x + 0.5 + 50) / 200), 2)) << x;
}

TEST(LinearGradients, AnExtentBeyondTheFrameHoldsTheEndColours) {
  // The frame covers x = 50..150 of the extent 0..150 (u = -0.5 at its left
  // edge) and x = 0..50 of the extent 0..75 in the second case (u = 1.5).
  // The first colour is held from the extent's edge up to the first stop.
  const std::vector<TGradColor> stops = {{kRed, 0.2f}, {kGreen, 0.5f}, {kBlue, 1}};
  const std::array<TPointF, 3> before = {TPointF{1.0f / 3, 0}, TPointF{1, 0}, TPointF{1.0f / 3, 1}};
  const auto extendedBefore = Gradient(*Range(stops), {0, 0, 150, 10}, before);
  ASSERT_NE(extendedBefore, nullptr);
  // Painted beyond the extent too: the extended gradient is mirrored at its own ends.
  const TBitmap32 painted = Painted(extendedBefore.get(), 150, 10);
  for (int x = 0; x < 150; ++x) {
    const double u = (x + 0.5 - 50) / 100;
    ASSERT_TRUE(Near(painted.Row(5)[x], ColourAt(stops, u), 2)) << x;
  }
  // Mirroring the stored gradient instead would give u = -0.25 the colour of 0.25.
  EXPECT_EQ(painted.Row(5)[25], kRed);
  EXPECT_EQ(painted.Row(5)[69], kRed);  // u = 0.195

  const std::array<TPointF, 3> after = {TPointF{0, 0}, TPointF{2.0f / 3, 0}, TPointF{0, 1}};
  const auto extendedAfter = Gradient(*Range(stops), {0, 0, 75, 10}, after);
  ASSERT_NE(extendedAfter, nullptr);
  const TBitmap32 paintedAfter = Painted(extendedAfter.get(), 75, 10);
  for (int x = 0; x < 75; ++x)
    ASSERT_TRUE(Near(paintedAfter.Row(5)[x], ColourAt(stops, (x + 0.5) / 50), 2)) << x;
}

// Stop count of the linear gradient whose frame starts `shift` of its length into the extent.
int StopCountWithOverhang(double shift) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kBlue, 1}};
  const auto s = static_cast<float>(shift);
  const std::array<TPointF, 3> frame = {TPointF{s, 0}, TPointF{1 + s, 0}, TPointF{s, 1}};
  const auto pattern = Gradient(*Range(stops), {0, 0, 100, 10}, frame);
  int count = 0;
  if (pattern) cairo_pattern_get_color_stop_count(pattern.get(), &count);
  return count;
}

TEST(LinearGradients, OverhangsBelowAThousandthSnapToTheFrame) {
  EXPECT_EQ(StopCountWithOverhang(0.0005), 2);   // lo = -0.0005, hi = 0.9995
  EXPECT_EQ(StopCountWithOverhang(-0.0005), 2);  // hi = 1.0005
  EXPECT_EQ(StopCountWithOverhang(0.002), 4);
  EXPECT_EQ(StopCountWithOverhang(-0.002), 4);
}

TEST(LinearGradients, TransparencyScalesEveryStopAlpha) {
  const std::vector<TGradColor> stops = {{0x80FF0000, 0}, {0xFF0000FF, 1}};
  const TRectF extent = {0, 0, 256, 4};
  const TBitmap32 none = Painted(Gradient(*Range(stops), extent, kUnitFrame, 0).get(), 256, 4);
  EXPECT_TRUE(Near(none.Pixels()[0], 0x80800000, 1));
  EXPECT_TRUE(Near(none.Pixels()[255], 0xFF0000FF, 1));

  const TColor32 background = 0xFF00FF00;
  const TBitmap32 all = Painted(Gradient(*Range(stops), extent, kUnitFrame, 255).get(), 256, 4, background);
  for (std::size_t i = 0; i < all.PixelCount(); ++i) ASSERT_EQ(all.Pixels()[i], background) << i;

  // 100: alphas scaled by 155/255 in 16.16 fixed point, the fraction dropped.
  const auto scaled = [](int alpha) {
    return static_cast<int>(std::lround(155 * 65536 / 255.0) * alpha / 65536);
  };
  const auto pattern = Gradient(*Range(stops), extent, kUnitFrame, 100);
  for (int i = 0; i < 2; ++i) {
    double offset = 0, r = 0, g = 0, b = 0, a = 0;
    cairo_pattern_get_color_stop_rgba(pattern.get(), i, &offset, &r, &g, &b, &a);
    EXPECT_EQ(std::lround(a * 255), scaled(Channel(stops[static_cast<std::size_t>(i)].Colour, 24))) << i;
  }
  const TBitmap32 some = Painted(pattern.get(), 256, 4);
  EXPECT_NEAR(Channel(some.Pixels()[255], 24), scaled(255), 1);
  EXPECT_NEAR(Channel(some.Pixels()[0], 24), scaled(0x80), 1);
}

TEST(LinearGradients, GammaCorrectionBlendsInLinearLight) {
  for (const auto& [c0, c1] : {std::pair{0xFF000000u, 0xFFFFFFFFu}, std::pair{kRed, 0xFF2080FFu}}) {
    const std::vector<TGradColor> stops = {{c0, 0}, {c1, 1}};
    const TBitmap32 plain = Painted(Gradient(*Range(stops), {0, 0, 200, 2}).get(), 200, 2);
    const TBitmap32 gamma =
        Painted(Gradient(*Range(stops, kGradientLinear, true), {0, 0, 200, 2}).get(), 200, 2);
    for (int x = 0; x < 200; ++x) {
      const double f = (x + 0.5) / 200;
      ASSERT_TRUE(Near(plain.Pixels()[x], Mixed(c0, c1, f), 2)) << x;
      ASSERT_TRUE(Near(gamma.Pixels()[x], Mixed(c0, c1, f, true), 2)) << x;
    }
    // The two blends differ clearly at the middle.
    EXPECT_GT(std::abs(Channel(gamma.Pixels()[100], 8) - Channel(plain.Pixels()[100], 8)) +
                  std::abs(Channel(gamma.Pixels()[100], 16) - Channel(plain.Pixels()[100], 16)),
              30);
  }
}

TEST(LinearGradients, TheAxisTurnsAboutTheFrameCentreAndFollowsTheMatrix) {
  // A quarter turn takes the unit frame's first axis from (1, 0) down to
  // (1, 1); the matrix then scales by 2 and shifts by (10, 4).
  auto range = Range({{kRed, 0}, {kBlue, 1}});
  range->Angle = static_cast<float>(kPi / 2);
  TAffine matrix;
  matrix.M11 = 2;
  matrix.M22 = 2;
  matrix.Dx = 10;
  matrix.Dy = 4;
  const auto pattern = Gradient(*range, {0, 0, 50, 50}, kUnitFrame, 0, matrix);
  ASSERT_NE(pattern, nullptr);
  const TBitmap32 painted = Painted(pattern.get(), 120, 110);
  for (int y = 4; y < 104; ++y) {
    const TColor32 expected = ColourAt(range->Stops, (y + 0.5 - 4) / 100);
    ASSERT_TRUE(Near(painted.Row(y)[15], expected, 2)) << y;
    ASSERT_TRUE(Near(painted.Row(y)[105], expected, 2)) << y;
  }
}

TEST(LinearGradients, RepeatsMirroredAlongTheAxis) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kGreen, 0.25f}, {kBlue, 1}};
  const TBitmap32 painted = Painted(Gradient(*Range(stops), {0, 0, 40, 4}).get(), 200, 4);
  for (int x = 0; x < 200; ++x) {
    const double u = (x + 0.5) / 40;
    const double period = std::fmod(u, 2);
    ASSERT_TRUE(Near(painted.Pixels()[x], ColourAt(stops, period <= 1 ? period : 2 - period), 2)) << x;
  }
}

// A frame centred on the extent (0,0)-(100,100) whose unit corners lie
// (25, 0) and (0, 10) from the centre: the extent's corners are at u = +-2,
// v = +-5, so r = 5.
constexpr std::array<TPointF, 3> kCentredFrame = {TPointF{0.5f, 0.5f}, TPointF{0.75f, 0.5f},
                                                  TPointF{0.5f, 0.6f}};

TEST(EllipticalGradients, RunFromTheFirstColourAtTheCentreToTheLastAndStopAtTwiceR) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kGreen, 0.4f}, {kBlue, 1}};
  const TColor32 background = 0xFF808080;
  // A transparency that elliptical gradients do not apply.
  const auto pattern = Gradient(*Range(stops, kGradientElliptical), {0, 0, 100, 100}, kCentredFrame, 200);
  ASSERT_NE(pattern, nullptr);
  // The bitmap holds the ellipse's whole boundary at u = 2r = 10.
  TBitmap32 painted = Painted(pattern.get(), 600, 300, background);
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 600; ++x) {
      const double u = (x + 0.5 - 50) / 25;
      const double v = (y + 0.5 - 50) / 10;
      // The bitmap reaches u = 22 and v = 25; the ellipse only u, v = 10.
      const double rho = std::hypot(u, v);
      const TColor32 pixel = painted.Row(y)[x];
      if (rho > 10.2) {
        ASSERT_EQ(pixel, background) << x << "," << y;
        ++outside;
      } else if (rho < 9.8) {
        ASSERT_TRUE(Near(pixel, ColourAt(stops, rho), 3)) << x << "," << y << " rho " << rho;
        ++inside;
      }
    }
  EXPECT_GT(inside, 30000);
  EXPECT_GT(outside, 50000);
}

TEST(RectangularGradients, LevelsAreSquaresInTheFrameAndEndAtR) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kGreen, 0.5f}, {kBlue, 1}};
  const TColor32 background = 0xFF808080;
  // A turn of 30 degrees about the extent's centre, where the frame's origin lies.
  auto range = Range(stops, kGradientRectangular);
  range->Angle = static_cast<float>(kPi / 6);
  const auto pattern = Gradient(*range, {0, 0, 100, 100}, kCentredFrame, 100);
  ASSERT_NE(pattern, nullptr);
  const TBitmap32 painted = Painted(pattern.get(), 200, 200, background);
  // The turned axes of the frame, in device pixels.
  const double c = std::cos(kPi / 6);
  const double s = std::sin(kPi / 6);
  const TPointD a = {25 * c, 25 * s};
  const TPointD b = {-10 * s, 10 * c};
  // r: the largest |u|, |v| of the extent's corners (axes orthogonal: projections).
  double r = 1;
  for (const TPointD corner : {TPointD{0, 0}, TPointD{100, 0}, TPointD{0, 100}, TPointD{100, 100}}) {
    const TPointD q = corner - TPointD{50, 50};
    r = std::max(
        {r, std::abs((q.X * a.X + q.Y * a.Y) / (25.0 * 25)), std::abs((q.X * b.X + q.Y * b.Y) / 100.0)});
  }
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x) {
      const TPointD q = TPointD{x + 0.5, y + 0.5} - TPointD{50, 50};
      const double u = (q.X * a.X + q.Y * a.Y) / (25.0 * 25);
      const double v = (q.X * b.X + q.Y * b.Y) / 100.0;
      const double level = std::max(std::abs(u), std::abs(v));
      const TColor32 pixel = painted.Row(y)[x];
      if (level > r * 1.01) {
        ASSERT_EQ(pixel, background) << x << "," << y;
        ++outside;
      } else if (level < r * 0.99) {
        ASSERT_TRUE(Near(pixel, ColourAt(stops, level), 2)) << x << "," << y << " level " << level;
        ++inside;
      }
    }
  EXPECT_GT(inside, 5000);
  EXPECT_GT(outside, 2000);
}

// Pixels of a conical gradient about (32, 32) with axes turned 45 degrees:
// mirrored about the first axis means (x, y) and (y, x) agree.
TBitmap32 ConicalAtTheCentre(bool fullTurn, const std::vector<TGradColor>& stops) {
  auto range = Range(stops, kGradientConical);
  range->FullTurn = fullTurn;
  // The extent (0,0)-(64,64); the frame's origin at its centre, axes (20, 20) and (-20, 20).
  const std::array<TPointF, 3> frame = {TPointF{0.5f, 0.5f}, TPointF{0.8125f, 0.8125f},
                                        TPointF{0.1875f, 0.8125f}};
  const auto pattern = Gradient(*range, {0, 0, 64, 64}, frame);
  EXPECT_NE(pattern, nullptr);
  return pattern ? Painted(pattern.get(), 64, 64) : TBitmap32(64, 64);
}

// The angle of the pixel centre about (32, 32) measured from the first axis (1, 1).
double AngleFromAxis(int x, int y) {
  const double dx = x + 0.5 - 32;
  const double dy = y + 0.5 - 32;
  return std::atan2((dy - dx) / std::sqrt(2.0), (dx + dy) / std::sqrt(2.0));
}

TEST(ConicalGradients, MirroredSweepsHalfTurnsSymmetricAboutTheFirstAxis) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kGreen, 0.7f}, {kBlue, 1}};
  const TBitmap32 painted = ConicalAtTheCentre(false, stops);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      ASSERT_EQ(painted.Row(y)[x], painted.Row(x)[y]) << x << "," << y;
      const double a = AngleFromAxis(x, y);
      ASSERT_TRUE(Near(painted.Row(y)[x], ColourAt(stops, std::abs(a) / kPi), 3)) << x << "," << y;
    }
}

TEST(ConicalGradients, AFullTurnStartsAndEndsOnTheNegativeFirstAxis) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kGreen, 0.7f}, {kBlue, 1}};
  const TBitmap32 painted = ConicalAtTheCentre(true, stops);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const double a = AngleFromAxis(x, y);
      ASSERT_TRUE(Near(painted.Row(y)[x], ColourAt(stops, (a + kPi) / (2 * kPi)), 3)) << x << "," << y;
    }
  // Either side of the seam (the negative first axis runs to the top left):
  // the start of the turn just below it, the end just above.
  EXPECT_TRUE(Near(painted.Row(3)[4], kRed, 8));
  EXPECT_TRUE(Near(painted.Row(4)[3], kBlue, 8));
  EXPECT_NE(painted.Row(4)[3], painted.Row(3)[4]);
}

TEST(ConicalGradients, TheBitmapCoversOnlyTheClippedExtent) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kBlue, 1}};
  auto range = Range(stops, kGradientConical);
  const TRectD clip = {10.3, 20.7, 50.2, 60.5};
  const auto pattern = Gradient(*range, {0, 0, 1000, 1000}, kUnitFrame, 0, {}, clip);
  ASSERT_NE(pattern, nullptr);
  cairo_surface_t* bitmap = nullptr;
  ASSERT_EQ(cairo_pattern_get_surface(pattern.get(), &bitmap), CAIRO_STATUS_SUCCESS);
  // The whole pixels that cover the clip: 10..51 across, 20..61 down.
  EXPECT_EQ(cairo_image_surface_get_width(bitmap), 41);
  EXPECT_EQ(cairo_image_surface_get_height(bitmap), 41);
  const TColor32 background = 0xFF808080;
  const TBitmap32 painted = Painted(pattern.get(), 80, 80, background);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x) {
      const TColor32 pixel = painted.Row(y)[x];
      if (x < 10 || x >= 51 || y < 20 || y >= 61) {
        ASSERT_EQ(pixel, background) << x << "," << y;
      } else {
        // The frame is the extent itself: u = x / 1000, v = y / 1000, mirrored about u.
        const double a = std::atan2((y + 0.5) / 1000, (x + 0.5) / 1000);
        ASSERT_TRUE(Near(pixel, ColourAt(stops, a / kPi), 2)) << x << "," << y;
      }
    }
  // An extent ending inside the clip bounds the bitmap as well.
  const auto corner = Gradient(*range, {0, 0, 30, 30}, kUnitFrame, 0, {}, clip);
  ASSERT_NE(corner, nullptr);
  ASSERT_EQ(cairo_pattern_get_surface(corner.get(), &bitmap), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(bitmap), 20);   // 10..30
  EXPECT_EQ(cairo_image_surface_get_height(bitmap), 10);  // 20..30
}

TEST(ConicalGradients, NoBrushOutsideTheClipOrForAbsurdSizes) {
  auto range = Range({{kRed, 0}, {kBlue, 1}}, kGradientConical);
  EXPECT_EQ(Gradient(*range, {0, 0, 100, 100}, kUnitFrame, 0, {}, {200, 0, 300, 100}), nullptr);
  EXPECT_EQ(Gradient(*range, {0, 0, 100, 100}, kUnitFrame, 0, {}, {50, 50, 50, 80}), nullptr);
  // A gigapixel extent inside an equally large clip is refused rather than drawn.
  EXPECT_EQ(Gradient(*range, {0, 0, 30000, 30000}, kUnitFrame, 0, {}, {0, 0, 30000, 30000}), nullptr);
}

TEST(Gradients, DegenerateInputsGiveNoBrush) {
  const std::vector<TGradColor> stops = {{kRed, 0}, {kBlue, 1}};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::array<TPointF, 3> collinear = {TPointF{0, 0}, TPointF{1, 1}, TPointF{0.5f, 0.5f}};
  TAffine flat;
  flat.M22 = 0;
  TAffine notANumber;
  notANumber.M12 = nan;
  for (std::uint8_t kind : {kGradientLinear, kGradientElliptical, kGradientRectangular, kGradientConical}) {
    SCOPED_TRACE(kind);
    const auto range = Range(stops, kind, true);
    EXPECT_NE(Gradient(*range, {0, 0, 10, 10}), nullptr);
    EXPECT_EQ(Gradient(*Range({}, kind), {0, 0, 10, 10}), nullptr);
    EXPECT_EQ(Gradient(*range, {0, 0, 10, 10}, collinear), nullptr);
    EXPECT_EQ(Gradient(*range, {0, 0, 0, 10}), nullptr);
    EXPECT_EQ(Gradient(*range, {0, 0, 10, 10}, kUnitFrame, 0, flat), nullptr);
    EXPECT_EQ(Gradient(*range, {0, 0, 10, 10}, kUnitFrame, 0, notANumber), nullptr);
    EXPECT_EQ(Gradient(*range, {0, 0, inf, 10}), nullptr);
    EXPECT_EQ(Gradient(*range, {0, 0, 10, 10}, {TPointF{nan, 0}, TPointF{1, 0}, TPointF{0, 1}}), nullptr);
  }
  auto turned = Range(stops);
  turned->Angle = nan;
  EXPECT_EQ(Gradient(*turned, {0, 0, 10, 10}), nullptr);
}

TEST(Gradients, OneStopPaintsItsColour) {
  for (std::uint8_t kind : {kGradientLinear, kGradientElliptical, kGradientRectangular, kGradientConical}) {
    const auto pattern = Gradient(*Range({{0xFF336699, 0.5f}}, kind, true), {0, 0, 10, 10});
    ASSERT_NE(pattern, nullptr) << int{kind};
    const TBitmap32 painted = Painted(pattern.get(), 10, 10);
    EXPECT_TRUE(Near(painted.Row(5)[5], 0xFF336699, 1)) << int{kind};
  }
}

}  // namespace
}  // namespace slabrip
