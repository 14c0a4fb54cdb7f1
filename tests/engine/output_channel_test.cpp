// The output channel: print files, Windows port names, and raw jobs on a private cupsd.
#include "engine/output_channel.h"

#include <cups/cups.h>
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::ReadFile;
using test::TTempDir;
using ::testing::HasSubstr;

bool Write(TOutputChannel& channel, std::string_view text) {
  return channel.WriteOutput(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::ranges::sort(names);
  return names;
}

/// Polls `done` until it holds or `seconds` pass; true when it held.
bool WaitFor(const std::function<bool()>& done, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(OutputFile, CountsBytesAndReplacesTheOldFileOnlyWhenClosed) {
  TTempDir dir;
  const std::string path = dir.Write("slab.prn", "old print");
  TOutputChannel channel;
  ASSERT_TRUE(channel.OpenFileOutput(path)) << channel.Error();
  EXPECT_TRUE(channel.ToFile);
  EXPECT_FALSE(channel.OutputFailed);
  EXPECT_EQ(channel.OutputBytes, 0);
  EXPECT_TRUE(Write(channel, "\x1b%-12345X@PJL"));
  EXPECT_TRUE(Write(channel, ""));
  EXPECT_TRUE(Write(channel, std::string("\0\xff", 2)));
  EXPECT_EQ(channel.OutputBytes, 15);
  EXPECT_EQ(ReadFile(path), "old print");
  channel.CloseFileOutput();
  EXPECT_EQ(ReadFile(path), std::string("\x1b%-12345X@PJL\0\xff", 15));
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"slab.prn"});
  EXPECT_EQ(channel.Error(), "");
  EXPECT_FALSE(Write(channel, "after close"));
  EXPECT_EQ(channel.OutputBytes, 15);
}

TEST(OutputFile, EveryOpenStartsTheCountAgainAndDiscardsAnUnclosedFile) {
  TTempDir dir;
  TOutputChannel channel;
  EXPECT_FALSE(Write(channel, "nothing open"));
  ASSERT_TRUE(channel.OpenFileOutput(dir.File("first.prn")));
  EXPECT_TRUE(Write(channel, "12345"));
  ASSERT_TRUE(channel.OpenFileOutput(dir.File("second.prn")));
  EXPECT_EQ(channel.OutputBytes, 0);
  EXPECT_TRUE(Write(channel, "67"));
  EXPECT_FALSE(channel.OpenFileOutput(""));
  EXPECT_TRUE(channel.ToFile);
  EXPECT_TRUE(channel.OutputFailed);
  EXPECT_EQ(channel.OutputBytes, 0);
  EXPECT_NE(channel.Error(), "");
  EXPECT_FALSE(Write(channel, "89"));
  EXPECT_EQ(channel.OutputBytes, 0);
  EXPECT_TRUE(FolderListing(dir.Path()).empty());
}

TEST(OutputFile, EmptyPathFailsButStaysOnFile) {
  TOutputChannel channel;
  EXPECT_FALSE(channel.ToFile);
  EXPECT_FALSE(channel.OpenFileOutput(""));
  EXPECT_TRUE(channel.ToFile);
  EXPECT_TRUE(channel.OutputFailed);
}

TEST(OutputFile, FolderThatCannotBeWrittenFailsWithAReasonAndLeavesNothing) {
  TTempDir dir;
  dir.Write("plain.txt", "a file, not a folder");
  std::vector<std::string> paths = {dir.File("plain.txt/slab.prn"), dir.File("missing/slab.prn")};
  if (::geteuid() != 0) {  // permissions do not stop root
    std::filesystem::create_directory(dir.File("locked"));
    std::filesystem::permissions(dir.File("locked"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    paths.push_back(dir.File("locked/slab.prn"));
  }
  for (const std::string& path : paths) {
    TOutputChannel channel;
    EXPECT_FALSE(channel.OpenFileOutput(path));
    EXPECT_TRUE(channel.OutputFailed);
    EXPECT_THAT(channel.Error(), HasSubstr(path));
    EXPECT_FALSE(Write(channel, "data"));
    EXPECT_EQ(channel.OutputBytes, 0);
    channel.CloseFileOutput();
  }
  std::filesystem::remove(dir.File("locked"));
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"plain.txt"});
}

