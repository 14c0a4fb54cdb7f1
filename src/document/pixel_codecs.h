// The packed-pixel and run-length codecs of cmf bitmaps, textures and the bitmap cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip {

/// 32-bit packed pixels: groups of eight delta-coded pixels as bit planes
/// under a 16-bit control word, the last count % 8 pixels plain (B, G, R, A);
/// deltas from the previous pixel, starting from opaque black. Writes
/// exactly out.size() pixels; false when the data runs out first.
bool DecodePackedPixels(std::span<const std::uint8_t> data, std::span<TColor32> out);
/// The encoding of `pixels`.
std::vector<std::uint8_t> EncodePackedPixels(std::span<const TColor32> pixels);

/// 8-bit packed bytes: groups of sixteen (two bit-plane groups of eight under
/// one control byte), the last count % 16 plain, then a running sum.
bool DecodePackedBytes(std::span<const std::uint8_t> data, std::span<std::uint8_t> out);
std::vector<std::uint8_t> EncodePackedBytes(std::span<const std::uint8_t> bytes);

/// Run-length packing: after three equal bytes copied, a repeat count byte.
/// Unpacks at most maxOut bytes; nothing when the output would exceed it or
/// a repeat count is missing at the end.
std::optional<std::vector<std::uint8_t>> UnpackRunLength(std::span<const std::uint8_t> data,
                                                         std::size_t maxOut);
std::vector<std::uint8_t> PackRunLength(std::span<const std::uint8_t> bytes);

/// The compressed bitmap record (tag 5 of an image): width, height, packed
/// size m, ~m, unpacked size u, m run-length bytes of packed pixels, then
/// two zero words. Empty for a bitmap without pixels or one whose encoding
/// outgrows the record's 32-bit sizes.
std::vector<std::uint8_t> EncodeCompressedBitmap(const TBitmap32& bitmap);
/// Nothing for sizes that are not positive, a failed complement check,
/// short data, non-zero trailing words, more than `maxPixels` pixels, or
/// pixel data that does not decode. `consumed`, when given, receives the
/// record's length.
std::optional<TBitmap32> DecodeCompressedBitmap(std::span<const std::uint8_t> record, std::size_t maxPixels,
                                                std::size_t* consumed = nullptr);

}  // namespace slabrip
