#include "host_listener.h"

#include <fmt/format.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/errors.h"

namespace slabrip {

namespace {

bool FillAddress(sockaddr_un& address, const std::string& path) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

/// True when a host already answers at `address`.
bool SomeoneListens(const sockaddr_un& address) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || errno == EAGAIN;
  ::close(fd);
  return connected;
}

}  // namespace

void Warn(const std::string& text) { std::fprintf(stderr, "rip-manager: %s\n", text.c_str()); }

THostListener::THostListener(std::string path, std::chrono::milliseconds replyDelay)
    : Path_(std::move(path)), ReplyDelay_(replyDelay) {
  sockaddr_un address;
  if (!FillAddress(address, Path_)) throw TError("socket path too long: " + Path_);
  struct stat existing;
  if (::lstat(Path_.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) throw TError(Path_ + " exists and is not a socket");
    if (SomeoneListens(address)) throw TError("another host listens on " + Path_);
  }
  const std::string temporary = fmt::format("{}.{}.tmp", Path_, ::getpid());
  sockaddr_un bindAddress;
  const bool viaTemporary = FillAddress(bindAddress, temporary);
  if (!viaTemporary) bindAddress = address;
  const std::string& bindPath = viaTemporary ? temporary : Path_;
  if (!viaTemporary) ::unlink(Path_.c_str());

  Fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (Fd_ < 0 || ::bind(Fd_, reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) != 0) {
    const std::string reason = fmt::format("cannot bind {}: {}", bindPath, std::strerror(errno));
    if (Fd_ >= 0) ::close(Fd_);
    throw TError(reason);
  }
  // The stale file of a dead host is replaced in one step.
  if (::listen(Fd_, 16) != 0 || (viaTemporary && ::rename(temporary.c_str(), Path_.c_str()) != 0) ||
      ::stat(Path_.c_str(), &Bound_) != 0) {
    const std::string reason = fmt::format("cannot listen on {}: {}", Path_, std::strerror(errno));
    ::unlink(bindPath.c_str());
    ::close(Fd_);
    throw TError(reason);
  }
}

THostListener::~THostListener() {
  for (const TClient& client : Clients_) ::close(client.Fd);
  ::close(Fd_);
  struct stat now;
  if (::lstat(Path_.c_str(), &now) == 0 && now.st_dev == Bound_.st_dev && now.st_ino == Bound_.st_ino) {
    ::unlink(Path_.c_str());
  }
}

void THostListener::AddPollEntries(std::vector<pollfd>& fds, bool reading) const {
  const auto events = static_cast<short>(reading ? POLLIN : 0);
  fds.push_back({Fd_, events, 0});
  for (const TClient& client : Clients_) fds.push_back({client.Fd, events, 0});
}

void THostListener::Serve(std::span<const pollfd> entries, const TOnRecord& onRecord) {
  if (entries.empty()) return;
  if (entries[0].revents & POLLIN) Accept();
  // Clients_ may shrink below; the entries follow it in the same order.
  std::size_t at = 0;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].revents != 0 && !Read(Clients_[at], onRecord)) {
      ::close(Clients_[at].Fd);
      Clients_.erase(Clients_.begin() + static_cast<std::ptrdiff_t>(at));
      continue;
    }
    ++at;
  }
}

bool THostListener::Owing() const {
  return std::any_of(Clients_.begin(), Clients_.end(), [](const TClient& c) { return !c.Owed.empty(); });
}

int THostListener::MsToNextAnswer() const {
  std::optional<TClock::time_point> next;
  for (const TClient& client : Clients_) {
    if (!client.Owed.empty() && (!next || client.Owed.front() < *next)) next = client.Owed.front();
  }
  if (!next) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now()).count();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60000));
}

void THostListener::Accept() {
  for (;;) {
    const int fd = ::accept4(Fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    Clients_.push_back({fd, {}});
  }
}

bool THostListener::Read(TClient& client, const TOnRecord& onRecord) {
  std::uint8_t packet[TProgressRecord::kSize + 1];
  // MSG_TRUNC: the whole size of an oversized packet, to report it.
  const ssize_t n = ::recv(client.Fd, packet, sizeof packet, MSG_TRUNC | MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (n == 0) return false;
  const auto size = static_cast<std::size_t>(n);
  const auto record = size <= sizeof packet ? TProgressRecord::Decode(std::span(packet, size)) : std::nullopt;
  if (!record) {
    Warn(fmt::format("ignored packet of {} bytes", size));
    return true;
  }
  if (onRecord(*record)) client.Owed.push_back(TClock::now() + ReplyDelay_);
  return true;
}

void THostListener::AnswerDue() {
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

}  // namespace slabrip
