// Comparing 32-bit pixels channel by channel, with readable failures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace slabrip::test {

inline int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

inline std::string Hex(std::uint32_t v) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", v);
  return text;
}

// Every channel, alpha included, within `tolerance`.
inline ::testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected, int tolerance) {
  for (int shift : {24, 16, 8, 0})
    if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance)
      return ::testing::AssertionFailure() << Hex(actual) << " is not near " << Hex(expected);
  return ::testing::AssertionSuccess();
}

}  // namespace slabrip::test
