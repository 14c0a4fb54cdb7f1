// `slabrip info SLAB`: what an operator wants to know about a slab before printing it.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

struct TDriverEnvironment;

/// Loads the slab with its jobs, builds its colour tables from the profiles
/// in its ICC folder, and prints sizes, resolutions, status, the folders it
/// uses and where they came from, colour, jobs and placements to `out`.
/// Returns the process exit code: 0, or 1 after "Unable to open RIP File"
/// and the reasons on `err`.
int RunInfo(const std::string& slabPath, const TDriverEnvironment& environment, std::ostream& out,
            std::ostream& err);

}  // namespace slabrip
