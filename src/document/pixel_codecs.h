// The packed-pixel and run-length codecs of cmf bitmaps, textures and the bitmap cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
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
/// How many bytes UnpackRunLength would give, found without allocating;
/// nothing where it would give nothing.
std::optional<std::size_t> RunLengthUnpackedSize(std::span<const std::uint8_t> data, std::size_t maxOut);
/// The most pixels `bytes` bytes of packed pixels can hold: eight per bare
/// two-byte control word.
std::size_t PackedPixelCapacity(std::size_t bytes);
std::vector<std::uint8_t> PackRunLength(std::span<const std::uint8_t> bytes);

/// The compressed bitmap record (tag 5 of an image): width, height, packed
/// size m, ~m, unpacked size u, m run-length bytes of packed pixels, then
/// two zero words. Empty for a bitmap without pixels or one whose encoding
/// outgrows the record's 32-bit sizes.
std::vector<std::uint8_t> EncodeCompressedBitmap(const TBitmap32& bitmap);
/// Nothing for sizes that are not positive, a failed complement check,
/// short data, non-zero trailing words, more than `maxPixels` pixels, more
/// pixels than the data unpacks to room for (refused before the bitmap is
/// allocated), or pixel data that does not decode; the reason goes to
/// `problem`. `consumed`, when given, receives the record's length.
std::optional<TBitmap32> DecodeCompressedBitmap(std::span<const std::uint8_t> record, std::size_t maxPixels,
                                                std::size_t* consumed = nullptr, std::string* problem = nullptr);

}  // namespace slabrip
