// `slabrip info SLAB`: what an operator wants to know about a slab before printing it.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

/// Loads the slab with its jobs and prints sizes, resolutions, status, jobs
/// and placements to `out`. Returns the process exit code: 0, or 1 after
/// "Unable to open RIP File" and the reasons on `err`.
int RunInfo(const std::string& slabPath, std::ostream& out, std::ostream& err);

}  // namespace slabrip
