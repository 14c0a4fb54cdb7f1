// Eight ink amounts of one pixel: the ink rows, spot palette and expansion tables hold them.
#pragma once

#include <array>
#include <cstdint>

namespace slabrip {

/// Signed 16-bit ink values, 0..32767 for 0..100 %: lanes 0 cyan, 1 magenta,
/// 2 yellow, 3 black, 4 light cyan, 5 light magenta, 6 and 7 spare.
struct alignas(16) TInkVector {
  std::array<std::int16_t, 8> Lane{};
  friend bool operator==(const TInkVector&, const TInkVector&) = default;
};
static_assert(sizeof(TInkVector) == 16);

}  // namespace slabrip
