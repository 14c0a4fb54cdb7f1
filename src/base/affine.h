// Affine transforms: in float as stored files hold them, in double for the
// renderer and geometry; the transform between parallelograms, composition,
// inversion and the one rule for degenerate matrices.
#pragma once

#include "base/geometry.h"

namespace slabrip {

/// x' = x·M11 + y·M21 + Dx, y' = x·M12 + y·M22 + Dy; stored in the order
/// Dx, Dy, M11, M12, M21, M22.
template <class T>
struct TAffineMatrix {
  T Dx = 0;
  T Dy = 0;
  T M11 = 1;
  T M12 = 0;
  T M21 = 0;
  T M22 = 1;

  TPoint<T> Map(TPoint<T> p) const { return {p.X * M11 + p.Y * M21 + Dx, p.X * M12 + p.Y * M22 + Dy}; }
  friend bool operator==(const TAffineMatrix&, const TAffineMatrix&) = default;
};

/// As stored files hold transforms.
using TAffine = TAffineMatrix<float>;
using TAffineD = TAffineMatrix<double>;

/// Matrices and parallelograms whose determinant is below this in absolute
/// value, or not finite, are degenerate.
inline constexpr double kMinDeterminant = 1e-10;

/// The degenerate rule: |determinant| < kMinDeterminant, NaN or infinite.
bool IsDegenerate(double determinant);
/// The determinant of the linear part.
double Determinant(const TAffineD& m);
/// The determinant of the parallelogram's two sides; not finite when a
/// corner is not.
double Determinant(const TParallelogramD& p);
bool IsDegenerate(const TParallelogramD& p);

/// The float matrix in double, exactly.
inline TAffineD Widened(const TAffine& m) { return {m.Dx, m.Dy, m.M11, m.M12, m.M21, m.M22}; }
/// The double matrix rounded to float.
TAffine Narrowed(const TAffineD& m);

/// A followed by B; the float form is worked out in double.
TAffineD Compose(const TAffineD& a, const TAffineD& b);
TAffine Compose(const TAffine& a, const TAffine& b);

/// The transform carrying the parallelogram `from` onto `to`, corner by
/// corner; the identity when `from` is degenerate. The float form is worked
/// out in double.
TAffineD TransformBetween(const TParallelogramD& from, const TParallelogramD& to);
TAffine TransformBetween(const TParallelogramF& from, const TParallelogramF& to);

/// The inverse; the identity when the matrix is degenerate. The float form
/// is worked out in double.
TAffineD Inverted(const TAffineD& m);
TAffine Inverted(const TAffine& m);

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
