// Raw jobs, queue lists and ports through CUPS.
#include "engine/cups_output.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <span>
#include <utility>

#include "base/ascii_case.h"
#include "base/errors.h"
#include "base/number_text.h"

extern char** environ;

namespace slabrip {
namespace {

/// How long a connection to the CUPS server may take to open.
constexpr int kConnectMsec = 30000;
/// The raw port of a network printer (AppSocket, JetDirect).
constexpr std::string_view kRawPrinterPort = "9100";

struct THttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
/// A connection to a CUPS server, closed when the handle goes.
using THttp = std::unique_ptr<http_t, THttpCloser>;

/// A connection of our own to the CUPS server of the environment (CUPS_SERVER,
/// client.conf); null when the server cannot be reached.
THttp ConnectToServer() {
  return THttp(
      httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMsec, nullptr));
}

std::string CannotReach() {
  return fmt::format("cannot reach the CUPS server {} ({})", CupsServerName(), cupsLastErrorString());
}

/// The destinations the server and the user's lpoptions know, freed when it goes.
class TDestList {
 public:
  explicit TDestList(http_t* http) : Count_(cupsGetDests2(http, &Dests_)) {}
  ~TDestList() { cupsFreeDests(Count_, Dests_); }
  TDestList(const TDestList&) = delete;
  TDestList& operator=(const TDestList&) = delete;

  /// The queues in the order CUPS sorts them; lpoptions instances ("queue/copy")
  /// are settings of a queue, not queues of their own.
  std::vector<const cups_dest_t*> Queues() const {
    std::vector<const cups_dest_t*> queues;
    for (const cups_dest_t& dest : std::span(Dests_, static_cast<std::size_t>(std::max(Count_, 0)))) {
      if (dest.instance == nullptr) queues.push_back(&dest);
    }
    return queues;
  }
  /// The queue named exactly `name`, or null.
  const cups_dest_t* Find(const std::string& name) const {
    for (const cups_dest_t* dest : Queues()) {
      if (name == dest->name) return dest;
    }
    return nullptr;
  }
  /// The default destination: LPDEST or PRINTER, else lpoptions, else the server's default.
  const cups_dest_t* Default() const { return cupsGetDest(nullptr, nullptr, Count_, Dests_); }

