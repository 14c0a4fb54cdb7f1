// Progress reports to the host: the record's bytes, the socket names, and real
// sockets with a stand-in host that answers, stays silent, hangs up or restarts.
#include "driver/host_channel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace slabrip {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;
using TBytes = std::vector<std::uint8_t>;

TProgressRecord Running() {
  return {.SlabID = 0x0102030405060708,
          .Kind = TProgressRecord::kRunning,
          .RipStatus = TRipStatus::kPrinting,
          .RipHeight = 7087,
          .RipCurrRow = 2500,
          .CurrPrnSize = 1 << 20,
          .SentPrnSize = 1 << 19};
}
const TBytes kRunningBytes = {0x54, 0x68, 0x45, 0x12, 0,    0,    0,    0,     // signature, zero word
                              0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // slab
                              0x01, 0x04, 0,    0,    0,    0,    0,    0,     // kind, status, reserved
                              0xAF, 0x1B, 0,    0,    0xC4, 0x09, 0,    0,     // 7087 rows, at 2500
                              0,    0,    0x10, 0,    0,    0,    0,    0,     // 1 MiB ripped
                              0,    0,    0x08, 0,    0,    0,    0,    0};    // 512 KiB sent

TBytes Encoded(const TProgressRecord& record) {
  const auto bytes = record.Encode();
  return {bytes.begin(), bytes.end()};
}

TEST(ProgressRecord, EncodesEveryFieldLittleEndianWithZeroReserves) {
  EXPECT_EQ(Encoded(Running()), kRunningBytes);
  const TProgressRecord negative{.SlabID = -2,
                                 .Kind = TProgressRecord::kFinished,
                                 .RipStatus = static_cast<TRipStatus>(255),
                                 .RipHeight = -1,
                                 .RipCurrRow = INT32_MIN,
                                 .CurrPrnSize = -256,
                                 .SentPrnSize = INT64_MIN};
  EXPECT_EQ(Encoded(negative), TBytes({0x54, 0x68, 0x45, 0x12, 0,    0,    0,    0,     //
                                       0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  //
                                       0x02, 0xFF, 0,    0,    0,    0,    0,    0,     //
                                       0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0x80,  //
                                       0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  //
                                       0,    0,    0,    0,    0,    0,    0,    0x80}));
}

TEST(ProgressRecord, DecodesOnlyWholeSignedRecordsWithZeroReserves) {
  const auto good = TProgressRecord::Decode(kRunningBytes);
  ASSERT_TRUE(good);
  EXPECT_EQ(Encoded(*good), kRunningBytes) << "every field read back";
  EXPECT_FALSE(TProgressRecord::Decode(std::span(kRunningBytes).first(47)));
  EXPECT_FALSE(TProgressRecord::Decode({}));
  TBytes longer = kRunningBytes;
  longer.push_back(0);
  EXPECT_FALSE(TProgressRecord::Decode(longer));
  for (const std::size_t at : {0u, 3u, 4u, 7u, 18u, 23u}) {
    TBytes changed = kRunningBytes;
    changed[at] ^= 0x01;
    EXPECT_FALSE(TProgressRecord::Decode(changed)) << "byte " << at;
  }
}

