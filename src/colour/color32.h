// The 32-bit pixel word that bitmaps, colour tables and lookups share.
#pragma once

#include <cstdint>

namespace slabrip {

/// One pixel: 0xAARRGGBB as a word, so bytes B, G, R, A in memory.
using TColor32 = std::uint32_t;

}  // namespace slabrip
