// `slabrip render SLAB`: the whole slab as the engine prints it, at the render resolution.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "base/sys_paths.h"

namespace slabrip {

struct TRenderSlabOptions {
  std::string Slab;
  TFolderChoice Icc;          // from the options or the suite; else ICC beside the slab
  std::string Output;         // the rendered colours, PNG
  std::string SpotMapOutput;  // optional: spot channels, 16-bit grey PNG
  std::string InksOutput;     // optional: a soft proof of the ink values, PNG
  std::string PreviewOutput;  // optional: a JPEG at most 1000 pixels long, as the slab's preview
  std::int32_t BandRows = 0;  // rows per band, 0 for the engine's rule
};

/// Returns the exit code; progress goes to `out`, reasons to `err`.
int RunRenderSlab(const TRenderSlabOptions& options, std::ostream& out, std::ostream& err);

}  // namespace slabrip
