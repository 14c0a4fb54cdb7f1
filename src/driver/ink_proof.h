// A picture of the slab as its dithered inks lay down, made from the printer
// rows a print would send, shrunk to a width.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "driver/ink_use.h"
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

/// What a proof of a slab needs, copied out of the driver so that the proof
/// can be made on another thread while the window goes on.
struct TProofRequest {
  std::string Slab;
  std::string IccFolder;
  std::string PrinterModelId;  // whose drop volumes the ink estimate takes
  std::int32_t BandRows = 0;
  int Threads = 0;  // 0: the usable cores
  int Width = 1000;
};

/// The proof and the ink the print would take.
struct TSlabProof {
  TBitmap32 Picture;
  TInkReport Inks;
};

/// The proof of the slab on an engine of its own; nothing when cancelled.
/// Throws TError as EngineForSlab does when the slab cannot be prepared.
std::optional<TSlabProof> MakeSlabProof(const TProofRequest& request, const TProofProgress& progress = {});

}  // namespace slabrip
