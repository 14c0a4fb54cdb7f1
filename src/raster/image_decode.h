// Image files (JPEG, PNG, TIFF, BMP, GIF) decoded into bitmaps, chosen by their first bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "raster/bitmap32.h"

namespace slabrip {

enum class TImageFormat { kUnknown, kJpeg, kPng, kTiff, kBmp, kGif };

/// The format the first bytes announce.
TImageFormat DetectImageFormat(std::span<const std::uint8_t> bytes);

/// The image as premultiplied ARGB32 (the layout cairo draws from), or
/// nothing with the reason in `problem`: unknown format, corrupt data, a
/// size that is not positive or above `maxPixels`. CMYK images come out as
/// RGB; a GIF gives its first frame on its logical screen, transparent where
/// the frame does not reach. Never aborts the process, whatever the bytes.
std::optional<TBitmap32> DecodeImageFile(std::span<const std::uint8_t> bytes, std::int64_t maxPixels,
                                         std::string* problem = nullptr);

}  // namespace slabrip
