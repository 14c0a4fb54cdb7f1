#include "spool_folder.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "base/ascii_case.h"
#include "base/errors.h"
#include "base/file_paths.h"

namespace slabrip {

std::optional<TFileStamp> StampOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return TFileStamp{static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                    static_cast<std::int64_t>(info.st_size)};
}

TSpoolFolder::TSpoolFolder(std::string folder) : Folder_(std::move(folder)) {
  if (!FolderExists(Folder_)) throw TError(Folder_ + ": no such folder to watch");
  // The journal knows slabs by path: the same whatever folder the spooler started in.
  std::error_code error;
  const auto absolute = std::filesystem::absolute(Folder_, error);
  if (!error) Folder_ = absolute.lexically_normal().string();
  Inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (Inotify_ >= 0 &&
      ::inotify_add_watch(Inotify_, Folder_.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0) {
    ::close(Inotify_);
    Inotify_ = -1;
  }
}

TSpoolFolder::~TSpoolFolder() {
  if (Inotify_ >= 0) ::close(Inotify_);
}

std::vector<TSlabFile> TSpoolFolder::List() const {
  std::vector<TSlabFile> slabs;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(Folder_, error)) {
    const std::string name = entry.path().filename().string();
    constexpr std::string_view kExtension = ".RipSlab";
    if (name.size() <= kExtension.size() ||
        !EqualIgnoringCase(std::string_view(name).substr(name.size() - kExtension.size()), kExtension))
      continue;
    const std::string path = entry.path().string();
    if (const auto stamp = StampOf(path)) slabs.push_back({path, *stamp});
  }
  std::sort(slabs.begin(), slabs.end(), [](const TSlabFile& a, const TSlabFile& b) {
    return std::tie(a.Stamp.MtimeNs, a.Path) < std::tie(b.Stamp.MtimeNs, b.Path);
  });
  return slabs;
}

bool TSpoolFolder::DrainEvents() {
  if (Inotify_ < 0) return false;
  alignas(inotify_event) char buffer[4096];
  bool any = false;
  while (::read(Inotify_, buffer, sizeof buffer) > 0) any = true;
  return any;
}

}  // namespace slabrip
