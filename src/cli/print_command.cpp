#include "cli/print_command.h"

#include <fmt/ostream.h>

#include "base/errors.h"
#include "base/file_paths.h"
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

  driver.PrintNow();
  const TPrintOutcome& run = driver.LastPrint();
  ui.EndProgress();
  if (ui.Interrupted()) fmt::print(err, "Aborted.\n");
  if (!run.Began) {
    fmt::print(err, "{}: nothing was printed\n", options.Slab);
    return 1;
  }
  std::string result =
      fmt::format("not printed: RipStatus {}, {} left as it was", StatusCode(run.Status), run.Destination);
  // Status 7 with an error is still printed: only the slab's status or the kept copy was not written.
  if (run.Status == TRipStatus::kPrinted) {
    result = "printed to " + run.Destination;
    if (run.Printed() && !options.Keep.empty()) result += ", kept in " + options.Keep;
    result += LeftOut(driver.View().Problems.size());
  }
  fmt::print(
      out, "{}: {} of {} rows, {} bytes of printer data in {:.2f} s ({:.1f} M printer pixels/s), {}\n",
      options.Slab, run.RowsSent, driver.Slab()->RipHeight, run.Bytes, run.Seconds,
      run.Seconds > 0 ? static_cast<double>(run.RowsSent) * driver.Slab()->RipWidth / run.Seconds / 1e6 : 0.0,
      result);
  return run.Printed() && ui.ErrorCount() == 0 && !ui.Interrupted() ? 0 : 1;
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
