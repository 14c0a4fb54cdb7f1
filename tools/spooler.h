// rip-manager --watch: prints the slabs queued in a folder with slabrip, one
// at a time in the order they arrived, and shows their progress.
#pragma once

#include <string>

#include "spool_print.h"

namespace slabrip {

struct TSpoolOptions {
  std::string Folder;
  std::string Log;
  std::string Journal;
  TPrintCommand Print;  // its RuntimeDir is the spooler's own
  int SettleMs = 2000;
  int RescanMs = 3000;
};

/// A file of the spooler's state: $XDG_STATE_HOME/slabrip/NAME (~/.local/state without it).
std::string SpoolStateFile(const std::string& name);

/// Spools until SIGTERM or SIGINT, then lets the slab printing finish; the exit code.
int RunSpooler(const TSpoolOptions& options);

}  // namespace slabrip
