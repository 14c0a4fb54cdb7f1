// How tall the bands are that slabs and documents are drawn in.
#pragma once

#include <algorithm>
#include <cstdint>

namespace slabrip {

/// A band holds about this many pixels (16 MB of bitmap), and at least kMinBandHeight rows.
inline constexpr std::int32_t kBandPixels = 4'000'000;
inline constexpr std::int32_t kMinBandHeight = 16;

/// The rows of a band `width` (at least 1) pixels wide under that rule; the
/// caller limits them further to its raster and to cairo's images.
constexpr std::int32_t BandRowsFor(std::int32_t width) {
  return std::max(kBandPixels / width, kMinBandHeight);
}

}  // namespace slabrip
