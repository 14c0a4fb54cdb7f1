// Curves: contours, segments, flattening and bounds against the exact conics, stored forms.
#include "geometry/geo_curve.h"
#include "geometry/scan_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace slabrip {
namespace {

TGeoPoint On(double x, double y, std::uint32_t flags = 0) {
  return {static_cast<float>(x), static_cast<float>(y), flags};
}
TGeoPoint Control(double x, double y, double weight) {
  return {static_cast<float>(x), static_cast<float>(y),
          kPointControl | std::uint32_t{CodeFromWeight(weight)} << 8};
}
TGeoCurve Curve(std::vector<TGeoPoint> points, TAffine matrix = {}, bool allClosed = false) {
  TGeoCurveHeader header;
  header.Flags = allClosed ? 0x100u : 0u;
  header.Matrix = matrix;
  return TGeoCurve(header, std::move(points));
}

// The rational quadratic written out from its homogeneous form.
TPointD Exact(const TConic& c, double t) {
  const double b0 = (1 - t) * (1 - t), b1 = 2 * c.W * t * (1 - t), b2 = t * t;
  const double d = b0 + b1 + b2;
  return {(b0 * c.P0.X + b1 * c.P1.X + b2 * c.P2.X) / d, (b0 * c.P0.Y + b1 * c.P1.Y + b2 * c.P2.Y) / d};
}
std::vector<TPointD> SampleConic(const TConic& c, int n) {
  std::vector<TPointD> points;
  for (int k = 0; k <= n; ++k) points.push_back(Exact(c, static_cast<double>(k) / n));
  return points;
}
// Points along the cubics of a path, following its current point.
std::vector<TPointD> SamplePath(const TGeoPath& path, TPointD start, int perCubic) {
  std::vector<TPointD> points{start};
  TPointD p = start;
  for (const TPathCommand& c : path) {
    if (c.Op != TPathCommand::kCurveTo) continue;
    for (int k = 1; k <= perCubic; ++k) {
      const double t = static_cast<double>(k) / perCubic, u = 1 - t;
      points.push_back(u * u * u * p + 3 * u * u * t * c.P[0] + 3 * u * t * t * c.P[1] + t * t * t * c.P[2]);
    }
    p = c.P[2];
  }
  return points;
}
double DistanceToPolyline(TPointD q, const std::vector<TPointD>& line) {
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k + 1 < line.size(); ++k) {
    const TPointD d = line[k + 1] - line[k], v = q - line[k];
    const double len2 = d.X * d.X + d.Y * d.Y;
    const double s = len2 > 0 ? std::clamp((v.X * d.X + v.Y * d.Y) / len2, 0.0, 1.0) : 0;
    const TPointD r = v - s * d;
    best = std::min(best, std::hypot(r.X, r.Y));
  }
  return best;
}

// Lines as start and end, arcs as start, control and end, weights left out.
using TCoords = std::vector<double>;
std::vector<TCoords> Pieces(const std::vector<TGeoSegment>& segments) {
  std::vector<TCoords> pieces;
  for (const TGeoSegment& s : segments)
    pieces.push_back(s.IsConic ? TCoords{s.Start.X, s.Start.Y, s.Control.X, s.Control.Y, s.End.X, s.End.Y}
                               : TCoords{s.Start.X, s.Start.Y, s.End.X, s.End.Y});
  return pieces;
}
// Every command of a path as its operation and the point it ends on.
std::vector<TCoords> Ends(const TGeoPath& path) {
  std::vector<TCoords> ends;
  for (const TPathCommand& c : path) {
    const TPointD p = c.Op == TPathCommand::kCurveTo ? c.P[2] : c.P[0];
    const double op = c.Op;
    ends.push_back(c.Op == TPathCommand::kClose ? TCoords{op} : TCoords{op, p.X, p.Y});
  }
  return ends;
}
constexpr double kMove = TPathCommand::kMoveTo, kLine = TPathCommand::kLineTo,
                 kCurve = TPathCommand::kCurveTo, kClose = TPathCommand::kClose;

