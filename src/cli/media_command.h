// `slabrip media ...`: the HP media settings file from the command line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "hpraster/hp_job_settings.h"

namespace slabrip {

struct TMediaCommand {
  std::string Action;  // list, show, add, update, delete
  std::string Name;
  std::vector<TMediaValueSetting> Values;  // KEY=NUMBER for add and update
};

/// Returns the exit code; listings go to `out`, reasons to `err`.
int RunMedia(const std::string& settingsFile, const TMediaCommand& command, std::ostream& out,
             std::ostream& err);

}  // namespace slabrip
