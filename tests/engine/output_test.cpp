// Printer output: print files, Windows port names, and raw jobs on a private cupsd.
#include "engine/cups_output.h"

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

#include "base/errors.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::ReadFile;
using test::TTempDir;
using ::testing::AllOf;
using ::testing::HasSubstr;

void Write(TOutputSink& sink, std::string_view text) {
  sink.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
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

TEST(OutputFile, CountsBytesAndReplacesTheOldFileOnlyWhenCommitted) {
  TTempDir dir;
  const std::string path = dir.Write("slab.prn", "old print");
  const auto file = OpenFileOutput(path);
  EXPECT_EQ(file->Destination(), path);
  EXPECT_EQ(file->BytesDelivered(), 0);
  Write(*file, "\x1b%-12345X@PJL");
  Write(*file, "");
  Write(*file, std::string("\0\xff", 2));
  EXPECT_EQ(file->BytesDelivered(), 15);
  EXPECT_EQ(ReadFile(path), "old print");
  file->Commit();
  EXPECT_EQ(ReadFile(path), std::string("\x1b%-12345X@PJL\0\xff", 15));
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"slab.prn"});
  EXPECT_THROW(Write(*file, "after commit"), TError);
  EXPECT_EQ(file->BytesDelivered(), 15);
}

TEST(OutputFile, AnEmptyPathOrAFolderThatCannotBeWrittenFailsWithAReasonAndLeavesNothing) {
  TTempDir dir;
  EXPECT_THAT([] { OpenFileOutput(""); }, ::testing::ThrowsMessage<TError>(HasSubstr("no print file name")));
  dir.Write("plain.txt", "a file, not a folder");
  std::vector<std::string> paths = {dir.File("plain.txt/slab.prn"), dir.File("missing/slab.prn")};
  if (::geteuid() != 0) {  // permissions do not stop root
    std::filesystem::create_directory(dir.File("locked"));
    std::filesystem::permissions(dir.File("locked"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    paths.push_back(dir.File("locked/slab.prn"));
  }
  for (const std::string& path : paths)
    EXPECT_THAT([&] { OpenFileOutput(path); }, ::testing::ThrowsMessage<TError>(HasSubstr(path)));
  std::filesystem::remove(dir.File("locked"));
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"plain.txt"});
}

TEST(OutputFile, DroppedUncommittedKeepsTheOldFile) {
  TTempDir dir;
  const std::string path = dir.Write("slab.prn", "old print");
  Write(*OpenFileOutput(path), "half a print");
  EXPECT_EQ(ReadFile(path), "old print");
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"slab.prn"});
}

TEST(OutputFile, FailedReplaceIsReportedOnCommit) {
  TTempDir dir;
  const std::string path = dir.File("taken");
  std::filesystem::create_directory(path);  // a folder cannot be renamed over
  const auto file = OpenFileOutput(path);
  Write(*file, "data");
  EXPECT_THAT([&] { file->Commit(); }, ::testing::ThrowsMessage<TError>(HasSubstr(path)));
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"taken"});
}

TEST(PortNames, BecomeDeviceUris) {
  using TCase = std::pair<const char*, const char*>;
  for (const auto& [port, uri] :
       {TCase{"IP_10.0.0.5", "socket://10.0.0.5:9100"}, TCase{"ip_10.0.0.5", "socket://10.0.0.5:9100"},
        TCase{"IP_10.0.0.5_1", "socket://10.0.0.5:9100"}, TCase{"IP_10.0.0.5:9101", "socket://10.0.0.5:9101"},
        TCase{"IP_printer.local", "socket://printer.local:9100"},
        TCase{"10.0.0.5:9100", "socket://10.0.0.5:9100"},
        TCase{"192.168.200.255", "socket://192.168.200.255:9100"}})
    EXPECT_EQ(DeviceUriForPort(port), uri) << port;
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
  for (const char* port : {"prn:", "PRN:", "Prn:"}) EXPECT_EQ(SetPrinterPort("HP Latex", port), "");
  const std::string note = SetPrinterPort("HP Latex", "LPT1:");
  EXPECT_THAT(note, HasSubstr("LPT1:"));
  EXPECT_THAT(note, HasSubstr("HP Latex"));
  EXPECT_EQ(SetPrinterPort("", "IP_10.0.0.5"), "");
  EXPECT_EQ(SetPrinterPort("HP Latex", ""), "");
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
  const std::vector<std::string> expected = {Other, Queue};
  EXPECT_EQ(QueueNames(), expected);
  cupsSetServer(fmt::format("127.0.0.1:{}", Server->Get("CUPS_PORT")).c_str());
  EXPECT_EQ(QueueNames(), expected);
}

