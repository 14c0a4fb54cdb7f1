#include "stop_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/errors.h"

namespace slabrip {

TStopSignals::TStopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  Fd_ = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (Fd_ < 0) throw TError(std::string("signalfd: ") + std::strerror(errno));
}

TStopSignals::~TStopSignals() { ::close(Fd_); }

int TStopSignals::Take() {
  signalfd_siginfo info;
  return ::read(Fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)
             ? static_cast<int>(info.ssi_signo)
             : 0;
}

}  // namespace slabrip
