#include "base/sys_paths.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/ascii_case.h"
#include "base/file_paths.h"
#include "base/ini_file.h"
#include "base/number_text.h"

namespace slabrip {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" as xdg-user-dirs writes it.
std::string UserDocumentsDir(const std::string& configHome, const std::string& home) {
  std::ifstream in(configHome + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value(TrimBlanks(line.substr(key.size())));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return home.empty() ? std::string() : home + "/Documents";
}

}  // namespace

TSysEnvironment TSysEnvironment::FromProcess() {
  TSysEnvironment env;
  const std::string home = Env("HOME");
  env.ProgramFiles = "/opt";
  env.DataHome = Env("XDG_DATA_HOME");
  if (env.DataHome.empty() && !home.empty()) env.DataHome = home + "/.local/share";
  env.ConfigHome = Env("XDG_CONFIG_HOME");
  if (env.ConfigHome.empty() && !home.empty()) env.ConfigHome = home + "/.config";
  env.Documents = UserDocumentsDir(env.ConfigHome, home);
  return env;
}

std::string JoinExistingFolder(const std::string& folder, const std::string& part) {
  if (folder.empty()) return {};
  std::string joined = folder;
  if (!part.empty()) {
    if (part.front() == '/') {
      joined = WithoutTrailingSeparator(folder) + part;
    } else {
      if (joined.back() != '/') joined += '/';
      joined += part;
    }
  }
  joined = WithoutTrailingSeparator(joined);
  return FolderExists(joined) ? joined : std::string();
}

std::string TSysPaths::SettingsFile(const TSysEnvironment& env) {
  return env.ConfigHome.empty() ? std::string() : env.ConfigHome + "/OrvenexCorp/Quillar.conf";
}

std::string ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "./";
  return self.parent_path().string() + "/";
}

TSysPaths::TSysPaths(const TSysEnvironment& env) {
  ProgramFolder_ = JoinExistingFolder(env.ProgramFiles, "/OrvenexCorp/Quillar");
  DataFolder_ = JoinExistingFolder(env.DataHome, "/OrvenexCorp/Quillar");
  if (!DataFolder_.empty()) DataFolderFrom_ = "the XDG data folder";
  FontFolder_ = JoinExistingFolder(ProgramFolder_, "/Fonts");
  ClipFolder_ = JoinExistingFolder(ProgramFolder_, "/Resources/VClips");
  UserDataFolder_ = JoinExistingFolder(DataFolder_, "/UserData");
  DocumentsFolder_ = JoinExistingFolder(env.Documents, "/Quillar Files");

  const std::string settings = SettingsFile(env);
  if (!FileExists(settings)) return;
  try {
    const TqlInifile ini(settings);
    GuiNumber_ = ini.ReadInteger("Data", "PID", GuiNumber_);
    UpdateVersion_ = ini.ReadString("UpdateInfo", "UpdateVersion", UpdateVersion_);
    // Later keys win, so the Ex folders replace the plain ones when they exist.
    const std::pair<const char*, std::string*> overrides[] = {
        {"PfDir", &ProgramFolder_}, {"PdDir", &DataFolder_},     {"FFDir", &FontFolder_},
        {"VCDir", &ClipFolder_},    {"AdDir", &UserDataFolder_}, {"DocDir", &DocumentsFolder_},
        {"FFDirEx", &FontFolder_},  {"VCDirEx", &ClipFolder_}};
    for (const auto& [key, folder] : overrides) {
      const std::string value = WithoutTrailingSeparator(ini.ReadString("Paths", key, ""));
      if (!FolderExists(value)) continue;
      *folder = value;
      if (folder == &DataFolder_) DataFolderFrom_ = "PdDir in " + settings;
    }
  } catch (const std::exception&) {
    // An unreadable settings file leaves the defaults, like a missing one.
  }
}

std::string TSysPaths::Path(int number) const {
  switch (number) {
    case kIccFolder: return DataFolder_ + "/RIP/ICC/";
    case kDriversFolder: return DataFolder_ + "/RIP/Drivers/";
    case kPrintJobsFolder: return DataFolder_ + "/RIP/PrintJobs/";
    default: return {};
  }
}

std::string TSysPaths::ExistingPath(int number) const {
  std::string path = Path(number);
  return DataFolder_.empty() || !FolderExists(path) ? std::string() : path;
}

TFolderChoice FolderForSlab(const TFolderChoice& chosen, const std::string& slabPath,
                            const std::string& name) {
  if (!chosen.Folder.empty()) return chosen;
  const std::string beside = FolderBeside(name, FolderPart(slabPath));
  if (beside.empty()) return {};
  return {beside + "/", "beside the slab"};
}

std::string LocalFileForSlab(const std::string& named, const std::string& dataFolder,
                             const std::string& slabPath) {
  if (named.empty()) return {};
  const std::string slabFolder = FolderPart(slabPath);
  const std::string besideSlab = (slabFolder.empty() ? "" : slabFolder + "/") + FileNamePart(named);
  const bool windows = named.find('\\') != std::string::npos || (named.size() >= 2 && named[1] == ':');
  std::string local;
  if (!windows) {
    local = named.front() == '/' || slabFolder.empty() ? named : slabFolder + "/" + named;
  } else if (!dataFolder.empty()) {
    std::string path = named;
    std::ranges::replace(path, '\\', '/');
    // The suite's data folder on whichever drive Windows had it.
    constexpr std::string_view kSuiteData = "?:/ProgramData/OrvenexCorp/Quillar/";
    if (path.size() > kSuiteData.size() &&
        EqualIgnoringCase(path.substr(1, kSuiteData.size() - 1), kSuiteData.substr(1)))
      local = WithoutTrailingSeparator(dataFolder) + "/" + path.substr(kSuiteData.size());
  }
  const std::string folder = FolderPart(local);
  return !local.empty() && (folder.empty() || FolderExists(folder)) ? local : besideSlab;
}

}  // namespace slabrip
