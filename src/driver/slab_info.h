// What an operator wants to know about a slab before printing it, as `slabrip info` shows it.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

struct TDriverEnvironment;

/// Loads the slab with its jobs as the driver loads it, inks and buffers
/// included, so that what would not print shows, and writes its sizes,
/// resolutions, status, the folders it uses and where they came from,
/// colour, jobs, placements and preflight problems to `out`. Throws TError
/// "Unable to open RIP File", the path and the reasons, when it does not load.
void WriteSlabInfo(const std::string& slabPath, const TDriverEnvironment& environment, std::ostream& out);

}  // namespace slabrip