TEST(OutputFile, DroppedUnclosedKeepsTheOldFile) {
  TTempDir dir;
  const std::string path = dir.Write("slab.prn", "old print");
  {
    TOutputChannel channel;
    ASSERT_TRUE(channel.OpenFileOutput(path));
    EXPECT_TRUE(Write(channel, "half a print"));
  }
  EXPECT_EQ(ReadFile(path), "old print");
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"slab.prn"});
}

TEST(OutputFile, FailedReplaceIsReportedOnClose) {
  TTempDir dir;
  const std::string path = dir.File("taken");
  std::filesystem::create_directory(path);  // a folder cannot be renamed over
  TOutputChannel channel;
  ASSERT_TRUE(channel.OpenFileOutput(path));
  EXPECT_TRUE(Write(channel, "data"));
  channel.CloseFileOutput();
  EXPECT_TRUE(channel.OutputFailed);
  EXPECT_THAT(channel.Error(), HasSubstr(path));
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"taken"});
}

TEST(PortNames, BecomeDeviceUris) {
  EXPECT_EQ(DeviceUriForPort("IP_10.0.0.5"), "socket://10.0.0.5:9100");
  EXPECT_EQ(DeviceUriForPort("ip_10.0.0.5"), "socket://10.0.0.5:9100");
  EXPECT_EQ(DeviceUriForPort("IP_10.0.0.5_1"), "socket://10.0.0.5:9100");
  EXPECT_EQ(DeviceUriForPort("IP_10.0.0.5:9101"), "socket://10.0.0.5:9101");
  EXPECT_EQ(DeviceUriForPort("IP_printer.local"), "socket://printer.local:9100");
  EXPECT_EQ(DeviceUriForPort("10.0.0.5:9100"), "socket://10.0.0.5:9100");
  EXPECT_EQ(DeviceUriForPort("192.168.200.255"), "socket://192.168.200.255:9100");
  for (const char* uri :
       {"socket://10.0.0.5:9100", "ipp://printer.local/ipp/print", "usb://HP/Latex%20365"}) {
    EXPECT_EQ(DeviceUriForPort(uri), uri);
  }
}

TEST(PortNames, WithNoMeaningHereGiveNothing) {
  for (const char* port :
       {"USB001",        "LPT1:",  "COM1:",      "FILE:",       "nul:",          "",
        "PRN:",          "Ne00:",  "IP_",        "IP_bad host", "IP_-bad.local", "IP_10.0.0.5:0",
        "printer.local", "10.0.0", "10.0.0.256", "1.2.3.4.5",   "10.0.0.5:",     "10.0.0.5:65536",
        "10.0.0.5:x",    "10..0.5"}) {
    EXPECT_EQ(DeviceUriForPort(port), "") << port;
  }
}

TEST(PortNames, PrnIsNeverReassignedAndMeaninglessPortsGetANote) {
  TOutputChannel channel;
  for (const char* port : {"prn:", "PRN:", "Prn:"}) EXPECT_EQ(channel.SetPrinterPort("HP Latex", port), "");
  const std::string note = channel.SetPrinterPort("HP Latex", "LPT1:");
  EXPECT_THAT(note, HasSubstr("LPT1:"));
  EXPECT_THAT(note, HasSubstr("HP Latex"));
  EXPECT_EQ(channel.SetPrinterPort("", "IP_10.0.0.5"), "");
  EXPECT_EQ(channel.SetPrinterPort("HP Latex", ""), "");
}

struct TPipeCloser {
  void operator()(FILE* pipe) const { ::pclose(pipe); }
};

