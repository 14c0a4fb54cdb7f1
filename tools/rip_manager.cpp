// rip-manager: a stand-in for the host program that queued the slab. Listens
// on the host socket, prints each progress report the driver sends as one
// line, and answers it with one byte, late or never when asked to.
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/version.h"
#include "driver/host_channel.h"

namespace {

using namespace slabrip;
using TClock = std::chrono::steady_clock;

struct TOptions {
  std::string Socket;
  bool NoReply = false;
  int ReplyDelayMs = 0;
  long Count = 0;  // 0: until stopped
};

/// One driver connected, with the answers it is still owed.
struct TClient {
  int Fd = -1;
  std::deque<TClock::time_point> Owed;
};

void Warn(const std::string& text) { std::fprintf(stderr, "rip-manager: %s\n", text.c_str()); }

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

bool FillAddress(sockaddr_un& address, const std::string& path) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

/// True when a host already answers on `path`.
bool SomeoneListens(const sockaddr_un& address) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || errno == EAGAIN;
  ::close(fd);
  return connected;
}

/// The listening socket at `path`, or -1 with the reason told. It is bound
/// under a temporary name and renamed into place once listening, so that the
/// file showing up means drivers can connect.
int Listen(const std::string& path, struct stat& bound) {
  sockaddr_un address;
  if (!FillAddress(address, path)) {
    Warn("socket path too long: " + path);
    return -1;
  }
  struct stat existing;
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      Warn(path + " exists and is not a socket");
      return -1;
    }
    if (SomeoneListens(address)) {
      Warn("another host listens on " + path);
      return -1;
    }
  }
  const std::string temporary = fmt::format("{}.{}.tmp", path, ::getpid());
  sockaddr_un bindAddress;
  const bool viaTemporary = FillAddress(bindAddress, temporary);
  if (!viaTemporary) bindAddress = address;
  const std::string& bindPath = viaTemporary ? temporary : path;
  if (!viaTemporary) ::unlink(path.c_str());

  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) != 0) {
    Warn(fmt::format("cannot bind {}: {}", bindPath, std::strerror(errno)));
    if (fd >= 0) ::close(fd);
    return -1;
  }
  // The stale file of a dead host is replaced in one step.
  if (::listen(fd, 16) != 0 || (viaTemporary && ::rename(temporary.c_str(), path.c_str()) != 0) ||
      ::stat(path.c_str(), &bound) != 0) {
    Warn(fmt::format("cannot listen on {}: {}", path, std::strerror(errno)));
    ::unlink(bindPath.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

/// Removes the socket file unless another host has taken the name since.
void RemoveSocketFile(const std::string& path, const struct stat& bound) {
  struct stat now;
  if (::lstat(path.c_str(), &now) == 0 && now.st_dev == bound.st_dev && now.st_ino == bound.st_ino) {
    ::unlink(path.c_str());
  }
}

class TManager {
 public:
  TManager(const TOptions& options, int listener, int signals)
      : Options_(options), Listener_(listener), Signals_(signals) {}
  ~TManager() {
    for (const TClient& client : Clients_) ::close(client.Fd);
  }
  TManager(const TManager&) = delete;
  TManager& operator=(const TManager&) = delete;

  /// Serves until stopped by a signal, or until the counted records are read
  /// and answered.
  void Run() {
    for (;;) {
      AnswerDue();
      if (Done() && !Owing()) return;
      std::vector<pollfd> fds{{Signals_, POLLIN, 0}, {Listener_, static_cast<short>(Done() ? 0 : POLLIN), 0}};
      for (const TClient& client : Clients_) {
        // Once done, a client is only watched for hanging up while it is owed an answer.
        fds.push_back({client.Fd, static_cast<short>(Done() ? 0 : POLLIN), 0});
      }
      if (::poll(fds.data(), fds.size(), PollTimeout()) < 0) {
        if (errno == EINTR) continue;
        Warn(fmt::format("poll: {}", std::strerror(errno)));
        return;
      }
      if (fds[0].revents != 0) return;
      if (fds[1].revents & POLLIN) Accept();
      // Clients_ may shrink below; the poll entries follow it in the same order.
      std::size_t at = 0;
      for (std::size_t i = 2; i < fds.size(); ++i) {
        if (fds[i].revents != 0 && !Read(Clients_[at])) {
          ::close(Clients_[at].Fd);
          Clients_.erase(Clients_.begin() + static_cast<std::ptrdiff_t>(at));
          continue;
        }
        ++at;
      }
    }
  }

 private:
  bool Done() const { return Options_.Count > 0 && Records_ >= Options_.Count; }

  bool Owing() const {
    return std::any_of(Clients_.begin(), Clients_.end(), [](const TClient& c) { return !c.Owed.empty(); });
  }

  int PollTimeout() const {
    std::optional<TClock::time_point> next;
    for (const TClient& client : Clients_) {
      if (!client.Owed.empty() && (!next || client.Owed.front() < *next)) next = client.Owed.front();
    }
    if (!next) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60000));
  }

  void Accept() {
    for (;;) {
      const int fd = ::accept4(Listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      Clients_.push_back({fd, {}});
    }
  }

  /// Reads one packet; false when the driver hung up.
  bool Read(TClient& client) {
    std::uint8_t packet[TProgressRecord::kSize + 1];
    // MSG_TRUNC: the whole size of an oversized packet, to report it.
    const ssize_t n = ::recv(client.Fd, packet, sizeof packet, MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) return false;
    const auto size = static_cast<std::size_t>(n);
    const auto record =
        size <= sizeof packet ? TProgressRecord::Decode(std::span(packet, size)) : std::nullopt;
    if (!record || Done()) {
      if (!record) Warn(fmt::format("ignored packet of {} bytes", size));
      return true;
    }
    std::fprintf(stdout, "%s\n", Describe(*record).c_str());
    std::fflush(stdout);
    ++Records_;
    if (!Options_.NoReply)
      client.Owed.push_back(TClock::now() + std::chrono::milliseconds(Options_.ReplyDelayMs));
    return true;
  }

  void AnswerDue() {
    const auto now = TClock::now();
    for (TClient& client : Clients_) {
      while (!client.Owed.empty() && client.Owed.front() <= now) {
        const std::uint8_t one = 1;
        // A driver that went away meanwhile shows as a hang-up on the next poll.
        (void)::send(client.Fd, &one, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        client.Owed.pop_front();
      }
    }
  }

  const TOptions& Options_;
  int Listener_;
  int Signals_;
  std::vector<TClient> Clients_;
  long Records_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"rip-manager: plays the host program; prints the driver's progress reports and answers them"};
  app.set_version_flag("--version", slabrip::VersionLine("rip-manager"));
  TOptions options;
  std::int32_t host = 0;
  auto* socketOption = app.add_option("--socket", options.Socket, "Socket to listen on");
  app.add_option("--host", host, "Listen as the slab's own host N (rip-host-N) instead of the manager")
      ->excludes(socketOption);
  auto* noReply = app.add_flag("--no-reply", options.NoReply, "Never answer, as a hung host");
  app.add_option("--reply-delay-ms", options.ReplyDelayMs, "Answer this late")
      ->check(CLI::Range(0, 3600000))
      ->excludes(noReply);
  app.add_option("--count", options.Count, "Exit after this many reports")->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);
  if (options.Socket.empty()) options.Socket = HostSocketPath(RuntimeFolder(), host);

  // Signals come in through the poll loop, so the socket file is always removed.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
  ::signal(SIGPIPE, SIG_IGN);
  if (signals < 0) {
    Warn(fmt::format("signalfd: {}", std::strerror(errno)));
    return 1;
  }

  struct stat bound {};
  const int listener = Listen(options.Socket, bound);
  if (listener < 0) return 1;
  Warn("listening on " + options.Socket);
  {
    TManager manager(options, listener, signals);
    manager.Run();
  }
  ::close(listener);
  RemoveSocketFile(options.Socket, bound);
  ::close(signals);
  return 0;
}
