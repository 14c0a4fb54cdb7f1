// The second inner loop: expand a render row to printer width, error-diffuse
// every ink and pack it, at 1.6 m and 600 dpi (37,800 printer pixels) from a
// 300 dpi render row (18,900 pixels), six inks.
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

#include "separation/ink_row.h"

namespace {

using namespace slabrip;

constexpr int kRenderWidth = 18900;
constexpr int kPrinterWidth = 37800;
constexpr int kRows = 64;  // different rows, so the diffusion never sees one row repeated

// Ink rows as a photograph gives them: smooth ramps, noise, paper white between.
std::vector<std::vector<TInkVector>> RealisticRows() {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0, 600);
  std::vector<std::vector<TInkVector>> rows(kRows, std::vector<TInkVector>(kRenderWidth));
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kRenderWidth; ++x) {
      TInkVector& v = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
      if (x % 4000 > 3600) continue;  // white gaps
      const double u = x / double{kRenderWidth};
      const double base[6] = {0.6 * u,      0.5 * (1 - u), 0.3 + 0.3 * std::sin(9 * u),
                              0.15 * u * u, 0.4 * (1 - u), 0.25 * u};
      for (std::size_t lane = 0; lane < 6; ++lane)
        v.Lane[lane] =
            static_cast<std::int16_t>(std::clamp(base[lane] * 32767 + noise(random), 0.0, 32767.0));
    }
  return rows;
}

const std::vector<std::vector<TInkVector>>& Rows() {
  static const auto rows = RealisticRows();
  return rows;
}

TRef<TInkRowEx> SixInkRow() {
  auto row = MakeRef<TInkRowEx>(kRenderWidth, TInkRowEx::kSixInks, true, kPrinterWidth);
  row->Prepare();
  return row;
}

void Load(TInkRowEx& row, int y) {
  const auto& source = Rows()[static_cast<std::size_t>(y % kRows)];
  std::copy(source.begin(), source.end(), row.Input());
}

void PrinterPixels(benchmark::State& state, int row) {
  state.SetItemsProcessed(static_cast<std::int64_t>(row) * kPrinterWidth);
}

// What the print loop runs: one pass for all six inks.
void BM_ExpandDitherPack(benchmark::State& state) {
  const auto row = SixInkRow();
  int y = 0;
  for (auto _ : state) {
    Load(*row, y);
    row->ExpandDitherPack(y++);
    benchmark::DoNotOptimize(row->Channel(0)->PackedBytes());
  }
  PrinterPixels(state, y);
}
BENCHMARK(BM_ExpandDitherPack)->Unit(benchmark::kMicrosecond);

// The reference steps: Expand, DitherAll, Pack per channel.
void BM_StepByStep(benchmark::State& state) {
  const auto row = SixInkRow();
  int y = 0;
  for (auto _ : state) {
    Load(*row, y);
    row->Expand();
    row->DitherAll(y++);
    for (int c = 0; c < row->ChannelCount(); ++c) row->Channel(c)->Pack(row->RowBytes());
    benchmark::DoNotOptimize(row->Channel(0)->PackedBytes());
  }
  PrinterPixels(state, y);
}
BENCHMARK(BM_StepByStep)->Unit(benchmark::kMicrosecond);

// One channel's error diffusion alone (the reference ditherer), for comparison with other tools.
void BM_DitherOneChannel(benchmark::State& state) {
  const auto row = SixInkRow();
  auto channel = row->Channel(0);
  Load(*row, 0);
  row->Expand();
  const std::vector<std::int16_t> values = channel->Values;
  int y = 0;
  for (auto _ : state) {
    std::copy(values.begin(), values.end(), channel->Values.begin());
    channel->DitherRow(y++);
    benchmark::DoNotOptimize(channel->Values.data());
  }
  PrinterPixels(state, y);
}
BENCHMARK(BM_DitherOneChannel)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
