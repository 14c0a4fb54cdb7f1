// pixman works in 16.16 fixed point, so no coordinate it sees may pass 32,767:
// large pictures are resampled in tiles, each a window of the source and of
// the target, with enough source around it for the whole kernel.
#include "raster/resample.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

namespace slabrip {

namespace {

struct TPixmanDeleter {
  void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using TPixmanImage = std::unique_ptr<pixman_image_t, TPixmanDeleter>;

// Coordinates of a tile stay below this (pixman's limit is 32,768).
constexpr int kTileReach = 30000;
// Rows (or columns) along the unscaled axis per tile.
constexpr int kTileAcross = 16384;
// Reducing by more than this in one pass would leave no room for a tile: larger steps cascade.
constexpr double kMaxStepScale = 1024;

// `width` x `height` pixels of `bitmap` from (x, y), as a pixman image. pixman
// never writes to a source, so a const bitmap may be one.
TPixmanImage Window(const TBitmap32& bitmap, int x, int y, int width, int height) {
  auto* first = const_cast<TColor32*>(bitmap.Row(y) + x);
  TPixmanImage image(pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, first, bitmap.Stride()));
  if (!image) throw std::bad_alloc();
  return image;
}

struct TFreeParams {
  void operator()(pixman_fixed_t* params) const { std::free(params); }
};

// The filter of one pass: reducing widens the kernel by the scale so every
// source pixel counts; enlarging interpolates with the kernel at its own width.
class TPassFilter {
 public:
  TPassFilter(bool horizontal, double scale) {
    const pixman_kernel_t kernel = scale == 1.0 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LANCZOS3;
    const int bits = scale == 1.0 ? 0 : 4;
    const pixman_fixed_t widened = pixman_double_to_fixed(std::max(scale, 1.0));
    const pixman_fixed_t one = pixman_double_to_fixed(1.0);
    Params_.reset(pixman_filter_create_separable_convolution(
        &Count_, horizontal ? widened : one, horizontal ? one : widened, PIXMAN_KERNEL_IMPULSE,
        PIXMAN_KERNEL_IMPULSE, horizontal ? kernel : PIXMAN_KERNEL_BOX, horizontal ? PIXMAN_KERNEL_BOX : kernel,
        horizontal ? bits : 0, horizontal ? 0 : bits));
    if (!Params_) throw std::bad_alloc();
  }

  // Sets the filter and the transform p -> scale * p + shift along the scaled axis.
  void Apply(pixman_image_t* source, bool horizontal, double scale, double shift) const {
    pixman_transform transform;
    pixman_transform_init_identity(&transform);
    const int axis = horizontal ? 0 : 1;
    transform.matrix[axis][axis] = pixman_double_to_fixed(scale);
    transform.matrix[axis][2] = pixman_double_to_fixed(shift);
    if (!pixman_image_set_transform(source, &transform) ||
        !pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, Params_.get(), Count_))
      throw std::bad_alloc();
    pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);  // edges continue rather than fade to transparent
  }

 private:
  std::unique_ptr<pixman_fixed_t, TFreeParams> Params_;
  int Count_ = 0;
};

