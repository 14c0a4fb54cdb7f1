#include "host_mode.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/errors.h"
#include "host_listener.h"
#include "stop_signals.h"

namespace slabrip {

namespace {

std::string KindName(std::uint8_t kind) {
  switch (kind) {
    case TProgressRecord::kStarted: return "started";
    case TProgressRecord::kRunning: return "running";
    case TProgressRecord::kFinished: return "finished";
    default: return std::to_string(kind);
  }
}

std::string Describe(const TProgressRecord& record) {
  // The slab as the suite writes its ids: "$" and 16 hex digits.
  return fmt::format("kind={} status={} slab=${:016X} rows={}/{} bytes={} sent={}", KindName(record.Kind),
                     StatusCode(record.RipStatus), static_cast<std::uint64_t>(record.SlabID),
                     record.RipCurrRow, record.RipHeight, record.CurrPrnSize, record.SentPrnSize);
}

}  // namespace

int RunHost(const THostOptions& options) {
  std::unique_ptr<TStopSignals> signals;
  std::unique_ptr<THostListener> listener;
  try {
    // Signals come in through the poll loop, so the socket file is always removed.
    signals = std::make_unique<TStopSignals>();
    listener =
        std::make_unique<THostListener>(options.Socket, std::chrono::milliseconds(options.ReplyDelayMs));
  } catch (const TError& e) {
    Warn(e.what());
    return 1;
  }
  Warn("listening on " + options.Socket);

  long records = 0;
  const auto done = [&] { return options.Count > 0 && records >= options.Count; };
  const auto onRecord = [&](const TProgressRecord& record) {
    if (done()) return false;
    std::fprintf(stdout, "%s\n", Describe(record).c_str());
    std::fflush(stdout);
    ++records;
    return !options.NoReply;
  };
  for (;;) {
    listener->AnswerDue();
    if (done() && !listener->Owing()) return 0;
    std::vector<pollfd> fds{{signals->Fd(), POLLIN, 0}};
    listener->AddPollEntries(fds, !done());
    if (::poll(fds.data(), fds.size(), listener->MsToNextAnswer()) < 0) {
      if (errno == EINTR) continue;
      Warn(fmt::format("poll: {}", std::strerror(errno)));
      return 0;
    }
    if (fds[0].revents != 0) return 0;
    listener->Serve(std::span(fds).subspan(1), onRecord);
  }
}

}  // namespace slabrip
