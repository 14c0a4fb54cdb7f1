// Which slab of the watched folder prints next: the oldest one queued (RipStatus
// 1 to 4) whose file and job files have stopped changing, and that the
// journal does not show as dealt with already.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "spool_folder.h"
#include "spool_journal.h"

namespace slabrip {

class TRipSlab;

struct TQueuedSlab {
  std::string Path;
  TFileStamp Stamp;
  std::int64_t SlabID = 0;
  std::int32_t CustomHostHwnd = 0;
  std::string Jobname;
};

class TSpoolQueue {
 public:
  using TClock = std::chrono::steady_clock;
  /// Told of each slab passed over with a reason: its path, a one-word state, the log line.
  using TReport = std::function<void(const std::string&, const std::string&, const std::string&)>;

  TSpoolQueue(const TSpoolFolder& folder, TSpoolJournal& journal, std::chrono::milliseconds settle,
              TReport report)
      : Folder_(folder), Journal_(journal), Settle_(settle), Report_(std::move(report)) {}

  /// Looks at every slab not dealt with since it last changed; reports those
  /// that cannot print and returns the first settled one to print.
  std::optional<TQueuedSlab> Next(TClock::time_point now);
  /// When a slab still settling is to be looked at again; max() when none.
  TClock::time_point NextSettle() const;

 private:
  struct TTracked {
    std::vector<std::optional<TFileStamp>> Parts;  // the slab file, then each job file (none: missing)
    TClock::time_point Since;                      // when Parts last changed
    bool Dealt = false;  // settled and decided on; looked at again once the slab changes
  };

  std::optional<TQueuedSlab> Decide(const TSlabFile& file, const TRipSlab& slab, bool loaded);

  const TSpoolFolder& Folder_;
  TSpoolJournal& Journal_;
  std::chrono::milliseconds Settle_;
  TReport Report_;
  std::map<std::string, TTracked> Tracked_;
};

}  // namespace slabrip