/// scripts/cups_server.sh: a cupsd of our own in a temporary folder, with a
/// capture printer; stopped when this goes, or by the script once this process ends.
class TPrivateCups {
 public:
  TPrivateCups() {
    const std::string command = fmt::format("SLABRIP_CUPS_OWNER={} '{}' start '{}' '{}' 2>&1", ::getpid(),
                                            SLABRIP_CUPS_SERVER_SCRIPT, Dir_.Path(), SLABRIP_CAPTURE_PRINTER);
    std::unique_ptr<FILE, TPipeCloser> pipe(::popen(command.c_str(), "r"));
    if (!pipe) return;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) Log_.append(buffer, n);
    if (::pclose(pipe.release()) != 0) return;
    std::istringstream lines(ReadFile(Dir_.File("server.env")));
    for (std::string line; std::getline(lines, line);) {
      if (const std::size_t eq = line.find('='); eq != std::string::npos)
        Values_[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  ~TPrivateCups() { Stop(); }
  TPrivateCups(const TPrivateCups&) = delete;
  TPrivateCups& operator=(const TPrivateCups&) = delete;

  void Stop() {
    std::system(
        fmt::format("'{}' stop '{}' >/dev/null 2>&1", SLABRIP_CUPS_SERVER_SCRIPT, Dir_.Path()).c_str());
  }
  bool Started() const { return Values_.contains("CUPS_SERVER"); }
  const std::string& Log() const { return Log_; }
  std::string Get(const std::string& key) const { return Values_.at(key); }
  std::string Folder() const { return Dir_.Path(); }

 private:
  TTempDir Dir_;
  std::string Log_;
  std::map<std::string, std::string> Values_;
};

struct TJobList {
  ~TJobList() { cupsFreeJobs(Count, Jobs); }
  cups_job_t* Jobs = nullptr;
  int Count = 0;
};

/// The state of the newest job on `queue` titled `title`.
std::optional<ipp_jstate_t> JobState(const std::string& queue, const std::string& title) {
  TJobList list;
  list.Count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &list.Jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
  std::optional<ipp_jstate_t> state;
  int newest = 0;
  for (int i = 0; i < list.Count; ++i) {
    if (title == list.Jobs[i].title && list.Jobs[i].id > newest) {
      newest = list.Jobs[i].id;
      state = list.Jobs[i].state;
    }
  }
  return state;
}

/// One private server for every test of the suite in this process; ctest runs
/// each test in a process of its own, so parallel tests never share one.
class CupsServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The default destination comes from the private server, not from the caller's shell.
    ::unsetenv("LPDEST");
    ::unsetenv("PRINTER");
    Server = std::make_unique<TPrivateCups>();
  }
  static void TearDownTestSuite() { Server.reset(); }
  void SetUp() override {
    ASSERT_TRUE(Server->Started()) << "the private CUPS server did not start:\n" << Server->Log();
    cupsSetServer(Server->Get("CUPS_SERVER").c_str());
    Queue = Server->Get("QUEUE");
    Other = Server->Get("OTHER_QUEUE");
    CaptureStart = ReadFile(Server->Get("CAPTURE_FILE")).size();
  }
  void TearDown() override { cupsSetServer(nullptr); }

  /// Waits until the printer has received `expected` since the test began; what it received.
  std::string Printed(std::size_t expected) const {
    std::string printed;
    WaitFor(
        [&] {
          printed = ReadFile(Server->Get("CAPTURE_FILE")).substr(CaptureStart);
          return printed.size() >= expected;
        },
        30);
    return printed;
  }

  static std::unique_ptr<TPrivateCups> Server;
  std::string Queue;
  std::string Other;
  std::size_t CaptureStart = 0;
};

std::unique_ptr<TPrivateCups> CupsServer::Server;

TEST_F(CupsServer, ListsItsQueuesInCupsOrderOverTheSocketAndTcp) {
  TOutputChannel channel;
  const std::vector<std::string> expected = {Other, Queue};
  EXPECT_EQ(channel.QueueNames(), expected);
  cupsSetServer(fmt::format("127.0.0.1:{}", Server->Get("CUPS_PORT")).c_str());
  EXPECT_EQ(channel.QueueNames(), expected);
}

TEST_F(CupsServer, FindPrinterIndexPrefersTheNameIgnoringCaseThenTheFirstContainingIt) {
  TOutputChannel channel;
  const std::vector<std::string> names = channel.QueueNames();
  ASSERT_EQ(names.size(), 2u);
  const int other = 0;
  const int queue = 1;
  ASSERT_EQ(names[other], "Old-Slabrip-Test");
  ASSERT_EQ(names[queue], "slabrip-test");
  EXPECT_EQ(channel.FindPrinterIndex("slabrip-test"), queue);
  EXPECT_EQ(channel.FindPrinterIndex("Slabrip-Test"), queue);  // not the earlier queue holding it
  EXPECT_EQ(channel.FindPrinterIndex("SLABRIP-TEST"), queue);
  EXPECT_EQ(channel.FindPrinterIndex("old-slabrip-test"), other);
  EXPECT_EQ(channel.FindPrinterIndex("Slabrip"), other);
  EXPECT_EQ(channel.FindPrinterIndex("slabrip"), queue);
  EXPECT_EQ(channel.FindPrinterIndex("-"), other);
  EXPECT_EQ(channel.FindPrinterIndex("SLABRIP"), -1);
  EXPECT_EQ(channel.FindPrinterIndex("HP Latex"), -1);
  EXPECT_EQ(channel.FindPrinterIndex(""), -1);
}

