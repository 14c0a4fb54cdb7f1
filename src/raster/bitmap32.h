// The 32-bit bitmap that bands, images and textures are held in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/geometry.h"
#include "colour/color32.h"

namespace slabrip {

/// Rows top to bottom, stride 4 x width, no padding: the layout cairo's
/// ARGB32 surfaces use, so they can draw on the same pixels.
class TBitmap32 {
 public:
  /// Bitmaps above this many pixels are refused (a band is about 4 million).
  static constexpr std::size_t kMaxPixels = std::size_t{1} << 30;

  TBitmap32() = default;
  /// Throws TError for negative sizes or more than kMaxPixels pixels.
  TBitmap32(int width, int height);

  /// Resizes; the pixels are undefined until filled. Same checks as the constructor.
  void SetSize(int width, int height);
  void Fill(TColor32 colour);

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  int Stride() const { return 4 * Width_; }
  std::size_t PixelCount() const { return Pixels_.size(); }
  TRectI Bounds() const { return {0, 0, Width_, Height_}; }

  TColor32* Pixels() { return Pixels_.data(); }
  const TColor32* Pixels() const { return Pixels_.data(); }
  TColor32* Row(int y) {
    return Pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width_);
  }
  const TColor32* Row(int y) const {
    return Pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width_);
  }

 private:
  int Width_ = 0;
  int Height_ = 0;
  std::vector<TColor32> Pixels_;
};

}  // namespace slabrip
