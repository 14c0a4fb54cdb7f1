#include "base/affine.h"

#include <cmath>

namespace slabrip {

TAffine Compose(const TAffine& a, const TAffine& b) {
  // b(a(p)): the linear parts multiply, a's offset goes through b.
  const double m11 = double{a.M11} * b.M11 + double{a.M12} * b.M21;
  const double m12 = double{a.M11} * b.M12 + double{a.M12} * b.M22;
  const double m21 = double{a.M21} * b.M11 + double{a.M22} * b.M21;
  const double m22 = double{a.M21} * b.M12 + double{a.M22} * b.M22;
  const double dx = double{a.Dx} * b.M11 + double{a.Dy} * b.M21 + b.Dx;
  const double dy = double{a.Dx} * b.M12 + double{a.Dy} * b.M22 + b.Dy;
  return {static_cast<float>(dx),  static_cast<float>(dy),  static_cast<float>(m11),
          static_cast<float>(m12), static_cast<float>(m21), static_cast<float>(m22)};
}

TAffine TransformBetween(const std::array<TPointF, 3>& from, const std::array<TPointF, 3>& to) {
  // The frame's axes as columns; the inverse of `from`'s frame followed by `to`'s.
  const double ax = double{from[1].X} - from[0].X, ay = double{from[1].Y} - from[0].Y;
  const double bx = double{from[2].X} - from[0].X, by = double{from[2].Y} - from[0].Y;
  const double det = ax * by - bx * ay;
  if (!(std::abs(det) >= 1e-10) || !std::isfinite(det)) return {};
  const double cx = double{to[1].X} - to[0].X, cy = double{to[1].Y} - to[0].Y;
  const double dx = double{to[2].X} - to[0].X, dy = double{to[2].Y} - to[0].Y;
  // Inverse of [[ax, bx], [ay, by]] applied first, then [[cx, dx], [cy, dy]].
  const double i11 = by / det, i12 = -bx / det, i21 = -ay / det, i22 = ax / det;
  const double m11 = cx * i11 + dx * i21;  // x' = x*m11 + y*m21 + ...
  const double m21 = cx * i12 + dx * i22;
  const double m12 = cy * i11 + dy * i21;
  const double m22 = cy * i12 + dy * i22;
  const double ox = to[0].X - (from[0].X * m11 + from[0].Y * m21);
  const double oy = to[0].Y - (from[0].X * m12 + from[0].Y * m22);
  return {static_cast<float>(ox),  static_cast<float>(oy),  static_cast<float>(m11),
          static_cast<float>(m12), static_cast<float>(m21), static_cast<float>(m22)};
}

TRectF TMatrixObj::MapRect(const TRectF& r) const {
  const TPointF corners[4] = {MapPoint({r.MinX, r.MinY}), MapPoint({r.MaxX, r.MinY}),
                              MapPoint({r.MinX, r.MaxY}), MapPoint({r.MaxX, r.MaxY})};
  TRectF box{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
  for (const TPointF& c : corners) box.Include(c);
  return box;
}

TRectF TMatrixObj::MapRectToPixels(const TRectF& r) const {
  const TRectF box = MapRect(r);
  const auto pixel = [](float v) { return std::ceil(v - 0.5f); };
  return {pixel(box.MinX), pixel(box.MinY), pixel(box.MaxX), pixel(box.MaxY)};
}

}  // namespace slabrip
