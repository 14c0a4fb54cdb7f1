// Numbers in stored records: little-endian, unaligned.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace slabrip {

static_assert(std::endian::native == std::endian::little,
              "stored records are read in place as little-endian");

/// The value of type T stored at p.
template <class T>
T LoadLe(const std::uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

/// Stores the value at p.
template <class T>
void StoreLe(std::uint8_t* p, T value) {
  std::memcpy(p, &value, sizeof value);
}

}  // namespace slabrip
