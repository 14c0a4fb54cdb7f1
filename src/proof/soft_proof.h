// Pictures of what a slab prints: its inks as they would look on paper, and
// the small preview the driver window shows beside it.
#pragma once

#include <cstdint>
#include <vector>

#include "colour/colour_spec.h"
#include "colour/ink_vector.h"
#include "raster/bitmap32.h"

namespace slabrip {

/// What the inks would look like on paper: light inks count a third of their
/// dark ones, mixed by the ink model of named colours. Runs of one vector convert once.
class TSoftProof {
 public:
  /// The opaque colour of one pixel's inks.
  TColor32 Colour(const TInkVector& inks);

 private:
  TStandardColorConverter Converter_;
  TInkVector Last_{{-1}};
  TColor32 LastColour_ = 0;
};

/// A small picture of the slab, as the suite keeps beside it for the driver
/// window: every block of Factor x Factor pixels averaged, rows as they come.
class TPreviewShrinker {
 public:
  static constexpr int kLongSide = 1000;

  /// The picture of a slab of width x height pixels, at most kLongSide long.
  TPreviewShrinker(int width, int height);

  /// Row y of the slab; rows come in order, each once.
  void AddRow(int y, const TColor32* row);
  const TBitmap32& Picture() const { return Picture_; }

  const int Factor;

 private:
  TBitmap32 Picture_;
  std::vector<std::uint32_t> Sums_;
  int Width_, Height_;
};

}  // namespace slabrip
