// Loading a large cmf document: 100,000 geometry nodes with lines and conic arcs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "tools/cmf_builder.h"

namespace {

using namespace slabrip;

const std::vector<std::uint8_t>& ManyShapes() {
  static const std::vector<std::uint8_t> bytes = [] {
    TcmfBuilder doc;
    doc.AddColour(TUniColorSpec::Make(kModelRGB, {1, 0, 0}), "Red");
    const int root = doc.AddGroup(-1, Style(kNoFill));
    for (int i = 0; i < 100000; ++i) {
      const auto x = static_cast<float>(i % 400), y = static_cast<float>(i / 400);
      TCurveBuilder shape;
      shape.MoveTo(x, y).LineTo(x + 0.8f, y).ConicTo(x + 0.8f, y + 0.8f, x, y + 0.8f, 0.7).Close();
      doc.AddGeometry(root, Style(0x10000000u | static_cast<std::uint32_t>(i & 0xFFFFFF)), shape.Build().get());
    }
    return doc.Build();
  }();
  return bytes;
}

void BM_LoadDocument(benchmark::State& state) {
  const auto& bytes = ManyShapes();
  TBM32CacheManager cache;
  std::size_t held = 0;
  for (auto _ : state) {
    TMemoryByteStream stream(bytes);
    const std::size_t before = mallinfo2().uordblks;
    auto document = TcmfWriter::ReadDocument(stream, cache);
    held = mallinfo2().uordblks - before;
    if (!document || document->NodeCounts()[kNodeGeometry] != 100000) state.SkipWithError("document did not load");
    benchmark::DoNotOptimize(document.Get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
  state.counters["memory_per_file_byte"] = static_cast<double>(held) / static_cast<double>(bytes.size());
}
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
