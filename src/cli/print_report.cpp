#include "cli/print_report.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "driver/print_run.h"
#include "jobs/rip_slab.h"

namespace slabrip {

std::string PrintReportJson(const TRipSlab& slab, const TPrintOutcome& run, const TRunTimes& times,
                            bool estimate) {
  nlohmann::ordered_json inks = nlohmann::ordered_json::array();
  for (const TInkUse& ink : run.Inks.Inks)
    inks.push_back({{"ink", ink.Ink},
                    {"millilitres", ink.Millilitres},
                    {"coveragePercent", ink.CoveragePercent},
                    {"millilitresPerSquareMetre", ink.MillilitresPerSquareMetre},
                    {"pixelsPerLevel", ink.Drops}});
  nlohmann::ordered_json report = {
      {"slab", slab.FileName},
      // As the slab file writes it: JSON numbers lose 64-bit ids.
      {"slabId", fmt::format("{:016X}", static_cast<std::uint64_t>(slab.SlabID))},
      {"jobName", slab.Jobname},
      {"estimate", estimate},
      {"started", times.Started},
      {"finished", times.Finished},
      {"seconds", run.Seconds},
      {"rows", run.RowsSent},
      {"rowsInSlab", slab.RipHeight},
      {"widthPixels", slab.RipWidth},
      {"bytes", run.Bytes},
      {"destination", run.Destination},
      {"printed", run.Printed()},
      {"error", run.Error},
      {"printedSquareMetres", run.Inks.SquareMetres},
      {"dropVolumesOf", run.Inks.VolumesOf},
      {"dropPicolitres", run.Inks.VolumesOf.empty()
                             ? nlohmann::ordered_json::array()
                             : nlohmann::ordered_json(DropVolumesFor(run.Inks.VolumesOf).Picolitres)},
      {"millilitres", run.Inks.Millilitres()},
      {"inks", inks},
  };
  return report.dump(2) + "\n";
}

}  // namespace slabrip
