// Curves drawn by code, contour by contour: lines and conic arcs.
#pragma once

#include <memory>
#include <vector>

#include "geometry/geo_curve.h"

namespace slabrip {

/// Draws a curve contour by contour: lines and conic arcs.
class TCurveBuilder {
 public:
  TCurveBuilder& MoveTo(float x, float y);
  TCurveBuilder& LineTo(float x, float y);
  /// A conic arc through control (cx, cy) with weight w to (x, y).
  TCurveBuilder& ConicTo(float cx, float cy, float x, float y, double w = 1);
  /// Marks the running contour closed.
  TCurveBuilder& Close();
  /// A closed ellipse of four quarter arcs.
  TCurveBuilder& Ellipse(float cx, float cy, float rx, float ry);
  TCurveBuilder& Rectangle(float left, float top, float right, float bottom);
  /// A closed four-sided outline through the points in order.
  TCurveBuilder& Quad(TPointD a, TPointD b, TPointD c, TPointD d);
  bool Empty() const { return Points_.empty(); }
  /// The curve, with every contour closed when `allClosed`.
  std::unique_ptr<TGeoCurve> Build(const TAffine& matrix = {}, bool allClosed = false) const;

 private:
  std::vector<TGeoPoint> Points_;
  std::size_t ContourStart_ = 0;
};

}  // namespace slabrip
