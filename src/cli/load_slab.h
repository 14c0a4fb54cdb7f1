// Loading the slab a command names, with the reasons when it fails.
#pragma once

#include <ostream>
#include <string>

#include "jobs/rip_slab.h"

namespace slabrip {

/// The loaded slab, or null after writing why it did not load to `err`.
TRef<TRipSlab> LoadSlabOrReport(const std::string& path, std::ostream& err);

}  // namespace slabrip
