// PNG and JPEG files from bitmaps, for the images documents embed.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip {

/// An RGBA PNG of the bitmap.
std::vector<std::uint8_t> EncodePng(const TBitmap32& bitmap);
/// A baseline RGB JPEG of the bitmap at the given quality (1..100).
std::vector<std::uint8_t> EncodeJpeg(const TBitmap32& bitmap, int quality = 90);

}  // namespace slabrip
