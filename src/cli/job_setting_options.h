// Command-line options for the driver window's print-mode and media controls.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "hpraster/hp_job_settings.h"

namespace slabrip {

class TDriver;

/// "KEY=NUMBER" for one of the eleven media values (the media settings
/// file's keys); throws CLI::ValidationError naming `option` otherwise.
TMediaValueSetting ParseMediaValue(const std::string& text, const std::string& option);

/// What the options set; anything not given keeps the window's initial state
/// (or, for the media values, the values of the applied media).
struct TJobSettingOptions {
  std::optional<std::string> InkLevel;
  std::optional<std::string> Direction;
  std::optional<std::string> Passes;
  std::optional<std::string> Media;
  std::optional<std::string> MediaTypeId;
  bool Cutter = false;
  std::vector<TMediaValueSetting> MediaValues;
  std::optional<std::string> Model;

  /// --ink-level, --direction, --passes, --media, --media-type-id, --cutter,
  /// --media-value KEY=NUMBER, --model.
  void AddTo(CLI::App& command);
  /// Applies the options to the driver's controls after start-up; throws
  /// TError for a media name the list does not hold.
  void ApplyTo(TDriver& driver) const;
};

}  // namespace slabrip
