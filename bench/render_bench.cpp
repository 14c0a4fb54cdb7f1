// Drawing documents band by band (bands of about 4,000,000 pixels): the demo's
// artwork at 300 dpi and a document of 100,000 shapes.
#include <benchmark/benchmark.h>

#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "render/document_raster.h"
#include "tools/cmf_builder.h"
#include "tools/demo_artwork.h"

namespace {

using namespace slabrip;

// Drawn without a spot channel table: every named colour painted, as a print without spot flags.
TRef<TcmfFile> Load(const std::vector<std::uint8_t>& bytes) {
  TMemoryByteStream stream(bytes);
  return TcmfWriter::ReadDocument(stream, TBM32CacheManager::Shared());
}

std::vector<std::uint8_t> ManyShapes() {
  TcmfBuilder doc;
  const int root = doc.AddGroup(-1, Style(kNoFill));
  for (int i = 0; i < 100000; ++i) {
    const auto x = static_cast<float>(i % 400), y = static_cast<float>(i / 400);
    TCurveBuilder shape;
    shape.MoveTo(x, y).LineTo(x + 0.8f, y).ConicTo(x + 0.8f, y + 0.8f, x, y + 0.8f, 0.7).Close();
    doc.AddGeometry(root, Style(0x10000000u | (static_cast<std::uint32_t>(i) * 2654435761u & 0xFFFFFFu)),
                    shape.Build().get());
  }
  return doc.Build();
}

void Rasterize(benchmark::State& state, const TcmfFile& document, double dpi) {
  std::int64_t pixels = 0;
  for (auto _ : state) {
    const TRasterSize size = RasterizeDocument(
        document, dpi, [](const TColor32* row, const std::uint16_t*) { benchmark::DoNotOptimize(row); });
    pixels += static_cast<std::int64_t>(size.Width) * size.Height;
  }
  state.SetItemsProcessed(pixels);
}

void BM_RenderDemo(benchmark::State& state) {
  static const std::vector<std::vector<std::uint8_t>> documents = {StickerDocument(), HoursDocument(),
                                                                   MuralDocument()};
  const auto document = Load(documents[static_cast<std::size_t>(state.range(0))]);
  static const char* const kNames[] = {"sticker", "hours", "mural"};
  state.SetLabel(kNames[state.range(0)]);
  Rasterize(state, *document, 300);
}
BENCHMARK(BM_RenderDemo)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_RenderManyShapes(benchmark::State& state) {
  static const auto document = Load(ManyShapes());
  Rasterize(state, *document, 100);
}
BENCHMARK(BM_RenderManyShapes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
