// Fuzzes the cmf reader: trailer, tables, node records, curves and image bitmaps,
// then draws what loaded into a small band, spot colours included.
#include <cstdint>
#include <vector>

#include "base/errors.h"
#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "fuzz_band.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  static TBM32CacheManager cache(
      TMemoryProbe{[] { return std::int64_t{0}; }, [] { return std::int64_t{1} << 32; }});
  TMemoryByteStream stream(std::vector<std::uint8_t>(data, data + size));
  TRef<TcmfFile> document;
  try {
    document = TcmfWriter::ReadDocument(stream, cache);
  } catch (const TError&) {
    return 0;  // not a document, or a truncated one
  }
  (void)document->NodeCounts();
  // The drawing bounds mapped onto the band, every other colour a spot ink.
  const TRectF bounds = document->DrawingBounds();
  const double w = double{bounds.MaxX} - bounds.MinX, h = double{bounds.MaxY} - bounds.MinY;
  if (!(w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h))) return 0;
  std::vector<std::int32_t> spotChannels(document->Colours.size());
  for (std::size_t i = 0; i < spotChannels.size(); ++i)
    spotChannels[i] = i % 2 == 0 ? static_cast<std::int32_t>(i) + 2 : -1;
  const auto sx = static_cast<float>(TFuzzBand::kSide / w), sy = static_cast<float>(TFuzzBand::kSide / h);
  const TMatrixObj view(TAffine{-bounds.MinX * sx, -bounds.MinY * sy, sx, 0, 0, sy});
  TFuzzBand band;
  try {
    band.Renderer->Render(*document, bounds, view, false, spotChannels);
  } catch (const TError&) {
    // cairo refusing a band is reported to the operator, not a crash
  }
  return 0;
}
