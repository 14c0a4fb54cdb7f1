// Points, rectangles and parallelograms in int, float and double.
#pragma once

#include <algorithm>
#include <array>

namespace slabrip {

template <class T>
struct TPoint {
  T X = 0;
  T Y = 0;

  friend TPoint operator+(TPoint a, TPoint b) { return {a.X + b.X, a.Y + b.Y}; }
  friend TPoint operator-(TPoint a, TPoint b) { return {a.X - b.X, a.Y - b.Y}; }
  friend TPoint operator*(T k, TPoint a) { return {k * a.X, k * a.Y}; }
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

using TPointI = TPoint<int>;
/// As stored files hold points.
using TPointF = TPoint<float>;
using TPointD = TPoint<double>;

/// An axis-aligned box: MinX, MinY, MaxX, MaxY, the order stored files hold
/// it in. Device boxes have y down, so MinY is the top edge; integer boxes
/// are half-open, MaxX and MaxY just past the last pixel.
template <class T>
struct TRect {
  T MinX = 0;
  T MinY = 0;
  T MaxX = 0;
  T MaxY = 0;

  T Width() const { return MaxX - MinX; }
  T Height() const { return MaxY - MinY; }
  /// True unless MaxX > MinX and MaxY > MinY.
  bool IsEmpty() const { return !(MaxX > MinX && MaxY > MinY); }
  /// Grows the box to take in p; a NaN coordinate leaves it as it is.
  void Include(TPoint<T> p) {
    MinX = std::min(MinX, p.X);
    MinY = std::min(MinY, p.Y);
    MaxX = std::max(MaxX, p.X);
    MaxY = std::max(MaxY, p.Y);
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

using TRectI = TRect<int>;
/// As stored files hold rectangles.
using TRectF = TRect<float>;
using TRectD = TRect<double>;

/// A parallelogram: origin, first corner, second corner (the fourth corner
/// is first + second - origin).
template <class T>
using TParallelogram = std::array<TPoint<T>, 3>;

using TParallelogramF = TParallelogram<float>;
using TParallelogramD = TParallelogram<double>;

}  // namespace slabrip
