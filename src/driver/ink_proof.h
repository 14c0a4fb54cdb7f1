// A picture of the slab as its dithered inks lay down, made from the printer
// rows a print would send, shrunk to a width.
#pragma once

#include <functional>
#include <optional>

#include "raster/bitmap32.h"

namespace slabrip {

class TRipEngine;

/// Called now and then with the share of the printer rows made (0..1);
/// returning false cancels the proof.
using TProofProgress = std::function<bool(double done)>;

/// Every block of printer pixels becomes one picture pixel: the mean of each
/// ink's dithered levels, shown as the ink soft proof shows inks. The engine
/// holds a slab prepared for printing; its ink row's drop counts are those of
/// the whole slab afterwards (see InkReportOf). At most `width` pixels wide
/// (never wider than the printer raster), the slab's proportions kept.
/// Nothing when cancelled.
std::optional<TBitmap32> MakeInkProof(TRipEngine& engine, int width, int threads,
                                      const TProofProgress& progress = {});

}  // namespace slabrip
