// A slab: one print sheet with its jobs, placements, resolutions and status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ref_obj.h"
#include "jobs/rip_job.h"
#include "jobs/rip_job_pos.h"
#include "jobs/rip_status.h"

namespace slabrip {

class TqlInifile;

/// The slab file in memory. Keys missing from the file keep the field's
/// current value; a fresh slab has zero, empty and false everywhere.
class TRipSlab : public TRefObj {
 public:
  /// More job entries than this reads none.
  static constexpr std::int32_t kMaxJobCount = 999;
  /// More placements than this reads none.
  static constexpr std::int32_t kMaxPlacementCount = 9999;

  /// Reads the slab and every job file it names. True when at least one job
  /// loaded and at least one placement is present; Problems() tells what
  /// was skipped or why the load failed.
  bool LoadFromFile(const std::string& path);

  /// Reads every loaded job's document and cut path and builds its correction table.
  void CompleteJobs();

  /// Writes the status keys into [Info] of the slab file, keeping everything
  /// else, through a temporary file renamed over the slab. Does nothing when
  /// the slab file is gone; throws TError naming the file when it cannot be written.
  void SaveStatus() const;

  /// RipProgress from RipCurrRow / RipHeight, SendProgress from the byte counts.
  void UpdateProgress();

  /// The loaded job at `index`, or a null handle outside the list or for a
  /// job that did not load (it keeps its place, so the others keep theirs).
  TRef<TRipfileData> Job(std::int64_t index) const { return Jobs.Item(index); }
  /// The jobs the slab names, loaded or not.
  std::size_t JobCount() const { return Jobs.Count(); }
  std::size_t LoadedJobCount() const;

  /// The value of `key` (any case) on the first line of the printer-data
  /// snapshot that sets it, in whatever section of it; empty without one.
  std::string PrinterDataValue(std::string_view key) const;

  /// What the last load skipped or why it failed, one line each.
  const std::vector<std::string>& Problems() const { return Problems_; }

  std::vector<TRipJobPos> Placements;
  TReleaseList<TRipfileData> Jobs;  // in file order; null where a job did not load
  /// Lines of [SnapShot_PrinterData] and [SnapShot_MediaPreset] with '<' read as '['.
  std::optional<std::vector<std::string>> PrinterDataSnapshot;
  std::optional<std::vector<std::string>> MediaPresetSnapshot;
  // Most of these are keys of [Info]; what each means and how the file holds it: kInfoKeys in rip_slab.cpp.
  std::int32_t CustomHostHwnd = 0;
  std::string FileName;
  std::string PrevFilename;
  std::string PrnFilename;
  std::string Jobname;
  std::string Printer;
  std::string PrintMode;
  std::int32_t Zorder = 0;
  std::int64_t SlabID = 0;
  float MediaWidth = 0;
  float MediaHeight = 0;
  float XDPI = 0;
  float YDpi = 0;
  float RenderDPI = 0;
  std::int32_t PrintMethod = 0;
  std::int32_t AlignMarks = 0;
  std::string AlignMarkCmd;
  std::int32_t AlignPosRot90 = 0;
  float AlignPosMinY = 0;
  float AlignPosMinX = 0;
  float AlignPosMaxX = 0;
  float AlignPosMaxY = 0;
  TRipStatus RipStatus = TRipStatus::kNone;
  std::int32_t RipWidth = 0;
  std::int32_t RipHeight = 0;
  std::int32_t RenderWidth = 0;
  std::int32_t RenderHeight = 0;
  std::int64_t CurrPrnSize = 0;
  std::int64_t SentPrnSize = 0;
  std::int32_t RipCurrRow = 0;
  float SendProgress = 0;
  float RipProgress = 0;
  bool UseAutoCrop = false;

 private:
  // A count in the file, and what the problem says when it is over its limit.
  struct TCountKey {
    const char* Section;
    const char* Key;
    const char* Name;
    std::int32_t Limit;
    const char* None;
  };

  void ReadInfo(const TqlInifile& ini);
  /// The count, or 0 with a problem when it is over its limit; never negative.
  std::int32_t ReadCount(const TqlInifile& ini, const TCountKey& key);
  void ReadJobs(const TqlInifile& ini);
  void ReadPlacements(const TqlInifile& ini);

  std::vector<std::string> Problems_;
};

}  // namespace slabrip
