// One `slabrip print SLAB` run by the spooler, its stderr kept for the log.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace slabrip {

struct TPrintCommand {
  std::string Slabrip;
  std::vector<std::string> GlobalOptions;  // given before "print"
  std::string RuntimeDir;                  // the child's XDG_RUNTIME_DIR, where its host socket is
};

class TSlabPrint {
 public:
  /// Starts the print in a process group of its own, so that a Ctrl-C on the
  /// spooler's terminal does not stop it; throws TError when it cannot start.
  TSlabPrint(const TPrintCommand& command, const std::string& slab);
  /// A print still running is stopped (slabrip then writes status 8).
  ~TSlabPrint();
  TSlabPrint(const TSlabPrint&) = delete;
  TSlabPrint& operator=(const TSlabPrint&) = delete;

  pid_t Pid() const { return Pid_; }
  /// The descriptors to poll: stderr (-1 once it closed), and the process,
  /// readable once it exits.
  int ErrorFd() const { return Errors_; }
  int ExitFd() const { return Exit_; }
  /// Keeps what stderr has to say.
  void ReadErrors();
  /// True once the process has ended, with the rest of stderr read.
  bool Reap();
  /// Asks slabrip to abort.
  void Abort();
  /// The exit status, 128 + the signal when one ended it.
  int ExitCode() const { return ExitCode_; }
  /// What slabrip wrote to stderr, its lines joined with "; ".
  std::string Errors() const;

 private:
  pid_t Pid_ = -1;
  int Errors_ = -1;
  int Exit_ = -1;
  bool Reaped_ = false;
  int ExitCode_ = 0;
  std::string ErrorText_;
};

}  // namespace slabrip