TEST(HostSocket, NamesTheSlabsOwnHostElseTheManager) {
  EXPECT_EQ(HostSocketPath("/run/user/1000", 0), "/run/user/1000/rip-manager");
  EXPECT_EQ(HostSocketPath("/run/user/1000/", 4242), "/run/user/1000/rip-host-4242");
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
  EXPECT_EQ(RuntimeFolder(), "/run/user/77");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(RuntimeFolder(), "/tmp");
  if (saved) ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

/// A stand-in host on its own thread: keeps the records it reads and answers
/// as told. Goes as a crashed host goes: its socket file stays behind.
class TTestHost {
 public:
  enum TMode { kAnswer, kSilent, kHangUp };

  TTestHost(const std::string& path, TMode mode, std::chrono::milliseconds delay = 0ms)
      : Mode_(mode), Delay_(delay) {
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    Listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::bind(Listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    EXPECT_EQ(::listen(Listener_, 8), 0);
    EXPECT_EQ(::pipe(Stop_), 0);
    Thread_ = std::thread([this] { Serve(); });
  }
  ~TTestHost() {
    EXPECT_EQ(::write(Stop_[1], "x", 1), 1);
    Thread_.join();
    for (int fd : {Listener_, Stop_[0], Stop_[1]}) ::close(fd);
  }

  std::size_t Records() const {
    std::lock_guard lock(Mutex_);
    return Records_.size();
  }
  std::atomic<int> Connections{0};
  std::atomic<int> Closed{0};  // by either side

 private:
  void Serve() {
    std::vector<pollfd> fds{{Stop_[0], POLLIN, 0}, {Listener_, POLLIN, 0}};
    while (::poll(fds.data(), fds.size(), -1) >= 0 && fds[0].revents == 0) {
      for (std::size_t i = 2; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        std::uint8_t packet[64];
        const ssize_t n = ::recv(fds[i].fd, packet, sizeof packet, 0);
        if (n <= 0) {
          Close(fds[i].fd);
          fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i--));
          continue;
        }
        {
          std::lock_guard lock(Mutex_);
          Records_.emplace_back(packet, packet + n);
        }
        std::this_thread::sleep_for(Delay_);
        if (Mode_ == kAnswer) ::send(fds[i].fd, "\1", 1, MSG_NOSIGNAL);
      }
      if (fds[1].revents != 0) {
        ++Connections;
        const int fd = ::accept(Listener_, nullptr, nullptr);
        if (Mode_ == kHangUp)
          Close(fd);
        else
          fds.push_back({fd, POLLIN, 0});
      }
    }
    for (std::size_t i = 2; i < fds.size(); ++i) ::close(fds[i].fd);
  }

  void Close(int fd) {
    ::close(fd);
    ++Closed;
  }

  TMode Mode_;
  std::chrono::milliseconds Delay_;
  int Listener_ = -1;
  int Stop_[2] = {-1, -1};
  std::thread Thread_;
  mutable std::mutex Mutex_;
  std::vector<TBytes> Records_;
};

bool Eventually(const auto& done) {
  for (const auto deadline = TClock::now() + 5s; !done(); std::this_thread::sleep_for(5ms)) {
    if (TClock::now() > deadline) return false;
  }
  return true;
}

TClock::duration Timed(const auto& action) {
  const auto start = TClock::now();
  action();
  return TClock::now() - start;
}

/// True when `action` raised SIGPIPE on this thread (held back meanwhile).
bool RaisesSigpipe(const auto& action) {
  sigset_t pipe, old, pending;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  action();
  sigpending(&pending);
  const bool raised = sigismember(&pending, SIGPIPE) == 1;
  const timespec now{};
  if (raised) sigtimedwait(&pipe, nullptr, &now);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return raised;
}

TEST(HostChannel, FindsTheSlabsOwnHostElseTheManagerAndKeepsIt) {
  test::TTempDir dir;
  EXPECT_FALSE(THostChannel(dir.Path(), 200ms).Find(0)) << "no host runs";
  { TTestHost dead(HostSocketPath(dir.Path(), 0), TTestHost::kAnswer); }
  EXPECT_FALSE(THostChannel(dir.Path(), 200ms).Find(0)) << "only a dead host's socket file";
  EXPECT_FALSE(THostChannel(dir.Path() + std::string(120, '/'), 200ms).Find(0)) << "too long for an address";
  ::unlink(HostSocketPath(dir.Path(), 0).c_str());

  TTestHost manager(HostSocketPath(dir.Path(), 0), TTestHost::kAnswer);
  TTestHost own(HostSocketPath(dir.Path(), 31), TTestHost::kAnswer);
  THostChannel first(dir.Path(), 2s);
  ASSERT_TRUE(first.Find(31));
  EXPECT_TRUE(first.Send(Running()));
  EXPECT_EQ(own.Records(), 1u);
  {
    THostChannel channel(dir.Path(), 2s);
    EXPECT_FALSE(channel.Send(Running())) << "nothing found yet";
    EXPECT_FALSE(channel.Find(32)) << "a slab's own host is not replaced by the manager";
    ASSERT_TRUE(channel.Find(0));
    EXPECT_TRUE(channel.Find(31)) << "found once, not looked up again";
    EXPECT_EQ(channel.Path(), HostSocketPath(dir.Path(), 0));
    EXPECT_TRUE(channel.Send(Running()));
    EXPECT_TRUE(channel.Send(Running()));
  }
  EXPECT_EQ(manager.Records(), 2u);
  EXPECT_EQ(manager.Connections, 1) << "the connection is kept";
  EXPECT_TRUE(Eventually([&] { return manager.Closed == 1; })) << "and closed with the channel";
}

