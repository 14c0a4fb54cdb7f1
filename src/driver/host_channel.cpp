#include "driver/host_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/byte_order.h"

namespace slabrip {

namespace {

using TClock = std::chrono::steady_clock;

constexpr std::size_t kSignatureAt = 0;
constexpr std::size_t kZeroWordAt = 4;
constexpr std::size_t kSlabIdAt = 8;
constexpr std::size_t kKindAt = 16;
constexpr std::size_t kStatusAt = 17;
constexpr std::size_t kReservedAt = 18;
constexpr std::size_t kHeightAt = 24;
constexpr std::size_t kCurrRowAt = 28;
constexpr std::size_t kCurrSizeAt = 32;
constexpr std::size_t kSentSizeAt = 40;

int MillisecondsLeft(TClock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<std::int64_t>(left, INT_MAX));
}

/// The events that came on `fd` before the deadline: 0 when none, -1 when poll failed.
int WaitFor(int fd, short events, TClock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int n = ::poll(&entry, 1, MillisecondsLeft(deadline));
    if (n > 0) return entry.revents;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

/// A connected socket, or -1. Non-blocking: a unix socket connects at once or
/// fails (EAGAIN when the host's queue is full), so this never waits.
int Connect(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void Close(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

enum class TOutcome {
  kAnswered,
  kSent,      // out, its answer not waited for
  kBlocked,   // not out: the host's queue is full
  kUnsent,    // the connection was already broken: the record may go again on a new one
  kHungUp,    // the host went away after the record went out
  kNoAnswer,  // out, but the host is slow to answer: keep the connection
};

/// Sends the record and, when `awaitAnswer`, waits until `deadline` for the answer.
TOutcome Transmit(int fd, std::span<const std::uint8_t> bytes, bool awaitAnswer,
                  TClock::time_point deadline) {
  for (;;) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent == static_cast<ssize_t>(bytes.size())) break;
    if (sent >= 0) return TOutcome::kHungUp;  // a packet socket sends all or nothing
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return TOutcome::kUnsent;
    // The host's queue is full: it is not reading.
    const int events = WaitFor(fd, POLLOUT, deadline);
    if (events == 0) return TOutcome::kBlocked;
    if (events < 0 || (events & (POLLERR | POLLHUP)) != 0) return TOutcome::kUnsent;
  }
  if (!awaitAnswer) return TOutcome::kSent;

  std::uint8_t reply[16];
  for (;;) {
    const int events = WaitFor(fd, POLLIN, deadline);
    if (events == 0) return TOutcome::kNoAnswer;
    if (events < 0) return TOutcome::kHungUp;
    // Read even on POLLHUP: an answer sent just before closing still counts.
    const ssize_t n = ::recv(fd, reply, sizeof reply, MSG_DONTWAIT);
    if (n > 0) return TOutcome::kAnswered;
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    return TOutcome::kHungUp;
  }
}

}  // namespace

std::array<std::uint8_t, TProgressRecord::kSize> TProgressRecord::Encode() const {
  std::array<std::uint8_t, kSize> bytes{};
  std::uint8_t* p = bytes.data();
  StoreLe<std::uint32_t>(p + kSignatureAt, kSignature);
  StoreLe<std::int64_t>(p + kSlabIdAt, SlabID);
  p[kKindAt] = Kind;
  p[kStatusAt] = static_cast<std::uint8_t>(RipStatus);
  StoreLe<std::int32_t>(p + kHeightAt, RipHeight);
  StoreLe<std::int32_t>(p + kCurrRowAt, RipCurrRow);
  StoreLe<std::int64_t>(p + kCurrSizeAt, CurrPrnSize);
  StoreLe<std::int64_t>(p + kSentSizeAt, SentPrnSize);
  return bytes;
}

std::optional<TProgressRecord> TProgressRecord::Decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kSize) return std::nullopt;
  const std::uint8_t* p = bytes.data();
  if (LoadLe<std::uint32_t>(p + kSignatureAt) != kSignature) return std::nullopt;
  // Reserved bytes that are not zero mean a record of some other layout.
  if (LoadLe<std::uint32_t>(p + kZeroWordAt) != 0) return std::nullopt;
  if (std::any_of(p + kReservedAt, p + kHeightAt, [](std::uint8_t b) { return b != 0; })) return std::nullopt;
  TProgressRecord record;
  record.SlabID = LoadLe<std::int64_t>(p + kSlabIdAt);
  record.Kind = p[kKindAt];
  record.RipStatus = static_cast<TRipStatus>(p[kStatusAt]);
  record.RipHeight = LoadLe<std::int32_t>(p + kHeightAt);
  record.RipCurrRow = LoadLe<std::int32_t>(p + kCurrRowAt);
  record.CurrPrnSize = LoadLe<std::int64_t>(p + kCurrSizeAt);
  record.SentPrnSize = LoadLe<std::int64_t>(p + kSentSizeAt);
  return record;
}

