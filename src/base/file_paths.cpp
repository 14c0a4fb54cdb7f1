#include "base/file_paths.h"

#include <filesystem>

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/ascii_case.h"
#include "base/errors.h"

namespace slabrip {

namespace {

// Closes a descriptor on every path out of a function.
class TFd {
 public:
  explicit TFd(int fd) : Fd(fd) {}
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Release() { return std::exchange(Fd, -1); }
  int Fd;
};

[[noreturn]] void FileError(const std::string& path, std::string_view what, int err) {
  throw TError(fmt::format("{}: {}: {}", path, what, std::strerror(err)));
}

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FileNamePart(std::string_view path) {
  const auto sep = LastSeparator(path);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string FolderPart(std::string_view path) {
  const auto sep = path.find_last_of('/');
  if (sep == std::string_view::npos) return {};
  return std::string(path.substr(0, sep == 0 ? 1 : sep));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const auto sep = LastSeparator(path);
  const auto dot = path.find_last_of('.');
  const bool hasExt = dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep);
  return std::string(hasExt ? path.substr(0, dot) : path) + std::string(ext);
}

namespace {

// Slabs come from Windows, where names match in any case: the first such
// name in sorted order, so the choice does not depend on the folder's order.
std::string InAnyCase(const std::string& folder, const std::string& name,
                      bool (*exists)(const std::string&)) {
  const std::string base = folder.empty() ? std::string() : folder + "/";
  std::error_code error;
  std::string found;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    const std::string candidate = entry.path().filename().string();
    if (EqualIgnoringCase(candidate, name) && (found.empty() || candidate < found) &&
        exists(base + candidate))
      found = candidate;
  }
  return found.empty() ? std::string() : base + found;
}

}  // namespace

std::string ResolveBeside(std::string_view reference, const std::string& folder) {
  if (reference.empty()) return {};
  const std::string ref(reference);
  const std::string base = folder.empty() ? std::string() : folder + "/";
  if (ref.front() == '/') {
    if (FileExists(ref)) return ref;
  } else if (FileExists(base + ref)) {
    return base + ref;
  }
  const std::string name = FileNamePart(ref);
  if (name.empty()) return {};
  const std::string beside = base + name;
  if (name != ref && FileExists(beside)) return beside;
  return InAnyCase(folder, name, FileExists);
}

std::string FolderBeside(const std::string& name, const std::string& folder) {
  const std::string base = folder.empty() ? std::string() : folder + "/";
  if (FolderExists(base + name)) return base + name;
  return InAnyCase(folder, name, FolderExists);
}

std::string ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Fd < 0) FileError(path, "cannot open", errno);
  struct stat st {};
  if (::fstat(fd.Fd, &st) != 0) FileError(path, "cannot read", errno);
  if (!S_ISREG(st.st_mode)) throw TError(fmt::format("{}: not a regular file", path));
  if (static_cast<std::size_t>(st.st_size) > maxBytes)
    throw TError(fmt::format("{}: file too large ({} bytes, at most {})", path, st.st_size, maxBytes));
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.Fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FileError(path, "cannot read", errno);
    if (n == 0) break;  // shrank while reading
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  TAtomicFileWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

TAtomicFileWriter::TAtomicFileWriter(std::string path) : Path_(std::move(path)) {
  // A fresh file gets 0666 less the umask from open itself; a rewritten one keeps its mode.
  for (unsigned attempt = 0; Fd_ < 0 && attempt < 100; ++attempt) {
    Temp_ = fmt::format("{}.{}-{}.tmp", Path_, ::getpid(), attempt);
    Fd_ = ::open(Temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd_ < 0 && errno != EEXIST) break;
  }
  if (Fd_ < 0) FileError(Path_, "cannot create a temporary file beside it", errno);
  struct stat st {};
  if (::stat(Path_.c_str(), &st) == 0 && ::fchmod(Fd_, st.st_mode & 07777) != 0) {
    const int err = errno;
    ::close(std::exchange(Fd_, -1));
    ::unlink(Temp_.c_str());
    FileError(Path_, "cannot set permissions", err);
  }
}

TAtomicFileWriter::~TAtomicFileWriter() {
  if (Fd_ >= 0) {
    ::close(Fd_);
    ::unlink(Temp_.c_str());
  }
}

void TAtomicFileWriter::Write(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(Fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FileError(Path_, "cannot write", errno);
    done += static_cast<std::size_t>(n);
  }
  Written_ += static_cast<std::int64_t>(bytes.size());
}

void TAtomicFileWriter::Commit() {
  if (::fsync(Fd_) != 0) FileError(Path_, "cannot write", errno);
  if (::close(std::exchange(Fd_, -1)) != 0) {
    const int err = errno;
    ::unlink(Temp_.c_str());
    FileError(Path_, "cannot write", err);
  }
  if (::rename(Temp_.c_str(), Path_.c_str()) != 0) {
    const int err = errno;
    ::unlink(Temp_.c_str());
    FileError(Path_, "cannot replace", err);
  }
}

}  // namespace slabrip
