// The slab's preview picture in the window's paint box.
#pragma once

#include <string>

#include "raster/bitmap32.h"

namespace slabrip {

/// Where a picture of w x h pixels goes in a paint box of boxWidth x
/// boxHeight: scaled to fit inside a margin of 25 (sides) and 20 (top and
/// bottom) pixels, centred. Sizes below 1 count as 1.
TRectI FitPreviewRect(int boxWidth, int boxHeight, int w, int h);

/// Paints the paint box `box` (its size is the box's): light grey with a
/// sunken frame, then the picture `SLAB.jpg` beside the slab stretched
/// (Lanczos) into FitPreviewRect with a soft shadow. Returns where the picture
/// lies, or (0, 0, 1, 1) when there is no picture or it does not load.
TRectI DrawPreview(TBitmap32& box, const std::string& slabPath);

/// Covers the finished part of the picture from its bottom edge up:
/// `progress` 0..1 of `rect` filled with opaque 0xFFE8E8E8.
void CoverPreview(TBitmap32& box, const TRectI& rect, double progress);

}  // namespace slabrip
