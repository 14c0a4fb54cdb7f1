// `slabrip info SLAB`: what an operator wants to know about a slab before printing it.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

/// Loads the slab with its jobs, builds its colour tables from the profiles
/// in `iccFolder`, and prints sizes, resolutions, status, colour, jobs and
/// placements to `out`. Returns the process exit code: 0, or 1 after
/// "Unable to open RIP File" and the reasons on `err`.
int RunInfo(const std::string& slabPath, const std::string& iccFolder, std::ostream& out, std::ostream& err);

}  // namespace slabrip
