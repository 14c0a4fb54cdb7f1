// Gradient brushes as cairo patterns: GDI+ linear and path-gradient brushes, and gradients drawn per pixel.
#include "render/brushes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

#include "base/rounding.h"

namespace slabrip {

namespace {

// Gradient extremes this close to the frame's ends are taken as the ends.
constexpr double kSnap = 0.001;
// GDI+'s gamma-corrected blends mix colours in linear light of this exponent.
constexpr double kGamma = 2.2;
// A gamma-corrected segment is split until the sRGB chords between stops
// are this close to the true blend ...
constexpr double kGammaTolerance = 0.5 / 255;
// ... but a gradient gains at most this many stops: cairo's gradient walker
// searches its stops linearly, so every stop costs in every pixel row.
constexpr int kGammaStopBudget = 256;
// Bounds of a gradient drawn into a bitmap: a sane pixel count, cairo's largest side.
constexpr double kMaxDrawnPixels = 1e8;
constexpr double kMaxImageSide = 32767;
constexpr int kConicalTableSize = 1024;
constexpr int kRectangularTableSize = 4096;

/// A straight (not premultiplied) colour with channels in 0..1.
struct TColourD {
  double A = 0, R = 0, G = 0, B = 0;
};

struct TStop {
  double Position = 0;
  std::uint32_t Colour = 0;  // 0xAARRGGBB
};
using TStops = std::vector<TStop>;

TColourD ColourOf(std::uint32_t argb) {
  const auto channel = [argb](int shift) { return static_cast<double>((argb >> shift) & 0xFF) / 255.0; };
  return {channel(24), channel(16), channel(8), channel(0)};
}

// Alpha is always blended straight; colour channels either straight or, for
// gamma correction, as the power-2.2 light values they stand for.
double Mix(double a, double b, double f, bool gamma) {
  if (!gamma) return a + (b - a) * f;
  return std::pow((1 - f) * std::pow(a, kGamma) + f * std::pow(b, kGamma), 1 / kGamma);
}

TColourD Blend(const TColourD& c0, const TColourD& c1, double f, bool gamma) {
  return {c0.A + (c1.A - c0.A) * f, Mix(c0.R, c1.R, f, gamma), Mix(c0.G, c1.G, f, gamma),
          Mix(c0.B, c1.B, f, gamma)};
}

double Distance(const TColourD& a, const TColourD& b) {
  return std::max({std::abs(a.A - b.A), std::abs(a.R - b.R), std::abs(a.G - b.G), std::abs(a.B - b.B)});
}

// cairo's gradients keep stops in offset order (equal offsets in the order
// given) and clamp offsets into 0..1; the stored stops get the same.
TStops SortedStops(const std::vector<TGradColor>& stored) {
  TStops stops;
  stops.reserve(stored.size());
  for (const TGradColor& s : stored) {
    const double p = s.Position;
    stops.push_back({p > 0 ? std::min(p, 1.0) : 0.0, s.Colour});
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const TStop& a, const TStop& b) { return a.Position < b.Position; });
  return stops;
}

void AddStop(cairo_pattern_t* pattern, double offset, const TColourD& c) {
  cairo_pattern_add_color_stop_rgba(pattern, offset, c.R, c.G, c.B, c.A);
}

// Stops inside the segment s0 -> s1 such that cairo's straight
// interpolation between them follows the linear-light blend. Each channel
// of that blend is concave or convex along the segment, so a chord strays
// from it most near its middle: the piece whose middle strays most is split
// until all are within tolerance or the segment's allowance is spent.
void AddGammaStops(cairo_pattern_t* pattern, const TStop& s0, const TStop& s1, int allowance) {
  struct TPiece {
    double F0 = 0, F1 = 0;
    TColourD C0, C1, Mid;
    double Error = 0;
  };
  const TColourD c0 = ColourOf(s0.Colour);
  const TColourD c1 = ColourOf(s1.Colour);
  const auto piece = [&](double f0, double f1, const TColourD& at0, const TColourD& at1) {
    const TColourD mid = Blend(c0, c1, (f0 + f1) / 2, true);
    return TPiece{f0, f1, at0, at1, mid, Distance(mid, Blend(at0, at1, 0.5, false))};
  };
  std::vector<TPiece> pieces = {piece(0, 1, c0, c1)};
  for (; allowance > 0; --allowance) {
    const auto worst = std::max_element(pieces.begin(), pieces.end(),
                                        [](const TPiece& a, const TPiece& b) { return a.Error < b.Error; });
    if (worst->Error <= kGammaTolerance) break;
    const TPiece split = *worst;
    const double fm = (split.F0 + split.F1) / 2;
    *worst = piece(split.F0, fm, split.C0, split.Mid);
    pieces.push_back(piece(fm, split.F1, split.Mid, split.C1));
  }
  std::sort(pieces.begin(), pieces.end(), [](const TPiece& a, const TPiece& b) { return a.F0 < b.F0; });
  for (std::size_t i = 1; i < pieces.size(); ++i)
    AddStop(pattern, s0.Position + (s1.Position - s0.Position) * pieces[i].F0, pieces[i].C0);
}

void AddStops(cairo_pattern_t* pattern, const TStops& stops, bool gamma) {
  const int allowance = kGammaStopBudget / static_cast<int>(std::max<std::size_t>(stops.size(), 2) - 1);
  for (std::size_t i = 0; i < stops.size(); ++i) {
    if (gamma && i > 0 && stops[i].Position > stops[i - 1].Position)
      AddGammaStops(pattern, stops[i - 1], stops[i], allowance);
    AddStop(pattern, stops[i].Position, ColourOf(stops[i].Colour));
  }
}

TColor32 Premultiplied(const TColourD& c) {
  const auto byte = [](double v) { return static_cast<TColor32>(RoundClamp(v * 255, 0, 255)); };
  return byte(c.A) << 24 | byte(c.R * c.A) << 16 | byte(c.G * c.A) << 8 | byte(c.B * c.A);
}

// Premultiplied colours of the blend at positions first, first + step, ...
// (stops sorted; before the first stop its colour, after the last stop its colour).
std::vector<TColor32> ColourTable(const TStops& stops, bool gamma, int count, double first, double step) {
  std::vector<TColor32> table(static_cast<std::size_t>(count));
  std::size_t next = 0;  // the first stop beyond the position
  for (int i = 0; i < count; ++i) {
    const double p = first + step * i;
    while (next < stops.size() && stops[next].Position <= p) ++next;
    TColourD c;
    if (next == 0) {
      c = ColourOf(stops.front().Colour);
    } else if (next == stops.size()) {
      c = ColourOf(stops.back().Colour);
    } else {
      const TStop& s0 = stops[next - 1];
      const TStop& s1 = stops[next];
      const double f = (p - s0.Position) / (s1.Position - s0.Position);
      c = Blend(ColourOf(s0.Colour), ColourOf(s1.Colour), f, gamma);
    }
    table[static_cast<std::size_t>(i)] = Premultiplied(c);
  }
  return table;
}

bool IsFinite(TPointD p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

TParallelogramD Square(double side) { return {{{0, 0}, {side, 0}, {0, side}}}; }

// The gradient frame in device space: the fill frame rotated about its
// centre, carried into the extent, then mapped by the matrix. Nothing when
// it is degenerate.
std::optional<TParallelogramD> DeviceFrame(double angle, const TRectF& extent, const TParallelogramF& frame,
                                           const TAffineD& matrix) {
  const double cosA = std::cos(angle);
  const double sinA = std::sin(angle);
  const double width = static_cast<double>(extent.MaxX) - extent.MinX;
  const double height = static_cast<double>(extent.MaxY) - extent.MinY;
  TParallelogramD d;
  for (std::size_t i = 0; i < 3; ++i) {
    const double dx = frame[i].X - 0.5;
    const double dy = frame[i].Y - 0.5;
    const double x = 0.5 + cosA * dx - sinA * dy;
    const double y = 0.5 + sinA * dx + cosA * dy;
    d[i] = matrix.Map({extent.MinX + x * width, extent.MinY + y * height});
  }
  if (IsDegenerate(d)) return std::nullopt;
  return d;
}

// Alpha scaled by the opacity 255 - t in 16.16 fixed point, the fraction dropped.
std::uint32_t WithTransparency(std::uint32_t argb, std::uint32_t transparency) {
  const std::int64_t t = std::min<std::uint32_t>(transparency, 255);
  const std::int64_t factor = RoundClamp(static_cast<double>((255 - t) * 65536) / 255, 0, 65536);
  const auto alpha = static_cast<std::uint32_t>(factor * (argb >> 24) / 65536);
  return alpha << 24 | (argb & 0xFFFFFF);
}

// GDI+'s linear brush runs along the extended frame's first axis, flipped
// at every repeat, with its levels along the second axis; the frame's first
// axis is stretched over all of the extent, so the colours move to their
// places on the stretched axis and the ends are held.
TCairoPattern LinearPattern(const TStops& stops, bool gamma, const TParallelogramD& d,
                            const std::array<TPointD, 4>& corners, std::uint32_t transparency) {
  double lo = 0;
  double hi = 1;
  for (const TPointD& c : corners) {
    lo = std::min(lo, c.X);
    hi = std::max(hi, c.X);
  }
  if (std::abs(lo) < kSnap) lo = 0;
  if (std::abs(hi - 1) < kSnap) hi = 1;
  const double span = hi - lo;
  const TPointD axis = span * (d[1] - d[0]);
  const TPointD across = d[2] - d[0];
  const TPointD e0 = d[0] + lo * (d[1] - d[0]);
  // The same gradient in device space, where cairo's fixed-point pattern
  // coordinates cannot overflow: cairo's line p1 -> p2 has its levels square
  // to it, so p2 - p1 = w is square to the second axis, and w . axis = |w|^2
  // makes the first axis span exactly one gradient length.
  const TPointD normal = {-across.Y, across.X};
  const TPointD w =
      ((axis.X * normal.X + axis.Y * normal.Y) / (normal.X * normal.X + normal.Y * normal.Y)) * normal;

  TStops blend;
  if (lo < 0 || hi > 1) {
    blend.push_back({0, stops.front().Colour});
    for (const TStop& s : stops) blend.push_back({(s.Position - lo) / span, s.Colour});
    blend.push_back({1, stops.back().Colour});
  } else {
    blend = stops;
  }
  if (transparency != 0)
    for (TStop& s : blend) s.Colour = WithTransparency(s.Colour, transparency);

  cairo_pattern_t* pattern = cairo_pattern_create_linear(e0.X, e0.Y, e0.X + w.X, e0.Y + w.Y);
  AddStops(pattern, blend, gamma);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REFLECT);
  return TCairoPattern(pattern);
}

// GDI+'s path gradient runs from the boundary (0) to the centre (1) with the
// last colour at the boundary and a stop at p at 1 - p / R; measured from
// the centre instead (as cairo's offsets and the drawn table are), that is
// each stop at p / R and the last colour again at the boundary, 1.
TStops PathStops(const TStops& stops, double radius) {
  TStops blend;
  blend.reserve(stops.size() + 1);
  for (const TStop& s : stops) blend.push_back({s.Position / radius, s.Colour});
  blend.push_back({1, stops.back().Colour});
  return blend;
}

// GDI+'s path gradient on the circle of radius R about the frame's origin
// in gradient coordinates. Its pattern space is gradient coordinates times
// the frame's mean side, not a fixed scale: cairo hands the pattern matrix
// to pixman in 16.16 fixed point, precise only for entries near 1.
TCairoPattern EllipticalPattern(const TStops& stops, bool gamma, const TParallelogramD& d, double radius) {
  const double side = std::sqrt(std::abs(Determinant(d)));
  cairo_pattern_t* pattern = cairo_pattern_create_radial(0, 0, 0, 0, 0, side * radius);
  AddStops(pattern, PathStops(stops, radius), gamma);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
  const cairo_matrix_t toPattern = CairoMatrix(TransformBetween(d, Square(side)));
  cairo_pattern_set_matrix(pattern, &toPattern);
  return TCairoPattern(pattern);
}

TRectD BoundingBox(std::span<const TPointD> points) {
  TRectD box{points[0].X, points[0].Y, points[0].X, points[0].Y};
  for (const TPointD& p : points) box.Include(p);
  return box;
}

// The whole device pixels that cover the part of `box` inside the clip;
// nothing when that part is empty or too large to draw.
std::optional<TRectI> DrawnArea(const TRectD& box, const TRectD& clip) {
  const double left = std::floor(std::max(box.MinX, clip.MinX));
  const double top = std::floor(std::max(box.MinY, clip.MinY));
  const double right = std::ceil(std::min(box.MaxX, clip.MaxX));
  const double bottom = std::ceil(std::min(box.MaxY, clip.MaxY));
  const double width = right - left;
  const double height = bottom - top;
  if (!(width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
        width * height <= kMaxDrawnPixels && std::abs(left) < 1e9 && std::abs(top) < 1e9))
    return std::nullopt;
  return TRectI{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                static_cast<int>(bottom)};
}

// A bitmap over `area` whose pixels are pixelOf(u, v) at the gradient
// coordinates of their centres, placed at its device position.
template <class PixelOf>
TCairoPattern DrawnPattern(const TRectI& area, const TAffineD& toGradient, PixelOf pixelOf) {
  const int width = area.Width();
  const int height = area.Height();
  TCairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface.get()));
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<TColor32*>(data + static_cast<std::size_t>(y) * stride);
    const double py = area.MinY + y + 0.5;
    for (int x = 0; x < width; ++x) {
      const TPointD g = toGradient.Map({area.MinX + x + 0.5, py});
      row[x] = pixelOf(g.X, g.Y);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface.get());
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_matrix_t toBitmap;
  cairo_matrix_init_translate(&toBitmap, -area.MinX, -area.MinY);
  cairo_pattern_set_matrix(pattern, &toBitmap);
  return TCairoPattern(pattern);
}

