// The print loop's rows: drawn, converted to inks, dithered and packed into
// printer planes, on one thread or spread over two more.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "base/slot_ring.h"
#include "colour/ink_vector.h"

namespace slabrip {

class TRipEngine;
class TInkRowEx;

/// Hands out the printer rows of a slab in order, each as planes ready for
/// THPRasterJob::SendPlanes. With one thread every stage runs inside Next.
/// With more, one thread draws and converts render rows and another dithers
/// them, each stage in row order on its own thread, so the rows are the same
/// byte for byte; at most kDepth rows wait between stages, so memory does not
/// grow with the slab. The engine and its ink row belong to the pipeline
/// until it is destroyed.
class TRowPipeline {
 public:
  static constexpr std::size_t kDepth = 16;

  struct TRow {
    std::int32_t RenderRow = -1;
    std::int32_t PrinterRow = -1;
    const std::uint8_t* Planes = nullptr;  // valid until the next call of Next
  };

  /// `planeCount` planes of the ink row's RowBytes each, in its output
  /// channel order (see THPRasterJob::ConfigurePlanes). More than one thread
  /// needs the ink row's one-pass kernel (TInkRowEx::CanFuse); without it the
  /// rows are made on the calling thread.
  TRowPipeline(TRipEngine& engine, std::int32_t ripHeight, int planeCount, int threads);
  ~TRowPipeline();
  TRowPipeline(const TRowPipeline&) = delete;
  TRowPipeline& operator=(const TRowPipeline&) = delete;

  /// The next printer row; false after the last. Throws what a stage threw.
  bool Next(TRow& row);
  /// Whether the stages run on threads of their own.
  bool Threaded() const { return !Workers_.empty(); }

 private:
  struct TTag {
    std::int32_t RenderRow = -1;
    std::int32_t PrinterRow = -1;
  };
  using TDrawnRing = TSlotRing<std::vector<TInkVector>, TTag>;
  using TPackedRing = TSlotRing<std::vector<std::uint8_t>, TTag>;

  bool NextInline(TRow& row);
  void Draw();
  void Dither();
  void Stop();

  TRipEngine& Engine_;
  TInkRowEx& Ink_;
  const std::int32_t RenderHeight_;
  const std::int32_t RipHeight_;
  const int PlaneCount_;
  const std::size_t PlaneBytes_;

  // One thread: the render row in hand and the printer rows left of it.
  std::int32_t Y_ = -1;
  std::int32_t NextRow_ = 0;
  std::int32_t LastRow_ = -1;
  std::vector<std::uint8_t> Planes_;

  // More threads: render rows to the ditherer, printer rows to Next.
  std::unique_ptr<TDrawnRing> Drawn_;
  std::unique_ptr<TPackedRing> Packed_;
  bool Holding_ = false;  // Next holds a packed slot
  std::vector<std::jthread> Workers_;
};

}  // namespace slabrip
