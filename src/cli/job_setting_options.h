// Command-line options for what the driver window's print-mode and media controls hold.
#pragma once

#include <CLI/CLI.hpp>

#include "hpraster/hp_job_settings.h"

namespace slabrip {

/// --model, --passes, --unidir, --ink-level, --media-type-id, --cutter,
/// --media-name and --media-value KEY=NUMBER (the media settings file's keys).
void AddJobSettingOptions(CLI::App& command, THPJobSettings& settings);

}  // namespace slabrip
