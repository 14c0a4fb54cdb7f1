#include "cli/print_command.h"

#include <fmt/ostream.h>

#include <memory>

#include "base/date_time.h"
#include "base/errors.h"
#include "base/file_paths.h"
#include "cli/print_report.h"
#include "cli/terminal_ui.h"
#include "driver/driver.h"

namespace slabrip {
namespace {

// Loads the slab the way the window does at start-up; null after saying why not.
bool StartDriver(TDriver& driver, const std::string& slab, const TJobSettingOptions& settings, TTerminalUi& ui,
                 std::ostream& err) {
  if (!FileExists(slab)) {
    fmt::print(err, "error: {}: no such slab file\n", slab);
    return false;
  }
  driver.StartupLoad({slab});
  if (!driver.Slab() || ui.ErrorCount() > 0) return false;
  try {
    settings.ApplyTo(driver);
  } catch (const TError& e) {
    ui.ShowError(e.what());
    return false;
  }
  return true;
}

// A forced print says, even when it went well, that it is not all the slab asked for.
std::string LeftOut(std::size_t problems) {
  if (problems == 0) return {};
  return fmt::format(" without what the {} problem{} above leave out (--force)", problems, problems == 1 ? "" : "s");
}

// The report, when one is asked for; false after saying why it could not be written.
bool WriteReport(TAtomicFileWriter* report, const TRipSlab& slab, const TPrintOutcome& run,
                 const TRunTimes& times, bool estimate, std::ostream& err) {
  if (report == nullptr) return true;
  try {
    report->Write(PrintReportJson(slab, run, times, estimate));
    report->Commit();
    return true;
  } catch (const TError& e) {
    fmt::print(err, "error: {}\n", e.what());
    return false;
  }
}

}  // namespace

int RunPrint(const TDriverEnvironment& environment, const TPrintCommandOptions& options, std::ostream& out,
             std::ostream& err, bool interactive) {
  TTerminalUi ui(err, interactive, options.Force);
  TDriver driver(environment, ui);
  ui.Attach(driver);
  if (!StartDriver(driver, options.Slab, options.Settings, ui, err)) return 1;
  if (!driver.View().PrintNowEnabled) {
    fmt::print(err, "error: {}: the slab cannot be printed\n", options.Slab);
    return 1;
  }
  driver.Controls.TestOutput = !options.TestOutput.empty();
  if (driver.Controls.TestOutput) driver.Controls.TestOutputFile = options.TestOutput;
  driver.Controls.KeepFile = options.Keep;
  driver.Controls.BandRows = options.BandRows;
  driver.Controls.Threads = options.Threads;
  driver.Controls.Estimate = options.Estimate;
  // Made before the print, so a report that cannot be written stops it first.
  std::unique_ptr<TAtomicFileWriter> report;
  try {
    if (!options.Report.empty()) report = std::make_unique<TAtomicFileWriter>(options.Report);
  } catch (const TError& e) {
    fmt::print(err, "error: {}\n", e.what());
    return 1;
  }

  const std::string started = FormatDateTime(NowDateTime());
  driver.PrintNow();
  const TPrintOutcome& run = driver.LastPrint();
  ui.EndProgress();
  const bool reported = WriteReport(report.get(), *driver.Slab(), run,
                                    {started, FormatDateTime(NowDateTime())}, options.Estimate, err);
  if (ui.Interrupted()) fmt::print(err, "Aborted.\n");
  if (!run.Began) {
    fmt::print(err, "{}: nothing was {}\n", options.Slab, options.Estimate ? "estimated" : "printed");
    return 1;
  }
  const std::int32_t height = driver.Slab()->RipHeight;
  const double pixelsPerSecond =
      run.Seconds > 0 ? static_cast<double>(run.RowsSent) * driver.Slab()->RipWidth / run.Seconds / 1e6 : 0.0;
  if (options.Estimate) {
    fmt::print(
        out,
        "{}: the printer data took {:.2f} s to make: {} of {} rows, {} bytes ({:.1f} M printer pixels/s); "
        "nothing was written\n",
        options.Slab, run.Seconds, run.RowsSent, height, run.Bytes, pixelsPerSecond);
  } else {
    std::string result =
        fmt::format("not printed: RipStatus {}, {} left as it was", StatusCode(run.Status), run.Destination);
    // Status 7 with an error is still printed: only the slab's status or the kept copy was not written.
    if (run.Status == TRipStatus::kPrinted) {
      result = "printed to " + run.Destination;
      if (run.Printed() && !options.Keep.empty()) result += ", kept in " + options.Keep;
      result += LeftOut(driver.View().Problems.size());
    }
    fmt::print(out,
               "{}: {} of {} rows, {} bytes of printer data in {:.2f} s ({:.1f} M printer pixels/s), {}\n",
               options.Slab, run.RowsSent, height, run.Bytes, run.Seconds, pixelsPerSecond, result);
  }
  if (!run.Inks.Inks.empty()) out << FormatInkReport(run.Inks);
  return run.Printed() && reported && ui.ErrorCount() == 0 && !ui.Interrupted() ? 0 : 1;
}

int RunXml(const TDriverEnvironment& environment, const std::string& slab, const TJobSettingOptions& settings,
           std::ostream& out, std::ostream& err) {
  TTerminalUi ui(err, false);
  TDriver driver(environment, ui);
  ui.Attach(driver);
  if (!StartDriver(driver, slab, settings, ui, err)) return 1;
  // Without its colour tables or printer model the text would describe a slab that cannot print.
  if (!driver.View().PrintNowEnabled || driver.PrinterModelId().empty()) {
    fmt::print(err, "error: {}: the slab cannot be printed, so it has no job ticket\n", slab);
    return 1;
  }
  out << driver.ViewXml();
  return 0;
}

}  // namespace slabrip
