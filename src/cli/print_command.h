// `slabrip print SLAB`: the "Print Now" run without a window.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "cli/job_setting_options.h"

namespace slabrip {

struct TDriverEnvironment;

struct TPrintCommandOptions {
  std::string Slab;
  std::string TestOutput;  // print into this file instead of the slab's destination
  std::string Keep;        // a copy of the printer data, for `slabrip send`
  std::int32_t BandRows = 0;  // rows per band, 0 for the engine's rule
  int Threads = 0;            // 0: the cores the process may use
  bool Force = false;         // print although the slab would not print as laid out
  std::string Report;         // a JSON report of the run into this file
  bool Estimate = false;      // make the printer data and drop it: `slabrip estimate`
  TJobSettingOptions Settings;
};

/// 0 only when every printer row was sent and the output put in place; the
/// summary of this run and its ink use go to `out`, progress and reasons to
/// `err`. As an estimate nothing is written but the report.
int RunPrint(const TDriverEnvironment& environment, const TPrintCommandOptions& options, std::ostream& out,
             std::ostream& err, bool interactive);

/// `slabrip xml SLAB`: the "View XML" page's text for the slab as the window would load it.
int RunXml(const TDriverEnvironment& environment, const std::string& slab, const TJobSettingOptions& settings,
           std::ostream& out, std::ostream& err);

}  // namespace slabrip
