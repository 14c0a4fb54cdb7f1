// `slabrip render-document`: one document drawn at a resolution into a PNG, band by band.
#pragma once

#include <ostream>

#include "proof/render_files.h"

namespace slabrip {

/// Returns the exit code; reasons go to `err`.
int RunRenderDocument(const TRenderDocumentOptions& options, std::ostream& out, std::ostream& err);

}  // namespace slabrip
