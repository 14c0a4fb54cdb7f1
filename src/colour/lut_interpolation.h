// Tetrahedral interpolation in a 33-grid with weights in sixteenths: the
// shared kernel of the colour tables and the engine's lookups.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "raster/bitmap32.h"

namespace slabrip::lut {

// Lanes of packed sums map onto 16-bit ink lanes and pixel bytes in memory order.
static_assert(std::endian::native == std::endian::little);

inline constexpr std::uint32_t kBlueStep = 1089;
inline constexpr std::uint32_t kGreenStep = 33;
inline constexpr std::size_t kNodeCount = 35937;
inline constexpr std::size_t kEntryCount = 35938;  // nodes plus the white entry
inline constexpr std::size_t kWhiteIndex = 35937;

/// Vertex offsets of the six tetrahedra that split a cell along its diagonal.
inline constexpr std::uint32_t kTetraTable[6][4] = {
    {0, 1089, 1122, 1123},  // fb >= fg >= fr
    {0, 33, 1122, 1123},    // fg >= fb >= fr
    {0, 1, 34, 1123},       // fr >= fg >= fb
    {0, 1089, 1090, 1123},  // fb >= fr >= fg
    {0, 33, 34, 1123},      // fg >= fr >= fb
    {0, 1, 1090, 1123},     // fr >= fb >= fg
};

/// Word per fraction triple fb * 64 + fg * 8 + fr (eighths of a cell): four
/// 5-bit weights w0..w3 summing to 16, and the tetrahedron from bit 20 on.
/// The first tetrahedron whose order holds is taken; ties agree anyway.
inline constexpr std::array<std::uint32_t, 512> kWeightTable = [] {
  std::array<std::uint32_t, 512> table{};
  for (std::uint32_t fb = 0; fb < 8; ++fb)
    for (std::uint32_t fg = 0; fg < 8; ++fg)
      for (std::uint32_t fr = 0; fr < 8; ++fr) {
        const std::uint32_t order[6][3] = {{fb, fg, fr}, {fg, fb, fr}, {fr, fg, fb},
                                           {fb, fr, fg}, {fg, fr, fb}, {fr, fb, fg}};
        std::uint32_t t = 0;
        while (!(order[t][0] >= order[t][1] && order[t][1] >= order[t][2])) ++t;
        const std::uint32_t f1 = order[t][0], f2 = order[t][1], f3 = order[t][2];
        const std::uint32_t w0 = 16 - 2 * f1, w1 = 2 * (f1 - f2), w2 = 2 * (f2 - f3), w3 = 2 * f3;
        table[fb * 64 + fg * 8 + fr] = w0 | w1 << 5 | w2 << 10 | w3 << 15 | t << 20;
      }
  return table;
}();

/// Where a pixel falls: the cell's first entry, the tetrahedron and its weights.
struct TCell {
  std::uint32_t Base;
  const std::uint32_t* Offsets;
  std::uint64_t W0, W1, W2, W3;
};

inline TCell Locate(TColor32 p) {
  const std::uint32_t b = p & 0xFF, g = p >> 8 & 0xFF, r = p >> 16 & 0xFF;
  const std::uint32_t word = kWeightTable[(b & 7) << 6 | (g & 7) << 3 | (r & 7)];
  return {(b >> 3) * kBlueStep + (g >> 3) * kGreenStep + (r >> 3),
          kTetraTable[word >> 20],
          word & 31,
          word >> 5 & 31,
          word >> 10 & 31,
          word >> 15 & 31};
}

/// The four bytes of an entry in four 16-bit lanes.
inline std::uint64_t Spread(TColor32 e) {
  std::uint64_t x = e;
  x = (x | x << 16) & 0x0000FFFF0000FFFFull;
  return (x | x << 8) & 0x00FF00FF00FF00FFull;
}

/// Weighted sums of the four vertices, one 16-bit lane per byte (at most 4080).
inline std::uint64_t Sums(const TColor32* grid, const TCell& c) {
  const TColor32* at = grid + c.Base;
  return c.W0 * Spread(at[c.Offsets[0]]) + c.W1 * Spread(at[c.Offsets[1]]) + c.W2 * Spread(at[c.Offsets[2]]) +
         c.W3 * Spread(at[c.Offsets[3]]);
}

/// Sums back to bytes, each sum >> 4.
inline TColor32 Narrow(std::uint64_t sums) {
  std::uint64_t x = sums >> 4 & 0x00FF00FF00FF00FFull;
  x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
  return static_cast<TColor32>(x | x >> 16);
}

inline TColor32 Interpolate(const TColor32* grid, TColor32 p) { return Narrow(Sums(grid, Locate(p))); }

}  // namespace slabrip::lut
