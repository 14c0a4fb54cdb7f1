// A stand-in network printer for the tests: listens on a loopback TCP port like
// a raw AppSocket port and appends every byte it receives to a file.
//
// Usage: capture_printer PORT OUTPUT [PORT_FILE]
// PORT 0 takes any free port; the port in use is written to PORT_FILE once the
// listener accepts connections, so a script can wait for that file.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

/// A file descriptor closed when it goes.
class TFd {
 public:
  explicit TFd(int fd) : Fd_(fd) {}
  ~TFd() {
    if (Fd_ >= 0) ::close(Fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return Fd_; }

 private:
  int Fd_;
};

int Fail(std::string_view what) {
  std::fprintf(stderr, "capture_printer: %.*s: %s\n", static_cast<int>(what.size()), what.data(),
               std::strerror(errno));
  return 1;
}

bool WriteAll(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

/// Writes the port through a temporary file, so a reader never sees half of it.
bool PublishPort(const std::string& portFile, unsigned port) {
  const std::string temp = portFile + ".tmp";
  const std::string text = std::to_string(port) + "\n";
  TFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  return fd.Get() >= 0 && WriteAll(fd.Get(), text.data(), text.size()) &&
         ::rename(temp.c_str(), portFile.c_str()) == 0;
}

/// Copies one connection to the end of the output until the sender closes its side.
bool Capture(int connection, const std::string& output) {
  TFd out(::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (out.Get() < 0) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(connection, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    if (!WriteAll(out.Get(), buffer, static_cast<std::size_t>(n))) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: capture_printer PORT OUTPUT [PORT_FILE]\n");
    return 2;
  }
  const std::string_view portText = argv[1];
  unsigned port = 0;
  const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
  if (ec != std::errc() || end != portText.data() + portText.size() || port > 65535) {
    std::fprintf(stderr, "capture_printer: bad port %s\n", argv[1]);
    return 2;
  }
  const std::string output = argv[2];

  const TFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (listener.Get() < 0) return Fail("socket");
  const int yes = 1;
  ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Fail("bind");
  }
  if (::listen(listener.Get(), 16) != 0) return Fail("listen");
  socklen_t length = sizeof address;
  if (::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return Fail("getsockname");
  }
  // The output exists from the start, so "nothing arrived" reads as an empty file.
  if (TFd(::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)).Get() < 0) {
    return Fail(output);
  }
  if (argc == 4 && !PublishPort(argv[3], ntohs(address.sin_port))) return Fail(argv[3]);

  for (;;) {
    const TFd connection(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (connection.Get() < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return Fail("accept");
    }
    if (!Capture(connection.Get(), output)) Fail("receiving a connection");
  }
}
