#include "spool_print.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "base/errors.h"
#include "base/number_text.h"

extern char** environ;

namespace slabrip {

namespace {

constexpr std::size_t kMaxErrorText = 64 * 1024;

/// The spooler's environment with XDG_RUNTIME_DIR replaced.
std::vector<std::string> ChildEnvironment(const std::string& runtimeDir) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with("XDG_RUNTIME_DIR=")) variables.emplace_back(*entry);
  }
  variables.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
  return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TSlabPrint::TSlabPrint(const TPrintCommand& command, const std::string& slab) {
  std::vector<std::string> arguments{command.Slabrip};
  arguments.insert(arguments.end(), command.GlobalOptions.begin(), command.GlobalOptions.end());
  arguments.insert(arguments.end(), {"print", slab});
  std::vector<std::string> environment = ChildEnvironment(command.RuntimeDir);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw TError(fmt::format("cannot start {}: pipe: {}", command.Slabrip, std::strerror(errno)));
  Errors_ = pipeFds[0];
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The child gets the signals the spooler takes through its descriptor, and SIGPIPE, back.
  sigset_t none;
  sigset_t restored;
  sigemptyset(&none);
  sigemptyset(&restored);
  for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) sigaddset(&restored, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &restored);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  const int failed =
      ::posix_spawn(&Pid_, command.Slabrip.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (failed != 0) {
    ::close(Errors_);
    throw TError(fmt::format("cannot start {}: {}", command.Slabrip, std::strerror(failed)));
  }
  // Through syscall: glibc 2.36 declares pidfd_open without C linkage.
  Exit_ = static_cast<int>(::syscall(SYS_pidfd_open, Pid_, 0));
  if (Exit_ < 0) {
    const int cause = errno;
    ::kill(Pid_, SIGTERM);
    ::waitpid(Pid_, nullptr, 0);
    ::close(Errors_);
    throw TError(fmt::format("cannot watch {}: {}", command.Slabrip, std::strerror(cause)));
  }
}

TSlabPrint::~TSlabPrint() {
  if (!Reaped_) {
    ::kill(Pid_, SIGTERM);
    ::waitpid(Pid_, nullptr, 0);
  }
  ::close(Exit_);
  if (Errors_ >= 0) ::close(Errors_);
}

void TSlabPrint::ReadErrors() {
  char buffer[4096];
  for (;;) {
    if (Errors_ < 0) return;
    const ssize_t n = ::read(Errors_, buffer, sizeof buffer);
    if (n == 0) {
      // Closed: no longer polled, so a child that lingers after closing it does not spin the loop.
      ::close(Errors_);
      Errors_ = -1;
    }
    if (n <= 0) return;
    ErrorText_.append(buffer, static_cast<std::size_t>(n));
    // The start says why; a runaway child does not fill the memory.
    if (ErrorText_.size() > kMaxErrorText) ErrorText_.resize(kMaxErrorText);
  }
}

bool TSlabPrint::Reap() {
  if (Reaped_) return true;
  int status = 0;
  if (::waitpid(Pid_, &status, WNOHANG) != Pid_) return false;
  Reaped_ = true;
  ExitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  ReadErrors();
  return true;
}

void TSlabPrint::Abort() { ::kill(Pid_, SIGTERM); }

std::string TSlabPrint::Errors() const {
  std::string joined;
  std::size_t from = 0;
  while (from < ErrorText_.size()) {
    std::size_t end = ErrorText_.find('\n', from);
    if (end == std::string::npos) end = ErrorText_.size();
    std::string_view line(ErrorText_.data() + from, end - from);
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = TrimBlanks(line);
    if (!line.empty()) {
      if (!joined.empty()) joined += "; ";
      joined += line;
    }
    from = end + 1;
  }
  return joined;
}

}  // namespace slabrip
