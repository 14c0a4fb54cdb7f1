#include "raster/bitmap32.h"

#include <fmt/format.h>
#include <algorithm>

#include "base/errors.h"

namespace slabrip {

TBitmap32::TBitmap32(int width, int height) { SetSize(width, height); }

void TBitmap32::SetSize(int width, int height) {
  if (width < 0 || height < 0 ||
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > kMaxPixels)
    throw TError(fmt::format("bitmap size {} x {} is not possible", width, height));
  Pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  Width_ = width;
  Height_ = height;
}

void TBitmap32::Fill(TColor32 colour) { std::fill(Pixels_.begin(), Pixels_.end(), colour); }

}  // namespace slabrip
