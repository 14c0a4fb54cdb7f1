// Outlines: contours, segments, flattening into cubics, bounds, and the stored forms of curves.
#include "geometry/geo_curve.h"
#include "base/byte_order.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "base/rounding.h"

namespace slabrip {

namespace {

constexpr std::uint32_t kContourCutMagic = 0x2F339B0D;
constexpr std::size_t kContourCutHeaderSize = 16;
constexpr std::size_t kPointSize = 12;
constexpr std::int32_t kMaxStoredPoints = 1'000'000;
// A real arc needs a few halvings at device resolution; the cap holds an arc
// with hostile weights or coordinates to 1024 cubics.
constexpr int kMaxSplitDepth = 10;
// The bounds of nothing: an inverted box, as a curve without contours reports it.
constexpr double kEmptyMin = 2147483648.0;
constexpr double kEmptyMax = -2147483648.0;
// The squared cosine of 1 degree.
constexpr double kSmoothCos2 = 0.9996954;

std::uint32_t LoadU32(const std::uint8_t* p) { return LoadLe<std::uint32_t>(p); }
std::int32_t LoadI32(const std::uint8_t* p) { return LoadLe<std::int32_t>(p); }
float LoadF32(const std::uint8_t* p) { return LoadLe<float>(p); }
void StoreU32(std::uint8_t* p, std::uint32_t v) { StoreLe(p, v); }
void StoreI32(std::uint8_t* p, std::int32_t v) { StoreLe(p, v); }
void StoreF32(std::uint8_t* p, float v) { StoreLe(p, v); }

double Dot(TPointD a, TPointD b) { return a.X * b.X + a.Y * b.Y; }
double Cross(TPointD a, TPointD b) { return a.X * b.Y - a.Y * b.X; }

// Bounds gathered in double from the inverted box; NaN coordinates leave them unchanged.
constexpr TRectD kNoBounds{kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};

void Include(TRectD& box, const TRectF& r) {
  box.Include({r.MinX, r.MinY});
  box.Include({r.MaxX, r.MaxY});
}

TRectF Narrowed(const TRectD& r) {
  return {static_cast<float>(r.MinX), static_cast<float>(r.MinY), static_cast<float>(r.MaxX),
          static_cast<float>(r.MaxY)};
}

// Calls take(t) for the real roots of a t^2 + b t + c strictly inside (0, 1).
template <class TTake>
void RootsInside(double a, double b, double c, const TTake& take) {
  const auto inside = [&](double t) {
    if (t > 0 && t < 1) take(t);
  };
  if (a == 0) {
    if (b != 0) inside(-c / b);
    return;
  }
  const double disc = b * b - 4 * a * c;
  if (!(disc >= 0)) return;
  // The form that avoids cancellation: one root from q / a, the other from c / q.
  const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
  if (q == 0) return;  // double root at t = 0
  inside(q / a);
  inside(c / q);
}

void AddConicExtent(const TConic& conic, TRectD& box) {
  box.Include(conic.P0);
  box.Include(conic.P2);
  // A coordinate is N(t) / D(t) with D = 1 + d1 t + d2 t^2 and, taking the
  // start as origin, N = n1 t + n2 t^2. N'D - ND' has no cubic term, leaving
  // (n2 d1 - n1 d2) t^2 + 2 n2 t + n1.
  const double w = conic.W;
  const double d1 = 2 * w - 2, d2 = 2 - 2 * w;
  const TPointD p1 = conic.P1 - conic.P0, p2 = conic.P2 - conic.P0;
  for (const auto& [c1, c2] : {std::pair{p1.X, p2.X}, std::pair{p1.Y, p2.Y}}) {
    const double n1 = 2 * w * c1, n2 = c2 - 2 * w * c1;
    RootsInside(n2 * d1 - n1 * d2, 2 * n2, n1, [&](double t) { box.Include(conic.At(t)); });
  }
}

TPointD CubicAt(TPointD p0, TPointD c1, TPointD c2, TPointD p3, double t) {
  const double u = 1 - t;
  return u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * p3;
}

// Squared distance of q from the conic, to first order: F^2 / |grad F|^2 of
// its implicit equation. With a0, a1, a2 the barycentric coordinates of q in
// the triangle start, control, end (scaled by twice its area), the conic is
// a1^2 - 4 w^2 a0 a2 = 0.
double SquaredDistanceEstimate(const TConic& conic, TPointD q) {
  const TPointD p1 = conic.P1 - conic.P0, p2 = conic.P2 - conic.P0, v = q - conic.P0;
  const TPointD zero{};
  const double a0 = Cross(p1 - v, p2 - v), a1 = Cross(p2 - v, zero - v), a2 = Cross(zero - v, p1 - v);
  const TPointD g0{p1.Y - p2.Y, p2.X - p1.X}, g1{p2.Y, -p2.X}, g2{-p1.Y, p1.X};
  const double w4 = 4 * conic.W * conic.W;
  const double f = a1 * a1 - w4 * a0 * a2;
  const TPointD g = 2 * a1 * g1 - w4 * (a2 * g0 + a0 * g2);
  const double gLength = std::hypot(g.X, g.Y);
  if (gLength <= 1e-6) return 0;  // |g|^2 <= 1e-12
  const double d = f / gLength;
  return d * d;
}

void FlattenPart(const TConic& conic, double tolerance, int depth, TGeoPath& path) {
  const double w = conic.W;
  const double k = 4 * w / (3 * (w + 1));
  const TPointD c1 = conic.P0 + k * (conic.P1 - conic.P0), c2 = conic.P2 + k * (conic.P1 - conic.P2);
  double error = 0;
  if (w >= 0.1) {
    const double near = SquaredDistanceEstimate(conic, CubicAt(conic.P0, c1, c2, conic.P2, 0.2));
    const double far = SquaredDistanceEstimate(conic, CubicAt(conic.P0, c1, c2, conic.P2, 0.8));
    error = 1.4 * std::max(near, far);
  }
  // Non-finite input gives a non-finite estimate that no splitting improves.
  if (error > tolerance && std::isfinite(error) && depth < kMaxSplitDepth) {
    TConic left, right;
    conic.Split(left, right);
    FlattenPart(left, tolerance, depth + 1, path);
    FlattenPart(right, tolerance, depth + 1, path);
    return;
  }
  path.push_back({TPathCommand::kCurveTo, {c1, c2, conic.P2}});
}

bool IsControl(const TGeoCurve& curve, int i) { return (curve.Point(i).Flags & kPointControl) != 0; }

// Point i through the curve matrix and then `view` when given.
auto PointMapper(const TGeoCurve& curve, const TAffine* view) {
  return [&curve, view](int i) {
    const TPointD p = curve.MappedPoint(i);
    return view ? Widened(*view).Map(p) : p;
  };
}

bool Apart(TPointD a, TPointD b) { return a.X != b.X || a.Y != b.Y; }

// The indices of the point where a contour's chain of pieces starts and of
// the one where it ends.
struct TChainEnds {
  int Start = 0;
  int End = 0;
};

// Hands the contour's lines and arcs to `visit` in point order and returns
// where the chain starts and ends, or nothing when the contour has no piece.
// Every control point makes its arc from its previous through it to its next
// point, so at a contour's first point the arc comes from the last one. Two
// control points in a row give two arcs: the first ends on the second control
// point, the second starts on the first one; a line from the second back to
// the first joins them, as a drawing path joins a piece that starts away from
// its pen. Paths and segment lists take their pieces from here alone.
template <class TMapper, class TVisit>
std::optional<TChainEnds> WalkContour(const TGeoCurve& curve, const TGeoContour& contour, const TMapper& map,
                                      const TVisit& visit) {
  std::optional<TChainEnds> chain;
  const auto piece = [&](int from, int control, int to) {
    if (!chain)
      chain = TChainEnds{from, from};
    else if (chain->End != from && Apart(map(chain->End), map(from)))
      visit(TGeoSegment{false, map(chain->End), {}, map(from), 1});
    if (control < 0)
      visit(TGeoSegment{false, map(from), {}, map(to), 1});
    else
      visit(TGeoSegment{true, map(from), map(control), map(to),
                        WeightFromCode(curve.Point(control).WeightCode())});
    chain->End = to;
  };
  for (int i = contour.First; i <= contour.Last; ++i) {
    if (IsControl(curve, i)) {
      const auto previous = curve.PreviousPoint(contour, i), next = curve.NextPoint(contour, i);
      if (previous && next) piece(*previous, i, *next);
    } else if (i > contour.First && !IsControl(curve, i - 1)) {
      piece(i - 1, -1, i);
    }
  }
  return chain;
}

// The contour's segments; a closed contour, or any when `closeOpen`, gets a
// line from where its chain ends back to where it starts, unless they coincide.
std::vector<TGeoSegment> ContourSegments(const TGeoCurve& curve, const TGeoContour& contour,
                                         const TAffine* view, bool closeOpen) {
  std::vector<TGeoSegment> segments;
  const auto map = PointMapper(curve, view);
  const auto chain = WalkContour(curve, contour, map, [&](const TGeoSegment& s) { segments.push_back(s); });
  if (!chain || !(closeOpen || curve.IsClosed(contour)) || chain->End == chain->Start) return segments;
  // The same closing line a drawing path gets from closing its figure.
  const TPointD end = map(chain->End), start = map(chain->Start);
  if (Apart(end, start)) segments.push_back({false, end, {}, start, 1});
  return segments;
}

template <class TMapper>
TRectF ContourBounds(const TGeoCurve& curve, const TGeoContour& contour, const TMapper& map) {
  TRectD box = kNoBounds;
  for (int i = contour.First; i <= contour.Last; ++i)
    if (!IsControl(curve, i)) box.Include(map(i));
  WalkContour(curve, contour, map, [&box](const TGeoSegment& s) {
    if (s.IsConic) {
      AddConicExtent({s.Start, s.Control, s.End, s.Weight}, box);
    } else {
      box.Include(s.Start);
      box.Include(s.End);
    }
  });
  return Narrowed(box);
}

}  // namespace

double WeightFromCode(std::uint16_t code) {
  const double x = code / 65535.0;
  return x <= 0.5 ? 4 * x : 2 + 16 * (x - 0.5);
}

std::uint16_t CodeFromWeight(double weight) {
  const double x = weight <= 2 ? weight / 4 : std::min(0.5 + (weight - 2) / 16, 1.0);
  return static_cast<std::uint16_t>(RoundClamp(x * 65535, 0, 65535));
}

TGeoCurveHeader TGeoCurveHeader::FromBytes(std::span<const std::uint8_t, kSize> bytes) {
  const std::uint8_t* p = bytes.data();
  TGeoCurveHeader header;
  header.Flags = LoadU32(p);
  for (std::size_t k = 0; k < header.Kept.size(); ++k) header.Kept[k] = LoadI32(p + 4 + 4 * k);
  header.Matrix = {LoadF32(p + 16), LoadF32(p + 20), LoadF32(p + 24),
                   LoadF32(p + 28), LoadF32(p + 32), LoadF32(p + 36)};
  header.PointCount = LoadI32(p + 40);
  return header;
}

std::array<std::uint8_t, TGeoCurveHeader::kSize> TGeoCurveHeader::ToBytes() const {
  std::array<std::uint8_t, kSize> bytes{};
  std::uint8_t* p = bytes.data();
  StoreU32(p, Flags);
  for (std::size_t k = 0; k < Kept.size(); ++k) StoreI32(p + 4 + 4 * k, Kept[k]);
  const float matrix[] = {Matrix.Dx, Matrix.Dy, Matrix.M11, Matrix.M12, Matrix.M21, Matrix.M22};
  for (std::size_t k = 0; k < 6; ++k) StoreF32(p + 16 + 4 * k, matrix[k]);
  StoreI32(p + 40, PointCount);
  return bytes;
}

std::vector<TGeoPoint> PointsFromBytes(std::span<const std::uint8_t> bytes, std::size_t count) {
  count = std::min(count, bytes.size() / kPointSize);
  std::vector<TGeoPoint> points(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint8_t* p = bytes.data() + kPointSize * k;
    points[k] = {LoadF32(p), LoadF32(p + 4), LoadU32(p + 8)};
  }
  return points;
}

std::vector<std::uint8_t> PointsToBytes(std::span<const TGeoPoint> points) {
  std::vector<std::uint8_t> bytes(points.size() * kPointSize);
  for (std::size_t k = 0; k < points.size(); ++k) {
    std::uint8_t* p = bytes.data() + kPointSize * k;
    StoreF32(p, points[k].X);
    StoreF32(p + 4, points[k].Y);
    StoreU32(p + 8, points[k].Flags);
  }
  return bytes;
}

TGeoCurve::TGeoCurve(const TGeoCurveHeader& header, std::vector<TGeoPoint> points)
    : Header_(header), Inverse_(Inverted(header.Matrix)), Points_(std::move(points)) {
  Header_.PointCount = static_cast<std::int32_t>(Points_.size());
  BuildContours();
  MarkSmoothJoins();
  ComputeBounds();
}

TPointD TGeoCurve::MappedPoint(int i) const {
  const TGeoPoint& p = Point(i);
  return Widened(Header_.Matrix).Map({p.X, p.Y});
}

std::optional<int> TGeoCurve::NextPoint(const TGeoContour& contour, int i) const {
  if (i < contour.First || i > contour.Last) return std::nullopt;
  if (i < contour.Last) return i + 1;
  return contour.Closed ? std::optional<int>(contour.First) : std::nullopt;
}

std::optional<int> TGeoCurve::PreviousPoint(const TGeoContour& contour, int i) const {
  if (i < contour.First || i > contour.Last) return std::nullopt;
  if (i > contour.First) return i - 1;
  return contour.Closed ? std::optional<int>(contour.Last) : std::nullopt;
}

void TGeoCurve::BuildContours() {
  const int count = PointCount();
  int first = 0;
  const auto add = [&](int last) {
    if (last - first + 1 < 2) return;
    const bool closed = (Point(first).Flags & kPointClosed) != 0;
    Contours_.push_back({first, last, closed, static_cast<int>(Contours_.size()), {}, {}});
  };
  // The last point always ends the running contour, even when it is marked to start one.
  for (int i = 1; i < count; ++i) {
    if (i == count - 1) {
      add(i);
    } else if (Point(i).Flags & kPointNewContour) {
      add(i - 1);
      first = i;
    }
  }
}

void TGeoCurve::MarkSmoothJoins() {
  for (TGeoPoint& p : Points_) p.Flags &= ~kPointSmooth;
  const auto at = [this](int i) { return TPointD{Point(i).X, Point(i).Y}; };
  for (const TGeoContour& contour : Contours_) {
    for (int i = contour.First; i <= contour.Last; ++i) {
      if (IsControl(*this, i)) continue;
      const auto previous = PreviousPoint(contour, i), next = NextPoint(contour, i);
      if (!previous || !next || !(IsControl(*this, *previous) || IsControl(*this, *next))) continue;
      const TPointD in = at(i) - at(*previous), out = at(*next) - at(i);
      const double dot = Dot(in, out);
      if (dot > 0 && dot * dot > kSmoothCos2 * Dot(in, in) * Dot(out, out))
        Points_[static_cast<std::size_t>(i)].Flags |= kPointSmooth;
    }
  }
}

void TGeoCurve::ComputeBounds() {
  const auto inCurve = [this](int i) { return TPointD{Point(i).X, Point(i).Y}; };
  const auto inDocument = PointMapper(*this, nullptr);
  TRectD curveBox = kNoBounds, documentBox = kNoBounds;
  for (TGeoContour& contour : Contours_) {
    contour.CurveBounds = ContourBounds(*this, contour, inCurve);
    contour.DocumentBounds = ContourBounds(*this, contour, inDocument);
    Include(curveBox, contour.CurveBounds);
    Include(documentBox, contour.DocumentBounds);
  }
  CurveBounds_ = Narrowed(curveBox);
  DocumentBounds_ = Narrowed(documentBox);
}

std::vector<TGeoSegment> TGeoCurve::Segments(const TGeoContour& contour, const TAffine* view) const {
  return ContourSegments(*this, contour, view, false);
}

std::vector<TGeoSegment> TGeoCurve::FillSegments(const TGeoContour& contour, const TAffine* view) const {
  return ContourSegments(*this, contour, view, true);
}

TGeoPath TGeoCurve::BuildPath(const TAffine* view, double tolerance) const {
  TGeoPath path;
  const auto map = PointMapper(*this, view);
  for (const TGeoContour& contour : Contours_) {
    const std::size_t figure = path.size();
    const auto chain = WalkContour(*this, contour, map, [&](const TGeoSegment& s) {
      if (path.size() == figure) path.push_back({TPathCommand::kMoveTo, {s.Start}});
      if (s.IsConic)
        FlattenConic({s.Start, s.Control, s.End, s.Weight}, tolerance, path);
      else
        path.push_back({TPathCommand::kLineTo, {s.End}});
    });
    if (chain && IsClosed(contour)) path.push_back({TPathCommand::kClose, {}});
  }
  return path;
}

void FlattenConic(const TConic& conic, double tolerance, TGeoPath& path) {
  FlattenPart(conic, tolerance, 0, path);
}

TRectF ConicBounds(const TConic& conic) {
  TRectD box = kNoBounds;
  AddConicExtent(conic, box);
  return Narrowed(box);
}

std::vector<std::unique_ptr<TGeoCurve>> ReadContourCutFile(std::string_view bytes) {
  std::vector<std::unique_ptr<TGeoCurve>> curves;
  if (bytes.size() < kContourCutHeaderSize) return curves;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (LoadU32(data) != kContourCutMagic) return curves;
  const std::int32_t count = LoadI32(data + 8);
  std::size_t offset = kContourCutHeaderSize;
  // Every record takes at least its header's bytes, so a huge count ends with the bytes.
  for (std::int32_t k = 0; k < count; ++k) {
    if (bytes.size() - offset < TGeoCurveHeader::kSize) break;
    const auto header = TGeoCurveHeader::FromBytes(
        std::span<const std::uint8_t, TGeoCurveHeader::kSize>(data + offset, TGeoCurveHeader::kSize));
    offset += TGeoCurveHeader::kSize;
    const std::int32_t pointCount = header.PointCount > kMaxStoredPoints ? 0 : header.PointCount;
    if (pointCount <= 0) continue;
    const std::size_t size = static_cast<std::size_t>(pointCount) * kPointSize;
    if (bytes.size() - offset < size) break;
    auto points = PointsFromBytes({data + offset, size}, static_cast<std::size_t>(pointCount));
    offset += size;
    curves.push_back(std::make_unique<TGeoCurve>(header, std::move(points)));
  }
  return curves;
}

std::string WriteContourCutFile(std::span<const TGeoCurve* const> curves) {
  std::vector<std::uint8_t> bytes(kContourCutHeaderSize);
  StoreU32(bytes.data(), kContourCutMagic);
  StoreI32(bytes.data() + 8, static_cast<std::int32_t>(std::ranges::count_if(
                                 curves, [](const TGeoCurve* c) { return c != nullptr; })));
  for (const TGeoCurve* curve : curves) {
    if (!curve) continue;
    const auto header = curve->Header().ToBytes();
    const auto points = PointsToBytes(curve->Points());
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), points.begin(), points.end());
  }
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace slabrip
