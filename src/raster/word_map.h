// A 16-bit word per pixel: the spot map beside a band bitmap.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace slabrip {

/// Rows top to bottom without padding, like the bitmap it shadows.
class TWordMap {
 public:
  TWordMap() = default;
  TWordMap(int width, int height) { SetSize(width, height); }

  void SetSize(int width, int height) {
    Width_ = std::max(width, 0);
    Height_ = std::max(height, 0);
    Words_.assign(static_cast<std::size_t>(Width_) * static_cast<std::size_t>(Height_), 0);
  }
  void Fill(std::uint16_t value) { std::fill(Words_.begin(), Words_.end(), value); }
  int Width() const { return Width_; }
  int Height() const { return Height_; }
  std::uint16_t* Row(int y) {
    return Words_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width_);
  }
  const std::uint16_t* Row(int y) const {
    return Words_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width_);
  }

 private:
  int Width_ = 0;
  int Height_ = 0;
  std::vector<std::uint16_t> Words_;
};

}  // namespace slabrip
