#include "driver/printer_report.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "base/errors.h"
#include "driver/print_run.h"
#include "engine/cups_output.h"
#include "jobs/rip_slab.h"

namespace slabrip {

void WriteQueues(std::ostream& out) {
  const std::vector<TQueueInfo> queues = Queues();
  fmt::print(out, "CUPS server: {}\n", CupsServerName());
  fmt::print(out, "Queues ({}):\n", queues.size());
  for (const TQueueInfo& queue : queues) {
    fmt::print(out, "{} {}  device {}{}{}\n", queue.IsDefault ? '*' : ' ', queue.Name,
               queue.DeviceUri.empty() ? "(none)" : queue.DeviceUri,
               queue.Description.empty() || queue.Description == queue.Name
                   ? ""
                   : fmt::format("  description \"{}\"", queue.Description),
               queue.IsDefault ? "  (default)" : "");
  }
}

bool WriteSlabDestination(const std::string& slabPath, const std::string& dataFolder, std::ostream& out) {
  auto slab = MakeRef<TRipSlab>();
  if (!slab->LoadFromFile(slabPath)) {
    std::string message = "Unable to open RIP File\n" + slabPath;
    for (const std::string& problem : slab->Problems()) message += "\n  " + problem;
    throw TError(message);
  }
  TSlabDestination to;
  try {
    to = SlabDestination(*slab, dataFolder);
  } catch (const TError& e) {
    throw TError(slabPath + ": " + e.what());
  }
  if (!to.ToQueue)
    fmt::print(out, "{} prints to the file {}: {}\n", slabPath, to.PrintFile, to.Why);
  else if (to.Queue.empty())
    fmt::print(out, "{} prints to no queue: {}\n", slabPath, to.Why);
  else
    fmt::print(out, "{} prints to the queue {}: {}\n", slabPath, to.Queue, to.Why);
  return !(to.ToQueue && to.Queue.empty());
}

}  // namespace slabrip
