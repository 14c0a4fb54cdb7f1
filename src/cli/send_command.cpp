#include "cli/send_command.h"

#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/file_paths.h"
#include "cli/command_errors.h"
#include "cli/terminal_ui.h"
#include "engine/cups_output.h"
#include "hpraster/printer_data.h"

namespace slabrip {
namespace {

using TClock = std::chrono::steady_clock;
using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A plain line a second in a log; the bar on a terminal more often, to look alive.
constexpr auto kLineInterval = std::chrono::seconds(1);
constexpr auto kBarInterval = std::chrono::milliseconds(200);
constexpr std::size_t kChunk = 65'536;

struct TCheckedJob {
  std::string Title;
  std::int64_t Bytes = 0;
};

// The whole file read as the printer would take it, from its job header to
// its end of job; an aborted job is sound data but not the whole print.
TCheckedJob CheckJob(const std::string& path, std::FILE* file) {
  TPrinterDataReader reader(FileSource(file));
  try {
    while (reader.NextRow()) {
    }
  } catch (const TPrinterDataError& e) {
    throw TError(fmt::format("{}: not complete printer data: {}", path, e.what()));
  } catch (const TError& e) {
    throw TError(fmt::format("{}: {}", path, e.what()));
  }
  const auto& raster = reader.Raster();
  if (!raster) throw TError(fmt::format("{}: the job was aborted before its raster", path));
  if (reader.Rows() < raster->Height)
    throw TError(
        fmt::format("{}: the job was aborted after {} of {} rows", path, reader.Rows(), raster->Height));
  const auto named = std::ranges::find(reader.Settings(), std::string("JOB NAME"), &TPjlSetting::Key);
  return {named != reader.Settings().end() ? named->Value : FileNamePart(path), ftello(file)};
}

// The queue as a slab's printer name finds one, so that both name queues alike.
std::unique_ptr<TOutputSink> OpenQueue(const std::string& name, const std::string& title) {
  if (name.empty()) return OpenPrinterOutput(-1, title);
  const int index = FindPrinterIndex(name);
  if (index < 0) {
    const std::vector<std::string> names = QueueNames();
    throw TError(fmt::format("no queue of the CUPS server {} matches {} ({})", CupsServerName(), name,
                             names.empty() ? "it lists none" : fmt::format("{}", fmt::join(names, ", "))));
  }
  return OpenPrinterOutput(index, title);
}

}  // namespace

int RunSend(const TSendCommandOptions& options, std::ostream& out, std::ostream& err, bool interactive) {
  return ReportErrors(err, "error", [&] {
    const std::string& path = options.File;
    const TFile file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) throw TError(fmt::format("{}: cannot open: {}", path, std::strerror(errno)));
    const TCheckedJob job = CheckJob(path, file.get());
    std::rewind(file.get());

    const auto start = TClock::now();
    const std::unique_ptr<TOutputSink> queue = OpenQueue(options.Queue, job.Title);
    TTerminalUi ui(err, interactive);
    const TPrnSource read = FileSource(file.get());
    std::vector<std::uint8_t> buffer(kChunk);
    auto next = start;
    for (std::size_t n; (n = read(buffer.data(), buffer.size())) > 0;) {
      ui.ProcessEvents();
      // Dropped unsubmitted, the job is cancelled.
      if (ui.Interrupted())
        throw TError(fmt::format("{}: aborted, {} prints nothing", path, queue->Destination()));
      queue->Write(buffer.data(), n);
      const std::int64_t sent = queue->BytesDelivered();
      if (TClock::now() >= next || sent == job.Bytes) {
        ui.ShowProgress(job.Bytes > 0 ? static_cast<double>(sent) / static_cast<double>(job.Bytes) : 1, sent,
                        queue->Destination());
        next = TClock::now() + (interactive ? kBarInterval : kLineInterval);
      }
    }
    if (queue->BytesDelivered() != job.Bytes)
      throw TError(fmt::format("{}: changed while it was sent: {} bytes checked, {} read", path, job.Bytes,
                               queue->BytesDelivered()));
    queue->Commit();
    ui.EndProgress();
    fmt::print(out, "{}: {} bytes of printer data sent to {} in {:.2f} s\n", path, queue->BytesDelivered(),
               queue->Destination(), std::chrono::duration<double>(TClock::now() - start).count());
    return 0;
  });
}

}  // namespace slabrip
