// TIFF PackBits compression of one raster plane, the hot path of every row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace slabrip::hpldrlgl {

/// The most bytes PackBitsEncode writes for `size` input bytes: one header
/// byte per 128 literal bytes.
constexpr std::size_t PackBitsBound(std::size_t size) { return size + (size + 127) / 128; }

/// The length of `data` without its trailing zero bytes.
std::size_t TrimTrailingZeros(const std::uint8_t* data, std::size_t size);

/// Compresses `size` bytes into `out`, which holds PackBitsBound(size) bytes;
/// returns the bytes written. Runs of three or more equal bytes become
/// repeat packets, everything else literal packets.
std::size_t PackBitsEncode(const std::uint8_t* data, std::size_t size, std::uint8_t* out);

}  // namespace slabrip::hpldrlgl