// One axis resampled from the whole source onto `where` of the target, the
// other copied (source and `where` have the same extent along it).
void Pass(const TBitmap32& source, TBitmap32& target, const TRectI& where, bool horizontal) {
  const int sourceLength = horizontal ? source.Width() : source.Height();
  const int targetLength = horizontal ? where.MaxX - where.MinX : where.MaxY - where.MinY;
  const int across = horizontal ? source.Height() : source.Width();
  const double scale = static_cast<double>(sourceLength) / targetLength;
  const int margin = static_cast<int>(std::ceil(3 * std::max(scale, 1.0))) + 2;
  const int chunk = std::max(1, static_cast<int>((kTileReach - 2 * margin) / std::max(scale, 1.0)));
  const TPassFilter filter(horizontal, scale);
  for (int a0 = 0; a0 < across; a0 += kTileAcross) {
    const int a1 = std::min(across, a0 + kTileAcross);
    for (int t0 = 0; t0 < targetLength; t0 += chunk) {
      const int t1 = std::min(targetLength, t0 + chunk);
      const int s0 = std::max(0, static_cast<int>(std::floor(scale * t0)) - margin);
      const int s1 = std::min(sourceLength, static_cast<int>(std::ceil(scale * t1)) + margin);
      const TPixmanImage from = horizontal ? Window(source, s0, a0, s1 - s0, a1 - a0)
                                           : Window(source, a0, s0, a1 - a0, s1 - s0);
      const TPixmanImage to = horizontal ? Window(target, where.MinX + t0, where.MinY + a0, t1 - t0, a1 - a0)
                                         : Window(target, where.MinX + a0, where.MinY + t0, a1 - a0, t1 - t0);
      filter.Apply(from.get(), horizontal, scale, scale * t0 - s0);
      pixman_image_composite32(PIXMAN_OP_SRC, from.get(), nullptr, to.get(), 0, 0, 0, 0, 0, 0,
                               horizontal ? t1 - t0 : a1 - a0, horizontal ? a1 - a0 : t1 - t0);
    }
  }
}

// The source resampled along one axis to `length`, in steps of at most kMaxStepScale.
TBitmap32 Along(const TBitmap32& source, int length, bool horizontal) {
  const int have = horizontal ? source.Width() : source.Height();
  if (have == length) return source;
  const int step = have / length > kMaxStepScale ? static_cast<int>(std::ceil(have / kMaxStepScale)) : length;
  TBitmap32 out(horizontal ? step : source.Width(), horizontal ? source.Height() : step);
  Pass(source, out, out.Bounds(), horizontal);
  return step == length ? out : Along(out, length, horizontal);
}

}  // namespace

void StretchInto(TBitmap32& target, const TBitmap32& source, const TRectI& where) {
  const int width = where.MaxX - where.MinX, height = where.MaxY - where.MinY;
  if (width <= 0 || height <= 0 || source.PixelCount() == 0) return;
  TBitmap32 across(width, source.Height());
  Pass(source, across, across.Bounds(), true);
  if (where.MinX >= 0 && where.MinY >= 0 && where.MaxX <= target.Width() && where.MaxY <= target.Height()) {
    Pass(across, target, where, false);
    return;
  }
  // Partly outside: drawn whole apart, then the part inside copied.
  TBitmap32 whole(width, height);
  Pass(across, whole, whole.Bounds(), false);
  const int left = std::max(where.MinX, 0), right = std::min(where.MaxX, target.Width());
  for (int y = std::max(where.MinY, 0); y < std::min(where.MaxY, target.Height()) && left < right; ++y)
    std::copy(whole.Row(y - where.MinY) + (left - where.MinX),
              whole.Row(y - where.MinY) + (right - where.MinX), target.Row(y) + left);
}

TBitmap32 ShrunkToFit(const TBitmap32& source, int maxSide) {
  const int longest = std::max(source.Width(), source.Height());
  const double factor = longest > maxSide ? static_cast<double>(maxSide) / longest : 1.0;
  const auto fit = [&](int side) { return std::clamp(static_cast<int>(std::lround(side * factor)), 1, maxSide); };
  TBitmap32 out = Along(Along(source, fit(source.Width()), true), fit(source.Height()), false);
  // Lanczos overshoots at edges; a colour above its alpha is no premultiplied colour.
  for (std::size_t i = 0; i < out.PixelCount(); ++i) {
    const TColor32 p = out.Pixels()[i];
    const TColor32 a = p >> 24;
    const auto channel = [&](int shift) { return std::min(p >> shift & 0xFFu, a) << shift; };
    out.Pixels()[i] = a << 24 | channel(16) | channel(8) | channel(0);
  }
  return out;
}

}  // namespace slabrip
