// Affine transforms in float32, as stored files hold them.
#pragma once

#include <array>

#include "base/geometry.h"

namespace slabrip {

/// x' = x·M11 + y·M21 + Dx, y' = x·M12 + y·M22 + Dy; stored in the order
/// Dx, Dy, M11, M12, M21, M22.
struct TAffine {
  float Dx = 0;
  float Dy = 0;
  float M11 = 1;
  float M12 = 0;
  float M21 = 0;
  float M22 = 1;

  TPointF Map(TPointF p) const { return {p.X * M11 + p.Y * M21 + Dx, p.X * M12 + p.Y * M22 + Dy}; }
  friend bool operator==(const TAffine&, const TAffine&) = default;
};

/// A followed by B.
TAffine Compose(const TAffine& a, const TAffine& b);

/// The transform carrying the parallelogram (origin, first corner, second
/// corner) `from` onto `to`; the identity when `from` is degenerate
/// (|determinant| below 1e-10).
TAffine TransformBetween(const std::array<TPointF, 3>& from, const std::array<TPointF, 3>& to);

/// The view transform the renderer draws through: document units to band pixels.
class TMatrixObj {
 public:
  TMatrixObj() = default;
  explicit TMatrixObj(const TAffine& matrix) : Matrix_(matrix) {}

  TPointF MapPoint(TPointF p) const { return Matrix_.Map(p); }
  /// The bounding box of the rectangle's four mapped corners.
  TRectF MapRect(const TRectF& r) const;
  /// MapRect with each edge rounded to a whole pixel, halves down: ceil(v - 0.5).
  TRectF MapRectToPixels(const TRectF& r) const;
  const TAffine& Matrix() const { return Matrix_; }

 private:
  TAffine Matrix_;
};

}  // namespace slabrip
