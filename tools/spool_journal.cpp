#include "spool_journal.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/errors.h"
#include "base/file_paths.h"

namespace slabrip {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
    fields.push_back(line.substr(from, tab - from));
  fields.push_back(line.substr(from));
  return fields;
}

template <class T>
bool ParseInt(const std::string& text, T& value, int base = 10) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value, base);
  return error == std::errc() && at == end && !text.empty();
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

}  // namespace

TSpoolJournal::TSpoolJournal(std::string path) : Path_(std::move(path)) {
  std::error_code error;
  const std::string folder = FolderPart(Path_);
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  const int fd = ::open(Path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw TError(fmt::format("{}: cannot write the journal: {}", Path_, std::strerror(errno)));
  ::close(fd);
  std::ifstream in(Path_);
  if (!in) throw TError(Path_ + ": cannot read the journal");
  // A line cut short by a crash does not parse and is passed over.
  for (std::string line; std::getline(in, line);) {
    const auto fields = SplitTabs(line);
    TJournalEntry entry;
    std::uint64_t slabId = 0;
    if (fields.size() != 7 || (fields[1] != "started" && fields[1] != "ended") ||
        !ParseInt(fields[2], entry.Stamp.MtimeNs) || !ParseInt(fields[3], entry.Stamp.Size) ||
        fields[4].size() != 17 || fields[4][0] != '$' || !ParseInt(fields[4].substr(1), slabId, 16))
      continue;
    entry.Ended = fields[1] == "ended";
    entry.Outcome = fields[5];
    Last_[{fields[6], static_cast<std::int64_t>(slabId)}] = entry;
  }
}

std::optional<TJournalEntry> TSpoolJournal::Last(const std::string& slab, std::int64_t slabId) const {
  const auto found = Last_.find({slab, slabId});
  if (found == Last_.end()) return std::nullopt;
  return found->second;
}

void TSpoolJournal::Started(const std::string& slab, std::int64_t slabId, const TFileStamp& stamp) {
  Append(slab, slabId, {false, stamp, "-"});
}

void TSpoolJournal::Ended(const std::string& slab, std::int64_t slabId, const TFileStamp& stamp,
                          const std::string& outcome) {
  Append(slab, slabId, {true, stamp, outcome});
}

void TSpoolJournal::Append(const std::string& slab, std::int64_t slabId, const TJournalEntry& entry) {
  Last_[{slab, slabId}] = entry;
  // One write per line through O_APPEND: a crash leaves whole lines or one cut line at the end.
  const std::string line = fmt::format(
      "{}\t{}\t{}\t{}\t${:016X}\t{}\t{}\n", Now(), entry.Ended ? "ended" : "started", entry.Stamp.MtimeNs,
      entry.Stamp.Size, static_cast<std::uint64_t>(slabId), entry.Outcome, slab);
  const int fd = ::open(Path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  const bool written = fd >= 0 &&
                       ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                       ::fsync(fd) == 0;
  const int cause = errno;
  if (fd >= 0) ::close(fd);
  if (!written) throw TError(fmt::format("{}: cannot write the journal: {}", Path_, std::strerror(cause)));
}

}  // namespace slabrip