// GDI+'s rectangular path gradient: the blend runs along the larger of |u|
// and |v|, so its levels are squares about the centre, and nothing is
// painted beyond the square of side 2R.
TCairoPattern RectangularPattern(const TStops& stops, bool gamma, const TParallelogramD& d,
                                 const TAffineD& toGradient, double radius, const TRectD& clip) {
  const TPointD a = radius * (d[1] - d[0]);
  const TPointD b = radius * (d[2] - d[0]);
  const std::array<TPointD, 4> square = {d[0] - a - b, d[0] + a - b, d[0] + a + b, d[0] - a + b};
  const auto area = DrawnArea(BoundingBox(square), clip);
  if (!area) return nullptr;
  constexpr int last = kRectangularTableSize - 1;
  const auto table = ColourTable(PathStops(stops, radius), gamma, kRectangularTableSize, 0, 1.0 / last);
  return DrawnPattern(*area, toGradient, [&](double u, double v) -> TColor32 {
    const double rho = std::max(std::abs(u), std::abs(v)) / radius;
    if (rho > 1) return 0;
    return table[static_cast<std::size_t>(RoundHalfEven(rho * last))];
  });
}

// The conical gradient: the angle about the frame's origin picks one of
// 1024 colours of the blend, over a full turn from the negative first axis
// or mirrored about the first axis.
TCairoPattern ConicalPattern(const TStops& stops, bool gamma, bool fullTurn, const TAffineD& toGradient,
                             const std::array<TPointD, 4>& deviceCorners, const TRectD& clip) {
  const auto area = DrawnArea(BoundingBox(deviceCorners), clip);
  if (!area) return nullptr;
  constexpr double step = 1.0 / kConicalTableSize;
  const auto table = ColourTable(stops, gamma, kConicalTableSize, step / 2, step);
  constexpr double pi = std::numbers::pi;
  constexpr double last = kConicalTableSize - 1;
  return DrawnPattern(*area, toGradient, [&](double u, double v) {
    const double angle = std::atan2(v, u);
    const double index =
        fullTurn ? RoundHalfEven((angle + pi) * last / (2 * pi)) : RoundHalfEven(std::abs(angle) * last / pi);
    return table[static_cast<std::size_t>(index) % kConicalTableSize];
  });
}

}  // namespace