TEST(GeoCurve, ContoursStartAtMarkedPointsButTheLastPointAlwaysEndsOne) {
  const auto two = Curve({On(0, 0, kPointNewContour), On(1, 0), On(2, 0, kPointNewContour), On(3, 0)});
  ASSERT_EQ(two.ContourCount(), 2);
  EXPECT_EQ(two.Contour(0).First, 0);
  EXPECT_EQ(two.Contour(0).Last, 1);
  EXPECT_EQ(two.Contour(1).First, 2);
  EXPECT_EQ(two.Contour(1).Last, 3);
  EXPECT_EQ(two.Contour(1).Index, 1);

  const auto one = Curve({On(0, 0), On(1, 0), On(2, 0, kPointNewContour)});
  ASSERT_EQ(one.ContourCount(), 1);
  EXPECT_EQ(one.Contour(0).PointCount(), 3);

  // Runs of a single point are dropped.
  const auto lone = Curve({On(0, 0), On(1, 0, kPointNewContour), On(2, 0, kPointNewContour), On(3, 0)});
  ASSERT_EQ(lone.ContourCount(), 1);
  EXPECT_EQ(lone.Contour(0).First, 2);
  EXPECT_EQ(lone.Contour(0).Index, 0);

  const auto none = Curve({On(5, 5)});
  EXPECT_EQ(none.ContourCount(), 0);
  EXPECT_EQ(none.DocumentBounds(), (TRectF{2147483648.f, 2147483648.f, -2147483648.f, -2147483648.f}));
  EXPECT_TRUE(none.BuildPath(nullptr).empty());
}

TEST(GeoCurve, PointsWrapOnlyOnTheContoursOwnFlagWhileEitherFlagClosesTheFigure) {
  const std::vector<TGeoPoint> square{On(0, 0), On(10, 0), On(10, 10), On(0, 10)};
  auto flagged = square;
  flagged[0].Flags |= kPointClosed;
  const auto own = Curve(flagged);
  EXPECT_EQ(own.NextPoint(own.Contour(0), 3), 0);
  EXPECT_EQ(own.PreviousPoint(own.Contour(0), 0), 3);
  EXPECT_EQ(own.NextPoint(own.Contour(0), 1), 2);

  const auto all = Curve(square, {}, true);
  EXPECT_FALSE(all.NextPoint(all.Contour(0), 3).has_value());
  EXPECT_FALSE(all.PreviousPoint(all.Contour(0), 0).has_value());

  for (const TGeoCurve* c : {&own, &all}) {
    const auto segments = c->Segments(c->Contour(0));
    ASSERT_EQ(segments.size(), 4u);
    EXPECT_EQ(segments[3].Start.Y, 10);  // the closing line, (0, 10) back to (0, 0)
    EXPECT_EQ(segments[3].End.Y, 0);
    EXPECT_EQ(c->BuildPath(nullptr).back().Op, TPathCommand::kClose);
  }
  const auto open = Curve(square);
  EXPECT_EQ(open.Segments(open.Contour(0)).size(), 3u);
  EXPECT_NE(open.BuildPath(nullptr).back().Op, TPathCommand::kClose);
}

TEST(GeoCurve, SegmentsFollowControlPointsThroughTheCurveMatrixAndView) {
  // A, B(control), C, D(control), closed: arcs A-B-C and C-D-A, no closing line.
  const auto curve =
      Curve({On(0, 0, kPointClosed), Control(10, 0, 2), On(10, 10), Control(0, 10, 0.5)}, {5, 0, 1, 0, 0, 1});
  const TAffine view{0, 1, 2, 0, 0, 2};  // applied after the curve matrix
  const auto segments = curve.Segments(curve.Contour(0), &view);
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_TRUE(segments[0].IsConic && segments[1].IsConic);
  EXPECT_EQ(segments[0].Start.X, 10);
  EXPECT_EQ(segments[0].Control.X, 30);
  EXPECT_EQ(segments[0].End.Y, 21);
  EXPECT_NEAR(segments[0].Weight, 2, 1e-3);
  EXPECT_EQ(segments[1].End.X, 10);
  EXPECT_EQ(segments[1].End.Y, 1);
  EXPECT_NEAR(segments[1].Weight, 0.5, 1e-4);
  EXPECT_EQ(curve.BuildPath(nullptr).back().Op, TPathCommand::kClose);

  // A closed contour whose last point repeats its first needs no closing line;
  // a control point at the end of an open contour makes no arc.
  const auto repeated = Curve({On(0, 0, kPointClosed), On(5, 0), On(5, 5), On(0, 0)});
  EXPECT_EQ(repeated.Segments(repeated.Contour(0)).size(), 3u);
  const auto dangling = Curve({On(0, 0), On(5, 0), Control(5, 5, 1)});
  const auto tail = dangling.Segments(dangling.Contour(0));
  ASSERT_EQ(tail.size(), 1u);
  EXPECT_FALSE(tail[0].IsConic);
}

