#include "spooler.h"

#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "base/errors.h"
#include "base/file_paths.h"
#include "host_listener.h"
#include "jobs/rip_slab.h"
#include "spool_log.h"
#include "spool_queue.h"
#include "spool_table.h"
#include "stop_signals.h"

namespace slabrip {

namespace {

using TClock = std::chrono::steady_clock;

/// A folder of the spooler's own under the runtime folder, for the socket its
/// prints report to: two spoolers never hear each other's prints.
class TPrivateRuntimeDir {
 public:
  TPrivateRuntimeDir() {
    std::string pattern = RuntimeFolder() + "/rip-manager-spool.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw TError(fmt::format("{}: cannot make a folder: {}", pattern, std::strerror(errno)));
    Path_ = pattern;
  }
  ~TPrivateRuntimeDir() { ::rmdir(Path_.c_str()); }
  TPrivateRuntimeDir(const TPrivateRuntimeDir&) = delete;
  TPrivateRuntimeDir& operator=(const TPrivateRuntimeDir&) = delete;
  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
};

int MsUntil(TClock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - TClock::now()).count();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60000));
}

class TSpooler {
 public:
  explicit TSpooler(const TSpoolOptions& options)
      : Folder_(options.Folder),
        Log_(options.Log, !::isatty(STDOUT_FILENO)),
        Journal_(options.Journal),
        Queue_(Folder_, Journal_, std::chrono::milliseconds(options.SettleMs),
               [this](const std::string& slab, const std::string& state, const std::string& text) {
                 Say(slab, state, text);
               }),
        Command_(options.Print),
        Rescan_(options.RescanMs) {
    Command_.RuntimeDir = RuntimeDir_.Path();
    if (::isatty(STDOUT_FILENO)) Table_.emplace(Folder_.Path());
  }

  int Run() {
    Say("", "",
        fmt::format("watching {} (log {}, journal {}){}", Folder_.Path(), Log_.Path(), Journal_.Path(),
                    Folder_.EventFd() < 0 ? "; no inotify there, rescanning only" : ""));
    if (Folder_.List().empty()) Say("", "", Folder_.Path() + " holds no slab yet; waiting for one");
    for (;;) {
      if (!Print_) {
        if (Stopping_) {
          Say("", "", "stopped");
          return 0;
        }
        const auto now = TClock::now();
        if (now >= NextScan_ || now >= Queue_.NextSettle()) {
          NextScan_ = now + Rescan_;
          if (auto next = Queue_.Next(now)) Start(*next);
          continue;
        }
      }
      if (Listener_) Listener_->AnswerDue();
      std::vector<pollfd> fds{{Signals_.Fd(), POLLIN, 0}, {Folder_.EventFd(), POLLIN, 0}};
      int timeout = MsUntil(std::min(NextScan_, Queue_.NextSettle()));
      if (Print_) {
        fds.push_back({Print_->ErrorFd(), POLLIN, 0});
        fds.push_back({Print_->ExitFd(), POLLIN, 0});
        Listener_->AddPollEntries(fds, true);
        timeout = Listener_->MsToNextAnswer();
      }
      if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
        throw TError(fmt::format("poll: {}", std::strerror(errno)));
      if (fds[0].revents != 0) OnSignal(Signals_.Take());
      // New files are looked at now; while a slab prints, once it is done.
      if (fds[1].revents != 0 && Folder_.DrainEvents()) NextScan_ = TClock::now();
      if (!Print_) continue;
      if (fds[2].revents != 0) Print_->ReadErrors();
      Listener_->Serve(std::span(fds).subspan(4), [this](const TProgressRecord& record) {
        Progress(record);
        return true;
      });
      if (fds[3].revents != 0 && Print_->Reap()) Finish();
    }
  }

 private:
  /// A log line, also shown under the table; `slab` names the row whose state it sets.
  void Say(const std::string& slab, const std::string& state, const std::string& text) {
    Log_.Line(text);
    if (!Table_) return;
    if (!slab.empty()) Table_->Row(FileNamePart(slab)).Status = state;
    Table_->Message(text);
    Table_->Draw(true);
  }

