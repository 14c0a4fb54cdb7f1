#include "cli/print_command.h"

#include <fmt/ostream.h>

#include <chrono>

#include "base/errors.h"
#include "base/file_paths.h"
#include "cli/terminal_ui.h"
#include "driver/driver.h"

namespace slabrip {
namespace {

// Why no HP job started although nothing raised an error.
std::string StartProblem(const TDriver& driver) {
  const TRipSlab& slab = *driver.Slab();
  if (driver.PrinterModelId().empty()) return "no HP printer model is known for the slab's printer " + slab.Printer;
  if (slab.XDPI < 1 || slab.YDpi < 1) return fmt::format("the printer resolution {} x {} dpi", slab.XDPI, slab.YDpi);
  if (slab.RenderDPI < 150) return fmt::format("the render resolution {} dpi is below 150", slab.RenderDPI);
  return "the print was stopped";
}

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

}  // namespace

int RunPrint(const TDriverEnvironment& environment, const TPrintOptions& options, std::ostream& out,
             std::ostream& err, bool interactive) {
  TTerminalUi ui(err, interactive);
  TDriver driver(environment, ui);
  ui.Attach(driver);
  if (!StartDriver(driver, options.Slab, options.Settings, ui, err)) return 1;
  if (!driver.View().PrintNowEnabled) {
    fmt::print(err, "error: {}: the slab cannot be printed\n", options.Slab);
    return 1;
  }
  driver.Controls.TestOutput = !options.TestOutput.empty();
  if (driver.Controls.TestOutput) driver.Controls.TestOutputFile = options.TestOutput;

  const auto start = std::chrono::steady_clock::now();
  driver.PrintNow();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const TRipSlab& slab = *driver.Slab();
  const bool printed = slab.RipStatus == 7 && ui.ErrorCount() == 0 && !ui.Interrupted();
  if (ui.Interrupted()) fmt::print(err, "\nAborted.\n");
  else if (!printed && ui.ErrorCount() == 0) fmt::print(err, "error: nothing was printed: {}\n", StartProblem(driver));
  const std::int64_t rows = slab.RipStatus == 7 ? slab.RipHeight : slab.RipCurrRow;
  fmt::print(out, "{}: {} of {} rows, {} bytes of printer data in {:.2f} s ({:.1f} M printer pixels/s){}\n",
             options.Slab, rows, slab.RipHeight, slab.CurrPrnSize, seconds,
             seconds > 0 ? static_cast<double>(rows) * slab.RipWidth / seconds / 1e6 : 0.0,
             driver.Controls.TestOutput ? ", written to " + driver.Controls.TestOutputFile : "");
  return printed ? 0 : 1;
}

int RunXml(const TDriverEnvironment& environment, const std::string& slab, const TJobSettingOptions& settings,
           std::ostream& out, std::ostream& err) {
  TTerminalUi ui(err, false);
  TDriver driver(environment, ui);
  ui.Attach(driver);
  if (!StartDriver(driver, slab, settings, ui, err)) return 1;
  out << driver.ViewXml();
  return 0;
}

}  // namespace slabrip
