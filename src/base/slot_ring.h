// A bounded ring of reusable slots between two threads, in order.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <vector>

namespace slabrip {

/// Slots of `T` passed from one producer thread to one consumer in order,
/// each with a tag; the producer never writes the slot the consumer holds, so
/// memory stays that of the ring however many pass. A side that has to wait
/// sleeps until half the ring is ready for it, so the threads wake once per
/// half ring, not once per slot.
template <typename T, typename TTag>
class TSlotRing {
 public:
  TSlotRing(std::size_t slots, const T& prototype)
      : Slots_(slots, prototype), Tags_(slots), Half_(std::max<std::size_t>(slots / 2, 1)) {}

  /// The producer's next free slot; null once stopped.
  T* Claim() {
    std::unique_lock lock(Mutex_);
    if (!Stopped_ && Count_ == Slots_.size()) {
      ProducerWaits_ = true;
      Changed_.wait(lock, [&] { return Stopped_ || Count_ + Half_ <= Slots_.size(); });
      ProducerWaits_ = false;
    }
    return Stopped_ ? nullptr : &Slots_[(Head_ + Count_) % Slots_.size()];
  }
  void Publish(TTag tag) {
    std::unique_lock lock(Mutex_);
    Tags_[(Head_ + Count_) % Slots_.size()] = tag;
    ++Count_;
    const bool wake = ConsumerWaits_ && Count_ >= Half_;
    lock.unlock();
    if (wake) Changed_.notify_all();
  }
  /// No more slots come; the consumer still takes those published, then
  /// Failure() gives `failure` (null for a producer that ended well).
  void Close(std::exception_ptr failure = nullptr) {
    {
      const std::lock_guard lock(Mutex_);
      Closed_ = true;
      if (!Failure_) Failure_ = failure;
    }
    Changed_.notify_all();
  }
  /// The consumer's next slot, held until Release; null once closed and
  /// drained, or stopped.
  const T* Take(TTag& tag) {
    std::unique_lock lock(Mutex_);
    if (!Stopped_ && !Closed_ && Count_ == 0) {
      ConsumerWaits_ = true;
      Changed_.wait(lock, [&] { return Stopped_ || Closed_ || Count_ >= Half_; });
      ConsumerWaits_ = false;
    }
    if (Stopped_ || Count_ == 0) return nullptr;
    tag = Tags_[Head_];
    return &Slots_[Head_];
  }
  void Release() {
    std::unique_lock lock(Mutex_);
    Head_ = (Head_ + 1) % Slots_.size();
    --Count_;
    const bool wake = ProducerWaits_ && Count_ + Half_ <= Slots_.size();
    lock.unlock();
    if (wake) Changed_.notify_all();
  }
  /// Every wait, now and later, returns nothing.
  void Stop() {
    {
      const std::lock_guard lock(Mutex_);
      Stopped_ = true;
    }
    Changed_.notify_all();
  }
  /// Why the producer closed the ring, once Take returned null.
  std::exception_ptr Failure() {
    const std::lock_guard lock(Mutex_);
    return Failure_;
  }

 private:
  std::mutex Mutex_;
  std::condition_variable Changed_;
  std::vector<T> Slots_;
  std::vector<TTag> Tags_;
  const std::size_t Half_;
  std::size_t Head_ = 0;
  std::size_t Count_ = 0;  // published and not released, the held one included
  bool ProducerWaits_ = false;
  bool ConsumerWaits_ = false;
  bool Closed_ = false;
  bool Stopped_ = false;
  std::exception_ptr Failure_;
};

}  // namespace slabrip
