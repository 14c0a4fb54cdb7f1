// How much ink a print lays down, from the drops the ditherer counted.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "separation/dither_kernel.h"

namespace slabrip {

class TInkRowEx;

/// The volume of one drop at each level, in picolitres (level 0 is none).
/// These are estimates, not the printer maker's figures.
struct TDropVolumes {
  std::string_view ModelId;
  std::array<double, 4> Picolitres;
};

/// The estimate for the printer model; an unknown model gets the first
/// model's, as its ModelId tells.
const TDropVolumes& DropVolumesFor(std::string_view modelId);

/// One ink of a print.
struct TInkUse {
  std::string Ink;                       // "Cyan", "Light magenta" ...
  std::array<std::uint64_t, 4> Drops{};  // pixels per level
  double Millilitres = 0;
  double CoveragePercent = 0;  // of the ink the area takes at the largest drop everywhere
  double MillilitresPerSquareMetre = 0;
};

/// The inks of one print, in printer plane order.
struct TInkReport {
  std::vector<TInkUse> Inks;
  double SquareMetres = 0;  // the printed raster
  std::string VolumesOf;    // the model whose drop volumes were used
  double Millilitres() const;
};

/// The ink use of the rows `row` dithered since it was prepared, printed at
/// `xDpi` x `yDpi` on `modelId`. Empty when no row was dithered.
TInkReport InkReportOf(const TInkRowEx& row, std::string_view modelId, double xDpi, double yDpi);

/// The report as a table for the terminal: ink, ml, coverage, ml per m².
std::string FormatInkReport(const TInkReport& report);

}  // namespace slabrip