TEST_F(CupsServer, PrinterPortIsTheDeviceUriOfTheQueueNamedExactly) {
  TOutputChannel channel;
  EXPECT_EQ(channel.GetPrinterPort(Queue), Server->Get("QUEUE_URI"));
  EXPECT_EQ(channel.GetPrinterPort(Other), Server->Get("OTHER_QUEUE_URI"));
  EXPECT_EQ(channel.GetPrinterPort("SLABRIP-TEST"), "");
  EXPECT_EQ(channel.GetPrinterPort("HP Latex"), "");
}

TEST_F(CupsServer, RawJobReachesThePrinterByteForByte) {
  std::string payload;
  for (int i = 0; i < 256; ++i) payload += static_cast<char>(i);
  std::mt19937 random(7);
  for (int i = 0; i < 400'000; ++i) payload += static_cast<char>(random() & 0xff);
  TTempDir dir;
  TOutputChannel channel;
  ASSERT_TRUE(channel.OpenFileOutput(dir.File("before.prn")));
  ASSERT_TRUE(Write(channel, "counted"));
  ASSERT_TRUE(channel.OpenPrinterOutput(channel.FindPrinterIndex(Queue), "slab 42")) << channel.Error();
  EXPECT_FALSE(channel.ToFile);
  EXPECT_FALSE(channel.OutputFailed);
  EXPECT_EQ(channel.OutputBytes, 0);
  std::size_t sent = 0;
  for (const std::size_t block : {256u, 0u, 1u, 65'536u, 0u, 100'000u, 234'463u}) {
    EXPECT_TRUE(Write(channel, std::string_view(payload).substr(sent, block))) << channel.Error();
    sent += block;
    EXPECT_EQ(channel.OutputBytes, static_cast<std::int64_t>(sent));
  }
  ASSERT_EQ(sent, payload.size());
  channel.ClosePrinterOutput();
  EXPECT_FALSE(channel.OutputFailed);
  EXPECT_EQ(channel.Error(), "");
  const std::string printed = Printed(payload.size());
  EXPECT_EQ(printed.size(), payload.size());
  EXPECT_TRUE(printed == payload) << "the printer received other bytes";
  EXPECT_TRUE(WaitFor([&] { return JobState(Queue, "slab 42") == IPP_JSTATE_COMPLETED; }, 15));
}

TEST_F(CupsServer, IndexMinusOneIsTheDefaultQueue) {
  TOutputChannel channel;
  ASSERT_NE(channel.FindPrinterIndex(Queue), 0);  // the first queue would be a wrong guess
  ASSERT_TRUE(channel.OpenPrinterOutput(-1, "to the default")) << channel.Error();
  EXPECT_TRUE(Write(channel, "default queue\n"));
  channel.ClosePrinterOutput();
  EXPECT_EQ(Printed(14), "default queue\n");
  EXPECT_TRUE(WaitFor([&] { return JobState(Queue, "to the default") == IPP_JSTATE_COMPLETED; }, 15));
}

TEST_F(CupsServer, QueueRejectingJobsOrMissingFailsWithTheReason) {
  TOutputChannel channel;
  ASSERT_TRUE(channel.OpenPrinterOutput(channel.FindPrinterIndex(Queue), "dropped"));
  EXPECT_TRUE(Write(channel, "never printed"));
  EXPECT_FALSE(channel.OpenPrinterOutput(channel.FindPrinterIndex(Other), "refused"));
  EXPECT_TRUE(channel.OutputFailed);
  EXPECT_EQ(channel.OutputBytes, 0);
  EXPECT_THAT(channel.Error(), HasSubstr(Other));
  EXPECT_THAT(channel.Error(), HasSubstr("not accepting jobs"));
  EXPECT_FALSE(Write(channel, "data"));
  for (const int index : {2, -2}) {
    EXPECT_FALSE(channel.OpenPrinterOutput(index, "missing"));
    EXPECT_TRUE(channel.OutputFailed);
    EXPECT_THAT(channel.Error(), HasSubstr(fmt::format("no queue number {}", index)));
  }
  // The job left open by the next open is cancelled, not printed.
  EXPECT_EQ(JobState(Queue, "dropped"), IPP_JSTATE_CANCELED);
  ASSERT_TRUE(channel.OpenPrinterOutput(channel.FindPrinterIndex(Queue), "kept"));
  EXPECT_TRUE(Write(channel, "kept"));
  channel.ClosePrinterOutput();
  EXPECT_EQ(Printed(4), "kept");
}

TEST_F(CupsServer, SetPrinterPortRepointsAnExistingQueueOnly) {
  TOutputChannel channel;
  const std::string original = Server->Get("OTHER_QUEUE_URI");
  EXPECT_EQ(channel.SetPrinterPort(Other, "prn:"), "");
  EXPECT_THAT(channel.SetPrinterPort(Other, "USB001"), HasSubstr("USB001"));
  EXPECT_THAT(channel.SetPrinterPort("no-such-queue", "IP_10.0.0.9"), HasSubstr("no-such-queue"));
  EXPECT_EQ(channel.SetPrinterPort(Other, "IP_127.0.0.2_1"), "");
  EXPECT_TRUE(WaitFor([&] { return channel.GetPrinterPort(Other) == "socket://127.0.0.2:9100"; }, 15))
      << channel.GetPrinterPort(Other);
  EXPECT_EQ(channel.SetPrinterPort(Other, original), "");
  EXPECT_TRUE(WaitFor([&] { return channel.GetPrinterPort(Other) == original; }, 15));
  EXPECT_EQ(channel.GetPrinterPort(Queue), Server->Get("QUEUE_URI"));
  EXPECT_EQ(channel.QueueNames(), (std::vector<std::string>{Other, Queue}));
}

TEST_F(CupsServer, ServerDownFailsWithAClearError) {
  const std::string gone = Server->Folder() + "/gone.sock";
  cupsSetServer(gone.c_str());
  TOutputChannel channel;
  for (const int index : {-1, 0}) {
    EXPECT_FALSE(channel.OpenPrinterOutput(index, "nowhere"));
    EXPECT_TRUE(channel.OutputFailed);
    EXPECT_THAT(channel.Error(), HasSubstr("cannot reach the CUPS server " + gone));
  }
  EXPECT_FALSE(Write(channel, "data"));
  EXPECT_EQ(channel.OutputBytes, 0);
  EXPECT_TRUE(channel.QueueNames().empty());
  EXPECT_EQ(channel.FindPrinterIndex(Queue), -1);
  EXPECT_EQ(channel.GetPrinterPort(Queue), "");
  EXPECT_THAT(channel.SetPrinterPort(Queue, "IP_10.0.0.5"), HasSubstr(gone));
}

TEST_F(CupsServer, ServerLostDuringAJobFailsTheWritesAndTheClose) {
  TPrivateCups lost;
  ASSERT_TRUE(lost.Started()) << lost.Log();
  cupsSetServer(lost.Get("CUPS_SERVER").c_str());
  TOutputChannel channel;
  ASSERT_TRUE(channel.OpenPrinterOutput(channel.FindPrinterIndex(Queue), "lost")) << channel.Error();
  EXPECT_TRUE(Write(channel, "first"));
  lost.Stop();
  const std::string block(1 << 20, 'x');
  std::int64_t sent = 5;
  bool failed = false;
  for (int i = 0; i < 16 && !failed; ++i) {  // the socket may still buffer a block
    if (Write(channel, block)) {
      sent += static_cast<std::int64_t>(block.size());
    } else {
      failed = true;
    }
  }
  EXPECT_TRUE(failed);
  EXPECT_TRUE(channel.OutputFailed);
  EXPECT_EQ(channel.OutputBytes, sent);
  EXPECT_THAT(channel.Error(), HasSubstr(Queue));
  channel.ClosePrinterOutput();
  EXPECT_THAT(channel.Error(), HasSubstr("did not take the job"));
}

}  // namespace
}  // namespace slabrip
