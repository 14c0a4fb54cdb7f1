#include "driver/print_run.h"

#include "driver/row_pipeline.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>

#include "base/errors.h"
#include "base/rounding.h"
#include "base/sys_paths.h"
#include "base/usable_cores.h"
#include "engine/cups_output.h"

namespace slabrip {
namespace {

using TClock = std::chrono::steady_clock;

// The print loop reports at most this often.
constexpr auto kReportInterval = std::chrono::seconds(1);

// The slab's fields a print writes; an estimate puts them back.
struct TSlabProgress {
  TRipStatus RipStatus;
  std::int64_t CurrPrnSize, SentPrnSize;
  std::int32_t RipCurrRow;
  float SendProgress, RipProgress;

  static TSlabProgress Of(const TRipSlab& slab) {
    return {slab.RipStatus,  slab.CurrPrnSize,  slab.SentPrnSize,
            slab.RipCurrRow, slab.SendProgress, slab.RipProgress};
  }
  void RestoreTo(TRipSlab& slab) const {
    slab.RipStatus = RipStatus;
    slab.CurrPrnSize = CurrPrnSize;
    slab.SentPrnSize = SentPrnSize;
    slab.RipCurrRow = RipCurrRow;
    slab.SendProgress = SendProgress;
    slab.RipProgress = RipProgress;
  }
};

}  // namespace

TProgressRecord ProgressRecordOf(const TRipSlab& slab, std::uint8_t kind) {
  TProgressRecord record;
  record.SlabID = slab.SlabID;
  record.Kind = kind;
  record.RipStatus = slab.RipStatus;
  record.RipHeight = slab.RipHeight;
  record.RipCurrRow = slab.RipCurrRow;
  record.CurrPrnSize = slab.CurrPrnSize;
  record.SentPrnSize = slab.SentPrnSize;
  return record;
}

TPrintRun::TPrintRun(TRipEngine& engine, const THPDJEntries& library, THostChannel& host,
                     TPrintOptions options, TPrintListener& listener)
    : Engine_(engine),
      Slab_(engine.Slab()),
      Library_(library),
      Host_(host),
      Options_(std::move(options)),
      Listener_(listener) {}

std::pair<std::int32_t, std::int32_t> TPrintRun::PrinterRows(std::int32_t y, std::int32_t renderHeight,
                                                             std::int32_t ripHeight) {
  // One division each, so that exact halves stay halves: 7 * 29 / 14 is 14.5, which goes to 14.
  const auto rowAt = [&](double renderRow) {
    return static_cast<std::int32_t>(RoundHalfEven(renderRow * ripHeight / renderHeight));
  };
  return {rowAt(y), rowAt(static_cast<double>(y) + 1) - 1};
}

TPrintOutcome TPrintRun::Run() {
  const auto start = TClock::now();
  TPrintOutcome outcome;
  outcome.Status = Slab_->RipStatus;
  THPRasterJob job(Library_, Options_.Job,
                   [this](const std::uint8_t* data, std::size_t count) { Output_->Write(data, count); });
  job.SetSlab(Slab_);
  try {
    Engine_.PrepareBuffers(Options_.BandRows);
    Output_ = OpenOutput();
    outcome.Destination = Output_->Destination();
    job.StartHPJob();
  } catch (const std::exception& e) {
    // Nothing was printed: the slab keeps its status and the output what it had.
    outcome.Error = e.what();
    try {
      job.EndHPJob();
    } catch (const std::exception&) {
      // The start's own error is the one that tells why.
    }
    Output_.reset();
    outcome.Seconds = std::chrono::duration<double>(TClock::now() - start).count();
    return outcome;
  }

  outcome.Began = true;
  const TSlabProgress before = TSlabProgress::Of(*Slab_);
  Slab_->RipStatus = TRipStatus::kPrinting;
  Slab_->CurrPrnSize = 0;
  Slab_->SentPrnSize = 0;
  Slab_->RipCurrRow = 0;
  // The file says 4 while printing, so a print cut short by a crash is not
  // taken for a slab still queued; a slab that cannot be written is told by
  // the save at the end.
  try {
    if (!Options_.Estimate) Slab_->SaveStatus();
  } catch (const std::exception&) {
  }
  bool complete = false;
  try {
    Report(TProgressRecord::kStarted);
    complete = PrintRows(job, outcome);
  } catch (const std::exception& e) {
    outcome.Error = e.what();
  }
  try {
    // Also after a failure or an abort; the library's last data arrives inside the end calls.
    job.EndHPJob();
    complete = complete && outcome.Error.empty();
    if (complete) Output_->Commit();
  } catch (const TCopyError& e) {
    // The job went, so the slab is printed; only the kept copy is missing.
    outcome.Error = e.what();
  } catch (const std::exception& e) {
    complete = false;
    if (outcome.Error.empty()) outcome.Error = e.what();
  }
  if (complete)
    outcome.Inks = InkReportOf(*Engine_.InkRow(), Options_.Job.PrinterModelId, Slab_->XDPI, Slab_->YDpi);
  outcome.Aborted = AbortRequested_;
  outcome.Bytes = Output_->BytesDelivered();
  // Whatever was not committed is dropped here: the old file stays, the queue prints nothing.
  Output_.reset();

  Slab_->CurrPrnSize = outcome.Bytes;
  Slab_->SentPrnSize = outcome.Bytes;
  if (complete) Slab_->RipCurrRow = Slab_->RipHeight;
  Slab_->RipStatus = complete ? TRipStatus::kPrinted : TRipStatus::kStopped;
  outcome.Status = Slab_->RipStatus;
  Listener_.ProcessEvents();
  Report(TProgressRecord::kFinished);
  Listener_.ProcessEvents();
  try {
    if (!Options_.Estimate) Slab_->SaveStatus();
  } catch (const std::exception& e) {
    outcome.Error += (outcome.Error.empty() ? "" : "\n") + std::string(e.what());
  }
  if (Options_.Estimate) before.RestoreTo(*Slab_);
  outcome.Seconds = std::chrono::duration<double>(TClock::now() - start).count();
  return outcome;
}

TSlabDestination SlabDestination(const TRipSlab& slab, const std::string& dataFolder) {
  TSlabDestination to;
  if (GoesToFile(slab.RipStatus)) {
    if (slab.PrnFilename.empty())
      throw TError(slab.FileName + ": the slab names no print file (PrnFilename)");
    to.PrintFile = LocalFileForSlab(slab.PrnFilename, dataFolder, slab.FileName);
    to.Why = to.PrintFile == slab.PrnFilename ? "the print file it names"
                                              : "it names the print file " + slab.PrnFilename;
    return to;
  }
  if (!GoesToPrinter(slab.RipStatus))
    throw TError(fmt::format("Nothing to print to: the slab's RipStatus is {}", StatusCode(slab.RipStatus)));
  to.ToQueue = true;
  const std::vector<TQueueInfo> queues = Queues();
  if (!slab.PrinterDataSnapshot) {
    to.Why = "the slab has no printer data";
  } else if (slab.PrinterDataValue("CurrPort") == "CustomPort") {
    to.Why = "its port is CustomPort";
  } else {
    std::string name = slab.PrinterDataValue("CurrWinPrn");
    if (name.empty()) name = "OrvenexRIP";
    const TQueueMatch match = MatchQueue(queues, name);
    if (match.Index >= 0) {
      to.QueueIndex = match.Index;
      to.Queue = queues[static_cast<std::size_t>(match.Index)].Name;
      to.Why = fmt::format("its printer \"{}\" matches the queue {}", name, match.How);
      return to;
    }
    to.Why = fmt::format("no CUPS queue matches its printer \"{}\"", name);
  }
  const auto byDefault = std::ranges::find_if(queues, &TQueueInfo::IsDefault);
  if (byDefault != queues.end()) {
    to.Queue = byDefault->Name;
    to.Why += ", so the default queue " + to.Queue;
  } else {
    to.Why += ", and CUPS has no default queue";
  }
  return to;
}

std::unique_ptr<TOutputSink> TPrintRun::OpenOutput() {
  if (Options_.Estimate) return OpenNoOutput();
  // The copy first: one that cannot be kept stops the print before a queue hears of it.
  std::unique_ptr<TOutputSink> keep = Options_.KeepFile.empty() ? nullptr : OpenFileOutput(Options_.KeepFile);
  std::unique_ptr<TOutputSink> output = OpenDestination();
  return keep ? TeeOutput(std::move(output), std::move(keep)) : std::move(output);
}

std::unique_ptr<TOutputSink> TPrintRun::OpenDestination() {
  if (Options_.TestOutput) return OpenFileOutput(Options_.TestOutputFile);
  const TSlabDestination to = SlabDestination(*Slab_, Options_.DataFolder);
  if (!to.ToQueue) {
    if (to.PrintFile != Slab_->PrnFilename)
      Listener_.Note(fmt::format("{}: {}: printing to {}", Slab_->FileName, to.Why, to.PrintFile));
    return OpenFileOutput(to.PrintFile);
  }
  if (to.QueueIndex < 0) {
    Listener_.Note(fmt::format("{}: {}", Slab_->FileName, to.Why));
  } else {
    // The queue's port is a device URI; the slab names a Windows port.
    const std::string port = Slab_->PrinterDataValue("CurrPort");
    const std::string uri = DeviceUriForPort(port);
    if (GetPrinterPort(to.Queue) != (uri.empty() ? port : uri)) {
      if (const std::string note = SetPrinterPort(to.Queue, port); !note.empty()) Listener_.Note(note);
    }
  }
  return OpenPrinterOutput(to.QueueIndex, Slab_->Jobname);
}

bool TPrintRun::PrintRows(THPRasterJob& job, TPrintOutcome& outcome) {
  THPRasterJob::ConfigurePlanes(*Engine_.InkRow());
  auto deadline = TClock::now() + kReportInterval;
  TRowPipeline rows(Engine_, Slab_->RipHeight, THPRasterJob::kPlaneCount, ThreadsOrCores(Options_.Threads));
  std::int32_t renderRow = -1;
  TRowPipeline::TRow row;
  while (rows.Next(row)) {
    if (row.RenderRow != renderRow) {
      renderRow = row.RenderRow;
      Listener_.ProcessEvents();
      if (AbortRequested_) return false;
      if (TClock::now() > deadline) {
        Report(TProgressRecord::kRunning);
        deadline = TClock::now() + kReportInterval;
      }
    }
    try {
      job.SendPlanes(row.Planes);
    } catch (const TError& e) {
      throw TError(fmt::format("{}: printing stopped at printer row {} of {}: {}", Slab_->FileName,
                               row.PrinterRow, Slab_->RipHeight, e.what()));
    }
    Slab_->RipCurrRow = row.PrinterRow;
    ++outcome.RowsSent;
  }
  return true;
}

void TPrintRun::Report(std::uint8_t kind) {
  if (Output_) {
    Slab_->CurrPrnSize = Output_->BytesDelivered();
    Slab_->SentPrnSize = Slab_->CurrPrnSize;
  }
  Slab_->UpdateProgress();
  Listener_.Progress({.Kind = kind,
                      .RipCurrRow = Slab_->RipCurrRow,
                      .RipHeight = Slab_->RipHeight,
                      .Bytes = Slab_->CurrPrnSize,
                      .Done = Slab_->RipProgress});
  if (Options_.Estimate || !Host_.Find(Slab_->CustomHostHwnd)) return;
  const TProgressRecord record = ProgressRecordOf(*Slab_, kind);
  // Only the last record is waited for, and only by a host that answers.
  if (kind == TProgressRecord::kFinished)
    Host_.Send(record);
  else
    Host_.Post(record);
}

}  // namespace slabrip
