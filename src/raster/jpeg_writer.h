// JPEG files from bitmaps and from raw samples: images documents embed, slab
// previews, and the colour spaces and layouts the decoder's tests and seeds need.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip {

/// Colour spaces of JPEG samples, as handed in and as stored in the file.
enum class TJpegColour {
  kGrey,   // one sample a pixel
  kRgb,    // three
  kYCbCr,  // stored only: what RGB becomes by default
  kCmyk,   // four
  kYcck,   // stored only: CMYK as Adobe's YCCK
};

/// How a JPEG is written.
struct TJpegOptions {
  int Quality = 90;  // 1..100
  /// The colour space inside the file; without it libjpeg's default for the
  /// samples (YCbCr for RGB, the samples' own otherwise).
  std::optional<TJpegColour> Stored;
  /// Adobe's APP14 marker; without it libjpeg's default (on for CMYK and YCCK).
  std::optional<bool> AdobeMarker;
  bool Progressive = false;
};

/// A JPEG of `width` x `height` interleaved 8-bit samples in `colour` (kGrey,
/// kRgb or kCmyk), rows top to bottom. Throws TError with libjpeg's text when
/// it refuses them.
std::vector<std::uint8_t> EncodeJpeg(int width, int height, TJpegColour colour,
                                     std::span<const std::uint8_t> samples, const TJpegOptions& options);

/// A baseline RGB JPEG of the bitmap's colours at the given quality (1..100).
std::vector<std::uint8_t> EncodeJpeg(const TBitmap32& bitmap, int quality = 90);

}  // namespace slabrip
