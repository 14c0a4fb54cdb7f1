// One "Print Now": the output opened, the HP job started, every row printed,
// the job ended, the output put in place and the slab's status written, with
// progress to the host and to the window or terminal that listens.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "driver/host_channel.h"
#include "driver/ink_use.h"
#include "engine/output_sink.h"
#include "engine/rip_engine.h"
#include "hpraster/hp_raster_job.h"

namespace slabrip {

/// What the operator chose for one print; fixed once the print begins.
struct TPrintOptions {
  THPJobSettings Job;
  /// "Test Output": the printer data goes into TestOutputFile, whatever the slab's status.
  bool TestOutput = false;
  std::string TestOutputFile;
  /// A copy of the printer data, put in place once the job went; empty for none.
  std::string KeepFile;
  /// The suite's data folder on this machine, for print files named under the Windows one.
  std::string DataFolder;
  /// Rows per band; 0 for the engine's own rule.
  std::int32_t BandRows = 0;
  /// 1: every stage on the calling thread; more: drawing and dithering on
  /// threads of their own; 0: UsableCores. The printer data is the same.
  int Threads = 0;
  /// The whole run with the printer data dropped: no file, no queue, and the
  /// slab file and the host left as they were; for the ink estimate.
  bool Estimate = false;
};

/// How far a print is, as reported at the start, about once a second and at the end.
struct TPrintProgress {
  std::uint8_t Kind = TProgressRecord::kStarted;
  std::int32_t RipCurrRow = 0;
  std::int32_t RipHeight = 0;
  std::int64_t Bytes = 0;  // printer data delivered so far
  double Done = 0;         // 0..1 of the rows
};

/// What one run did: never figures an earlier print left in the slab.
struct TPrintOutcome {
  /// The output opened and the job started, so the slab's status was written.
  bool Began = false;
  bool Aborted = false;
  TRipStatus Status = TRipStatus::kNone;  // the slab's status after the run
  std::int32_t RowsSent = 0;
  std::int64_t Bytes = 0;   // printer data delivered
  std::string Destination;  // the file or queue
  std::string Error;        // why the slab was not printed, or its status not written
  double Seconds = 0;
  TInkReport Inks;  // of a print that sent every row

  bool Printed() const { return Status == TRipStatus::kPrinted && Error.empty(); }
};

/// Whoever shows the print to the operator.
class TPrintListener {
 public:
  virtual ~TPrintListener() = default;
  /// Called before every render row: the operator's input, Abort among it, is taken here.
  virtual void ProcessEvents() = 0;
  virtual void Progress(const TPrintProgress& progress) = 0;
  /// Something the operator should know that does not stop the print.
  virtual void Note(const std::string& text) = 0;
};

/// Where a slab's print goes by its status, and why, for the operator.
struct TSlabDestination {
  bool ToQueue = false;
  std::string PrintFile;  // on this machine
  int QueueIndex = -1;    // in QueueNames(); -1 for the default queue
  std::string Queue;      // empty when CUPS names none
  std::string Why;
};

/// Status 1 or 3: the print file (see LocalFileForSlab). Status 2 or 4: the
/// CUPS queue the printer data snapshot's printer name matches, unless its
/// port is "CustomPort" or it has none; else the default queue. Throws
/// TError saying why for any other status or a print file not named.
TSlabDestination SlabDestination(const TRipSlab& slab, const std::string& dataFolder);

/// The progress record of the slab as it stands.
TProgressRecord ProgressRecordOf(const TRipSlab& slab, std::uint8_t kind);

class TPrintRun {
 public:
  /// The engine holds a loaded slab with its inks prepared; `library` is loaded.
  TPrintRun(TRipEngine& engine, const THPDJEntries& library, THostChannel& host, TPrintOptions options,
            TPrintListener& listener);

  /// Prints the slab once. Failures are not thrown: they end in the outcome's
  /// Error, with status 8 once printing began; the output is put in place
  /// only when every row went and the job ended.
  TPrintOutcome Run();

  /// The print stops before the next render row.
  void RequestAbort() { AbortRequested_ = true; }
  bool AbortRequested() const { return AbortRequested_; }

  /// Printer rows first..last (inclusive) that render row y of `renderHeight` maps to.
  static std::pair<std::int32_t, std::int32_t> PrinterRows(std::int32_t y, std::int32_t renderHeight,
                                                           std::int32_t ripHeight);

 private:
  /// The destination, teed into the keep file when there is one.
  std::unique_ptr<TOutputSink> OpenOutput();
  std::unique_ptr<TOutputSink> OpenDestination();
  /// True when every render row was printed, false after an abort.
  bool PrintRows(THPRasterJob& job, TPrintOutcome& outcome);
  void Report(std::uint8_t kind);

  TRipEngine& Engine_;
  const TRef<TRipSlab> Slab_;
  const THPDJEntries& Library_;
  THostChannel& Host_;
  const TPrintOptions Options_;
  TPrintListener& Listener_;
  std::unique_ptr<TOutputSink> Output_;
  bool AbortRequested_ = false;
};

}  // namespace slabrip
