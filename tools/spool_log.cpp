#include "spool_log.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "base/errors.h"
#include "base/file_paths.h"

namespace slabrip {

namespace {

std::string TimeNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return fmt::format("{}.{:03}", text, ms);
}

}  // namespace

TSpoolLog::TSpoolLog(std::string path, bool toStdout) : Path_(std::move(path)), ToStdout_(toStdout) {
  std::error_code error;
  const std::string folder = FolderPart(Path_);
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  File_ = std::fopen(Path_.c_str(), "ae");
  if (File_ == nullptr)
    throw TError(fmt::format("{}: cannot write the log: {}", Path_, std::strerror(errno)));
}

TSpoolLog::~TSpoolLog() { std::fclose(File_); }

void TSpoolLog::Line(const std::string& text) {
  const std::string line = fmt::format("{} {}\n", TimeNow(), text);
  std::fputs(line.c_str(), File_);
  std::fflush(File_);
  if (ToStdout_) {
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  }
}

}  // namespace slabrip
