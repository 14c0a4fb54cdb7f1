#include "cli/render_command.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "cli/command_errors.h"

namespace slabrip {

int RunRenderDocument(const TRenderDocumentOptions& options, std::ostream& out, std::ostream& err) {
  if (!(options.Dpi >= 1 && options.Dpi <= 4800)) {
    fmt::print(err, "--dpi must lie between 1 and 4800\n");
    return 2;
  }
  return ReportErrors(err, options.Document, [&] {
    const TPictureSize size = RenderDocumentFiles(options);
    fmt::print(out, "{}: {} x {} pixels at {} dpi\n", options.Output, size.Width, size.Height, options.Dpi);
    return 0;
  });
}

}  // namespace slabrip
