#include "cli/printers_command.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "base/errors.h"
#include "driver/driver.h"
#include "driver/print_run.h"
#include "engine/cups_output.h"
#include "jobs/rip_slab.h"

namespace slabrip {

int RunPrinters(const TDriverEnvironment& environment, const std::string& slabPath, std::ostream& out,
                std::ostream& err) {
  const std::vector<TQueueInfo> queues = Queues();
  fmt::print(out, "CUPS server: {}\n", CupsServerName());
  fmt::print(out, "Queues ({}):\n", queues.size());
  for (const TQueueInfo& queue : queues) {
    fmt::print(out, "{} {}  device {}{}{}\n", queue.IsDefault ? '*' : ' ', queue.Name,
               queue.DeviceUri.empty() ? "(none)" : queue.DeviceUri,
               queue.Description.empty() || queue.Description == queue.Name ? "" : fmt::format("  description \"{}\"", queue.Description),
               queue.IsDefault ? "  (default)" : "");
  }
  if (slabPath.empty()) return 0;
  auto slab = MakeRef<TRipSlab>();
  if (!slab->LoadFromFile(slabPath)) {
    fmt::print(err, "Unable to open RIP File\n{}\n", slabPath);
    for (const std::string& problem : slab->Problems()) fmt::print(err, "  {}\n", problem);
    return 1;
  }
  try {
    const TSlabDestination to = SlabDestination(*slab, environment.DataFolder);
    if (!to.ToQueue)
      fmt::print(out, "{} prints to the file {}: {}\n", slabPath, to.PrintFile, to.Why);
    else if (to.Queue.empty())
      fmt::print(out, "{} prints to no queue: {}\n", slabPath, to.Why);
    else
      fmt::print(out, "{} prints to the queue {}: {}\n", slabPath, to.Queue, to.Why);
    return to.ToQueue && to.Queue.empty() ? 1 : 0;
  } catch (const TError& e) {
    fmt::print(err, "{}: {}\n", slabPath, e.what());
    return 1;
  }
}

}  // namespace slabrip
