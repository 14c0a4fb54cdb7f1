// Tetrahedral interpolation in a 33-grid with weights in sixteenths: the
// shared kernel of the colour tables and the engine's lookups.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include <emmintrin.h>  // SSE2, part of every x86-64, the one target

#include "colour/color32.h"

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

/// The weights of kWeightTable as 16-bit lanes, (w0 x4, w1 x4, w2 x4, w3 x4),
/// so a vector unit multiplies two vertices' four bytes at once.
inline constexpr auto kWeightVectors = [] {
  std::array<std::array<std::uint16_t, 16>, 512> vectors{};
  for (std::size_t i = 0; i < vectors.size(); ++i)
    for (std::size_t k = 0; k < 16; ++k)
      vectors[i][k] = static_cast<std::uint16_t>(kWeightTable[i] >> (5 * (k / 4)) & 31);
  return vectors;
}();

/// Where a pixel falls: the cell's first entry, the tetrahedron's offsets and
/// the fraction triple that indexes the weights.
struct TCell {
  std::uint32_t Base;
  const std::uint32_t* Offsets;
  std::uint32_t Fractions;
};

inline TCell Locate(TColor32 p) {
  const std::uint32_t b = p & 0xFF, g = p >> 8 & 0xFF, r = p >> 16 & 0xFF;
  const std::uint32_t fractions = (b & 7) << 6 | (g & 7) << 3 | (r & 7);
  return {(b >> 3) * kBlueStep + (g >> 3) * kGreenStep + (r >> 3), kTetraTable[kWeightTable[fractions] >> 20],
          fractions};
}

/// The four bytes of an entry in four 16-bit lanes.
inline std::uint64_t Spread(TColor32 e) {
  std::uint64_t x = e;
  x = (x | x << 16) & 0x0000FFFF0000FFFFull;
  return (x | x << 8) & 0x00FF00FF00FF00FFull;
}

/// Weighted sums of the four vertices, one 16-bit lane per byte (at most
/// 4080): the reference the vector kernel is tested against.
inline std::uint64_t SumsScalar(const TColor32* grid, const TCell& c) {
  const TColor32* at = grid + c.Base;
  const std::uint32_t word = kWeightTable[c.Fractions];
  return (word & 31) * Spread(at[c.Offsets[0]]) + (word >> 5 & 31) * Spread(at[c.Offsets[1]]) +
         (word >> 10 & 31) * Spread(at[c.Offsets[2]]) + (word >> 15 & 31) * Spread(at[c.Offsets[3]]);
}

/// The same sums with SSE2: two vertices per multiply.
inline __m128i SumsSse2(const TColor32* grid, const TCell& c) {
  const TColor32* at = grid + c.Base;
  const __m128i zero = _mm_setzero_si128();
  const __m128i v01 = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(at[c.Offsets[0]])),
                                         _mm_cvtsi32_si128(static_cast<int>(at[c.Offsets[1]])));
  const __m128i v23 = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(at[c.Offsets[2]])),
                                         _mm_cvtsi32_si128(static_cast<int>(at[c.Offsets[3]])));
  const auto* w = reinterpret_cast<const __m128i*>(kWeightVectors[c.Fractions].data());
  const __m128i s = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v01, zero), _mm_loadu_si128(w)),
                                  _mm_mullo_epi16(_mm_unpacklo_epi8(v23, zero), _mm_loadu_si128(w + 1)));
  return _mm_add_epi16(s, _mm_srli_si128(s, 8));  // low four lanes
}

inline std::uint64_t Sums(const TColor32* grid, const TCell& c) {
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(SumsSse2(grid, c)));
}

/// Sums back to bytes, each sum >> 4.
inline TColor32 Narrow(std::uint64_t sums) {
  std::uint64_t x = sums >> 4 & 0x00FF00FF00FF00FFull;
  x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
  return static_cast<TColor32>(x | x >> 16);
}

inline TColor32 Interpolate(const TColor32* grid, TColor32 p) { return Narrow(Sums(grid, Locate(p))); }

}  // namespace slabrip::lut