std::string HostSocketPath(const std::string& runtimeDir, std::int32_t customHostHwnd) {
  std::string path = runtimeDir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += customHostHwnd != 0 ? "rip-host-" + std::to_string(customHostHwnd) : std::string("rip-manager");
  return path;
}

std::string RuntimeFolder() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  return value != nullptr && *value != '\0' ? value : "/tmp";
}

THostChannel::THostChannel(std::string runtimeDir, std::chrono::milliseconds replyTimeout)
    : RuntimeDir_(std::move(runtimeDir)), ReplyTimeout_(replyTimeout) {}

THostChannel::~THostChannel() { Close(Socket_); }

bool THostChannel::Find(std::int32_t customHostHwnd) {
  if (Socket_ >= 0) return true;
  // Once found, the host is this path for good: only a reconnect, no new look-up.
  if (!Path_.empty()) {
    Socket_ = Connect(Path_);
    return Socket_ >= 0;
  }
  std::string path = HostSocketPath(RuntimeDir_, customHostHwnd);
  Socket_ = Connect(path);
  if (Socket_ < 0) return false;
  Path_ = std::move(path);
  return true;
}

void THostChannel::CollectAnswers() {
  std::uint8_t reply[16];
  while (Socket_ >= 0) {
    const ssize_t n = ::recv(Socket_, reply, sizeof reply, MSG_DONTWAIT);
    if (n > 0) {
      if (Unanswered_ > 0) --Unanswered_;
    } else if (n == 0) {
      Disconnect();  // hung up: the next record reconnects
    } else if (errno != EINTR) {
      return;
    }
  }
}

void THostChannel::Disconnect() {
  Close(Socket_);
  Unanswered_ = 0;
}

bool THostChannel::Post(const TProgressRecord& record) {
  CollectAnswers();
  // A host still busy with the last record gets the next one, newer, instead.
  if (Unanswered_ > 0) return false;
  return Deliver(record, false) == TDelivery::kOut;
}

bool THostChannel::Send(const TProgressRecord& record) {
  CollectAnswers();
  return Deliver(record, Unanswered_ == 0) == TDelivery::kAnswered;
}

THostChannel::TDelivery THostChannel::Deliver(const TProgressRecord& record, bool awaitAnswer) {
  if (Path_.empty()) return TDelivery::kFailed;
  const auto deadline = awaitAnswer ? TClock::now() + ReplyTimeout_ : TClock::now();
  const auto bytes = record.Encode();
  bool reconnected = false;
  if (Socket_ < 0) {
    Socket_ = Connect(Path_);
    if (Socket_ < 0) return TDelivery::kFailed;
    reconnected = true;
  }
  TOutcome outcome = Transmit(Socket_, bytes, awaitAnswer, deadline);
  // The kept connection went stale (the host restarted): one new try.
  if (outcome == TOutcome::kUnsent && !reconnected) {
    Disconnect();
    Socket_ = Connect(Path_);
    if (Socket_ < 0) return TDelivery::kFailed;
    outcome = Transmit(Socket_, bytes, awaitAnswer, deadline);
  }
  switch (outcome) {
    case TOutcome::kAnswered: return TDelivery::kAnswered;
    case TOutcome::kSent:
    case TOutcome::kNoAnswer: ++Unanswered_; return TDelivery::kOut;
    case TOutcome::kBlocked: return TDelivery::kFailed;
    case TOutcome::kUnsent:
    case TOutcome::kHungUp: break;
  }
  Disconnect();
  return TDelivery::kFailed;
}

}  // namespace slabrip
