// The picture cache: sharing, locking, swapping out and rebuilding, the memory allowance.
#include "document/bitmap_cache.h"

#include <gtest/gtest.h>
#include <atomic>
#include <bit>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>

namespace slabrip {
namespace {

using TPixels = std::vector<TColor32>;

// Memory set by hand, so each test chooses the allowance.
struct TFakeMemory {
  std::atomic<std::int64_t> WorkingSet{0};
  std::atomic<std::int64_t> Available{std::int64_t{1} << 40};

  TMemoryProbe Probe() {
    return {[this] { return WorkingSet.load(); }, [this] { return Available.load(); }};
  }
  void SetAllowance(std::int64_t bytes) { WorkingSet = TBM32CacheManager::kBudget - bytes; }
};

TPixels Flat(std::size_t count, TColor32 colour) { return TPixels(count, colour); }

TPixels Noise(std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  TPixels pixels(count);
  for (TColor32& p : pixels) p = static_cast<TColor32>(random());
  return pixels;
}

// Packs small: every pixel a little brighter than the one before.
TPixels Ramp(std::size_t count) {
  TPixels pixels(count);
  for (std::size_t i = 0; i < count; ++i) pixels[i] = 0xFF000000 + static_cast<TColor32>(i) * 0x010203;
  return pixels;
}

std::unique_ptr<TBitmap32> Picture(int width, int height, const TPixels& pixels) {
  auto bitmap = std::make_unique<TBitmap32>(width, height);
  std::copy(pixels.begin(), pixels.end(), bitmap->Pixels());
  return bitmap;
}

TPixels PixelsOf(const TBitmap32& bitmap) {
  return TPixels(bitmap.Pixels(), bitmap.Pixels() + bitmap.PixelCount());
}

// The block step of MurmurHash3, run backwards to make a collision.
std::uint32_t Mix(std::uint32_t k) { return std::rotl(k * 0xCC9E2D51u, 15) * 0x1B873593u; }
std::uint32_t Inverse(std::uint32_t odd) {
  std::uint32_t x = odd;  // Newton's iteration doubles the correct low bits each time
  for (int i = 0; i < 5; ++i) x *= 2 - odd * x;
  return x;
}
std::uint32_t Unmix(std::uint32_t m) {
  return std::rotr(m * Inverse(0x1B873593u), 15) * Inverse(0xCC9E2D51u);
}
std::uint32_t Step(std::uint32_t h, std::uint32_t k) { return std::rotl(h ^ Mix(k), 13) * 5 + 0xE6546B64u; }

// Two 4 x 4 pictures that differ in their first two pixels but hash alike:
// the second pixel of b cancels the difference the first one made.
std::pair<TPixels, TPixels> CollidingPictures() {
  TPixels a = Flat(16, 0xFF336699), b = a;
  b[0] = 0xFF000000;
  b[1] = Unmix(Step(0, a[0]) ^ Step(0, b[0]) ^ Mix(a[1]));
  return {a, b};
}

TEST(MurmurHash3, MatchesThePublishedVectors) {
  const auto hash = [](const std::string& text, std::uint32_t seed) {
    return MurmurHash3(text.data(), text.size(), seed);
  };
  EXPECT_EQ(hash("", 0), 0u);
  EXPECT_EQ(hash("", 1), 0x514E28B7u);
  EXPECT_EQ(hash(std::string(4, '\0'), 0), 0x2362F9DEu);
  EXPECT_EQ(hash("\x21\x43\x65\x87", 0), 0xF55B516Bu);
  EXPECT_EQ(hash("\x21\x43\x65", 0), 0x7E4A8634u);
  EXPECT_EQ(hash("\x21", 0), 0x72661CF4u);
  EXPECT_EQ(hash("Hello, world!", 0x9747B28C), 0x24884CBAu);
  EXPECT_EQ(hash("The quick brown fox jumps over the lazy dog", 0x9747B28C), 0x2FA826CDu);
}

TEST(BitmapCache, AnEntryCarriesTheSizesAndTheHashOfThePixelBytes) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  const TPixels pixels = Noise(15, 1);
  TSharedCachedBM32 holder(Picture(5, 3, pixels), cache);
  const TCachedBM32& entry = holder.Entry();
  EXPECT_EQ(entry.Width(), 5);
  EXPECT_EQ(entry.Height(), 3);
  EXPECT_EQ(entry.ByteSize(), 60u);
  std::uint8_t bytes[60];
  std::memcpy(bytes, pixels.data(), sizeof bytes);
  EXPECT_EQ(entry.ContentHash(), MurmurHash3(bytes, sizeof bytes, 0));
  EXPECT_EQ(entry.UseCount(), 1);
  EXPECT_EQ(entry.LockCount(), 0);
  EXPECT_TRUE(entry.HasRawBitmap());
  EXPECT_EQ(entry.PackedSize(), 0u);
  EXPECT_EQ(cache.RawBytes(), 60u);
}

TEST(BitmapCache, IdenticalPicturesShareOneEntryUntilTheLastHolderGoes) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  const TPixels pixels = Noise(64, 2);
  auto first = std::make_unique<TSharedCachedBM32>(Picture(8, 8, pixels), cache);
  auto second = std::make_unique<TSharedCachedBM32>(Picture(8, 8, pixels), cache);
  EXPECT_EQ(&first->Entry(), &second->Entry());
  EXPECT_EQ(first->Entry().UseCount(), 2);
  EXPECT_EQ(cache.EntryCount(), 1u);
  EXPECT_EQ(cache.RawBytes(), 256u);
  first.reset();
  EXPECT_EQ(cache.EntryCount(), 1u);
  EXPECT_EQ(second->Entry().UseCount(), 1);
  EXPECT_EQ(PixelsOf(*second->GetBitmap()), pixels);
  second->ReleaseBitmap();
  second.reset();
  EXPECT_EQ(cache.EntryCount(), 0u);
}

