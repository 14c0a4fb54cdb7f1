// BMP and GIF files written by code, for tests and fuzz seeds.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip {

/// The Windows bitmap variants written here.
enum class TBmpLayout {
  kRgb24BottomUp,   // 24 bits, rows from the bottom, as most programs save
  kRle8,            // 8-bit palette, run-length coded; at most 256 colours
  kArgb32TopDown,   // 32 bits with an alpha bit field (V4 header), rows from the top
};

/// A BMP of `picture`, whose pixels are straight (not premultiplied) ARGB;
/// only kArgb32TopDown keeps their alpha.
std::vector<std::uint8_t> BmpFile(const TBitmap32& picture, TBmpLayout layout);

/// A GIF of one frame: the opaque colours of `picture` (at most 255 of them)
/// and a transparent index for its fully transparent pixels.
std::vector<std::uint8_t> GifFile(const TBitmap32& picture, bool interlaced);

}  // namespace slabrip
