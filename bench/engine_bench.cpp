// The engine's rows on a banner of tiled artwork: drawing bands and
// converting rows to ink, and converting alone within a drawn band.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

#include "engine/rip_engine.h"
#include "tools/banner_slab.h"

namespace {

using namespace slabrip;

// A fresh folder for the banner's files, removed at exit.
struct TBannerFolder {
  TBannerFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "slabrip-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    Path = pattern;
  }
  ~TBannerFolder() { std::filesystem::remove_all(Path); }
  std::string Path;
};

TRef<TRipEngine> PreparedEngine(const std::string& folder, int widthMm, int lengthMm, int renderDpi) {
  TBannerSlab banner;
  banner.WidthMm = widthMm;
  banner.LengthMm = lengthMm;
  banner.RenderDpi = renderDpi;
  banner.Profile = SLABRIP_CMYK_PROFILE;
  const std::string slab = WriteBannerSlab(folder, banner);
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = folder;
  engine->PrepareForSlab(slab);
  return engine;
}

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The whole 1.6 m x 20 m banner at a render resolution: every band drawn
// once, every row converted. Memory must not grow with the length.
void BM_EngineBanner(benchmark::State& state) {
  TBannerFolder folder;
  std::int64_t pixels = 0;
  for (auto _ : state) {
    const auto engine = PreparedEngine(folder.Path, 1600, 20000, static_cast<int>(state.range(0)));
    const int height = engine->Slab()->RenderHeight;
    for (int y = 0; y < height; ++y) engine->PrepareRow(y);
    pixels += static_cast<std::int64_t>(engine->Slab()->RenderWidth) * height;
  }
  state.SetItemsProcessed(pixels);
  state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}
// 300 dpi draws 4.5 gigapixels: run it on purpose (--benchmark_filter=Banner/300).
BENCHMARK(BM_EngineBanner)->Arg(100)->Arg(300)->Unit(benchmark::kSecond)->Iterations(1);

// Rows of a band already drawn: the colour conversion and spot inks alone.
void BM_EngineConvertRows(benchmark::State& state) {
  TBannerFolder folder;
  const auto engine = PreparedEngine(folder.Path, 1600, 1000, 100);
  engine->PrepareRow(0);
  const int rows = std::min(engine->BandHeight(), engine->Slab()->RenderHeight);
  std::int64_t pixels = 0;
  for (auto _ : state) {
    for (int y = 0; y < rows; ++y) engine->PrepareRow(y);
    pixels += static_cast<std::int64_t>(engine->Slab()->RenderWidth) * rows;
  }
  state.SetItemsProcessed(pixels);
}
BENCHMARK(BM_EngineConvertRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
