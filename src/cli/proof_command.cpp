#include "cli/proof_command.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <chrono>

#include "cli/command_errors.h"
#include "cli/terminal_ui.h"
#include "driver/ink_proof.h"
#include "raster/png_writer.h"

namespace slabrip {

int RunProof(const TProofCommandOptions& options, std::ostream& out, std::ostream& err, bool interactive) {
  return ReportErrors(err, options.Slab, [&] {
    TTerminalUi ui(err, interactive);
    auto next = std::chrono::steady_clock::now();
    const std::optional<TSlabProof> proof = MakeSlabProof(
        {.Slab = options.Slab,
         .IccFolder = FolderForSlab(options.Icc, options.Slab, "ICC").Folder,
         .PrinterModelId = {},
         .BandRows = options.BandRows,
         .Threads = options.Threads,
         .Width = options.Width},
        [&](double done) {
          ui.ProcessEvents();
          if (ui.Interrupted()) return false;
          if (std::chrono::steady_clock::now() >= next || done == 1) {
            ui.ShowProgress(done, fmt::format("proof {:.0f}%", done * 100));
            next = std::chrono::steady_clock::now() + std::chrono::milliseconds(interactive ? 200 : 1000);
          }
          return true;
        });
    ui.EndProgress();
    if (!proof) throw TError("aborted: " + options.Output + " is left as it was");
    const TBitmap32& picture = proof->Picture;
    TPngFile png(options.Output, picture.Width(), picture.Height(), TPngWriter::TKind::kRgba);
    for (int y = 0; y < picture.Height(); ++y) png.WriteRow(picture.Row(y));
    png.Commit();
    fmt::print(out, "{}: ink proof of {} x {} pixels in {}\n", options.Slab, picture.Width(),
               picture.Height(), options.Output);
    return 0;
  });
}

}  // namespace slabrip
