#include "cli/info_command.h"

#include "cli/command_errors.h"
#include "driver/slab_info.h"

namespace slabrip {

int RunInfo(const std::string& slabPath, const TDriverEnvironment& environment, std::ostream& out,
            std::ostream& err) {
  return ReportErrors(err, "", [&] {
    WriteSlabInfo(slabPath, environment, out);
    return 0;
  });
}

}  // namespace slabrip
