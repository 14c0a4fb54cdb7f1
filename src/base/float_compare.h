// Comparing float32 values by units in the last place.
#pragma once

#include <bit>
#include <cstdint>

namespace slabrip {

/// Distance in units in the last place between two float32 values, on the
/// ordered integer scale of their bit patterns (so -0 and +0 are 0 apart).
inline std::uint32_t UlpDistance(float a, float b) {
  const auto ordered = [](float f) {
    const auto bits = std::bit_cast<std::int32_t>(f);
    return bits < 0 ? static_cast<std::int64_t>(INT32_MIN) - bits : static_cast<std::int64_t>(bits);
  };
  const std::int64_t d = ordered(a) - ordered(b);
  return static_cast<std::uint32_t>(d < 0 ? -d : d);
}

}  // namespace slabrip
