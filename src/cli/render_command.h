// `slabrip render-document`: one document drawn at a resolution into a PNG, band by band.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace slabrip {

struct TRenderDocumentOptions {
  std::string Document;
  double Dpi = 150;
  std::string Output;
  std::string SpotMapOutput;     // optional: the spot channel of every pixel, 16-bit grey
  std::vector<int> SpotColours;  // colour table indices drawn as spot inks, channels 2, 3, ...
};

/// Returns the exit code; reasons go to `err`.
int RunRenderDocument(const TRenderDocumentOptions& options, std::ostream& out, std::ostream& err);

}  // namespace slabrip