 private:
  cups_dest_t* Dests_ = nullptr;
  int Count_ = 0;
};

/// Cancels a job over a fresh connection: the job's own one may be halfway through a document.
void CancelJob(const std::string& queue, int jobId) {
  if (const THttp http = ConnectToServer()) cupsCancelJob2(http.get(), queue.c_str(), jobId, 0);
}

/// One raw job with one document, sent over its own connection as it is written.
/// A job dropped without Commit is cancelled, so half a print never reaches the printer.
class TCupsJobSink final : public TOutputSink {
 public:
  /// Throws TError saying why when CUPS refuses the job.
  TCupsJobSink(THttp http, std::string queue, const std::string& title)
      : Http_(std::move(http)), Queue_(std::move(queue)), Destination_("queue " + Queue_) {
    JobId_ = cupsCreateJob(Http_.get(), Queue_.c_str(), title.c_str(), 0, nullptr);
    if (JobId_ <= 0) {
      throw TError(fmt::format("the CUPS queue {} refused the job: {}", Queue_, cupsLastErrorString()));
    }
    if (cupsStartDocument(Http_.get(), Queue_.c_str(), JobId_, title.c_str(), CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE) {
      const std::string why = cupsLastErrorString();
      Http_.reset();
      CancelJob(Queue_, JobId_);
      throw TError(fmt::format("the CUPS queue {} refused the printer data: {}", Queue_, why));
    }
  }

  ~TCupsJobSink() override {
    if (Submitted_) return;
    Http_.reset();
    CancelJob(Queue_, JobId_);
  }
  TCupsJobSink(const TCupsJobSink&) = delete;
  TCupsJobSink& operator=(const TCupsJobSink&) = delete;

  void Write(const std::uint8_t* bytes, std::size_t count) override {
    // An empty write would end the chunked document early.
    if (count == 0) return;
    if (cupsWriteRequestData(Http_.get(), reinterpret_cast<const char*>(bytes), count) !=
        HTTP_STATUS_CONTINUE) {
      const int err = httpError(Http_.get());
      throw TError(fmt::format("printer data for the CUPS queue {} could not be sent: {}", Queue_,
                               err != 0 ? std::strerror(err) : cupsLastErrorString()));
    }
    Delivered_ += static_cast<std::int64_t>(count);
  }

  void Commit() override {
    if (cupsFinishDocument(Http_.get(), Queue_.c_str()) > IPP_STATUS_OK_CONFLICTING) {
      throw TError(fmt::format("the CUPS queue {} did not take the job: {}", Queue_, cupsLastErrorString()));
    }
    Submitted_ = true;
  }

  std::int64_t BytesDelivered() const override { return Delivered_; }
  const std::string& Destination() const override { return Destination_; }

 private:
  THttp Http_;
  std::string Queue_;
  std::string Destination_;
  int JobId_ = 0;
  std::int64_t Delivered_ = 0;
  bool Submitted_ = false;
};

bool AllDigits(std::string_view text) {
  return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

bool IsTcpPort(std::string_view text) {
  if (!AllDigits(text) || text.size() > 5) return false;
  int value = 0;
  for (const char c : text) value = value * 10 + (c - '0');
  return value >= 1 && value <= 65535;
}

/// Four decimal numbers 0..255 joined by dots.
bool IsIpv4(std::string_view text) {
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = text.find('.');
    const std::string_view number = part < 3 ? text.substr(0, dot) : text;
    if (!AllDigits(number) || number.size() > 3 || std::stoi(std::string(number)) > 255) return false;
    if (part < 3) {
      if (dot == std::string_view::npos) return false;
      text.remove_prefix(dot + 1);
    }
  }
  return true;
}

/// Dot-separated labels of letters, digits and inner hyphens.
bool IsHostName(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view label = text.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    const bool valid = std::ranges::all_of(label, [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    });
    if (!valid) return false;
    start = dot + 1;
  }
  return true;
}

/// "host[:port]" as an AppSocket URI, or empty when it is not one.
std::string SocketUri(std::string_view hostAndPort, bool hostNames) {
  std::string_view host = hostAndPort;
  std::string_view port = kRawPrinterPort;
  if (const std::size_t colon = hostAndPort.find(':'); colon != std::string_view::npos) {
    host = hostAndPort.substr(0, colon);
    port = hostAndPort.substr(colon + 1);
  }
  if (!IsTcpPort(port) || !(IsIpv4(host) || (hostNames && IsHostName(host)))) return {};
  return fmt::format("socket://{}:{}", host, port);
}

/// How long lpadmin may take to change a queue's device.
constexpr int kLpadminMsec = 30000;

/// Runs lpadmin to point the queue at the URI and waits for it; what went
/// wrong in its own words, else empty.
std::string RunLpadmin(const std::string& queue, const std::string& uri) {
  const std::string server = CupsServerName();
  std::vector<std::string> args = {"lpadmin", "-h", server, "-p", queue, "-v", uri};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::strerror(errno);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return fmt::format("cannot start lpadmin: {}", std::strerror(spawned));
  }
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLpadminMsec);
  bool finished = false;
  while (!finished) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd readable{pipeFds[0], POLLIN, 0};
    const int ready = left.count() > 0 ? ::poll(&readable, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[512];
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      finished = true;
    else if (said.size() < 2000)
      said.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipeFds[0]);
  if (!finished) ::kill(pid, SIGTERM);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!finished) return fmt::format("lpadmin did not finish within {} s", kLpadminMsec / 1000);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
  std::string reason(TrimBlanks(said));
  std::ranges::replace(reason, '\n', ' ');
  if (reason.empty())
    reason = WIFEXITED(status) ? fmt::format("exit status {}", WEXITSTATUS(status)) : "killed";
  return reason;
}

/// The name as CUPS could hold it: blanks, controls and / \\ ? ' " # become underscores.
std::string CupsQueueName(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 127 || std::string_view("/\\?'\"#").find(c) != std::string_view::npos) c = '_';
  }
  return safe;
}

}  // namespace

std::unique_ptr<TOutputSink> OpenPrinterOutput(int printerIndex, const std::string& documentName) {
  THttp http = ConnectToServer();
  if (!http) throw TError(CannotReach());
  std::string queue;
  {
    const TDestList dests(http.get());
    if (printerIndex == -1) {
      const cups_dest_t* dest = dests.Default();
      if (dest == nullptr)
        throw TError(fmt::format("the CUPS server {} has no default queue", CupsServerName()));
      queue = dest->name;
    } else {
      const std::vector<const cups_dest_t*> queues = dests.Queues();
      if (printerIndex < 0 || static_cast<std::size_t>(printerIndex) >= queues.size()) {
        throw TError(fmt::format("the CUPS server {} has no queue number {} ({} queues)", CupsServerName(),
                                 printerIndex, queues.size()));
      }
      queue = queues[static_cast<std::size_t>(printerIndex)]->name;
    }
  }
  return std::make_unique<TCupsJobSink>(std::move(http), std::move(queue), documentName);
}

