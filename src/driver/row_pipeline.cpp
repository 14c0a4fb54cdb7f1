#include "driver/row_pipeline.h"

#include <algorithm>
#include <tuple>

#include "driver/print_run.h"
#include "engine/rip_engine.h"
#include "separation/ink_row.h"

namespace slabrip {

TRowPipeline::TRowPipeline(TRipEngine& engine, std::int32_t ripHeight, int planeCount, int threads)
    : Engine_(engine),
      Ink_(*engine.InkRow()),
      RenderHeight_(engine.Slab()->RenderHeight),
      RipHeight_(ripHeight),
      PlaneCount_(planeCount),
      PlaneBytes_(static_cast<std::size_t>(planeCount) * static_cast<std::size_t>(Ink_.RowBytes())) {
  if (threads < 2 || !Ink_.CanFuse()) {
    Planes_.assign(PlaneBytes_, 0);
    return;
  }
  Drawn_ = std::make_unique<TDrawnRing>(kDepth,
                                        std::vector<TInkVector>(static_cast<std::size_t>(Ink_.InputWidth())));
  // Zeroed once: the planes no channel fills stay zero in every slot.
  Packed_ = std::make_unique<TPackedRing>(2 * kDepth, std::vector<std::uint8_t>(PlaneBytes_));
  Workers_.emplace_back([this] { Draw(); });
  Workers_.emplace_back([this] { Dither(); });
}

TRowPipeline::~TRowPipeline() {
  if (Threaded()) Stop();
  Workers_.clear();  // joined before the rings go
}

bool TRowPipeline::Next(TRow& row) {
  if (!Threaded()) return NextInline(row);
  if (Holding_) Packed_->Release();
  Holding_ = false;
  TTag tag;
  const std::vector<std::uint8_t>* planes = Packed_->Take(tag);
  if (planes == nullptr) {
    if (const std::exception_ptr failure = Packed_->Failure()) std::rethrow_exception(failure);
    return false;
  }
  Holding_ = true;
  row = {tag.RenderRow, tag.PrinterRow, planes->data()};
  return true;
}

bool TRowPipeline::NextInline(TRow& row) {
  while (NextRow_ > LastRow_) {
    if (Y_ + 1 >= RenderHeight_) return false;
    Engine_.PrepareRow(++Y_);
    std::tie(NextRow_, LastRow_) = TPrintRun::PrinterRows(Y_, RenderHeight_, RipHeight_);
  }
  const std::int32_t printerRow = NextRow_++;
  Ink_.ExpandDitherPack(printerRow);
  Ink_.CopyPlanes(Planes_.data(), PlaneCount_);
  row = {Y_, printerRow, Planes_.data()};
  return true;
}

void TRowPipeline::Draw() {
  try {
    const auto width = static_cast<std::size_t>(Ink_.InputWidth());
    for (std::int32_t y = 0; y < RenderHeight_; ++y) {
      std::vector<TInkVector>* slot = Drawn_->Claim();
      if (slot == nullptr) return;
      Engine_.PrepareRow(y);
      std::copy_n(Ink_.Input(), width, slot->data());
      Drawn_->Publish({y, -1});
    }
    Drawn_->Close();
  } catch (...) {
    // The rows drawn before still go, as on one thread; then Next throws this.
    Drawn_->Close(std::current_exception());
  }
}

void TRowPipeline::Dither() {
  try {
    TTag tag;
    while (const std::vector<TInkVector>* input = Drawn_->Take(tag)) {
      const auto [first, last] = TPrintRun::PrinterRows(tag.RenderRow, RenderHeight_, RipHeight_);
      for (std::int32_t j = first; j <= last; ++j) {
        std::vector<std::uint8_t>* planes = Packed_->Claim();
        if (planes == nullptr) return;
        Ink_.DitherPackPlanes(input->data(), j, planes->data(), PlaneCount_);
        Packed_->Publish({tag.RenderRow, j});
      }
      Drawn_->Release();
    }
    Packed_->Close(Drawn_->Failure());
  } catch (...) {
    Drawn_->Stop();
    Packed_->Close(std::current_exception());
  }
}

void TRowPipeline::Stop() {
  Drawn_->Stop();
  Packed_->Stop();
}

}  // namespace slabrip
