// Pictures resampled with pixman's separable Lanczos3 filter, at any size a bitmap can have.
#pragma once

#include "raster/bitmap32.h"

namespace slabrip {

/// `source` stretched onto `where` of `target` (overwritten there), in two
/// one-axis passes; what of `where` lies outside `target` is left out.
void StretchInto(TBitmap32& target, const TBitmap32& source, const TRectI& where);

/// `source` scaled down, keeping its proportions, until neither side exceeds
/// `maxSide`; premultiplied colours stay within their alpha.
TBitmap32 ShrunkToFit(const TBitmap32& source, int maxSide);

}  // namespace slabrip
