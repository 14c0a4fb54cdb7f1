// A long banner slab for measuring the engine and the print path on sizes
// sign shops print: the mural tiled over the whole media.
#pragma once

#include <string>

namespace slabrip {

struct TBannerSlab {
  int WidthMm = 1600;
  int LengthMm = 20000;
  int RenderDpi = 100;
  int PrinterDpi = 600;
  std::string Profile;  // CMYK output profile copied beside the slab as Printer.icc
};

/// Writes Mural.cmf, Banner.RipJob, Printer.icc and Banner.RipSlab into
/// `folder` (which must exist); returns the slab's path.
std::string WriteBannerSlab(const std::string& folder, const TBannerSlab& banner);

}  // namespace slabrip
