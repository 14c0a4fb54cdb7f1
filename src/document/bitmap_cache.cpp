// The picture cache: identical bitmaps held once, least recently used ones swapped out to packed copies.
#include "document/bitmap_cache.h"
#include "base/byte_order.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <bit>
#include <charconv>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "document/pixel_codecs.h"

namespace slabrip {

namespace {

// The start of a small /proc file; empty when it cannot be read.
std::string_view ReadProcFile(const char* path, std::span<char> buffer) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::size_t used = 0;
  while (used < buffer.size()) {
    const ssize_t got = ::read(fd, buffer.data() + used, buffer.size() - used);
    if (got <= 0) break;
    used += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return {buffer.data(), used};
}

// The decimal number at the start of `text` after blanks.
std::optional<std::int64_t> LeadingNumber(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data() + first, text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;
  return value;
}

// Resident pages (the second field of statm) in bytes; 0 when unknown,
// which leaves the whole budget to the cache.
std::int64_t ResidentBytes() {
  char buffer[256];
  const std::string_view text = ReadProcFile("/proc/self/statm", buffer);
  const auto blank = text.find(' ');
  if (blank == std::string_view::npos) return 0;
  const auto pages = LeadingNumber(text.substr(blank));
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  return pages && pageSize > 0 ? *pages * pageSize : 0;
}

// MemAvailable in bytes; without it the budget alone limits the cache.
std::int64_t AvailableBytes() {
  char buffer[4096];
  const std::string_view text = ReadProcFile("/proc/meminfo", buffer);
  constexpr std::string_view kKey = "MemAvailable:";
  const auto at = text.find(kKey);
  if (at == std::string_view::npos) return std::numeric_limits<std::int64_t>::max();
  const auto kilobytes = LeadingNumber(text.substr(at + kKey.size()));
  return kilobytes ? *kilobytes * 1024 : std::numeric_limits<std::int64_t>::max();
}

std::uint32_t MixBlock(std::uint32_t k) { return std::rotl(k * 0xCC9E2D51u, 15) * 0x1B873593u; }

}  // namespace

std::uint32_t MurmurHash3(const void* data, std::size_t length, std::uint32_t seed) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::size_t blocks = length / 4;
  std::uint32_t h = seed;
  for (std::size_t i = 0; i < blocks; ++i) {
    h ^= MixBlock(LoadLe<std::uint32_t>(bytes + 4 * i));
    h = std::rotl(h, 13) * 5 + 0xE6546B64u;
  }
  const std::uint8_t* tail = bytes + 4 * blocks;
  std::uint32_t k = 0;
  switch (length & 3) {
    case 3: k ^= static_cast<std::uint32_t>(tail[2]) << 16; [[fallthrough]];
    case 2: k ^= static_cast<std::uint32_t>(tail[1]) << 8; [[fallthrough]];
    case 1: h ^= MixBlock(k ^ tail[0]); break;
    default: break;
  }
  h ^= static_cast<std::uint32_t>(length);  // the length modulo 2^32, as the 32-bit variant does
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

TMemoryProbe TMemoryProbe::FromProc() { return {ResidentBytes, AvailableBytes}; }

TBM32CacheManager::TBM32CacheManager(TMemoryProbe probe) : Probe_(std::move(probe)) {}

TBM32CacheManager& TBM32CacheManager::Shared() {
  static TBM32CacheManager cache;
  return cache;
}

TRef<TCachedBM32> TBM32CacheManager::Add(std::unique_ptr<TBitmap32> bitmap) {
  if (!bitmap) bitmap = std::make_unique<TBitmap32>();
  // Built and hashed before taking the lock: hashing a large picture takes a while.
  auto added = MakeRef<TCachedBM32>();
  added->Width_ = bitmap->Width();
  added->Height_ = bitmap->Height();
  added->ByteSize_ = std::uint64_t{4} * bitmap->PixelCount();
  added->Hash_ = MurmurHash3(bitmap->Pixels(), added->ByteSize_, 0);
  added->Bitmap_ = std::move(bitmap);
  const TBitmap32& pixels = *added->Bitmap_;

  // A 32-bit hash collides, so a match is confirmed on the pixels; a
  // swapped-out entry is compared through its packed copy, which the
  // encoder makes the same for the same pixels.
  std::optional<std::vector<std::uint8_t>> addedPacked;
  const auto samePicture = [&](const TCachedBM32& held) {
    if (held.Width_ != added->Width_ || held.Height_ != added->Height_ || held.Hash_ != added->Hash_ ||
        held.KeyExtra_ != added->KeyExtra_)
      return false;
    if (held.Bitmap_)
      return std::equal(pixels.Pixels(), pixels.Pixels() + pixels.PixelCount(), held.Bitmap_->Pixels());
    if (!addedPacked) addedPacked = EncodeCompressedBitmap(pixels);
    return !addedPacked->empty() && *addedPacked == held.Packed_;
  };

  std::lock_guard guard(Lock_);
  added->LastAccess_ = ++Clock_;
  const auto found = std::find_if(Entries_.begin(), Entries_.end(),
                                  [&](const TRef<TCachedBM32>& held) { return samePicture(*held); });
  TRef<TCachedBM32> entry = found != Entries_.end() ? *found : added;
  if (entry == added) Entries_.push_back(added);
  ++entry->UseCount_;
  return entry;
}

TBitmap32* TBM32CacheManager::Lock(TCachedBM32& entry) {
  std::lock_guard guard(Lock_);
  // Counted before making room, so the entry itself stays out of the swap.
  ++entry.LockCount_;
  entry.LastAccess_ = ++Clock_;
  if (!entry.Bitmap_) {
    MakeRoom(entry.ByteSize_);
    if (auto rebuilt = DecodeCompressedBitmap(entry.Packed_, entry.ByteSize_ / 4))
      entry.Bitmap_ = std::make_unique<TBitmap32>(std::move(*rebuilt));
  }
  return entry.Bitmap_.get();
}

void TBM32CacheManager::Unlock(TCachedBM32& entry) {
  std::lock_guard guard(Lock_);
  if (entry.LockCount_ > 0) --entry.LockCount_;
  Trim();
}

void TBM32CacheManager::Drop(TCachedBM32& entry) {
  TRef<TCachedBM32> leaving;  // freed after the lock is let go
  std::lock_guard guard(Lock_);
  if (entry.UseCount_ > 0) --entry.UseCount_;
  if (entry.UseCount_ > 0 || entry.LockCount_ > 0) return;
  const auto at = std::find_if(Entries_.begin(), Entries_.end(),
                               [&](const TRef<TCachedBM32>& held) { return held.Get() == &entry; });
  if (at == Entries_.end()) return;
  leaving = std::move(*at);
  Entries_.erase(at);
}

std::int64_t TBM32CacheManager::Allowance() const {
  const std::int64_t workingSet = Probe_.WorkingSet ? Probe_.WorkingSet() : 0;
  const std::int64_t available =
      Probe_.Available ? Probe_.Available() : std::numeric_limits<std::int64_t>::max();
  return std::min(kBudget - workingSet, available - kReserve);
}

std::size_t TBM32CacheManager::EntryCount() const {
  std::lock_guard guard(Lock_);
  return Entries_.size();
}

std::uint64_t TBM32CacheManager::RawBytes() const {
  std::lock_guard guard(Lock_);
  std::uint64_t total = 0;
  for (const auto& entry : Entries_)
    if (entry->Bitmap_) total += entry->ByteSize_;
  return total;
}

std::uint64_t TBM32CacheManager::PackedBytes() const {
  std::lock_guard guard(Lock_);
  std::uint64_t total = 0;
  for (const auto& entry : Entries_) total += entry->Packed_.size();
  return total;
}

void TBM32CacheManager::MakeRoom(std::uint64_t bytes) {
  const std::int64_t allowance = Allowance();
  const auto wanted =
      static_cast<std::int64_t>(std::min<std::uint64_t>(bytes, std::numeric_limits<std::int64_t>::max() / 2));
  if (wanted < allowance) return;
  FreeAtLeast(wanted - allowance);
}

void TBM32CacheManager::FreeAtLeast(std::int64_t bytes) {
  DropUnheld();
  if (bytes <= 0) return;
  std::stable_sort(
      Entries_.begin(), Entries_.end(),
      [](const TRef<TCachedBM32>& a, const TRef<TCachedBM32>& b) { return a->LastAccess_ < b->LastAccess_; });
  std::int64_t released = 0;
  for (const auto& entry : Entries_) {
    if (released > bytes) break;
    if (entry->LockCount_ > 0 || !entry->Bitmap_) continue;
    const auto before = static_cast<std::int64_t>(entry->ByteSize_ + entry->Packed_.size());
    if (entry->Packed_.empty()) {
      entry->Packed_ = EncodeCompressedBitmap(*entry->Bitmap_);
      if (entry->Packed_.empty()) continue;  // cannot be packed: it keeps its raw bitmap
    }
    entry->Bitmap_.reset();
    released += before - static_cast<std::int64_t>(entry->Packed_.size());
  }
}

void TBM32CacheManager::DropUnheld() {
  // A locked entry stays even without holders: its bitmap is still in use.
  std::erase_if(Entries_, [](const TRef<TCachedBM32>& entry) {
    return entry->UseCount_ == 0 && entry->LockCount_ == 0;
  });
}

void TBM32CacheManager::Trim() {
  DropUnheld();
  const std::int64_t allowance = Allowance();
  if (allowance < 0) FreeAtLeast(-allowance);
}

TSharedCachedBM32::TSharedCachedBM32(std::unique_ptr<TBitmap32> bitmap, TBM32CacheManager& cache)
    : Cache_(cache), Entry_(cache.Add(std::move(bitmap))) {}

TSharedCachedBM32::~TSharedCachedBM32() { Cache_.Drop(*Entry_); }

TBitmap32* TSharedCachedBM32::GetBitmap() { return Cache_.Lock(*Entry_); }

void TSharedCachedBM32::ReleaseBitmap() { Cache_.Unlock(*Entry_); }

}  // namespace slabrip
