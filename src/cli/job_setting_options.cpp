#include "cli/job_setting_options.h"

#include "base/errors.h"
#include "base/number_text.h"
#include "driver/driver.h"

namespace slabrip {

std::pair<std::string, double> ParseMediaValue(const std::string& text, const std::string& option) {
  const auto equals = text.find('=');
  const std::string key = text.substr(0, equals);
  const auto number = equals == std::string::npos ? std::nullopt : ParseDouble(text.substr(equals + 1));
  THPMediaValues probe;
  if (MediaValueByKey(probe, key) == nullptr || !number) throw CLI::ValidationError(option, "not KEY=NUMBER: " + text);
  return {key, *number};
}

void TJobSettingOptions::AddTo(CLI::App& command) {
  command.add_option("--ink-level", InkLevel, "Low or High (default Low)")->check(CLI::IsMember({"Low", "High"}));
  command.add_option("--direction", Direction, "Bidir or Unidir (default Bidir)")
      ->check(CLI::IsMember({"Bidir", "Unidir"}));
  command.add_option("--passes", Passes, "Passes, sent as typed (default 10)");
  command.add_option("--media", Media, "Media settings to apply, by name (default: the first in the list)");
  command.add_option("--media-type-id", MediaTypeId, "HP media type id (default 10070)");
  command.add_flag("--cutter", Cutter, "Cut the media after printing");
  command.add_option_function<std::vector<std::string>>(
      "--media-value",
      [this](const std::vector<std::string>& pairs) {
        for (const std::string& pair : pairs) MediaValues.push_back(ParseMediaValue(pair, "--media-value"));
      },
      "KEY=NUMBER overriding one media value, KEY one of InputTension AdvanceFactor Vaccum DryTemp CureTemp "
      "DryWarmup CureWarmup DryCoolDown CureCoolDown DryPowerMin HeatAirFlow (repeatable)");
  command.add_option("--model", Model, "HP printer model id instead of the printer description's");
}

void TJobSettingOptions::ApplyTo(TDriver& driver) const {
  THPJobSettings& job = driver.Controls.Job;
  if (Media) {
    if (driver.Media().IndexOf(*Media) < 0)
      throw TError("No media settings named \"" + *Media + "\" in " + driver.Media().SettingsFile());
    driver.ApplyMedia(*Media);
  }
  if (InkLevel) job.HighInkLevel = *InkLevel == "High";
  if (Direction) job.Unidirectional = *Direction == "Unidir";
  if (Passes) job.Passes = *Passes;
  if (MediaTypeId) job.MediaTypeId = *MediaTypeId;
  if (Cutter) job.Cutter = true;
  for (const auto& [key, value] : MediaValues) *MediaValueByKey(job.Media, key) = value;
  if (Model) job.PrinterModelId = *Model;
}

}  // namespace slabrip
