// What the image file decoders share; private to the raster library.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "raster/bitmap32.h"

namespace slabrip::image_decoding {

using TBytes = std::span<const std::uint8_t>;

/// round(a * b / 255) for bytes, exact for every pair (no floating point).
inline std::uint32_t MulDiv255(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

inline TColor32 Opaque(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return 0xFF000000u | r << 16 | g << 8 | b;
}

inline TColor32 Premultiplied(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return a << 24 | MulDiv255(r, a) << 16 | MulDiv255(g, a) << 8 | MulDiv255(b, a);
}

/// The size every format must pass before anything of that size is allocated.
bool SizeAccepted(std::uint64_t width, std::uint64_t height, std::int64_t maxPixels, std::string& problem);

/// A bitmap of a size SizeAccepted passed, all transparent; nothing when memory runs out.
std::optional<TBitmap32> NewBitmap(std::uint64_t width, std::uint64_t height, std::string& problem);

/// Windows bitmaps through gdk-pixbuf's loader.
std::optional<TBitmap32> DecodeBmp(TBytes bytes, std::int64_t maxPixels, std::string& problem);

/// The first frame of a GIF through giflib, on its logical screen.
std::optional<TBitmap32> DecodeGif(TBytes bytes, std::int64_t maxPixels, std::string& problem);

}  // namespace slabrip::image_decoding
