// `slabrip render SLAB`: the whole slab as the engine prints it, at the render resolution.
#pragma once

#include <ostream>

#include "proof/render_files.h"

namespace slabrip {

/// Returns the exit code; progress goes to `out`, reasons to `err`.
int RunRenderSlab(const TRenderSlabOptions& options, std::ostream& out, std::ostream& err);

}  // namespace slabrip
