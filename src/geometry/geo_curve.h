// Outlines: point arrays split into contours of lines and conic arcs, with a
// curve matrix into document coordinates.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/affine.h"
#include "base/ref_obj.h"
#include "geometry/conic.h"

namespace slabrip {

/// Point flag bits.
inline constexpr std::uint32_t kPointControl = 1u;     // control point of a conic arc (off the curve)
inline constexpr std::uint32_t kPointSmooth = 2u;      // smooth join (derived, not used for drawing)
inline constexpr std::uint32_t kPointNewContour = 4u;  // first point of a new contour
inline constexpr std::uint32_t kPointClosed = 8u;      // on a contour's first point: the contour is closed

/// One stored point: 12 bytes, x, y, flag word (weight code in bits 8..23).
struct TGeoPoint {
  float X = 0;
  float Y = 0;
  std::uint32_t Flags = 0;
  std::uint16_t WeightCode() const { return static_cast<std::uint16_t>(Flags >> 8); }
};

/// Weight code c -> weight: 4x for x = c / 65535 <= 0.5, else 2 + 16 (x - 0.5).
double WeightFromCode(std::uint16_t code);
/// The inverse used when weights are stored, rounded and capped at 65535.
std::uint16_t CodeFromWeight(double weight);

/// The 76-byte curve record header: a flag word (byte 1 non-zero: every
/// contour is closed), three kept integers, the curve matrix and the point
/// count; bytes 44..75 are not read.
struct TGeoCurveHeader {
  static constexpr std::size_t kSize = 76;
  std::uint32_t Flags = 0;
  std::array<std::int32_t, 3> Kept{};
  TAffine Matrix;
  std::int32_t PointCount = 0;

  bool AllClosed() const { return (Flags >> 8 & 0xFF) != 0; }
  static TGeoCurveHeader FromBytes(std::span<const std::uint8_t, kSize> bytes);
  std::array<std::uint8_t, kSize> ToBytes() const;
};

/// `count` points from 12 * count little-endian bytes (no more than the bytes hold).
std::vector<TGeoPoint> PointsFromBytes(std::span<const std::uint8_t> bytes, std::size_t count);
/// The stored form of points.
std::vector<std::uint8_t> PointsToBytes(std::span<const TGeoPoint> points);

/// One piece of a contour for the scan buffer: a line or a conic arc, in
/// document coordinates (or device coordinates when a view is given).
struct TGeoSegment {
  bool IsConic = false;
  TPointD Start, Control, End;
  double Weight = 1;
};

/// A drawing path of lines and cubic Beziers for the renderer.
struct TPathCommand {
  enum TOp : std::uint8_t { kMoveTo, kLineTo, kCurveTo, kClose };
  TOp Op = kMoveTo;
  std::array<TPointD, 3> P{};  // kMoveTo/kLineTo: P[0]; kCurveTo: two controls and the end
};
using TGeoPath = std::vector<TPathCommand>;

class TGeoCurve;

/// A run of points of a curve: first and last point index, closed flag, bounds.
struct TGeoContour {
  int First = 0;
  int Last = 0;
  bool Closed = false;  // its own flag (bit 3 of its first point)
  int Index = 0;        // position in the curve's contour list
  TRectF CurveBounds;   // in curve coordinates
  TRectF DocumentBounds;
  int PointCount() const { return Last - First + 1; }
};

/// An outline: points in curve coordinates, the curve matrix into document
/// coordinates, contours and bounds built once when the curve is made.
class TGeoCurve {
 public:
  /// Tolerance of flattening in device pixels, as a squared distance.
  static constexpr double kDeviceTolerance = 0.25;

  /// The header's point count is set to the number of points.
  TGeoCurve(const TGeoCurveHeader& header, std::vector<TGeoPoint> points);

  const TGeoCurveHeader& Header() const { return Header_; }
  const TAffine& Matrix() const { return Header_.Matrix; }
  /// The inverse of the curve matrix (identity when the matrix is degenerate).
  const TAffine& InverseMatrix() const { return Inverse_; }
  bool AllClosed() const { return Header_.AllClosed(); }

