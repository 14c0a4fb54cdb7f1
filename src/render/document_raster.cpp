#include "render/document_raster.h"

#include <fmt/format.h>
#include <cmath>

#include "base/errors.h"
#include "raster/word_map.h"
#include "render/band_rows.h"
#include "render/cmf_render.h"

namespace slabrip {

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t{4} << 30;
constexpr int kMaxWidth = 1'000'000;

}  // namespace

TRasterSize DocumentRasterSize(const TcmfFile& document, double dpi) {
  const TRectF bounds = document.DrawingBounds();
  if (!(bounds.MaxX > bounds.MinX && bounds.MaxY > bounds.MinY)) throw TError("the document draws nothing");
  const double scale = dpi / 25.4;
  const double width = std::ceil((double{bounds.MaxX} - bounds.MinX) * scale);
  const double height = std::ceil((double{bounds.MaxY} - bounds.MinY) * scale);
  if (!(width >= 1 && height >= 1 && width <= kMaxWidth && width * height <= static_cast<double>(kMaxPixels)))
    throw TError(fmt::format("{} x {} pixels is too large to draw", width, height));
  return {static_cast<int>(width), static_cast<int>(height)};
}

TRasterSize RasterizeDocument(
    const TcmfFile& document, double dpi,
    const std::function<void(const TColor32* pixels, const std::uint16_t* spots)>& row,
    std::span<const std::int32_t> spotChannels) {
  const TRasterSize size = DocumentRasterSize(document, dpi);
  const TRectF bounds = document.DrawingBounds();
  const double scale = dpi / 25.4;
  const int bandHeight = std::min({BandRowsFor(size.Width), size.Height, kMaxCairoSide});
  TBitmap32 band(size.Width, bandHeight);
  TWordMap spots(size.Width, bandHeight);
  auto renderer = MakeRef<TcmfRender>();
  renderer->TargetBitmap = &band;
  renderer->SpotMap = &spots;
  for (int top = 0; top < size.Height; top += bandHeight) {
    band.Fill(0xFFFFFFFF);
    spots.Fill(0);
    renderer->TargetTop = top;
    const TMatrixObj view(TAffine{static_cast<float>(-bounds.MinX * scale),
                                  static_cast<float>(-bounds.MinY * scale), static_cast<float>(scale), 0, 0,
                                  static_cast<float>(scale)});
    renderer->Render(document, bounds, view, false, spotChannels);
    for (int y = 0; y < std::min(bandHeight, size.Height - top); ++y) row(band.Row(y), spots.Row(y));
  }
  return size;
}

}  // namespace slabrip
