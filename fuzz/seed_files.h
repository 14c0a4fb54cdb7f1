// Pictures and file writing shared by the programs that make fuzz seeds.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip::seeds {

using TBytes = std::vector<std::uint8_t>;

// Smooth colour with a dither of a few steps, as in a photo: few equal neighbours.
inline TBitmap32 Photo(int width, int height) {
  TBitmap32 bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto channel = [&](double v) {
        return static_cast<TColor32>(std::lround(v + (x * 7 + y * 13) % 5)) & 0xFF;
      };
      bitmap.Row(y)[x] = 0xFF000000 | channel(6.0 * x) << 16 |
                         channel(128 + 90 * std::sin(0.3 * x + 0.2 * y)) << 8 | channel(240 - 8.0 * y);
    }
  return bitmap;
}

inline bool WriteFile(const std::string& path, const TBytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace slabrip::seeds
