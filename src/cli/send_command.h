// `slabrip send FILE.prn`: printer data kept by `print --keep` sent to a CUPS queue again.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

struct TSendCommandOptions {
  std::string File;
  std::string Queue;  // found as a slab's printer name finds its queue; empty for the default queue
};

/// Reads the whole file first and sends nothing unless it is one complete
/// job; then streams it raw to the queue. 0 only when the queue took the
/// job; the summary goes to `out`, progress and reasons to `err`.
int RunSend(const TSendCommandOptions& options, std::ostream& out, std::ostream& err, bool interactive);

}  // namespace slabrip
