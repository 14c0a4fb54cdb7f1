// A whole document drawn band by band at a resolution, handing out finished rows.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "document/cmf_model.h"
#include "raster/bitmap32.h"

namespace slabrip {

/// Pixel size of a document's drawing at `dpi`.
struct TRasterSize {
  int Width = 0;
  int Height = 0;
};

/// The size the drawing bounds take at `dpi`; throws TError when the document
/// draws nothing or the size is beyond a raster this program makes.
TRasterSize DocumentRasterSize(const TcmfFile& document, double dpi);

/// Draws the document into bands of BandRowsFor its width (as the engine
/// bands a slab) and calls `row` for every row in order with its pixels
/// (premultiplied ARGB) and spot channels. Colours with a spot channel of 0
/// or more in `spotChannels` (a TSpotChannels) are scan-converted onto it.
TRasterSize RasterizeDocument(
    const TcmfFile& document, double dpi,
    const std::function<void(const TColor32* pixels, const std::uint16_t* spots)>& row,
    std::span<const std::int32_t> spotChannels = {});

}  // namespace slabrip
