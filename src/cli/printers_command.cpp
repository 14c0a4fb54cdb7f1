#include "cli/printers_command.h"

#include "cli/command_errors.h"
#include "driver/driver.h"
#include "driver/printer_report.h"

namespace slabrip {

int RunPrinters(const TDriverEnvironment& environment, const std::string& slabPath, std::ostream& out,
                std::ostream& err) {
  WriteQueues(out);
  if (slabPath.empty()) return 0;
  return ReportErrors(err, "",
                      [&] { return WriteSlabDestination(slabPath, environment.DataFolder, out) ? 0 : 1; });
}

}  // namespace slabrip
