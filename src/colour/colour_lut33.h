// The 33 x 33 x 33 colour table: RGB -> RGB corrections and RGB -> four-ink tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "colour/color32.h"
#include "colour/lut_interpolation.h"

namespace slabrip {

/// A grid of 33 nodes per axis over the RGB cube plus one entry for pure
/// white. Node (r, g, b) is entry b * 1089 + g * 33 + r and stands for the
/// channel value 8k (255 for k = 32). RGB tables hold opaque colours and
/// keep each pixel's alpha; four-ink tables hold C, M, Y, K in bytes 0..3.
/// A table that is not Ready converts as the identity.
class TColorLut33Obj {
 public:
  static constexpr std::size_t kEntryCount = lut::kEntryCount;
  static constexpr std::size_t kWhiteIndex = lut::kWhiteIndex;
  static constexpr std::size_t kGrid17Count = 4914;  // 17^3 nodes and a white entry

  /// Zeroed grid, not ready.
  TColorLut33Obj();

  /// The channel value node k of an axis stands for.
  static constexpr int GridPosition(int k) { return k < 32 ? 8 * k : 255; }

  bool Ready = false;
  bool CmykOutput = false;

  /// Every node its own position as an opaque colour, white entry 0xFFFFFFFF; Ready.
  void MakeIdentity();
  /// Node (r, g, b), each 0..32; the white entry follows node (32, 32, 32).
  TColor32* CellPointer(int r, int g, int b) { return &Grid_[Index(r, g, b)]; }
  TColor32& WhiteEntry() { return Grid_[kWhiteIndex]; }
  std::span<const TColor32, kEntryCount> Grid() const {
    return std::span<const TColor32, kEntryCount>(Grid_);
  }
  std::span<TColor32, kEntryCount> Grid() { return std::span<TColor32, kEntryCount>(Grid_); }

  /// Fills the table from a 17-grid (index b * 289 + g * 17 + r, white at
  /// 4913): even nodes take 17-grid nodes, odd nodes interpolate half-way.
  void ImportGrid17(std::span<const TColor32, kGrid17Count> source);
  /// Byte 3 of every entry.
  void SetAlpha(std::uint8_t alpha);

  /// Identity, then every entry e := fn(e) when a function is given.
  void BuildFromFunction(const std::function<TColor32(TColor32)>& fn);
  /// Identity, then one call of fn with the whole grid when a function is given.
  void BuildWithCallback(const std::function<void(std::span<TColor32, kEntryCount>)>& fn);

  /// One colour through the RGB conversion, whatever CmykOutput says.
  TColor32 ConvertColour(TColor32 colour);
  /// `count` pixels in place: RGB or four-byte by CmykOutput, with a one-entry cache.
  void ConvertPixels(TColor32* pixels, std::size_t count);

  /// The identity when the table is not Ready (a table is made current so).
  void EnsureReady() {
    if (!Ready) MakeIdentity();
  }

 private:
  static std::size_t Index(int r, int g, int b) {
    return static_cast<std::size_t>(b) * lut::kBlueStep + static_cast<std::size_t>(g) * lut::kGreenStep +
           static_cast<std::size_t>(r);
  }
  std::vector<TColor32> Grid_;
};

}  // namespace slabrip
