// Speed of the pixel codecs and the picture cache on a 4000 x 3000 photo-like bitmap.
//
// The photo is smooth gradients with a few steps of noise, so few neighbours
// are equal and the deltas are small, as in a scanned image; the grey plane
// is built the same way. Throughput is given in raw bytes: the bitmap's
// 48 MB, the grey plane's 12 MB, for run-length packing the packed stream.
#include <benchmark/benchmark.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>

#include "document/bitmap_cache.h"
#include "document/pixel_codecs.h"

namespace {

using namespace slabrip;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr std::int64_t kPixels = std::int64_t{kWidth} * kHeight;

int Channel(double v, std::mt19937& random) {
  std::uniform_int_distribution<int> noise(-4, 4);
  return std::clamp(static_cast<int>(v) + noise(random), 0, 255);
}

TBitmap32 MakePhoto() {
  TBitmap32 bitmap(kWidth, kHeight);
  std::mt19937 random(1);
  for (int y = 0; y < kHeight; ++y) {
    TColor32* row = bitmap.Row(y);
    for (int x = 0; x < kWidth; ++x) {
      const double u = x / double{kWidth}, v = y / double{kHeight};
      row[x] = 0xFF000000 | static_cast<TColor32>(Channel(255 * u, random)) << 16 |
               static_cast<TColor32>(Channel(128 + 120 * std::sin(6 * u + 3 * v), random)) << 8 |
               static_cast<TColor32>(Channel(255 * (1 - v), random));
    }
  }
  return bitmap;
}

const TBitmap32& Photo() {
  static const TBitmap32 photo = MakePhoto();
  return photo;
}

std::span<const TColor32> PhotoPixels() { return {Photo().Pixels(), Photo().PixelCount()}; }

const std::vector<std::uint8_t>& PackedPhoto() {
  static const auto packed = EncodePackedPixels(PhotoPixels());
  return packed;
}

const std::vector<std::uint8_t>& RunsOfPhoto() {
  static const auto runs = PackRunLength(PackedPhoto());
  return runs;
}

const std::vector<std::uint8_t>& GreyPlane() {
  static const auto grey = [] {
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(kPixels));
    std::mt19937 random(2);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        plane[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(
            Channel(128 + 100 * std::sin(4.0 * x / kWidth) * std::cos(3.0 * y / kHeight), random));
    return plane;
  }();
  return grey;
}

std::string Ratio(std::size_t encoded, std::size_t raw) {
  return std::to_string(
             static_cast<int>(std::lround(100.0 * static_cast<double>(encoded) / static_cast<double>(raw)))) +
         "% of raw";
}

void BM_PackedPixelsEncode(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    const auto packed = EncodePackedPixels(PhotoPixels());
    size = packed.size();
    benchmark::DoNotOptimize(packed.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  state.SetLabel(Ratio(size, kPixels * 4));
}
BENCHMARK(BM_PackedPixelsEncode)->Unit(benchmark::kMillisecond);

void BM_PackedPixelsDecode(benchmark::State& state) {
  TBitmap32 out(kWidth, kHeight);
  for (auto _ : state) {
    if (!DecodePackedPixels(PackedPhoto(), {out.Pixels(), out.PixelCount()}))
      state.SkipWithError("did not decode");
    benchmark::DoNotOptimize(out.Pixels());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_PackedPixelsDecode)->Unit(benchmark::kMillisecond);

void BM_RunLengthPack(benchmark::State& state) {
  for (auto _ : state) {
    const auto runs = PackRunLength(PackedPhoto());
    benchmark::DoNotOptimize(runs.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(PackedPhoto().size()));
  state.SetLabel("packed stream, " + Ratio(RunsOfPhoto().size(), PackedPhoto().size()));
}
BENCHMARK(BM_RunLengthPack)->Unit(benchmark::kMillisecond);

void BM_RunLengthUnpack(benchmark::State& state) {
  for (auto _ : state) {
    const auto bytes = UnpackRunLength(RunsOfPhoto(), PackedPhoto().size() + 8);
    if (!bytes) state.SkipWithError("did not unpack");
    benchmark::DoNotOptimize(bytes->data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(PackedPhoto().size()));
  state.SetLabel("packed stream");
}
BENCHMARK(BM_RunLengthUnpack)->Unit(benchmark::kMillisecond);

void BM_CompressedBitmapEncode(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    const auto record = EncodeCompressedBitmap(Photo());
    size = record.size();
    benchmark::DoNotOptimize(record.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  state.SetLabel(Ratio(size, kPixels * 4));
}
BENCHMARK(BM_CompressedBitmapEncode)->Unit(benchmark::kMillisecond);

void BM_CompressedBitmapDecode(benchmark::State& state) {
  const auto record = EncodeCompressedBitmap(Photo());
  for (auto _ : state) {
    const auto bitmap = DecodeCompressedBitmap(record, static_cast<std::size_t>(kPixels));
    if (!bitmap) state.SkipWithError("did not decode");
    benchmark::DoNotOptimize(bitmap->Pixels());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_CompressedBitmapDecode)->Unit(benchmark::kMillisecond);

void BM_PackedBytesEncode(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    const auto packed = EncodePackedBytes(GreyPlane());
    size = packed.size();
    benchmark::DoNotOptimize(packed.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels);
  state.SetLabel("grey plane, " + Ratio(size, static_cast<std::size_t>(kPixels)));
}
BENCHMARK(BM_PackedBytesEncode)->Unit(benchmark::kMillisecond);

void BM_PackedBytesDecode(benchmark::State& state) {
  const auto packed = EncodePackedBytes(GreyPlane());
  std::vector<std::uint8_t> out(static_cast<std::size_t>(kPixels));
  for (auto _ : state) {
    if (!DecodePackedBytes(packed, out)) state.SkipWithError("did not decode");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels);
  state.SetLabel("grey plane");
}
BENCHMARK(BM_PackedBytesDecode)->Unit(benchmark::kMillisecond);

// A cache whose allowance the benchmark sets.
struct TBenchCache {
  std::atomic<std::int64_t> Allowance{std::int64_t{1} << 40};
  TBM32CacheManager Cache{
      {[] { return std::int64_t{0}; }, [this] { return Allowance.load() + TBM32CacheManager::kReserve; }}};
};

// Adding hashes the whole picture; the copy handed over is made outside the timing.
void BM_CacheAddLockUnlock(benchmark::State& state) {
  TBenchCache bench;
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<TBitmap32>(Photo());
    state.ResumeTiming();
    TSharedCachedBM32 holder(std::move(copy), bench.Cache);
    benchmark::DoNotOptimize(holder.GetBitmap());
    holder.ReleaseBitmap();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_CacheAddLockUnlock)->Unit(benchmark::kMillisecond);

// Arg 0: the first swap-out of an entry, which packs it, and its rebuild.
// Arg 1: later cycles, where the packed copy is kept and only the rebuild costs.
void BM_CacheSwapOutRebuild(benchmark::State& state) {
  TBenchCache bench;
  const bool first = state.range(0) == 0;
  std::unique_ptr<TSharedCachedBM32> holder;
  const auto fresh = [&] {
    if (holder) holder->ReleaseBitmap();
    holder = std::make_unique<TSharedCachedBM32>(std::make_unique<TBitmap32>(Photo()), bench.Cache);
    holder->GetBitmap();
  };
  const auto cycle = [&] {
    bench.Allowance = -1;
    holder->ReleaseBitmap();
    bench.Allowance = std::int64_t{1} << 40;
    if (holder->Entry().HasRawBitmap() || holder->GetBitmap() == nullptr) state.SkipWithError("no swap-out");
  };
  fresh();
  if (!first) cycle();
  for (auto _ : state) {
    if (first) {
      state.PauseTiming();
      fresh();
      state.ResumeTiming();
    }
    cycle();
  }
  holder->ReleaseBitmap();
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  state.SetLabel(first ? "pack + rebuild" : "packed copy kept: rebuild");
}
BENCHMARK(BM_CacheSwapOutRebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What every unlock pays to learn the allowance from /proc.
void BM_ProcAllowance(benchmark::State& state) {
  TBM32CacheManager cache;
  for (auto _ : state) benchmark::DoNotOptimize(cache.Allowance());
}
BENCHMARK(BM_ProcAllowance)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // The inputs are built before any timing starts.
  (void)RunsOfPhoto();
  (void)GreyPlane();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