TEST(GeoCurve, AClosedContourStartingOnAControlPointArcsFromItsLastPoint) {
  // A diamond whose top corner is the control point of the arc from the left corner to the right one.
  auto top = Control(10, 0, 1);
  top.Flags |= kPointClosed;
  const auto diamond = Curve({top, On(20, 10), On(10, 20), On(0, 10)});
  const std::vector<TCoords> pieces{{0, 10, 10, 0, 20, 10}, {20, 10, 10, 20}, {10, 20, 0, 10}};
  // No closing line: the chain ends where it starts.
  EXPECT_EQ(Pieces(diamond.Segments(diamond.Contour(0))), pieces);
  EXPECT_EQ(
      Ends(diamond.BuildPath(nullptr)),
      (std::vector<TCoords>{{kMove, 0, 10}, {kCurve, 20, 10}, {kLine, 10, 20}, {kLine, 0, 10}, {kClose}}));
  // The arc's top, not the control point, bounds it.
  const TRectF bounds = diamond.DocumentBounds();
  EXPECT_NEAR(bounds.MinY, 5, 1e-3);
  EXPECT_EQ(bounds.MinX, 0);
  EXPECT_EQ(bounds.MaxX, 20);
  EXPECT_EQ(bounds.MaxY, 20);
}

TEST(GeoCurve, TwoControlPointsInARowMakeTwoArcsJoinedBetweenTheControlPoints) {
  // A, B(control), C(control), D: arc A-B-C, line C-B, arc B-C-D.
  const auto curve = Curve({On(0, 0), Control(10, 0, 1), Control(20, 10, 1), On(20, 20)});
  EXPECT_EQ(Pieces(curve.Segments(curve.Contour(0))),
            (std::vector<TCoords>{{0, 0, 10, 0, 20, 10}, {20, 10, 10, 0}, {10, 0, 20, 10, 20, 20}}));
  EXPECT_EQ(Ends(curve.BuildPath(nullptr)),
            (std::vector<TCoords>{{kMove, 0, 0}, {kCurve, 20, 10}, {kLine, 10, 0}, {kCurve, 20, 20}}));
}

TEST(GeoCurve, FillSegmentsCloseOpenContoursLikeAFilledPath) {
  const auto open = Curve({On(0, 0), On(10, 0), On(10, 10), On(0, 10)});
  const auto fill = open.FillSegments(open.Contour(0));
  auto pieces = Pieces(open.Segments(open.Contour(0)));
  pieces.push_back({0, 10, 0, 0});
  EXPECT_EQ(Pieces(fill), pieces);
  // Unclosed, every row would hold a lone crossing and fill nothing.
  TScanBuffer buffer(12);
  for (const TGeoSegment& s : fill) buffer.AddLine(s.Start, s.End);
  buffer.Finish();
  for (int y = 0; y < 10; ++y) {
    const auto spans = buffer.SpansOfRow(y);
    ASSERT_EQ(spans.size(), 1u) << y;
    EXPECT_EQ(spans[0].StartX, 0);
    EXPECT_EQ(spans[0].EndX, 10);
  }
  // A closed contour is closed once.
  const auto closed = Curve({On(0, 0, kPointClosed), On(10, 0), On(10, 10), On(0, 10)});
  EXPECT_EQ(Pieces(closed.FillSegments(closed.Contour(0))), Pieces(closed.Segments(closed.Contour(0))));
}

TEST(GeoCurve, SmoothJoinsAreReDerivedAtPointsBesideControlPoints) {
  const auto mark = kPointSmooth;
  // (0,0) -> (10,0) straight into an arc leaving along +x, ending at (20,10)
  // heading +y, then a line kinked by 2 degrees; (5,0) is collinear but has
  // no control neighbour.
  const double kink = 2 * std::numbers::pi / 180;
  const auto curve =
      Curve({On(0, 0, mark), On(5, 0, mark), On(10, 0, mark), Control(20, 0, 1), On(20, 10, mark),
             On(20 + 10 * std::sin(kink), 10 + 10 * std::cos(kink), mark), Control(30, 30, 1), On(40, 20)});
  std::vector<bool> smooth;
  for (const TGeoPoint& p : curve.Points()) smooth.push_back((p.Flags & kPointSmooth) != 0);
  EXPECT_EQ(smooth, (std::vector<bool>{false, false, true, false, false, false, false, false}));

  const double slight = 0.5 * std::numbers::pi / 180;
  const auto gentle = Curve({On(0, 0), On(10, 0), Control(20, 20 * std::tan(slight), 1), On(30, 5)});
  EXPECT_TRUE(gentle.Point(1).Flags & kPointSmooth);
}

