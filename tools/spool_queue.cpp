#include "spool_queue.h"

#include <fmt/format.h>

#include <algorithm>

#include "jobs/rip_slab.h"

namespace slabrip {

namespace {

std::vector<std::optional<TFileStamp>> PartStamps(const TSlabFile& file, const TRipSlab& slab) {
  std::vector<std::optional<TFileStamp>> parts{file.Stamp};
  for (std::size_t i = 0; i < slab.JobCount(); ++i) {
    const auto job = slab.Job(static_cast<std::int64_t>(i));
    parts.push_back(job ? StampOf(job->FileName) : std::nullopt);
  }
  return parts;
}

}  // namespace

std::optional<TQueuedSlab> TSpoolQueue::Next(TClock::time_point now) {
  const std::vector<TSlabFile> files = Folder_.List();
  std::erase_if(Tracked_, [&](const auto& entry) {
    return std::none_of(files.begin(), files.end(),
                        [&](const TSlabFile& file) { return file.Path == entry.first; });
  });
  for (const TSlabFile& file : files) {
    const auto known = Tracked_.find(file.Path);
    if (known != Tracked_.end() && known->second.Dealt && known->second.Parts.front() == file.Stamp) continue;
    const auto slab = MakeRef<TRipSlab>();
    const bool loaded = slab->LoadFromFile(file.Path);
    auto parts = PartStamps(file, *slab);
    TTracked& tracked = Tracked_[file.Path];
    if (known == Tracked_.end() || tracked.Dealt || parts != tracked.Parts)
      tracked = {std::move(parts), now, false};
    // A file still being copied keeps changing; it is read once it has stood still.
    if (now - tracked.Since < Settle_) continue;
    tracked.Dealt = true;
    if (auto queued = Decide(file, *slab, loaded)) return queued;
  }
  return std::nullopt;
}

TSpoolQueue::TClock::time_point TSpoolQueue::NextSettle() const {
  auto next = TClock::time_point::max();
  for (const auto& [path, tracked] : Tracked_) {
    if (!tracked.Dealt) next = std::min(next, tracked.Since + Settle_);
  }
  return next;
}

std::optional<TQueuedSlab> TSpoolQueue::Decide(const TSlabFile& file, const TRipSlab& slab, bool loaded) {
  const int status = StatusCode(slab.RipStatus);
  // Printed, stopped, the host's own codes, or never queued.
  if (status > StatusCode(TRipStatus::kPrinting) || (loaded && status == 0)) return std::nullopt;
  const auto last = Journal_.Last(file.Path, slab.SlabID);
  // Dealt with before, and not changed since: a failed print is not tried again until someone queues it anew.
  if (last && last->Ended && last->Stamp == file.Stamp) return std::nullopt;
  if (!loaded) {
    std::string problems;
    for (const std::string& problem : slab.Problems()) problems += (problems.empty() ? "" : "; ") + problem;
    Report_(file.Path, "unreadable", fmt::format("{}: not printed: {}", file.Path, problems));
    Journal_.Ended(file.Path, slab.SlabID, file.Stamp, "unreadable");
    return std::nullopt;
  }
  if (last && !last->Ended && slab.RipStatus == TRipStatus::kPrinting) {
    Report_(file.Path, "interrupted",
            fmt::format("{}: was being printed when the spooler stopped; not printed again: check what the "
                        "printer got, then set its RipStatus to 1 to 4 to print it again",
                        file.Path));
    Journal_.Ended(file.Path, slab.SlabID, file.Stamp, "interrupted");
    return std::nullopt;
  }
  return TQueuedSlab{file.Path, file.Stamp, slab.SlabID, slab.CustomHostHwnd, slab.Jobname};
}

}  // namespace slabrip
