// `slabrip printers [SLAB]`: the CUPS queues, and where a slab's print goes.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

struct TDriverEnvironment;

/// Lists the CUPS server's queues with their device URIs, descriptions and
/// the default; with `slabPath`, also where that slab prints and why.
/// Returns the exit code: 1 when the slab cannot be read or has nowhere to print.
int RunPrinters(const TDriverEnvironment& environment, const std::string& slabPath, std::ostream& out,
                std::ostream& err);

}  // namespace slabrip
