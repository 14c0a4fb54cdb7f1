#include "driver/row_pipeline.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <tuple>

#include "driver/print_run.h"
#include "engine/rip_engine.h"
#include "separation/ink_row.h"

namespace slabrip {

int UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(CPU_COUNT(&set), 1);
}

struct TRowPipeline::TTag {
  std::int32_t RenderRow = -1;
  std::int32_t PrinterRow = -1;
};

// Slots passed from one thread to the next in order; the producer never
// writes the slot the consumer holds. A side that has to wait sleeps until
// half the ring is ready for it, so the threads wake once per half ring, not
// once per row.
template <typename T>
class TRowPipeline::TRing {
 public:
  TRing(std::size_t slots, std::size_t size)
      : Slots_(slots, std::vector<T>(size)), Tags_(slots), Half_(std::max<std::size_t>(slots / 2, 1)) {}

  // The producer's next free slot; null once stopped.
  T* Claim() {
    std::unique_lock lock(Mutex_);
    if (!Stopped_ && Count_ == Slots_.size()) {
      ProducerWaits_ = true;
      Changed_.wait(lock, [&] { return Stopped_ || Count_ + Half_ <= Slots_.size(); });
      ProducerWaits_ = false;
    }
    return Stopped_ ? nullptr : Slots_[(Head_ + Count_) % Slots_.size()].data();
  }
  void Publish(TTag tag) {
    std::unique_lock lock(Mutex_);
    Tags_[(Head_ + Count_) % Slots_.size()] = tag;
    ++Count_;
    const bool wake = ConsumerWaits_ && Count_ >= Half_;
    lock.unlock();
    if (wake) Changed_.notify_all();
  }
  // No more slots come; the consumer still takes those published.
  void Close() { Set(Closed_); }
  // The consumer's next slot, held until Release; null once closed and drained, or stopped.
  const T* Take(TTag& tag) {
    std::unique_lock lock(Mutex_);
    if (!Stopped_ && !Closed_ && Count_ == 0) {
      ConsumerWaits_ = true;
      Changed_.wait(lock, [&] { return Stopped_ || Closed_ || Count_ >= Half_; });
      ConsumerWaits_ = false;
    }
    if (Stopped_ || Count_ == 0) return nullptr;
    tag = Tags_[Head_];
    return Slots_[Head_].data();
  }
  void Release() {
    std::unique_lock lock(Mutex_);
    Head_ = (Head_ + 1) % Slots_.size();
    --Count_;
    const bool wake = ProducerWaits_ && Count_ + Half_ <= Slots_.size();
    lock.unlock();
    if (wake) Changed_.notify_all();
  }
  // Every wait, now and later, returns nothing.
  void Stop() { Set(Stopped_); }

 private:
  void Set(bool& flag) {
    {
      const std::lock_guard lock(Mutex_);
      flag = true;
    }
    Changed_.notify_all();
  }

  std::mutex Mutex_;
  std::condition_variable Changed_;
  std::vector<std::vector<T>> Slots_;
  std::vector<TTag> Tags_;
  const std::size_t Half_;
  std::size_t Head_ = 0;
  std::size_t Count_ = 0;  // published and not released, the held one included
  bool ProducerWaits_ = false;
  bool ConsumerWaits_ = false;
  bool Closed_ = false;
  bool Stopped_ = false;
};

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
  Drawn_ = std::make_unique<TRing<TInkVector>>(kDepth, static_cast<std::size_t>(Ink_.InputWidth()));
  // Zeroed once: the planes no channel fills stay zero in every slot.
  Packed_ = std::make_unique<TRing<std::uint8_t>>(2 * kDepth, PlaneBytes_);
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
  const std::uint8_t* planes = Packed_->Take(tag);
  if (planes == nullptr) {
    const std::lock_guard lock(FailureMutex_);
    if (Failure_) std::rethrow_exception(Failure_);
    return false;
  }
  Holding_ = true;
  row = {tag.RenderRow, tag.PrinterRow, planes};
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
      TInkVector* slot = Drawn_->Claim();
      if (slot == nullptr) return;
      Engine_.PrepareRow(y);
      std::copy_n(Ink_.Input(), width, slot);
      Drawn_->Publish({y, -1});
    }
  } catch (...) {
    // The rows drawn before still go, as on one thread; then Next throws this.
    Fail();
  }
  Drawn_->Close();
}

void TRowPipeline::Dither() {
  try {
    TTag tag;
    while (const TInkVector* input = Drawn_->Take(tag)) {
      const auto [first, last] = TPrintRun::PrinterRows(tag.RenderRow, RenderHeight_, RipHeight_);
      for (std::int32_t j = first; j <= last; ++j) {
        std::uint8_t* planes = Packed_->Claim();
        if (planes == nullptr) return;
        Ink_.DitherPackPlanes(input, j, planes, PlaneCount_);
        Packed_->Publish({tag.RenderRow, j});
      }
      Drawn_->Release();
    }
    Packed_->Close();
  } catch (...) {
    Fail();
    Stop();
  }
}

void TRowPipeline::Fail() {
  const std::lock_guard lock(FailureMutex_);
  if (!Failure_) Failure_ = std::current_exception();
}

void TRowPipeline::Stop() {
  Drawn_->Stop();
  Packed_->Stop();
}

}  // namespace slabrip
