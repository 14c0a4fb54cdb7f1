#include "base/sys_paths.h"

#include <filesystem>

#include <cstdlib>
#include <fstream>

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
      if (FolderExists(value)) *folder = value;
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

}  // namespace slabrip
