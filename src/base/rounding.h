// Float to integer conversion with ties to even, the one rounding rule of the program.
#pragma once

#include <cmath>
#include <cstdint>

namespace slabrip {

/// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
/// nearbyint follows the FPU rounding mode; the program never leaves the
/// default round-to-nearest-even mode, and the tests pin the ties.
inline double RoundHalfEven(double v) { return std::nearbyint(v); }

/// RoundHalfEven clamped into [lo, hi] and converted; NaN gives lo.
inline std::int64_t RoundClamp(double v, std::int64_t lo, std::int64_t hi) {
  const double r = RoundHalfEven(v);
  if (!(r >= static_cast<double>(lo))) return lo;
  if (r >= static_cast<double>(hi)) return hi;
  return static_cast<std::int64_t>(r);
}

/// RoundHalfEven to a 32-bit integer, saturating at the int32 limits.
inline std::int32_t RoundToInt32(double v) {
  return static_cast<std::int32_t>(RoundClamp(v, INT32_MIN, INT32_MAX));
}

}  // namespace slabrip
