// Slabs and documents drawn into picture files: the rendered colours, the
// spot map, the ink soft proof and the slab's preview.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ref_obj.h"
#include "base/sys_paths.h"

namespace slabrip {

class TRipEngine;

/// An engine of its own with the slab loaded and prepared for its rows.
/// Throws TError "Unable to open RIP File" when the slab cannot be read, and
/// what PrepareForSlab throws for the rest.
TRef<TRipEngine> EngineForSlab(const std::string& slab, const std::string& iccFolder, std::int32_t bandRows);

/// What `slabrip render SLAB` writes.
struct TRenderSlabOptions {
  std::string Slab;
  TFolderChoice Icc;          // from the options or the suite; else ICC beside the slab
  std::string Output;         // the rendered colours, PNG
  std::string SpotMapOutput;  // optional: spot channels, 16-bit grey PNG
  std::string InksOutput;     // optional: a soft proof of the ink values, PNG
  std::string PreviewOutput;  // optional: a JPEG at most 1000 pixels long, as the slab's preview
  std::int32_t BandRows = 0;  // rows per band, 0 for the engine's rule
  int Threads = 0;            // above 1: drawing overlaps writing; 0: the usable cores
};

/// What was drawn.
struct TRenderedSlab {
  int Width = 0;  // render pixels
  int Height = 0;
  std::int64_t Bands = 0;
};

/// Prepares the slab as the engine prints it and writes every picture the
/// options name (empty names are skipped), each put in place only when it is
/// whole. Throws TError: "Unable to open RIP File", why the colour tables or
/// buffers cannot be made, or why a file cannot be written.
TRenderedSlab RenderSlabFiles(const TRenderSlabOptions& options);

/// What `slabrip render-document` writes.
struct TRenderDocumentOptions {
  std::string Document;
  double Dpi = 150;
  std::string Output;
  std::string SpotMapOutput;     // optional: the spot channel of every pixel, 16-bit grey
  std::vector<int> SpotColours;  // colour table indices drawn as spot inks, channels 2, 3, ...
};

/// A picture's size in pixels.
struct TPictureSize {
  int Width = 0;
  int Height = 0;
};

/// Reads the document and draws it band by band into Output (RGBA PNG) and,
/// when named, SpotMapOutput. Throws TError when the document cannot be read
/// or drawn or a file cannot be written.
TPictureSize RenderDocumentFiles(const TRenderDocumentOptions& options);

}  // namespace slabrip
