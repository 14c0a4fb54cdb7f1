#include "driver/media_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "base/ascii_case.h"
#include "base/errors.h"
#include "base/file_paths.h"
#include "base/ini_file.h"
#include "base/number_text.h"
#include "base/sys_paths.h"

namespace slabrip {

namespace {

// Each name once, in the spelling of its first section, in file order; a header without a name lists nothing.
std::vector<std::string> MediaNames(const TqlInifile& ini) {
  std::vector<std::string> names;
  for (std::string& name : ini.ReadSections())
    if (!name.empty() &&
        std::ranges::none_of(names, [&](const std::string& n) { return EqualIgnoringCase(n, name); }))
      names.push_back(std::move(name));
  return names;
}

// The settings file as people edit it: comments, blank lines and other
// sections survive a rewrite, as they do with the Windows profile functions.
// Nothing when it exists but cannot be read (treated as no sections).
std::optional<TqlInifile> TryRead(const std::string& path) {
  try {
    return TqlInifile(path, TIniLayout::KeepLayout);
  } catch (const TError&) {
    return std::nullopt;
  }
}

[[noreturn]] void WriteFailed(const std::string& path) { throw TError("Unable to write to " + path); }

// Reads the file for a change; a file that exists but cannot be read is
// never replaced, since its content would be lost.
TqlInifile ReadForChange(const std::string& path) {
  auto text = TryRead(path);
  if (!text) WriteFailed(path);
  return std::move(*text);
}

void WriteBack(const std::string& path, const TqlInifile& ini) {
  try {
    // Rewrite a linked file where it lies rather than replacing the link.
    std::error_code ec;
    std::string target = path;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
      target = std::filesystem::weakly_canonical(path, ec).string();
      if (ec) WriteFailed(path);
    }
    const std::string folder = FolderPart(target);
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) WriteFailed(path);
    WriteFileAtomically(target, ini.FileBytes());
  } catch (const TError&) {
    WriteFailed(path);
  }
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return {};
}

}  // namespace

std::string MediaSettingsPath(const std::string& override) {
  if (!override.empty()) return override;
  if (const char* env = std::getenv("SLABRIP_MEDIA_SETTINGS"); env != nullptr && *env != '\0') return env;
  std::string config = TSysEnvironment::FromProcess().ConfigHome;
  if (config.empty()) config = HomeFolder() + "/.config";
  return config + "/slabrip/slabrip.ini";
}

std::string TMediaList::SelectedName() const {
  return Selected_ >= 0 && Selected_ < static_cast<int>(Names_.size()) ? Names_[static_cast<std::size_t>(Selected_)]
                                                                       : std::string();
}

int TMediaList::IndexOf(const std::string& name) const {
  if (TrimBlanks(name).empty()) return -1;
  for (std::size_t i = 0; i < Names_.size(); ++i)
    if (EqualIgnoringCase(Names_[i], TrimBlanks(name))) return static_cast<int>(i);
  return -1;
}

void TMediaList::LoadMediaList() {
  const auto text = TryRead(File_);
  Names_ = text ? MediaNames(*text) : std::vector<std::string>();
  if (Names_.empty()) Names_.emplace_back(kDefaultMedia);
  Selected_ = 0;
}

void TMediaList::ApplyMedia(const std::string& name, THPMediaValues& values) {
  const int index = IndexOf(name);
  if (index < 0) return;
  Selected_ = index;
  const auto text = TryRead(File_);
  if (!text) return;
  for (const TMediaValue& key : kMediaValues)
    if (const auto value = text->ReadValue(name, key.Key))
      if (const auto number = ParseDouble(*value)) values.*key.Value = *number;
}

void TMediaList::SaveMedia(const std::string& name, const THPMediaValues& values) {
  const int index = IndexOf(name);
  if (index < 0) return;
  Selected_ = index;
  TqlInifile text = ReadForChange(File_);
  // A new section takes the list's spelling of the name.
  const std::string& section = Names_[static_cast<std::size_t>(index)];
  for (const TMediaValue& key : kMediaValues)
    text.WriteString(section, key.Key, FormatGeneral(values.*key.Value));
  WriteBack(File_, text);
}

bool TMediaList::AddMedia(const std::string& name) {
  // Section names are read back trimmed and one line long, so only such names round-trip.
  const std::string_view trimmed = TrimBlanks(name);
  if (trimmed.empty()) return false;
  if (std::any_of(trimmed.begin(), trimmed.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; }))
    return false;
  if (IndexOf(std::string(trimmed)) >= 0) return false;
  Names_.emplace_back(trimmed);
  Selected_ = static_cast<int>(Names_.size()) - 1;
  return true;
}

void TMediaList::DeleteMedia(const std::string& name, THPMediaValues& values) {
  if (name.empty()) return;
  int k = IndexOf(name);
  if (k < 0) return;
  const std::string removed = Names_[static_cast<std::size_t>(k)];
  Names_.erase(Names_.begin() + k);
  // The selection follows the list even when the file cannot be changed.
  std::optional<TError> failure;
  try {
    if (auto text = ReadForChange(File_); text.SectionExists(removed)) {
      text.EraseSection(removed);
      WriteBack(File_, text);
    }
  } catch (const TError& e) {
    failure = e;
  }
  if (k >= static_cast<int>(Names_.size())) --k;
  Selected_ = k;
  if (k >= 0) ApplyMedia(Names_[static_cast<std::size_t>(k)], values);
  if (failure) throw *failure;
}

}  // namespace slabrip
