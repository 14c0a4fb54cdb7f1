// JPEG files from bitmaps: images documents embed, slab previews.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip {

/// A baseline RGB JPEG of the bitmap at the given quality (1..100).
std::vector<std::uint8_t> EncodeJpeg(const TBitmap32& bitmap, int quality = 90);

}  // namespace slabrip
