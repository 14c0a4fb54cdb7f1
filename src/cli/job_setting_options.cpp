#include "cli/job_setting_options.h"

#include <fmt/format.h>

#include "base/number_text.h"

namespace slabrip {

void AddJobSettingOptions(CLI::App& command, THPJobSettings& settings) {
  command.add_option("--model", settings.PrinterModelId,
                     "HP printer model id (default: HPPrinterID of the slab's printer description)");
  command.add_option("--passes", settings.Passes, "Passes, sent as typed")->capture_default_str();
  command.add_flag("--unidir", settings.Unidirectional, "Print in one direction only");
  command.add_option_function<std::string>(
             "--ink-level", [&settings](const std::string& level) { settings.HighInkLevel = level == "High"; },
             "Low or High (default Low)")
      ->check(CLI::IsMember({"Low", "High"}));
  command.add_option("--media-type-id", settings.MediaTypeId, "HP media type id")->capture_default_str();
  command.add_flag("--cutter", settings.Cutter, "Cut the media after printing");
  command.add_option("--media-name", settings.MediaName, "Media name")->capture_default_str();
  command.add_option_function<std::vector<std::string>>(
      "--media-value",
      [&settings](const std::vector<std::string>& pairs) {
        for (const std::string& pair : pairs) {
          const auto equals = pair.find('=');
          double* value = MediaValueByKey(settings.Media, pair.substr(0, equals));
          const auto number = equals == std::string::npos ? std::nullopt : ParseDouble(pair.substr(equals + 1));
          if (value == nullptr || !number) throw CLI::ValidationError("--media-value", "not KEY=NUMBER: " + pair);
          *value = *number;
        }
      },
      "KEY=NUMBER, KEY one of InputTension AdvanceFactor Vaccum DryTemp CureTemp DryWarmup CureWarmup "
      "DryCoolDown CureCoolDown DryPowerMin HeatAirFlow (repeatable)");
}

}  // namespace slabrip
