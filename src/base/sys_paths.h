// The design suite's folders on Linux: XDG folders and the suite's settings file.
#pragma once

#include <cstdint>
#include <string>

namespace slabrip {

/// Where the suite's folders come from; read from the process environment
/// in the program, set by hand in tests.
struct TSysEnvironment {
  std::string ProgramFiles;  // where programs are installed, "/opt"
  std::string DataHome;      // $XDG_DATA_HOME or ~/.local/share
  std::string ConfigHome;    // $XDG_CONFIG_HOME or ~/.config
  std::string Documents;     // XDG_DOCUMENTS_DIR or ~/Documents

  static TSysEnvironment FromProcess();
};

/// The suite's root folders, worked out once at start-up, and the numbered
/// folder table. Folders that do not exist stay empty.
class TSysPaths {
 public:
  static constexpr int kIccFolder = 19;
  static constexpr int kDriversFolder = 20;
  static constexpr int kPrintJobsFolder = 21;

  /// Defaults from the environment, then overrides from
  /// ConfigHome/OrvenexCorp/Quillar.conf (sections Data, UpdateInfo, Paths).
  explicit TSysPaths(const TSysEnvironment& env);

  /// The settings file that stands for the suite's registry key.
  static std::string SettingsFile(const TSysEnvironment& env);

  /// A numbered folder ending in "/"; empty for a number the driver does not know.
  std::string Path(int number) const;

  /// Where the data folder came from, in words for `slabrip info`; empty with no data folder.
  const std::string& DataFolderFrom() const { return DataFolderFrom_; }
  /// The numbered folder when it exists, else empty.
  std::string ExistingPath(int number) const;

  const std::string& ProgramFolder() const { return ProgramFolder_; }
  const std::string& DataFolder() const { return DataFolder_; }
  const std::string& FontFolder() const { return FontFolder_; }
  const std::string& ClipFolder() const { return ClipFolder_; }
  const std::string& UserDataFolder() const { return UserDataFolder_; }
  const std::string& DocumentsFolder() const { return DocumentsFolder_; }
  std::int32_t GuiNumber() const { return GuiNumber_; }
  const std::string& UpdateVersion() const { return UpdateVersion_; }

 private:
  std::string ProgramFolder_;
  std::string DataFolder_;
  std::string DataFolderFrom_;
  std::string FontFolder_;
  std::string ClipFolder_;
  std::string UserDataFolder_;
  std::string DocumentsFolder_;
  std::int32_t GuiNumber_ = 0;
  std::string UpdateVersion_;
};

/// The folder of the running program's own file, with a trailing "/"
/// (where the libraries shipped with it live).
std::string ExecutableFolder();

/// Joins a folder and a part with one "/"; empty when the folder is empty or
/// the joined folder does not exist.
std::string JoinExistingFolder(const std::string& folder, const std::string& part);

/// A folder the driver reads, with where it came from.
struct TFolderChoice {
  std::string Folder;  // ends in "/"; empty when there is none
  std::string From;    // "--icc-dir", "the XDG data folder", "beside the slab", ...
};

/// `chosen` when it names a folder (an option or the suite's); else the
/// folder `name` beside the slab file, in any case, when there is one (a
/// slab folder copied whole); else nothing.
TFolderChoice FolderForSlab(const TFolderChoice& chosen, const std::string& slabPath,
                            const std::string& name);

/// Where a file a slab names (its print file) is written on this machine. A
/// Windows path under the suite's data folder (X:\ProgramData\OrvenexCorp\Quillar\...)
/// goes to the same place under `dataFolder`; a Linux path stays; a relative
/// one is taken from the slab's folder. Any other Windows path, or one whose
/// folder does not exist, gives its file name beside the slab. Empty for an
/// empty name.
std::string LocalFileForSlab(const std::string& named, const std::string& dataFolder,
                             const std::string& slabPath);

}  // namespace slabrip