TEST(BitmapCache, TheSamePixelsInAnotherShapeAreAnotherPicture) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  const TPixels pixels = Noise(16, 3);
  TSharedCachedBM32 square(Picture(4, 4, pixels), cache);
  TSharedCachedBM32 wide(Picture(8, 2, pixels), cache);
  TSharedCachedBM32 tall(Picture(2, 8, pixels), cache);
  EXPECT_EQ(square.Entry().ContentHash(), wide.Entry().ContentHash());
  EXPECT_NE(&square.Entry(), &wide.Entry());
  EXPECT_NE(&wide.Entry(), &tall.Entry());
  EXPECT_EQ(cache.EntryCount(), 3u);
}

TEST(BitmapCache, PicturesWhoseHashesCollideAreNotShared) {
  const auto [a, b] = CollidingPictures();
  ASSERT_NE(a, b);
  ASSERT_EQ(MurmurHash3(a.data(), 64, 0), MurmurHash3(b.data(), 64, 0));
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TSharedCachedBM32 first(Picture(4, 4, a), cache);
  TSharedCachedBM32 second(Picture(4, 4, b), cache);
  EXPECT_EQ(first.Entry().ContentHash(), second.Entry().ContentHash());
  EXPECT_NE(&first.Entry(), &second.Entry());
  EXPECT_EQ(first.Entry().UseCount(), 1);
  EXPECT_EQ(PixelsOf(*second.GetBitmap()), b);
  second.ReleaseBitmap();
}

TEST(BitmapCache, ASwappedOutEntryIsMatchedThroughItsPackedCopy) {
  const auto [a, b] = CollidingPictures();
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TSharedCachedBM32 held(Picture(4, 4, a), cache);
  memory.SetAllowance(-1);
  held.GetBitmap();
  held.ReleaseBitmap();
  ASSERT_FALSE(held.Entry().HasRawBitmap());
  memory.SetAllowance(1 << 20);
  TSharedCachedBM32 colliding(Picture(4, 4, b), cache);
  TSharedCachedBM32 same(Picture(4, 4, a), cache);
  EXPECT_NE(&colliding.Entry(), &held.Entry());
  EXPECT_EQ(&same.Entry(), &held.Entry());
  EXPECT_EQ(held.Entry().UseCount(), 2);
  EXPECT_EQ(cache.EntryCount(), 2u);
}