TEST(GeoCurve, WeightCodesMapBothWaysOverTheWholeRange) {
  EXPECT_EQ(WeightFromCode(0), 0);
  EXPECT_NEAR(WeightFromCode(16384), 1, 2e-5);
  EXPECT_GT(WeightFromCode(32768), 2);
  EXPECT_LT(WeightFromCode(32768), 2.001);
  EXPECT_DOUBLE_EQ(WeightFromCode(65535), 10);
  for (int code = 0; code <= 65535; ++code) {
    const auto c = static_cast<std::uint16_t>(code);
    ASSERT_EQ(CodeFromWeight(WeightFromCode(c)), c);
    if (code > 0) {
      ASSERT_GT(WeightFromCode(c), WeightFromCode(static_cast<std::uint16_t>(code - 1)));
    }
  }
  EXPECT_EQ(CodeFromWeight(2), 32768);  // 32767.5 rounds to even
  EXPECT_EQ(CodeFromWeight(1), 16384);
  EXPECT_EQ(CodeFromWeight(1000), 65535);
  EXPECT_EQ(CodeFromWeight(-1), 0);
  EXPECT_EQ(CodeFromWeight(std::nan("")), 0);
}

TEST(GeoCurve, InverseMatrixUndoesTheCurveMatrixOrIsIdentityWhenDegenerate) {
  const TAffine m{30, -7, 1.7f, 1.0f, -0.2f, 1.2f};
  const auto curve = Curve({On(1, 2), On(3, 4)}, m);
  for (const TPointF p : {TPointF{0, 0}, TPointF{100, -40}, TPointF{-3.5f, 12}}) {
    const TPointF back = curve.InverseMatrix().Map(m.Map(p));
    EXPECT_NEAR(back.X, p.X, 1e-4);
    EXPECT_NEAR(back.Y, p.Y, 1e-4);
  }
  for (const TAffine flat : {TAffine{3, 4, 1e-6f, 0, 0, 1e-5f}, TAffine{3, 4, 2, 4, 1, 2}})
    EXPECT_EQ(Curve({On(0, 0), On(1, 1)}, flat).InverseMatrix(), TAffine{});
}

TEST(GeoCurve, FlattenedQuarterCirclesStayWithinTheTolerance) {
  // Radii from 1000 up, so that some arcs sit just above and some just below
  // the point where one cubic stops being enough.
  const double w = std::sqrt(0.5);
  std::size_t mostPieces = 0;
  for (double r = 1000; r < 40000; r *= 1.25) {
    const TConic quarter{{r, 0}, {r, r}, {0, r}, w};
    TGeoPath path;
    FlattenConic(quarter, 0.25, path);
    mostPieces = std::max(mostPieces, path.size());
    EXPECT_EQ(path.back().P[2].X, 0);
    EXPECT_EQ(path.back().P[2].Y, r);
    for (const TPointD p : SamplePath(path, quarter.P0, 64))
      ASSERT_LE(std::abs(std::hypot(p.X, p.Y) - r), 0.5) << r;
  }
  EXPECT_GT(mostPieces, 1u);
}

TEST(GeoCurve, FlattenedArcsOfAnyWeightFollowTheExactConicBothWays) {
  for (const double w : {0.3, 1.7, 3.0, 10.0}) {
    const TConic conic{{0, 0}, {800, 1500}, {2000, 100}, w};
    TGeoPath path;
    FlattenConic(conic, 0.25, path);
    const auto exact = SampleConic(conic, 20000);
    const auto drawn = SamplePath(path, conic.P0, 32);
    // 0.5 is the square root of the squared tolerance; the polylines add a little.
    for (const TPointD p : drawn) ASSERT_LE(DistanceToPolyline(p, exact), 0.52) << w;
    for (std::size_t k = 0; k < exact.size(); k += 50)
      ASSERT_LE(DistanceToPolyline(exact[k], drawn), 0.52) << w;
  }
}

