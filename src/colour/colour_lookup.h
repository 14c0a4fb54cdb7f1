// The engine's per-pixel lookups through a current and a second colour table.
#pragma once

#include <cstdint>

#include <emmintrin.h>

#include "colour/colour_lut33.h"
#include "colour/ink_vector.h"

namespace slabrip {

/// The lookup state one engine owns: which tables are current, the one-entry
/// cache and the last results. Conversions of tables themselves do not touch
/// it, so a job's correction does not disturb the engine's tables.
/// Lookups need a current table (and LookupEightInk a second one).
class TColourLookup {
 public:
  /// `table` becomes the current table (the identity first when it is not Ready).
  void MakeCurrent(TColorLut33Obj& table) {
    table.EnsureReady();
    Current_ = table.Grid().data();
    CurrentWhite_ = table.Grid()[lut::kWhiteIndex];
  }
  /// The current table also becomes the second table (lanes 4..7 of LookupEightInk).
  void CopyCurrentToSecond() { Second_ = Current_; }

  /// The next lookup of `pixel` is computed afresh; done at the start of every row.
  void InvalidateCache(TColor32 pixel) { CacheKey_ = ~pixel; }

  /// Four ink bytes of the current table into LastResult.
  void LookupFourInk(TColor32 p) { FourInkRow(&p, 1, &LastResult_); }
  /// Eight 16-bit inks into LastInks: lanes 0..3 from the current table,
  /// 4..7 from the second, each sum << 3 (at most 32640); white is no ink.
  void LookupEightInk(TColor32 p) { EightInkRow(&p, 1, &LastInks_); }

  /// LookupFourInk over a row, result i into out[i].
  void FourInkRow(const TColor32* pixels, std::size_t count, TColor32* out) {
    LastResult_ = CachedRow(pixels, count, out, LastResult_, CurrentWhite_,
                            [this](TColor32 p, TColor32& result) { result = lut::Interpolate(Current_, p); });
  }

  /// LookupEightInk over a row, result i into out[i].
  void EightInkRow(const TColor32* pixels, std::size_t count, TInkVector* out) {
    LastInks_ =
        CachedRow(pixels, count, out, LastInks_, TInkVector{},
                  [this](TColor32 p, TInkVector& result) { SumsOfBothTables(lut::Locate(p), result); });
  }

  TColor32 LastResult() const { return LastResult_; }
  const TInkVector& LastInks() const { return LastInks_; }
  std::uint8_t LastAlpha() const { return LastAlpha_; }

 private:
  // Lanes 0..3 from the current table, 4..7 from the second, each sum << 3.
  void SumsOfBothTables(const lut::TCell& cell, TInkVector& out) const {
    const __m128i both = _mm_unpacklo_epi64(lut::SumsSse2(Current_, cell), lut::SumsSse2(Second_, cell));
    _mm_store_si128(reinterpret_cast<__m128i*>(out.Lane.data()), _mm_slli_epi16(both, 3));
  }

  // A row through the one-entry cache: white and repeats of the last colour
  // are not looked up. The state lives in locals for the run, so the compiler
  // keeps it in registers. Returns the last result.
  template <typename TResult, typename TLookup>
  TResult CachedRow(const TColor32* pixels, std::size_t count, TResult* out, TResult last,
                    const TResult& white, TLookup lookup) {
    std::uint32_t key = CacheKey_;
    for (std::size_t i = 0; i < count; ++i) {
      const TColor32 rgb = pixels[i] & 0xFFFFFF;
      if (rgb == 0xFFFFFF) {
        key = 0xFFFFFF;
        last = white;
      } else if (rgb != key) {
        key = rgb;
        lookup(pixels[i], last);
      }
      out[i] = last;
    }
    CacheKey_ = key;
    if (count > 0) LastAlpha_ = static_cast<std::uint8_t>(pixels[count - 1] >> 24);
    return last;
  }

  const TColor32* Current_ = nullptr;
  TColor32 CurrentWhite_ = 0;
  const TColor32* Second_ = nullptr;  // white takes no ink from it, so its white entry is not kept
  std::uint32_t CacheKey_ = 0xFFFFFFFF;
  TColor32 LastResult_ = 0;
  TInkVector LastInks_;
  std::uint8_t LastAlpha_ = 0;
};

}  // namespace slabrip
