// Rational quadratic segments (conic arcs): a start, a weighted control point, an end.
#pragma once

#include <cmath>

#include "base/geometry.h"

namespace slabrip {

/// P0 (start), P1 (control) with weight W, P2 (end). Weight 1 is the
/// quadratic Bezier, 0 the chord.
struct TConic {
  TPointD P0, P1, P2;
  double W = 1;

  /// The point at parameter t in 0..1.
  TPointD At(double t) const {
    if (W == 1) return P0 + t * (2 * (P1 - P0) + t * (P2 + P0 - 2 * P1));
    const double u = 1 - t;
    const double den = u * u + 2 * W * t * u + t * t;
    return P0 + (1 / den) * (2 * W * t * u * (P1 - P0) + t * t * (P2 - P0));
  }

  /// The two halves at t = 0.5, each with weight sqrt((1 + W) / 2).
  void Split(TConic& left, TConic& right) const {
    const double k = W / (1 + W);
    const TPointD mid = (1 / (2 * (1 + W))) * (P0 + 2 * W * P1 + P2);
    const double w = std::sqrt((1 + W) / 2);
    left = {P0, P0 + k * (P1 - P0), mid, w};
    right = {mid, P2 + k * (P1 - P2), P2, w};
  }
};

}  // namespace slabrip