TQueueMatch MatchQueue(const std::vector<TQueueInfo>& queues, const std::string& name) {
  if (name.empty()) return {};
  const std::string cupsName = CupsQueueName(name);
  const std::pair<const char*, std::function<bool(const TQueueInfo&)>> rules[] = {
      {"by name", [&](const TQueueInfo& q) { return EqualIgnoringCase(q.Name, name); }},
      {"by description", [&](const TQueueInfo& q) { return EqualIgnoringCase(q.Description, name); }},
      {"as a CUPS queue name", [&](const TQueueInfo& q) { return EqualIgnoringCase(q.Name, cupsName); }},
      {"by a name containing it",
       [&](const TQueueInfo& q) { return q.Name.find(name) != std::string::npos; }},
  };
  for (const auto& [how, matches] : rules) {
    if (const auto found = std::ranges::find_if(queues, matches); found != queues.end())
      return {static_cast<int>(found - queues.begin()), how};
  }
  return {};
}

int FindPrinterIndex(const std::string& name) { return MatchQueue(Queues(), name).Index; }

std::string GetPrinterPort(const std::string& printer) {
  const THttp http = ConnectToServer();
  if (!http) return {};
  const TDestList dests(http.get());
  const cups_dest_t* dest = dests.Find(printer);
  if (dest == nullptr) return {};
  const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options);
  return uri != nullptr ? uri : "";
}

std::string SetPrinterPort(const std::string& printer, const std::string& port) {
  if (printer.empty() || port.empty() || EqualIgnoringCase(port, "PRN:")) return {};
  const std::string uri = DeviceUriForPort(port);
  if (uri.empty()) {
    return fmt::format("port {} has no meaning on Linux: the queue {} keeps its device", port, printer);
  }
  {
    // lpadmin would make a new queue of an unknown name.
    const THttp http = ConnectToServer();
    if (!http) return fmt::format("the queue {} keeps its device: {}", printer, CannotReach());
    if (TDestList(http.get()).Find(printer) == nullptr) {
      return fmt::format("there is no CUPS queue {} to point at {}", printer, uri);
    }
  }
  if (const std::string err = RunLpadmin(printer, uri); !err.empty()) {
    return fmt::format("the queue {} keeps its device: lpadmin could not point it at {}: {}", printer, uri,
                       err);
  }
  return {};
}

std::string CupsServerName() {
  const char* server = cupsServer();
  return server[0] == '/' ? std::string(server) : fmt::format("{}:{}", server, ippPort());
}

std::vector<TQueueInfo> Queues() {
  const THttp http = ConnectToServer();
  if (!http) return {};
  const TDestList dests(http.get());
  const cups_dest_t* byDefault = dests.Default();
  std::vector<TQueueInfo> queues;
  for (const cups_dest_t* dest : dests.Queues()) {
    const auto option = [dest](const char* name) {
      const char* value = cupsGetOption(name, dest->num_options, dest->options);
      return std::string(value != nullptr ? value : "");
    };
    queues.push_back({dest->name, option("printer-info"), option("device-uri"),
                      byDefault != nullptr && std::string_view(byDefault->name) == dest->name});
  }
  return queues;
}

std::vector<std::string> QueueNames() {
  std::vector<std::string> names;
  for (TQueueInfo& queue : Queues()) names.push_back(std::move(queue.Name));
  return names;
}

std::string DeviceUriForPort(std::string_view port) {
  if (port.find("://") != std::string_view::npos) return std::string(port);
  if (port.size() > 3 && EqualIgnoringCase(port.substr(0, 3), "IP_")) {
    std::string_view host = port.substr(3);
    // Windows names a second port to the same address IP_a.b.c.d_1.
    if (const std::size_t underscore = host.rfind('_');
        underscore != std::string_view::npos && underscore > 0 && AllDigits(host.substr(underscore + 1))) {
      host = host.substr(0, underscore);
    }
    return SocketUri(host, true);
  }
  return SocketUri(port, false);
}

}  // namespace slabrip
