// Image bitmaps held once per picture, swapped out to a packed copy when memory runs short.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/ref_obj.h"
#include "raster/bitmap32.h"

namespace slabrip {

class TBM32CacheManager;

/// One cached picture: the raw bitmap (or none while swapped out) and, once
/// swapped out, a packed copy in the compressed bitmap format.
class TCachedBM32 : public TRefObj {
 public:
  int Width() const { return Width_; }
  int Height() const { return Height_; }
  std::uint64_t ByteSize() const { return ByteSize_; }
  std::uint32_t ContentHash() const { return Hash_; }
  int UseCount() const { return UseCount_; }
  int LockCount() const { return LockCount_; }
  bool HasRawBitmap() const { return Bitmap_ != nullptr; }
  std::size_t PackedSize() const { return Packed_.size(); }

 private:
  friend class TBM32CacheManager;
  friend class TSharedCachedBM32;

  std::unique_ptr<TBitmap32> Bitmap_;
  std::vector<std::uint8_t> Packed_;
  int UseCount_ = 0;
  int LockCount_ = 0;
  int Width_ = 0;
  int Height_ = 0;
  std::uint64_t ByteSize_ = 0;
  std::uint32_t Hash_ = 0;
  std::uint32_t KeyExtra_ = 0;
  std::uint64_t LastAccess_ = 0;  // a tick of the manager's clock
};

/// What the cache may hold: the process's resident bytes and the machine's
/// available bytes. Read from /proc in the program, set by hand in tests.
struct TMemoryProbe {
  std::function<std::int64_t()> WorkingSet;
  std::function<std::int64_t()> Available;
  static TMemoryProbe FromProc();
};

/// The cache: a locked list of entries, a budget and a physical-memory reserve.
class TBM32CacheManager {
 public:
  static constexpr std::int64_t kBudget = 0x26666666;  // 644,245,094 bytes
  static constexpr std::int64_t kReserve = 0x6400000;  // 104,857,600 bytes

  explicit TBM32CacheManager(TMemoryProbe probe = TMemoryProbe::FromProc());
  /// The process's cache, shared by every document.
  static TBM32CacheManager& Shared();

  /// Takes the bitmap; returns the entry for its picture (an existing one
  /// when a bitmap of the same size and pixels is held), use count + 1.
  TRef<TCachedBM32> Add(std::unique_ptr<TBitmap32> bitmap);
  /// Locks the entry's raw bitmap, rebuilding it from the packed copy when needed.
  TBitmap32* Lock(TCachedBM32& entry);
  /// Unlocks, then trims the cache.
  void Unlock(TCachedBM32& entry);
  /// A holder lets go: the entry leaves the list when nobody holds or locks it.
  void Drop(TCachedBM32& entry);

  /// min(budget - working set, available - reserve); may be negative.
  std::int64_t Allowance() const;
  std::size_t EntryCount() const;
  std::uint64_t RawBytes() const;
  std::uint64_t PackedBytes() const;

 private:
  void MakeRoom(std::uint64_t bytes);
  void FreeAtLeast(std::int64_t bytes);
  void DropUnheld();
  void Trim();

  TMemoryProbe Probe_;
  mutable std::mutex Lock_;
  std::vector<TRef<TCachedBM32>> Entries_;
  std::uint64_t Clock_ = 0;
};

/// An image's hold on its cached picture.
class TSharedCachedBM32 {
 public:
  /// Hands the bitmap over to the cache.
  TSharedCachedBM32(std::unique_ptr<TBitmap32> bitmap,
                    TBM32CacheManager& cache = TBM32CacheManager::Shared());
  ~TSharedCachedBM32();
  TSharedCachedBM32(const TSharedCachedBM32&) = delete;
  TSharedCachedBM32& operator=(const TSharedCachedBM32&) = delete;

  /// Locks and returns the raw bitmap (nullptr when it cannot be rebuilt);
  /// every GetBitmap needs its ReleaseBitmap.
  TBitmap32* GetBitmap();
  void ReleaseBitmap();
  const TCachedBM32& Entry() const { return *Entry_; }
  /// The cache the picture is held in.
  TBM32CacheManager& Cache() const { return Cache_; }

 private:
  TBM32CacheManager& Cache_;
  TRef<TCachedBM32> Entry_;
};

/// MurmurHash3, x86 32-bit variant.
std::uint32_t MurmurHash3(const void* data, std::size_t length, std::uint32_t seed);

}  // namespace slabrip