TEST(BitmapCache, TheAllowanceIsTheSmallerOfTheBudgetAndTheAvailableMemoryTerms) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  memory.WorkingSet = 100'000'000;
  EXPECT_EQ(cache.Allowance(), 644'245'094 - 100'000'000);
  memory.Available = 104'857'600 + 5'000;
  EXPECT_EQ(cache.Allowance(), 5'000);
  memory.Available = 100'000'000;
  EXPECT_EQ(cache.Allowance(), -4'857'600);
  memory.WorkingSet = 700'000'000;
  memory.Available = std::int64_t{1} << 40;
  EXPECT_EQ(cache.Allowance(), 644'245'094 - 700'000'000);
}

TEST(BitmapCache, TheProcProbeSeesThisProcessGrow) {
  const TMemoryProbe probe = TMemoryProbe::FromProc();
  const std::int64_t before = probe.WorkingSet();
  EXPECT_GT(before, 0);
  EXPECT_GT(probe.Available(), 0);
  EXPECT_LT(probe.Available(), std::int64_t{1} << 50);
  std::vector<char> block(64 << 20);
  std::memset(block.data(), 1, block.size());  // touched, so resident
  EXPECT_GE(probe.WorkingSet(), before + (48 << 20));
  EXPECT_EQ(block[12345], 1);
}

TEST(BitmapCache, ALockedEntryIsNeverSwappedOutEvenWhenOldest) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TSharedCachedBM32 oldest(Picture(10, 10, Flat(100, 0xFF102030)), cache);
  TSharedCachedBM32 middle(Picture(10, 10, Flat(100, 0xFF405060)), cache);
  TSharedCachedBM32 newest(Picture(10, 10, Flat(100, 0xFF708090)), cache);
  TBitmap32* locked = oldest.GetBitmap();
  newest.GetBitmap();
  memory.SetAllowance(-(1 << 30));
  newest.ReleaseBitmap();
  EXPECT_TRUE(oldest.Entry().HasRawBitmap());
  EXPECT_EQ(oldest.GetBitmap(), locked);
  EXPECT_EQ(oldest.Entry().LockCount(), 2);
  EXPECT_FALSE(middle.Entry().HasRawBitmap());
  EXPECT_FALSE(newest.Entry().HasRawBitmap());
  EXPECT_EQ(cache.RawBytes(), 400u);
  oldest.ReleaseBitmap();
  oldest.ReleaseBitmap();
  EXPECT_FALSE(oldest.Entry().HasRawBitmap());
}

TEST(BitmapCache, ASwappedOutEntryIsRebuiltWithIdenticalPixelsAndKeepsItsPackedCopy) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  const TPixels pixels = Noise(37 * 11, 4);
  TSharedCachedBM32 holder(Picture(37, 11, pixels), cache);
  holder.GetBitmap();
  memory.SetAllowance(-1);
  holder.ReleaseBitmap();
  const TCachedBM32& entry = holder.Entry();
  ASSERT_FALSE(entry.HasRawBitmap());
  const std::size_t packed = entry.PackedSize();
  EXPECT_GT(packed, 0u);
  EXPECT_EQ(cache.RawBytes(), 0u);
  EXPECT_EQ(cache.PackedBytes(), packed);

  memory.SetAllowance(1 << 20);
  const TBitmap32* rebuilt = holder.GetBitmap();
  ASSERT_NE(rebuilt, nullptr);
  EXPECT_EQ(rebuilt->Width(), 37);
  EXPECT_EQ(PixelsOf(*rebuilt), pixels);
  EXPECT_TRUE(entry.HasRawBitmap());
  EXPECT_EQ(entry.PackedSize(), packed);
  holder.ReleaseBitmap();

  // Out again: the packed copy is reused as it is.
  holder.GetBitmap();
  memory.SetAllowance(-1);
  holder.ReleaseBitmap();
  EXPECT_FALSE(entry.HasRawBitmap());
  EXPECT_EQ(entry.PackedSize(), packed);
}

