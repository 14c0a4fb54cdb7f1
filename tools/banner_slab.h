// A slab for measuring the engine and the print path on sizes sign shops
// print: the mural tiled over the whole media, or one of the benchmark
// artworks stretched over it.
#pragma once

#include <string>

namespace slabrip {

struct TBannerSlab {
  int WidthMm = 1600;
  int LengthMm = 20000;
  int RenderDpi = 100;
  int PrinterDpi = 600;
  std::string Profile;  // CMYK output profile copied beside the slab as Printer.icc
  /// "mural" (tiled at half size), or one artwork over the media: "poster"
  /// (flat fills), "photo" (one picture), "shapes" (100,000 small shapes),
  /// "illustration" (gradients and textures).
  std::string Kind = "mural";
  /// The printer description the slab names (PRINTER.qlDrv in the suite's Drivers folder).
  std::string Printer = "HP Latex 570";
};

inline constexpr const char* kBannerKinds[] = {"mural", "poster", "photo", "shapes", "illustration"};

/// Writes Art.cmf, Banner.RipJob, Printer.icc and Banner.RipSlab into
/// `folder` (which must exist); returns the slab's path.
std::string WriteBannerSlab(const std::string& folder, const TBannerSlab& banner);

}  // namespace slabrip
