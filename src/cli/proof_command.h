// `slabrip proof SLAB --out PNG`: the slab as its dithered inks lay down.
#pragma once

#include <ostream>
#include <string>

#include "base/sys_paths.h"

namespace slabrip {

struct TProofCommandOptions {
  std::string Slab;
  TFolderChoice Icc;  // from the options or the suite; else ICC beside the slab
  std::string Output;
  int Width = 1000;           // pixels, at most the printer raster's
  std::int32_t BandRows = 0;  // rows per band, 0 for the engine's rule
  int Threads = 0;            // 0: the cores the process may use
};

/// Writes the PNG only when the proof is whole; a progress bar and Ctrl-C
/// (nothing written) on `err`. Returns the exit code.
int RunProof(const TProofCommandOptions& options, std::ostream& out, std::ostream& err, bool interactive);

}  // namespace slabrip