TEST_F(CupsServer, FindPrinterIndexPrefersTheNameIgnoringCaseThenTheFirstContainingIt) {
  const std::vector<std::string> names = QueueNames();
  ASSERT_EQ(names.size(), 2u);
  const int other = 0;
  const int queue = 1;
  ASSERT_EQ(names[other], "Old-Slabrip-Test");
  ASSERT_EQ(names[queue], "slabrip-test");
  // "Slabrip-Test" finds the queue of that name, not the earlier one holding it.
  for (const char* name : {"slabrip-test", "Slabrip-Test", "SLABRIP-TEST", "slabrip"})
    EXPECT_EQ(FindPrinterIndex(name), queue) << name;
  for (const char* name : {"old-slabrip-test", "Slabrip", "-"})
    EXPECT_EQ(FindPrinterIndex(name), other) << name;
  for (const char* name : {"SLABRIP", "HP Latex", ""}) EXPECT_EQ(FindPrinterIndex(name), -1) << name;
}

TEST(MatchQueue, TriesEachRuleOverAllQueuesBeforeTheNext) {
  const std::vector<TQueueInfo> queues = {{"Latex_570_old", "Slabrip Test", "", false},
                                          {"HP_Latex_570", "", "", false},
                                          {"slabrip-test", "HP Latex 570", "", true}};
  const auto match = [&](const std::string& name) {
    const TQueueMatch m = MatchQueue(queues, name);
    return std::to_string(m.Index) + " " + m.How;
  };
  // The description comes before the name with underscores.
  using TCase = std::pair<const char*, const char*>;
  for (const auto& [name, found] :
       {TCase{"SLABRIP-TEST", "2 by name"}, TCase{"hp latex 570", "2 by description"},
        TCase{"slabrip test", "0 by description"}, TCase{"Latex 570 old", "0 as a CUPS queue name"},
        TCase{"Latex/570#old", "0 as a CUPS queue name"}, TCase{"Latex_570", "0 by a name containing it"},
        TCase{"latex_570", "-1 "}, TCase{"", "-1 "}})
    EXPECT_EQ(match(name), found) << name;
}

TEST_F(CupsServer, PrinterPortIsTheDeviceUriOfTheQueueNamedExactly) {
  EXPECT_EQ(GetPrinterPort(Queue), Server->Get("QUEUE_URI"));
  EXPECT_EQ(GetPrinterPort(Other), Server->Get("OTHER_QUEUE_URI"));
  EXPECT_EQ(GetPrinterPort("SLABRIP-TEST"), "");
  EXPECT_EQ(GetPrinterPort("HP Latex"), "");
}

