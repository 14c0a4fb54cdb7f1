// The HP media settings: named sets of the eleven media values in an ini
// file, and the media list the window shows.
#pragma once

#include <string>
#include <vector>

#include "hpraster/hp_job_settings.h"

namespace slabrip {

class TDriverUi;

/// The media combo's list and the file behind it. The values live in the
/// window's controls (`THPMediaValues`); the file is read and written only here.
class TMediaList {
 public:
  static constexpr const char* kDefaultMedia = "HP_RIP_CUSTOM_MEDIA";

  explicit TMediaList(std::string settingsFile) : File_(std::move(settingsFile)) {}

  const std::string& SettingsFile() const { return File_; }
  const std::vector<std::string>& Names() const { return Names_; }
  /// The selected item, -1 for none.
  int Selected() const { return Selected_; }
  /// The selected name, or empty.
  std::string SelectedName() const;
  /// The position of `name` in the list ignoring case, -1 when absent.
  int IndexOf(const std::string& name) const;

  /// The file's sections in file order, or the default media alone; selects the first.
  void LoadMediaList();
  /// Selects `name` and reads its values into `values`; keys that are missing
  /// or not numbers keep the value they had. Nothing when `name` is not listed.
  void ApplyMedia(const std::string& name, THPMediaValues& values);
  /// Writes `values` into the section of `name` (after the operator said Yes).
  /// Throws TError "Unable to write to PATH" when the file cannot be written.
  void SaveMedia(const std::string& name, const THPMediaValues& values);
  /// Appends a new name and selects it; false (nothing changes) when the name
  /// is empty or already listed. Nothing is written.
  bool AddMedia(const std::string& name);
  /// Removes `name` from the list and its section from the file, then selects
  /// and applies the item now at its place (or the one before). Throws
  /// "Unable to write to PATH" when the file cannot be written; the name is
  /// already off the list then.
  void DeleteMedia(const std::string& name, THPMediaValues& values);

 private:
  std::string File_;
  std::vector<std::string> Names_;
  int Selected_ = -1;
};

/// The media settings file: `override` when given, else $SLABRIP_MEDIA_SETTINGS,
/// else $XDG_CONFIG_HOME/slabrip/slabrip.ini (~/.config when unset).
std::string MediaSettingsPath(const std::string& override);

}  // namespace slabrip