TEST(GeoCurve, WeightOneDrawsTheQuadraticBezierAndWeightZeroTheChord) {
  const auto bezier = Curve({On(0, 0), Control(500, 900, WeightFromCode(16384)), On(1000, 0)});
  const auto path = bezier.BuildPath(nullptr);
  ASSERT_EQ(path.size(), 2u);
  const auto drawn = SamplePath(path, {0, 0}, 50);
  for (int k = 0; k <= 50; ++k) {
    const double t = k / 50.0;
    EXPECT_NEAR(drawn[static_cast<std::size_t>(k)].X, 1000 * t * t + 1000 * t * (1 - t), 0.01);
    EXPECT_NEAR(drawn[static_cast<std::size_t>(k)].Y, 1800 * t * (1 - t), 0.01);
  }
  const auto chord = Curve({On(0, 0), Control(500, 900, 0), On(1000, 0)});
  for (const TPointD p : SamplePath(chord.BuildPath(nullptr), {0, 0}, 20)) EXPECT_EQ(p.Y, 0);
}

TEST(GeoCurve, BoundsHugTheExactArcsInCurveAndDocumentCoordinates) {
  const std::vector<TGeoPoint> points{On(0, 0, kPointClosed), Control(300, -200, 3), On(600, 0),
                                      Control(700, 400, 0.5), On(300, 500),          Control(-200, 300, 1)};
  const std::vector<TConic> arcs{{{0, 0}, {300, -200}, {600, 0}, WeightFromCode(points[1].WeightCode())},
                                 {{600, 0}, {700, 400}, {300, 500}, WeightFromCode(points[3].WeightCode())},
                                 {{300, 500}, {-200, 300}, {0, 0}, WeightFromCode(points[5].WeightCode())}};
  const double a = std::numbers::pi / 6;
  for (const TAffine m :
       {TAffine{}, TAffine{-40, 25, static_cast<float>(2 * std::cos(a)), static_cast<float>(std::sin(a)),
                           static_cast<float>(0.6 - std::sin(a)), static_cast<float>(0.5 * std::cos(a))}}) {
    const auto curve = Curve(points, m);
    TRectF inCurve{1e9, 1e9, -1e9, -1e9}, inDocument = inCurve;
    const auto grow = [](TRectF& r, double x, double y) {
      r = {std::min(r.MinX, static_cast<float>(x)), std::min(r.MinY, static_cast<float>(y)),
           std::max(r.MaxX, static_cast<float>(x)), std::max(r.MaxY, static_cast<float>(y))};
    };
    for (const TConic& arc : arcs)
      for (const TPointD p : SampleConic(arc, 100000)) {
        grow(inCurve, p.X, p.Y);
        grow(inDocument, p.X * m.M11 + p.Y * m.M21 + m.Dx, p.X * m.M12 + p.Y * m.M22 + m.Dy);
      }
    for (const auto& [got, want] :
         {std::pair{curve.CurveBounds(), inCurve}, std::pair{curve.DocumentBounds(), inDocument}}) {
      EXPECT_NEAR(got.MinX, want.MinX, 0.01);
      EXPECT_NEAR(got.MinY, want.MinY, 0.01);
      EXPECT_NEAR(got.MaxX, want.MaxX, 0.01);
      EXPECT_NEAR(got.MaxY, want.MaxY, 0.01);
    }
  }
}

TEST(GeoCurve, HostileCoordinatesAndWeightsStayBounded) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const auto curve = Curve({On(-1e30f, 0), Control(1e30f, 1e30f, 10), On(1e30f, -1e30f), Control(nan, 0, 10),
                            On(inf, 1), Control(0, -inf, 10), On(0, 0)});
  const auto path = curve.BuildPath(nullptr, 0);
  EXPECT_LE(path.size(), 3u * 1024 + 1);  // every arc capped at 1024 cubics
  EXPECT_GT(path.size(), 1024u);          // the finite arc was split as far as allowed
}

// A contour-cut file of magic, count and records made by hand.
std::string CutFile(std::uint32_t magic, std::int32_t count,
                    const std::vector<std::pair<TGeoCurveHeader, std::vector<TGeoPoint>>>& records) {
  std::string bytes(16, '\0');
  for (int k = 0; k < 4; ++k) {
    bytes[static_cast<std::size_t>(k)] = static_cast<char>(magic >> (8 * k));
    bytes[static_cast<std::size_t>(8 + k)] = static_cast<char>(static_cast<std::uint32_t>(count) >> (8 * k));
  }
  for (const auto& [header, points] : records) {
    const auto h = header.ToBytes();
    const auto p = PointsToBytes(points);
    bytes.append(h.begin(), h.end()).append(p.begin(), p.end());
  }
  return bytes;
}

