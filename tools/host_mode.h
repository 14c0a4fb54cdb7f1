// rip-manager as a stand-in for the host program that queued the slab: prints
// each progress record the driver sends as one line and answers it with one
// byte, late or never when asked to.
#pragma once

#include <string>

namespace slabrip {

struct THostOptions {
  std::string Socket;
  bool NoReply = false;
  int ReplyDelayMs = 0;
  long Count = 0;  // 0: until stopped
};

/// Serves until SIGINT or SIGTERM, or until the counted records are read and
/// answered; the exit code.
int RunHost(const THostOptions& options);

}  // namespace slabrip