TEST(HostChannel, GivesUpOnASilentHostAfterTheTimeoutAndIgnoresLateAnswers) {
  test::TTempDir dir;
  TTestHost silent(HostSocketPath(dir.Path(), 1), TTestHost::kSilent);
  THostChannel channel(dir.Path(), 200ms);
  ASSERT_TRUE(channel.Find(1));
  const auto took = Timed([&] { EXPECT_FALSE(channel.Send(Running())); });
  EXPECT_GE(took, 150ms);
  EXPECT_LT(took, 3s);
  EXPECT_TRUE(Eventually([&] { return silent.Records() == 1; })) << "the record went out";

  TTestHost late(HostSocketPath(dir.Path(), 2), TTestHost::kAnswer, 500ms);
  THostChannel impatient(dir.Path(), 100ms);
  ASSERT_TRUE(impatient.Find(2));
  EXPECT_FALSE(impatient.Send(Running()));
  ASSERT_TRUE(Eventually([&] { return late.Records() == 1; }));
  std::this_thread::sleep_for(700ms);  // the first answer is waiting by now
  EXPECT_FALSE(impatient.Send(Running())) << "the first answer taken for the second";
  EXPECT_EQ(late.Connections, 1) << "a slow host keeps its connection";
}

TEST(HostChannel, AHostIsNotWaitedForAgainUntilItAnswers) {
  test::TTempDir dir;
  TTestHost silent(HostSocketPath(dir.Path(), 1), TTestHost::kSilent);
  THostChannel channel(dir.Path(), 30s);
  ASSERT_TRUE(channel.Find(1));
  EXPECT_TRUE(channel.Post(Running())) << "out without waiting";
  EXPECT_FALSE(channel.Post(Running())) << "owed an answer: the host is behind";
  const auto took = Timed([&] { EXPECT_FALSE(channel.Send(Running())); });
  EXPECT_LT(took, 10s) << "the last record goes out, but is not waited for";
  EXPECT_TRUE(Eventually([&] { return silent.Records() == 2; }));

  TTestHost answering(HostSocketPath(dir.Path(), 2), TTestHost::kAnswer);
  THostChannel prompt(dir.Path(), 30s);
  ASSERT_TRUE(prompt.Find(2));
  EXPECT_TRUE(prompt.Post(Running()));
  EXPECT_TRUE(Eventually([&] { return prompt.Post(Running()); })) << "answered: the next one goes";
  ASSERT_TRUE(Eventually([&] { return answering.Records() == 2; }));
  std::this_thread::sleep_for(200ms);  // its answer is back by now
  EXPECT_TRUE(prompt.Send(Running())) << "and the last is waited for";
  EXPECT_EQ(answering.Records(), 3u);
}

TEST(HostChannel, AHostThatHangsUpFailsTheReportAtOnceWithoutSigpipe) {
  test::TTempDir dir;
  TTestHost host(HostSocketPath(dir.Path(), 0), TTestHost::kHangUp);
  THostChannel channel(dir.Path(), 5s);
  ASSERT_TRUE(channel.Find(0));
  ASSERT_TRUE(Eventually([&] { return host.Closed == 1; }));
  TClock::duration took{};
  EXPECT_FALSE(RaisesSigpipe([&] { took = Timed([&] { EXPECT_FALSE(channel.Send(Running())); }); }));
  EXPECT_LT(took, 2s) << "a hang-up is not waited out like silence";
  EXPECT_EQ(host.Connections, 2) << "one reconnect for the report, no more";
}

TEST(HostChannel, ReconnectsToTheSamePathWhenTheHostRestarts) {
  test::TTempDir dir;
  const std::string path = HostSocketPath(dir.Path(), 0);
  THostChannel channel(dir.Path(), 2s);
  std::optional<TTestHost> host(std::in_place, path, TTestHost::kAnswer);
  ASSERT_TRUE(channel.Find(0));
  EXPECT_TRUE(channel.Send(Running()));

  host.reset();  // restarted between two reports: the kept connection is stale
  ::unlink(path.c_str());
  host.emplace(path, TTestHost::kAnswer);
  EXPECT_TRUE(channel.Send(Running())) << "reconnected within the report";
  EXPECT_EQ(host->Records(), 1u);

  host.reset();  // gone for a while
  EXPECT_FALSE(RaisesSigpipe([&] { EXPECT_FALSE(channel.Send(Running())); }));
  EXPECT_FALSE(channel.Find(0));
  EXPECT_EQ(channel.Path(), path);
  ::unlink(path.c_str());
  host.emplace(path, TTestHost::kAnswer);
  EXPECT_TRUE(channel.Find(31)) << "the remembered path, not another slab's host";
  EXPECT_TRUE(channel.Send(Running()));
  EXPECT_EQ(host->Records(), 1u);
}

}  // namespace
}  // namespace slabrip