TCairoPattern GradientPattern(const TGradRange& range, const TRectF& extent, const TParallelogramF& frame,
                              std::uint32_t transparency, const TRectD& deviceClip, const TAffine& matrix) {
  if (range.Stops.empty()) return nullptr;
  const TAffineD toDevice = Widened(matrix);
  const auto d = DeviceFrame(range.Angle, extent, frame, toDevice);
  if (!d) return nullptr;
  // Device space -> gradient coordinates: the frame's origin at (0, 0), its corners at (1, 0) and (0, 1).
  const TAffineD toGradient = TransformBetween(*d, Square(1));
  const std::array<TPointD, 4> fillCorners = {
      TPointD{extent.MinX, extent.MinY}, TPointD{extent.MaxX, extent.MinY}, TPointD{extent.MaxX, extent.MaxY},
      TPointD{extent.MinX, extent.MaxY}};
  std::array<TPointD, 4> deviceCorners;
  std::array<TPointD, 4> corners;
  for (std::size_t i = 0; i < 4; ++i) {
    deviceCorners[i] = toDevice.Map(fillCorners[i]);
    corners[i] = toGradient.Map(deviceCorners[i]);
    if (!IsFinite(corners[i])) return nullptr;
  }
  const TStops stops = SortedStops(range.Stops);
  const bool gamma = range.GammaCorrection;

  TCairoPattern pattern;
  switch (range.Kind) {
    case kGradientElliptical:
    case kGradientRectangular: {
      double r = 1;
      for (const TPointD& c : corners) r = std::max({r, std::abs(c.X), std::abs(c.Y)});
      pattern = range.Kind == kGradientElliptical
                    ? EllipticalPattern(stops, gamma, *d, 2 * r)
                    : RectangularPattern(stops, gamma, *d, toGradient, r, deviceClip);
      break;
    }
    case kGradientConical:
      pattern = ConicalPattern(stops, gamma, range.FullTurn, toGradient, deviceCorners, deviceClip);
      break;
    default: pattern = LinearPattern(stops, gamma, *d, corners, transparency); break;
  }
  // A pattern in an error state would stop all drawing on the context it is set on.
  if (pattern && cairo_pattern_status(pattern.get()) != CAIRO_STATUS_SUCCESS) pattern.reset();
  return pattern;
}

}  // namespace slabrip