  int PointCount() const { return static_cast<int>(Points_.size()); }
  const TGeoPoint& Point(int i) const { return Points_[static_cast<std::size_t>(i)]; }
  /// Point i through the curve matrix.
  TPointD MappedPoint(int i) const;
  const std::vector<TGeoPoint>& Points() const { return Points_; }

  int ContourCount() const { return static_cast<int>(Contours_.size()); }
  const TGeoContour& Contour(int i) const { return Contours_[static_cast<std::size_t>(i)]; }
  /// A contour counts as closed with its own flag or the curve's all-closed flag.
  bool IsClosed(const TGeoContour& contour) const { return contour.Closed || AllClosed(); }
  /// The point after / before i on its contour; wraps only on the contour's own closed flag.
  std::optional<int> NextPoint(const TGeoContour& contour, int i) const;
  std::optional<int> PreviousPoint(const TGeoContour& contour, int i) const;

  /// Union of the contours' bounds, in document coordinates; with no
  /// contours the inverted box (2147483648, 2147483648, -2147483648, -2147483648).
  const TRectF& DocumentBounds() const { return DocumentBounds_; }
  const TRectF& CurveBounds() const { return CurveBounds_; }

  /// The contour's lines and arcs in document coordinates, mapped further by
  /// `view` when given: the pieces BuildPath draws, in the same order. A closed
  /// contour gets a closing line from where its pieces end back to where they
  /// start, unless the two coincide.
  std::vector<TGeoSegment> Segments(const TGeoContour& contour, const TAffine* view = nullptr) const;
  /// Segments as a fill sees them: an open contour is closed too, by the line
  /// that filling its path adds, from where its pieces end back to where they
  /// start (its last and first point when both lie on the curve).
  std::vector<TGeoSegment> FillSegments(const TGeoContour& contour, const TAffine* view = nullptr) const;
  /// The whole curve as lines and cubics through the curve matrix and `view`,
  /// arcs flattened within `tolerance` (a squared distance), closed contours closed.
  TGeoPath BuildPath(const TAffine* view, double tolerance = kDeviceTolerance) const;

 private:
  void BuildContours();
  void MarkSmoothJoins();
  void ComputeBounds();

  TGeoCurveHeader Header_;
  TAffine Inverse_;
  std::vector<TGeoPoint> Points_;
  std::vector<TGeoContour> Contours_;
  TRectF CurveBounds_;
  TRectF DocumentBounds_;
};

/// Appends the cubic Beziers approximating a conic arc within `tolerance`
/// (a squared distance) to `path`, without the MoveTo of its start.
void FlattenConic(const TConic& conic, double tolerance, TGeoPath& path);

/// The extreme points of a conic arc: bounds of its ends and of the points
/// where x or y turns inside (0, 1).
TRectF ConicBounds(const TConic& conic);

/// Several curves held together: a job's contour-cut path.
class TCompoundGeo : public TRefObj {
 public:
  void Add(std::unique_ptr<TGeoCurve> curve) { Curves_.push_back(std::move(curve)); }
  int Count() const { return static_cast<int>(Curves_.size()); }
  const TGeoCurve* Curve(int i) const {
    return i >= 0 && i < Count() ? Curves_[static_cast<std::size_t>(i)].get() : nullptr;
  }

 private:
  std::vector<std::unique_ptr<TGeoCurve>> Curves_;
};

/// Curves of a contour-cut file (magic 0x2F339B0D, count at 8, records from
/// 16): empty for another magic or no curves; a point count above 1,000,000
/// counts as 0 and a record without points gives no curve; a record that runs
/// past the end of the bytes ends the list with the curves before it.
std::vector<std::unique_ptr<TGeoCurve>> ReadContourCutFile(std::string_view bytes);
/// The stored form of a contour-cut file.
std::string WriteContourCutFile(std::span<const TGeoCurve* const> curves);

}  // namespace slabrip
