#include "geometry/curve_builder.h"

#include <cmath>

namespace slabrip {

TCurveBuilder& TCurveBuilder::MoveTo(float x, float y) {
  ContourStart_ = Points_.size();
  Points_.push_back({x, y, kPointNewContour});
  return *this;
}

TCurveBuilder& TCurveBuilder::LineTo(float x, float y) {
  Points_.push_back({x, y, 0});
  return *this;
}

TCurveBuilder& TCurveBuilder::ConicTo(float cx, float cy, float x, float y, double w) {
  Points_.push_back({cx, cy, kPointControl | static_cast<std::uint32_t>(CodeFromWeight(w)) << 8});
  Points_.push_back({x, y, 0});
  return *this;
}

TCurveBuilder& TCurveBuilder::Close() {
  Points_[ContourStart_].Flags |= kPointClosed;
  return *this;
}

TCurveBuilder& TCurveBuilder::Ellipse(float cx, float cy, float rx, float ry) {
  const double w = std::sqrt(0.5);  // a quarter circle
  MoveTo(cx + rx, cy);
  ConicTo(cx + rx, cy + ry, cx, cy + ry, w);
  ConicTo(cx - rx, cy + ry, cx - rx, cy, w);
  ConicTo(cx - rx, cy - ry, cx, cy - ry, w);
  ConicTo(cx + rx, cy - ry, cx + rx, cy, w);
  return Close();
}

TCurveBuilder& TCurveBuilder::Rectangle(float left, float top, float right, float bottom) {
  return MoveTo(left, top).LineTo(right, top).LineTo(right, bottom).LineTo(left, bottom).Close();
}

std::unique_ptr<TGeoCurve> TCurveBuilder::Build(const TAffine& matrix, bool allClosed) const {
  TGeoCurveHeader header;
  header.Flags = allClosed ? 0x100u : 0u;
  header.Matrix = matrix;
  header.PointCount = static_cast<std::int32_t>(Points_.size());
  return std::make_unique<TGeoCurve>(header, Points_);
}

TCurveBuilder& TCurveBuilder::Quad(TPointD a, TPointD b, TPointD c, TPointD d) {
  const auto f = [](double v) { return static_cast<float>(v); };
  return MoveTo(f(a.X), f(a.Y)).LineTo(f(b.X), f(b.Y)).LineTo(f(c.X), f(c.Y)).LineTo(f(d.X), f(d.Y)).Close();
}

}  // namespace slabrip
