#include "cli/render_slab_command.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "cli/command_errors.h"

namespace slabrip {

int RunRenderSlab(const TRenderSlabOptions& options, std::ostream& out, std::ostream& err) {
  return ReportErrors(err, options.Slab, [&] {
    const TRenderedSlab slab = RenderSlabFiles(options);
    fmt::print(out, "{}: {} x {} pixels in {} bands\n", options.Slab, slab.Width, slab.Height, slab.Bands);
    return 0;
  });
}

}  // namespace slabrip
