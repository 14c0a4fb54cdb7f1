// What the spooler started and how each print ended, kept across restarts so
// that no slab prints twice and one left mid-print by a crash is noticed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "spool_folder.h"

namespace slabrip {

struct TJournalEntry {
  bool Ended = false;  // false: started, no end written
  TFileStamp Stamp;    // the slab file as it was when the line was written
  std::string Outcome;
};

/// An append-only text file, one line per event: time, "started" or "ended",
/// mtime, size, slab id, outcome, path (tab-separated, the path last).
class TSpoolJournal {
 public:
  /// Reads the journal at `path`, creating its folder; throws TError naming
  /// the file when it cannot be read or written.
  explicit TSpoolJournal(std::string path);

  /// The last event of the slab at `slab` with id `slabId`.
  std::optional<TJournalEntry> Last(const std::string& slab, std::int64_t slabId) const;
  void Started(const std::string& slab, std::int64_t slabId, const TFileStamp& stamp);
  void Ended(const std::string& slab, std::int64_t slabId, const TFileStamp& stamp,
             const std::string& outcome);
  const std::string& Path() const { return Path_; }

 private:
  void Append(const std::string& slab, std::int64_t slabId, const TJournalEntry& entry);

  std::string Path_;
  std::map<std::pair<std::string, std::int64_t>, TJournalEntry> Last_;
};

}  // namespace slabrip
