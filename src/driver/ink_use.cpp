#include "driver/ink_use.h"

#include <fmt/format.h>

#include <algorithm>
#include <numeric>

#include "separation/ink_row.h"

namespace slabrip {

namespace {

// Estimates: level k is k drops of the printhead's nominal drop, a third of
// the largest the 2-bit levels lay down.
constexpr std::array<TDropVolumes, 4> kDropVolumes = {{
    {"HP_Latex_570", {0, 5, 10, 15}},
    {"HP_Latex_365", {0, 5, 10, 15}},
    {"HP_Latex_800W", {0, 5, 10, 15}},
    {"HP_Latex_3600", {0, 6, 12, 18}},
}};

constexpr std::array<const char*, 8> kLaneInks = {"Cyan",       "Magenta",       "Yellow", "Black",
                                                  "Light cyan", "Light magenta", "Ink 7",  "Ink 8"};

constexpr double kSquareMetresPerSquareInch = 0.0254 * 0.0254;

}  // namespace

const TDropVolumes& DropVolumesFor(std::string_view modelId) {
  const auto found = std::ranges::find(kDropVolumes, modelId, &TDropVolumes::ModelId);
  return found != kDropVolumes.end() ? *found : kDropVolumes.front();
}

double TInkReport::Millilitres() const {
  return std::accumulate(Inks.begin(), Inks.end(), 0.0,
                         [](double sum, const TInkUse& ink) { return sum + ink.Millilitres; });
}

TInkReport InkReportOf(const TInkRowEx& row, std::string_view modelId, double xDpi, double yDpi) {
  TInkReport report;
  const TDropVolumes& volumes = DropVolumesFor(modelId);
  report.VolumesOf = volumes.ModelId;
  for (int i = 0;; ++i) {
    const TRef<TInkChannelEx> channel = row.OutputChannel(i);
    if (!channel) break;
    TInkUse ink;
    ink.Ink = kLaneInks[channel->Index];
    ink.Drops = row.Drops().Lanes[channel->Index];
    const double pixels =
        static_cast<double>(std::accumulate(ink.Drops.begin(), ink.Drops.end(), std::uint64_t{0}));
    if (pixels == 0) return {};
    double picolitres = 0;
    // One bit a pixel has one level: the largest drop.
    for (std::size_t level = 1; level < 4; ++level)
      picolitres += static_cast<double>(ink.Drops[level]) * volumes.Picolitres[row.TwoBit ? level : 3];
    ink.Millilitres = picolitres * 1e-9;
    ink.CoveragePercent = 100 * picolitres / (pixels * volumes.Picolitres[3]);
    report.SquareMetres = pixels / (xDpi * yDpi) * kSquareMetresPerSquareInch;
    ink.MillilitresPerSquareMetre = report.SquareMetres > 0 ? ink.Millilitres / report.SquareMetres : 0;
    report.Inks.push_back(std::move(ink));
  }
  return report;
}

std::string FormatInkReport(const TInkReport& report) {
  std::string text = fmt::format("{:<14}{:>10}{:>10}{:>9}\n", "ink", "ml", "coverage", "ml/m²");
  for (const TInkUse& ink : report.Inks)
    text += fmt::format("{:<14}{:>10.3f}{:>9.1f}%{:>9.2f}\n", ink.Ink, ink.Millilitres, ink.CoveragePercent,
                        ink.MillilitresPerSquareMetre);
  text += fmt::format("{:<14}{:>10.3f}\n", "all inks", report.Millilitres());
  text += fmt::format("printed area {:.3f} m²; drop volumes are estimates for {}\n", report.SquareMetres,
                      report.VolumesOf);
  return text;
}

}  // namespace slabrip