  void Progress(const TProgressRecord& record) {
    if (!Table_) return;
    TSlabRow& row = Table_->Row(FileNamePart(Current_.Path));
    row.Row = record.RipCurrRow;
    row.Rows = record.RipHeight;
    row.Bytes = record.CurrPrnSize;
    Table_->Draw(false);
  }

  void Start(const TQueuedSlab& slab) {
    Current_ = slab;
    if (Table_) Table_->Row(FileNamePart(slab.Path)).Job = slab.Jobname;
    try {
      Listener_ = std::make_unique<THostListener>(HostSocketPath(RuntimeDir_.Path(), slab.CustomHostHwnd),
                                                  std::chrono::milliseconds(0));
      Journal_.Started(slab.Path, slab.SlabID, slab.Stamp);
      Print_ = std::make_unique<TSlabPrint>(Command_, slab.Path);
    } catch (const TError& e) {
      Listener_.reset();
      Say(slab.Path, "failed", fmt::format("{}: not printed: {}", slab.Path, e.what()));
      Journal_.Ended(slab.Path, slab.SlabID, StampOf(slab.Path).value_or(TFileStamp{}), "failed");
      return;
    }
    Say(slab.Path, "printing",
        fmt::format("{}: printing \"{}\" (slabrip process {})", slab.Path, slab.Jobname, Print_->Pid()));
  }

  void Finish() {
    const auto after = MakeRef<TRipSlab>();
    after->LoadFromFile(Current_.Path);
    const std::string status = fmt::format("RipStatus {}", StatusCode(after->RipStatus));
    const bool printed = Print_->ExitCode() == 0;
    if (printed) {
      Say(Current_.Path, "printed",
          fmt::format("{}: printed ({}, {} of {} rows, {} bytes)", Current_.Path, status, after->RipCurrRow,
                      after->RipHeight, after->CurrPrnSize));
    } else {
      const std::string errors = Print_->Errors();
      Say(Current_.Path, "failed",
          fmt::format("{}: not printed (slabrip exit {}, {}): {}", Current_.Path, Print_->ExitCode(), status,
                      errors.empty() ? "slabrip said nothing" : errors));
    }
    Journal_.Ended(Current_.Path, Current_.SlabID, StampOf(Current_.Path).value_or(TFileStamp{}),
                   printed ? "printed" : "failed");
    Print_.reset();
    Listener_.reset();
    NextScan_ = TClock::now();
  }

  void OnSignal(int signal) {
    if (signal == 0) return;
    const char* name = signal == SIGTERM ? "SIGTERM" : "SIGINT";
    if (!Print_) {
      Stopping_ = true;
      Say("", "", fmt::format("{}: stopping", name));
    } else if (!Stopping_) {
      Stopping_ = true;
      Say("", "",
          fmt::format("{}: stopping once {} has printed (a second signal aborts it)", name, Current_.Path));
    } else {
      Say(Current_.Path, "aborting", fmt::format("{}: aborting {}", name, Current_.Path));
      Print_->Abort();
    }
  }

  TStopSignals Signals_;
  TSpoolFolder Folder_;
  TSpoolLog Log_;
  TSpoolJournal Journal_;
  TSpoolQueue Queue_;
  TPrivateRuntimeDir RuntimeDir_;
  TPrintCommand Command_;
  std::chrono::milliseconds Rescan_;
  TClock::time_point NextScan_ = TClock::now();
  std::optional<TSpoolTable> Table_;
  TQueuedSlab Current_;
  // The listener outlives the print it hears, so the last record is answered.
  std::unique_ptr<THostListener> Listener_;
  std::unique_ptr<TSlabPrint> Print_;
  bool Stopping_ = false;
};

}  // namespace

std::string SpoolStateFile(const std::string& name) {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  const std::string folder = state != nullptr && *state != '\0' ? state
                             : home != nullptr && *home != '\0' ? std::string(home) + "/.local/state"
                                                                : std::string("/tmp");
  return folder + "/slabrip/" + name;
}

int RunSpooler(const TSpoolOptions& options) {
  try {
    TSpooler spooler(options);
    return spooler.Run();
  } catch (const TError& e) {
    Warn(e.what());
    return 1;
  }
}

}  // namespace slabrip
