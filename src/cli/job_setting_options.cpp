#include "cli/job_setting_options.h"

#include "base/errors.h"
#include "base/number_text.h"
#include "driver/driver.h"

namespace slabrip {

namespace {

std::string MediaValueHelp() {
  std::string help = "KEY=NUMBER overriding one media value, KEY one of";
  for (const TMediaValue& value : kMediaValues) (help += ' ') += value.Key;
  return help + " (repeatable)";
}

}  // namespace

TMediaValueSetting ParseMediaValue(const std::string& text, const std::string& option) {
  const auto equals = text.find('=');
  const TMediaValue* value = FindMediaValue(std::string_view(text).substr(0, equals));
  const auto number = equals == std::string::npos ? std::nullopt : ParseDouble(text.substr(equals + 1));
  if (value == nullptr || !number) throw CLI::ValidationError(option, "not KEY=NUMBER: " + text);
  return {value, *number};
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
      MediaValueHelp());
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
  for (const auto& [value, number] : MediaValues) job.Media.*value->Value = number;
  if (Model) job.PrinterModelId = *Model;
}

}  // namespace slabrip
