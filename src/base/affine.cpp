#include "base/affine.h"

#include <cmath>

namespace slabrip {

namespace {

TPointD Widened(TPointF p) { return {p.X, p.Y}; }

TParallelogramD Widened(const TParallelogramF& p) { return {Widened(p[0]), Widened(p[1]), Widened(p[2])}; }

}  // namespace

bool IsDegenerate(double determinant) {
  return !(std::abs(determinant) >= kMinDeterminant) || !std::isfinite(determinant);
}

double Determinant(const TAffineD& m) { return m.M11 * m.M22 - m.M12 * m.M21; }

double Determinant(const TParallelogramD& p) {
  const TPointD a = p[1] - p[0];
  const TPointD b = p[2] - p[0];
  return a.X * b.Y - b.X * a.Y;
}

// A corner that is not finite makes a side, and so the determinant, not finite.
bool IsDegenerate(const TParallelogramD& p) { return IsDegenerate(Determinant(p)); }

TAffine Narrowed(const TAffineD& m) {
  return {static_cast<float>(m.Dx),  static_cast<float>(m.Dy),  static_cast<float>(m.M11),
          static_cast<float>(m.M12), static_cast<float>(m.M21), static_cast<float>(m.M22)};
}

TAffineD Compose(const TAffineD& a, const TAffineD& b) {
  // b(a(p)): the linear parts multiply, a's offset goes through b.
  return {a.Dx * b.M11 + a.Dy * b.M21 + b.Dx, a.Dx * b.M12 + a.Dy * b.M22 + b.Dy,
          a.M11 * b.M11 + a.M12 * b.M21,      a.M11 * b.M12 + a.M12 * b.M22,
          a.M21 * b.M11 + a.M22 * b.M21,      a.M21 * b.M12 + a.M22 * b.M22};
}

TAffine Compose(const TAffine& a, const TAffine& b) { return Narrowed(Compose(Widened(a), Widened(b))); }

TAffineD TransformBetween(const TParallelogramD& from, const TParallelogramD& to) {
  const double det = Determinant(from);
  if (IsDegenerate(det)) return {};
  // Linear part: the sides of `to` times the inverse of the sides of `from`;
  // the offset then carries the origin of `from` onto that of `to`.
  const TPointD a = from[1] - from[0];
  const TPointD b = from[2] - from[0];
  const TPointD c = to[1] - to[0];
  const TPointD d = to[2] - to[0];
  TAffineD m;
  m.M11 = (c.X * b.Y - d.X * a.Y) / det;
  m.M21 = (d.X * a.X - c.X * b.X) / det;
  m.M12 = (c.Y * b.Y - d.Y * a.Y) / det;
  m.M22 = (d.Y * a.X - c.Y * b.X) / det;
  m.Dx = to[0].X - (m.M11 * from[0].X + m.M21 * from[0].Y);
  m.Dy = to[0].Y - (m.M12 * from[0].X + m.M22 * from[0].Y);
  return m;
}

TAffine TransformBetween(const TParallelogramF& from, const TParallelogramF& to) {
  return Narrowed(TransformBetween(Widened(from), Widened(to)));
}

TAffineD Inverted(const TAffineD& m) {
  const double det = Determinant(m);
  if (IsDegenerate(det)) return {};
  const double i11 = m.M22 / det, i12 = -m.M12 / det, i21 = -m.M21 / det, i22 = m.M11 / det;
  return {-(m.Dx * i11 + m.Dy * i21), -(m.Dx * i12 + m.Dy * i22), i11, i12, i21, i22};
}

TAffine Inverted(const TAffine& m) { return Narrowed(Inverted(Widened(m))); }

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