TEST_F(CupsServer, RawJobReachesThePrinterByteForByte) {
  std::string payload;
  for (int i = 0; i < 256; ++i) payload += static_cast<char>(i);
  std::mt19937 random(7);
  for (int i = 0; i < 400'000; ++i) payload += static_cast<char>(random() & 0xff);
  const auto job = OpenPrinterOutput(FindPrinterIndex(Queue), "slab 42");
  EXPECT_EQ(job->Destination(), "queue " + Queue);
  EXPECT_EQ(job->BytesDelivered(), 0);
  std::size_t sent = 0;
  for (const std::size_t block : {256u, 0u, 1u, 65'536u, 0u, 100'000u, 234'463u}) {
    Write(*job, std::string_view(payload).substr(sent, block));
    sent += block;
    EXPECT_EQ(job->BytesDelivered(), static_cast<std::int64_t>(sent));
  }
  ASSERT_EQ(sent, payload.size());
  job->Commit();
  const std::string printed = Printed(payload.size());
  EXPECT_EQ(printed.size(), payload.size());
  EXPECT_TRUE(printed == payload) << "the printer received other bytes";
  EXPECT_TRUE(WaitFor([&] { return JobState(Queue, "slab 42") == IPP_JSTATE_COMPLETED; }, 15));
}

TEST_F(CupsServer, IndexMinusOneIsTheDefaultQueue) {
  ASSERT_NE(FindPrinterIndex(Queue), 0);  // the first queue would be a wrong guess
  const auto job = OpenPrinterOutput(-1, "to the default");
  Write(*job, "default queue\n");
  job->Commit();
  EXPECT_EQ(Printed(14), "default queue\n");
  EXPECT_TRUE(WaitFor([&] { return JobState(Queue, "to the default") == IPP_JSTATE_COMPLETED; }, 15));
}

TEST_F(CupsServer, QueueRejectingJobsOrMissingFailsWithTheReason) {
  {
    const auto dropped = OpenPrinterOutput(FindPrinterIndex(Queue), "dropped");
    Write(*dropped, "never printed");
  }
  EXPECT_THAT(
      [&] { OpenPrinterOutput(FindPrinterIndex(Other), "refused"); },
      ::testing::ThrowsMessage<TError>(::testing::AllOf(HasSubstr(Other), HasSubstr("not accepting jobs"))));
  for (const int index : {2, -2}) {
    EXPECT_THAT([&] { OpenPrinterOutput(index, "missing"); },
                ::testing::ThrowsMessage<TError>(HasSubstr(fmt::format("no queue number {}", index))));
  }
  // The job dropped without a commit is cancelled, not printed.
  EXPECT_EQ(JobState(Queue, "dropped"), IPP_JSTATE_CANCELED);
  const auto kept = OpenPrinterOutput(FindPrinterIndex(Queue), "kept");
  Write(*kept, "kept");
  kept->Commit();
  EXPECT_EQ(Printed(4), "kept");
}

TEST_F(CupsServer, SetPrinterPortRepointsAnExistingQueueOnlyAndSaysWhyNot) {
  const std::string original = Server->Get("OTHER_QUEUE_URI");
  EXPECT_EQ(SetPrinterPort(Other, "prn:"), "");
  EXPECT_THAT(SetPrinterPort(Other, "USB001"), HasSubstr("USB001"));
  EXPECT_THAT(SetPrinterPort("no-such-queue", "IP_10.0.0.9"), HasSubstr("no-such-queue"));
  EXPECT_EQ(SetPrinterPort(Other, "IP_127.0.0.2_1"), "");
  EXPECT_EQ(GetPrinterPort(Other), "socket://127.0.0.2:9100");  // done before it returns
  // lpadmin refuses the URI: its own words, and the queue keeps its device.
  EXPECT_THAT(SetPrinterPort(Other, "nosuch://127.0.0.3"),
              AllOf(HasSubstr("lpadmin could not point it at nosuch://127.0.0.3: "), HasSubstr("nosuch")));
  EXPECT_EQ(GetPrinterPort(Other), "socket://127.0.0.2:9100");
  EXPECT_EQ(SetPrinterPort(Other, original), "");
  EXPECT_EQ(GetPrinterPort(Other), original);
  EXPECT_EQ(GetPrinterPort(Queue), Server->Get("QUEUE_URI"));
  EXPECT_EQ(QueueNames(), (std::vector<std::string>{Other, Queue}));
}

TEST_F(CupsServer, ServerDownFailsWithAClearError) {
  const std::string gone = Server->Folder() + "/gone.sock";
  cupsSetServer(gone.c_str());
  for (const int index : {-1, 0}) {
    EXPECT_THAT([&] { OpenPrinterOutput(index, "nowhere"); },
                ::testing::ThrowsMessage<TError>(HasSubstr("cannot reach the CUPS server " + gone)));
  }
  EXPECT_TRUE(QueueNames().empty());
  EXPECT_EQ(FindPrinterIndex(Queue), -1);
  EXPECT_EQ(GetPrinterPort(Queue), "");
  EXPECT_THAT(SetPrinterPort(Queue, "IP_10.0.0.5"), HasSubstr(gone));
}

TEST_F(CupsServer, ServerLostDuringAJobFailsTheWritesAndTheCommit) {
  TPrivateCups lost;
  ASSERT_TRUE(lost.Started()) << lost.Log();
  cupsSetServer(lost.Get("CUPS_SERVER").c_str());
  const auto job = OpenPrinterOutput(FindPrinterIndex(Queue), "lost");
  Write(*job, "first");
  lost.Stop();
  const std::string block(1 << 20, 'x');
  std::int64_t sent = 5;
  std::string failure;
  for (int i = 0; i < 16 && failure.empty(); ++i) {  // the socket may still buffer a block
    try {
      Write(*job, block);
      sent += static_cast<std::int64_t>(block.size());
    } catch (const TError& e) {
      failure = e.what();
    }
  }
  EXPECT_THAT(failure, HasSubstr(Queue));
  EXPECT_EQ(job->BytesDelivered(), sent);
  EXPECT_THAT([&] { job->Commit(); }, ::testing::ThrowsMessage<TError>(HasSubstr("did not take the job")));
}

}  // namespace
}  // namespace slabrip
