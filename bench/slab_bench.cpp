// Loading and saving large slabs: the ini storage and placement decoding.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/ini_file.h"
#include "jobs/rip_slab.h"

namespace {

using namespace slabrip;

// A slab folder with one job and `placements` placement records.
class TBenchSlab {
 public:
  explicit TBenchSlab(int placements) {
    std::string pattern = (std::filesystem::temp_directory_path() / "slabrip-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    Folder = pattern;
    std::ofstream(Folder + "/a.cmf").put('\0');
    std::ofstream(Folder + "/a.RipJob")
        << "[Job]\r\nSrcFile=C:\\x\\a.cmf\r\n[FullBounds]\r\nMaxX=100\r\nMaxY=50\r\n";
    std::ofstream slab(Path());
    slab << "[Info]\r\nRipHeight=7087\r\nRipWidth=12602\r\nMediaWidth=1067\r\n[Jobs]\r\nJobCount=1\r\n"
            "Job000=C:\\Queue\\a.RipJob\r\n[RPA]\r\n"
         << fmt::format("Count={}\r\n", placements);
    for (int i = 0; i < placements; ++i) {
      TRipJobPos pos;
      pos.SetPlacedBounds({float(i), 0, float(i) + 100, 50});
      pos.SetTransform({float(i), 0, 1, 0, 0, 1});
      slab << fmt::format("Pos{:03}={}\r\n", i, pos.ToHex());
    }
  }
  ~TBenchSlab() { std::filesystem::remove_all(Folder); }
  std::string Path() const { return Folder + "/s.RipSlab"; }
  std::string Folder;
};

void BM_LoadSlab(benchmark::State& state) {
  const TBenchSlab files(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto slab = MakeRef<TRipSlab>();
    if (!slab->LoadFromFile(files.Path())) state.SkipWithError("slab did not load");
    benchmark::DoNotOptimize(slab->Placements.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(files.Path())));
}
BENCHMARK(BM_LoadSlab)->Arg(100)->Arg(9999)->Unit(benchmark::kMillisecond);

void BM_SaveStatus(benchmark::State& state) {
  const TBenchSlab files(static_cast<int>(state.range(0)));
  auto slab = MakeRef<TRipSlab>();
  if (!slab->LoadFromFile(files.Path())) state.SkipWithError("slab did not load");
  for (auto _ : state) slab->SaveStatus();
}
BENCHMARK(BM_SaveStatus)->Arg(9999)->Unit(benchmark::kMillisecond);

void BM_PlacementFromHex(benchmark::State& state) {
  TRipJobPos pos;
  pos.SetTransform({1, 2, 3, 4, 5, 6});
  const std::string hex = pos.ToHex();
  for (auto _ : state) benchmark::DoNotOptimize(TRipJobPos::FromHex(hex));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlacementFromHex);

}  // namespace

BENCHMARK_MAIN();
