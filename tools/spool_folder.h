// The watched folder: its slab files in the order they arrived, and inotify
// to hear of new ones between rescans.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace slabrip {

/// What tells a file that changed from one that did not.
struct TFileStamp {
  std::int64_t MtimeNs = 0;
  std::int64_t Size = 0;
  bool operator==(const TFileStamp&) const = default;
};

/// The stamp of a regular file; nothing when there is none at `path`.
std::optional<TFileStamp> StampOf(const std::string& path);

struct TSlabFile {
  std::string Path;
  TFileStamp Stamp;
};

class TSpoolFolder {
 public:
  /// Throws TError naming the folder when it is not one. A folder where
  /// inotify cannot watch is rescanned only.
  explicit TSpoolFolder(std::string folder);
  ~TSpoolFolder();
  TSpoolFolder(const TSpoolFolder&) = delete;
  TSpoolFolder& operator=(const TSpoolFolder&) = delete;

  /// The `*.RipSlab` files (extension in any case), oldest first, then by name.
  std::vector<TSlabFile> List() const;
  /// The inotify descriptor to poll, -1 without one.
  int EventFd() const { return Inotify_; }
  /// Reads the pending events; true when any came.
  bool DrainEvents();
  const std::string& Path() const { return Folder_; }

 private:
  std::string Folder_;
  int Inotify_ = -1;
};

}  // namespace slabrip