TEST(BitmapCache, AnOverdraftSwapsOutTheLeastRecentlyLockedUntilMoreThanItIsReleased) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  std::vector<std::unique_ptr<TSharedCachedBM32>> holders;
  for (TColor32 i = 0; i < 5; ++i)
    holders.push_back(
        std::make_unique<TSharedCachedBM32>(Picture(100, 100, Flat(10'000, 0xFF000000 + i)), cache));
  // Locked in another order than added: the order of last access is 3, 0, 4, 1, 2.
  for (const std::size_t i : {3u, 0u, 4u, 1u}) {
    holders[i]->GetBitmap();
    holders[i]->ReleaseBitmap();
  }
  holders[2]->GetBitmap();
  // One entry releases 40,000 bytes less its small packed copy: not enough for this.
  memory.SetAllowance(-41'000);
  holders[2]->ReleaseBitmap();
  const bool expectedRaw[5] = {false, true, true, false, true};
  std::int64_t released = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    const TCachedBM32& entry = holders[i]->Entry();
    EXPECT_EQ(entry.HasRawBitmap(), expectedRaw[i]) << "entry " << i;
    if (!entry.HasRawBitmap()) released += 40'000 - static_cast<std::int64_t>(entry.PackedSize());
    EXPECT_LT(entry.PackedSize(), 1'000u);
  }
  EXPECT_GT(released, 41'000);
  EXPECT_EQ(cache.RawBytes(), 120'000u);
}

TEST(BitmapCache, APictureThatPacksNoSmallerReleasesNothingSoTheNextOneGoesToo) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TSharedCachedBM32 noise(Picture(100, 100, Noise(10'000, 8)), cache);
  TSharedCachedBM32 flat(Picture(100, 100, Flat(10'000, 0xFF00FFFF)), cache);
  TSharedCachedBM32 newest(Picture(100, 100, Flat(10'000, 0xFFFF00FF)), cache);
  newest.GetBitmap();
  memory.SetAllowance(-1);
  newest.ReleaseBitmap();
  EXPECT_FALSE(noise.Entry().HasRawBitmap());
  EXPECT_GE(noise.Entry().PackedSize(), 40'000u);
  EXPECT_FALSE(flat.Entry().HasRawBitmap());
  EXPECT_TRUE(newest.Entry().HasRawBitmap());
}

TEST(BitmapCache, RebuildingMakesRoomByTheEntrysByteSizeFirst) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TSharedCachedBM32 swapped(Picture(100, 100, Ramp(10'000)), cache);
  TSharedCachedBM32 older(Picture(100, 100, Flat(10'000, 0xFF0000FF)), cache);
  TSharedCachedBM32 newer(Picture(100, 100, Flat(10'000, 0xFF00FF00)), cache);
  swapped.GetBitmap();
  for (TSharedCachedBM32* holder : {&older, &newer}) {
    holder->GetBitmap();
    holder->ReleaseBitmap();
  }
  memory.SetAllowance(-1);
  swapped.ReleaseBitmap();  // the least recently locked: the only one to go
  ASSERT_FALSE(swapped.Entry().HasRawBitmap());
  ASSERT_TRUE(older.Entry().HasRawBitmap());

  // Its size is not less than the allowance: at least one byte must go.
  memory.SetAllowance(39'999);
  ASSERT_NE(swapped.GetBitmap(), nullptr);
  EXPECT_FALSE(older.Entry().HasRawBitmap());
  EXPECT_TRUE(newer.Entry().HasRawBitmap());
  EXPECT_TRUE(swapped.Entry().HasRawBitmap());

  // With room to spare nothing else goes.
  memory.SetAllowance(1 << 20);
  ASSERT_NE(older.GetBitmap(), nullptr);
  EXPECT_TRUE(newer.Entry().HasRawBitmap());
  EXPECT_TRUE(swapped.Entry().HasRawBitmap());
  older.ReleaseBitmap();
  swapped.ReleaseBitmap();
}

TEST(BitmapCache, AnEntryLetGoWhileLockedStaysUntilUnlockedAndCountsStopAtZero) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TRef<TCachedBM32> entry = cache.Add(Picture(2, 2, Flat(4, 0xFF123456)));
  TBitmap32* bitmap = cache.Lock(*entry);
  cache.Drop(*entry);
  cache.Drop(*entry);
  EXPECT_EQ(entry->UseCount(), 0);
  EXPECT_EQ(cache.EntryCount(), 1u);
  EXPECT_EQ(bitmap->Pixels()[3], 0xFF123456u);
  cache.Unlock(*entry);
  cache.Unlock(*entry);
  EXPECT_EQ(entry->LockCount(), 0);
  EXPECT_EQ(cache.EntryCount(), 0u);
}

TEST(BitmapCache, AMissingBitmapIsHeldAsAnEmptyPicture) {
  TFakeMemory memory;
  TBM32CacheManager cache(memory.Probe());
  TSharedCachedBM32 first(nullptr, cache);
  TSharedCachedBM32 second(std::make_unique<TBitmap32>(), cache);
  EXPECT_EQ(&first.Entry(), &second.Entry());
  EXPECT_EQ(first.Entry().ByteSize(), 0u);
  memory.SetAllowance(-1);
  ASSERT_NE(first.GetBitmap(), nullptr);
  first.ReleaseBitmap();
  EXPECT_TRUE(first.Entry().HasRawBitmap());  // nothing to pack: it stays
}

TEST(BitmapCache, TheSharedCacheIsOneInstance) {
  TBM32CacheManager& shared = TBM32CacheManager::Shared();
  EXPECT_EQ(&shared, &TBM32CacheManager::Shared());
  const std::size_t before = shared.EntryCount();
  {
    TSharedCachedBM32 holder(Picture(3, 1, Noise(3, 6)));
    EXPECT_EQ(shared.EntryCount(), before + 1);
  }
  EXPECT_EQ(shared.EntryCount(), before);
}

TEST(BitmapCache, TwoThreadsAddingLockingAndUnlockingKeepTheCountsRight) {
  TFakeMemory memory;
  memory.SetAllowance(-(1 << 30));  // every unlock swaps out all that is not locked
  TBM32CacheManager cache(memory.Probe());
  const TPixels common = Noise(256, 7);
  // Picture key -1 is the common one, 10 * thread + j the thread's own.
  struct THeld {
    int Key;
    std::unique_ptr<TSharedCachedBM32> Holder;
  };
  std::vector<THeld> held[2];
  std::atomic<int> wrong{0};
  const auto work = [&](int thread) {
    for (int i = 0; i < 300; ++i) {
      const int key = i % 2 == 0 ? -1 : 10 * thread + i % 5;
      const TPixels pixels = key < 0 ? common : Noise(256, static_cast<std::uint32_t>(100 + key));
      auto holder = std::make_unique<TSharedCachedBM32>(Picture(16, 16, pixels), cache);
      const TBitmap32* bitmap = holder->GetBitmap();
      if (bitmap == nullptr || PixelsOf(*bitmap) != pixels) ++wrong;
      holder->ReleaseBitmap();
      held[thread].push_back({key, std::move(holder)});
      if (i % 3 == 0) held[thread].erase(held[thread].begin());
    }
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  EXPECT_EQ(wrong.load(), 0);

  std::map<int, const TCachedBM32*> entryOfKey;
  std::map<const TCachedBM32*, int> holdersOfEntry;
  for (const auto& list : held)
    for (const auto& [key, holder] : list) {
      const auto [at, added] = entryOfKey.emplace(key, &holder->Entry());
      EXPECT_EQ(at->second, &holder->Entry()) << "picture " << key;
      ++holdersOfEntry[&holder->Entry()];
    }
  EXPECT_EQ(cache.EntryCount(), holdersOfEntry.size());
  EXPECT_EQ(holdersOfEntry.size(), entryOfKey.size());
  for (const auto& [entry, holders] : holdersOfEntry) {
    EXPECT_EQ(entry->UseCount(), holders);
    EXPECT_EQ(entry->LockCount(), 0);
  }
  held[0].clear();
  held[1].clear();
  EXPECT_EQ(cache.EntryCount(), 0u);
}

}  // namespace
}  // namespace slabrip