TEST(ContourCut, HeaderAndPointsAreLittleEndianAtTheirOffsets) {
  std::array<std::uint8_t, 76> bytes{};
  const auto put = [&](std::size_t at, std::uint32_t v) {
    for (std::size_t k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  put(0, 0x0000012A);
  put(4, 7);
  put(12, static_cast<std::uint32_t>(-9));
  const float matrix[] = {10.5f, -2, 1, 0.25f, -0.25f, 3};
  for (std::size_t k = 0; k < 6; ++k) put(16 + 4 * k, std::bit_cast<std::uint32_t>(matrix[k]));
  put(40, 2);
  for (std::size_t k = 44; k < 76; ++k) bytes[k] = 0xEE;

  const auto header = TGeoCurveHeader::FromBytes(bytes);
  EXPECT_EQ(header.Flags, 0x12Au);
  EXPECT_TRUE(header.AllClosed());
  EXPECT_EQ(header.Kept, (std::array<std::int32_t, 3>{7, 0, -9}));
  EXPECT_EQ(header.Matrix, (TAffine{10.5f, -2, 1, 0.25f, -0.25f, 3}));
  EXPECT_EQ(header.PointCount, 2);
  auto expected = bytes;
  std::fill(expected.begin() + 44, expected.end(), 0);
  EXPECT_EQ(header.ToBytes(), expected);

  const std::vector<std::uint8_t> stored{0, 0, 0x80, 0x3F, 0, 0, 0x20, 0xC1, 0x05, 0x01, 0xFF, 0x00, 0xAA};
  const auto points = PointsFromBytes(stored, 5);  // only one whole point is there
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].X, 1.0f);
  EXPECT_EQ(points[0].Y, -10.0f);
  EXPECT_EQ(points[0].WeightCode(), 0xFF01);
  EXPECT_EQ(PointsToBytes(points), std::vector<std::uint8_t>(stored.begin(), stored.end() - 1));
}

TEST(ContourCut, FilesRoundTrip) {
  const auto a =
      Curve({On(0, 0, kPointClosed), Control(10, 0, 3), On(10, 10), On(0, 10, kPointNewContour), On(-4, 2)},
            {1, 2, 0.5f, 0, 0, 0.5f}, true);
  const auto b = Curve({On(1.25f, -3), On(7, 8)});
  const TGeoCurve* curves[] = {&a, &b};
  const auto read = ReadContourCutFile(WriteContourCutFile(curves));
  ASSERT_EQ(read.size(), 2u);
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(read[k]->Header().ToBytes(), curves[k]->Header().ToBytes());
    EXPECT_EQ(PointsToBytes(read[k]->Points()), PointsToBytes(curves[k]->Points()));
  }
  EXPECT_EQ(read[0]->ContourCount(), 2);
  EXPECT_EQ(read[0]->DocumentBounds(), a.DocumentBounds());
}

TEST(ContourCut, HostileFilesGiveNoCurvesOrTheCurvesBeforeTheDamage) {
  constexpr std::uint32_t magic = 0x2F339B0D;
  TGeoCurveHeader two, huge, negative, million;
  two.PointCount = 2;
  huge.PointCount = 1'000'001;
  negative.PointCount = -5;
  million.PointCount = 1'000'000;
  const std::vector<TGeoPoint> line{On(0, 0), On(3, 4)};
  EXPECT_TRUE(ReadContourCutFile(CutFile(magic + 1, 1, {{two, line}})).empty());
  EXPECT_TRUE(ReadContourCutFile(CutFile(magic, 0, {{two, line}})).empty());
  EXPECT_TRUE(ReadContourCutFile(CutFile(magic, -1, {{two, line}})).empty());
  EXPECT_TRUE(ReadContourCutFile(CutFile(magic, 1, {{two, line}}).substr(0, 12)).empty());
  // Over a million points, or fewer than one, the record is a bare header.
  EXPECT_EQ(ReadContourCutFile(CutFile(magic, 3, {{huge, {}}, {negative, {}}, {two, line}})).size(), 1u);
  // A record that runs past the end stops the list; the count cannot outrun the bytes.
  const auto cut = CutFile(magic, 3, {{two, line}, {million, line}});
  EXPECT_EQ(ReadContourCutFile(cut).size(), 1u);
  EXPECT_EQ(ReadContourCutFile(cut.substr(0, cut.size() - 1 - 76 - 24)).size(), 0u);
  EXPECT_EQ(ReadContourCutFile(CutFile(magic, 0x7FFFFFFF, {{two, line}})).size(), 1u);
}

}  // namespace
}  // namespace slabrip
