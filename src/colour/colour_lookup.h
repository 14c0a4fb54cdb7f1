// The engine's per-pixel lookups through a current and a second colour table.
#pragma once

#include <cstdint>
#include <cstring>

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
  bool HasCurrent() const { return Current_ != nullptr; }

  /// The next lookup of `pixel` is computed afresh; done at the start of every row.
  void InvalidateCache(TColor32 pixel) { CacheKey_ = ~pixel; }

  /// Four ink bytes of the current table into LastResult.
  void LookupFourInk(TColor32 p) {
    LastAlpha_ = static_cast<std::uint8_t>(p >> 24);
    const TColor32 rgb = p & 0xFFFFFF;
    if (rgb == 0xFFFFFF) {
      CacheKey_ = 0xFFFFFF;
      LastResult_ = CurrentWhite_;
    } else if (rgb != CacheKey_) {
      CacheKey_ = rgb;
      LastResult_ = lut::Interpolate(Current_, p);
    }
  }

  /// Eight 16-bit inks into LastInks: lanes 0..3 from the current table,
  /// 4..7 from the second, each sum << 3 (at most 32640); white is no ink.
  void LookupEightInk(TColor32 p) {
    LastAlpha_ = static_cast<std::uint8_t>(p >> 24);
    const TColor32 rgb = p & 0xFFFFFF;
    if (rgb == 0xFFFFFF) {
      CacheKey_ = 0xFFFFFF;
      LastInks_ = {};
    } else if (rgb != CacheKey_) {
      CacheKey_ = rgb;
      const lut::TCell cell = lut::Locate(p);
      const std::uint64_t lanes[2] = {lut::Sums(Current_, cell) << 3, lut::Sums(Second_, cell) << 3};
      std::memcpy(LastInks_.Lane.data(), lanes, sizeof lanes);
    }
  }

  TColor32 LastResult() const { return LastResult_; }
  const TInkVector& LastInks() const { return LastInks_; }
  std::uint8_t LastAlpha() const { return LastAlpha_; }

 private:
  const TColor32* Current_ = nullptr;
  TColor32 CurrentWhite_ = 0;
  const TColor32* Second_ = nullptr;  // white takes no ink from it, so its white entry is not kept
  std::uint32_t CacheKey_ = 0xFFFFFFFF;
  TColor32 LastResult_ = 0;
  TInkVector LastInks_;
  std::uint8_t LastAlpha_ = 0;
};

}  // namespace slabrip
