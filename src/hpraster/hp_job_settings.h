// What the operator chose for the HP job: print mode and media handling.
#pragma once

#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace slabrip {

/// The eleven media-handling values, as the media settings page shows them.
struct THPMediaValues {
  /// Every value at its default in kMediaValues.
  constexpr THPMediaValues();

  double InputTension;
  double AdvanceFactor;
  double Vacuum;
  double DryTemp;
  double CureTemp;
  double DryWarmup;
  double CureWarmup;
  double DryCoolDown;
  double CureCoolDown;
  double DryPowerMin;
  double HeatAirFlow;
};

/// One media value, declared once: the media settings file, the job ticket,
/// the command line and the media settings page all go by its entry.
struct TMediaValue {
  const char* Key;  // in the media settings file, and KEY of the command line's KEY=NUMBER
  double THPMediaValues::*Value;
  const char* TicketElement;  // in the job ticket's <MediaManagement>
  const char* Label;          // on the page, followed by the unit in brackets
  const char* Unit;
  double Default;
  // What the page's box takes: no value is limited.
  double Min = std::numeric_limits<double>::lowest();
  double Max = std::numeric_limits<double>::max();
};

/// In the page's order, which is also the settings file's and the ticket's.
inline constexpr std::array<TMediaValue, 11> kMediaValues = {{
    // The page has always shown two blanks before this unit.
    {"InputTension", &THPMediaValues::InputTension, "InputTension", "Input Tension ", "Nm", 15},
    {"AdvanceFactor", &THPMediaValues::AdvanceFactor, "AdvanceFactor", "Advance Factor", "mm/M", 0},
    // The key is spelled as the files that exist spell it.
    {"Vaccum", &THPMediaValues::Vacuum, "Vacuum", "Vacuum", "mmH20", 30},
    {"DryTemp", &THPMediaValues::DryTemp, "DryTemp", "Dry Temp", "Deg C", 55},
    {"CureTemp", &THPMediaValues::CureTemp, "CureTemp", "Cure Temp", "Deg C", 70},
    {"DryWarmup", &THPMediaValues::DryWarmup, "DryWarmUpOffsetTemp", "Dry Warmup", "Deg C", 50},
    {"CureWarmup", &THPMediaValues::CureWarmup, "CureWarmUpOffsetTemp", "Cure Warmup", "Deg C", 40},
    {"DryCoolDown", &THPMediaValues::DryCoolDown, "DryCoolDownOffsetTemp", "Dry CoolDown", "Deg C", 30},
    {"CureCoolDown", &THPMediaValues::CureCoolDown, "CureCoolDownOffsetTemp", "Cure CoolDown", "Deg C", 20},
    {"DryPowerMin", &THPMediaValues::DryPowerMin, "DryPowerMin", "Dry Power Min", "Watts", 200},
    {"HeatAirFlow", &THPMediaValues::HeatAirFlow, "HeatAirFlow", "Heat Air Flow", "%", 75},
}};

constexpr THPMediaValues::THPMediaValues() {
  for (const TMediaValue& value : kMediaValues) this->*value.Value = value.Default;
}

/// The entry whose settings-file key is `key` (exactly); null for another key.
const TMediaValue* FindMediaValue(std::string_view key);

/// One media value and the number given for it, as the command line sets it.
using TMediaValueSetting = std::pair<const TMediaValue*, double>;

/// The window's controls that go into the job ticket, with their initial values.
struct THPJobSettings {
  std::string PrinterModelId;
  std::string Passes = "10";  // free text, sent as typed
  bool Unidirectional = false;
  bool HighInkLevel = false;
  std::string MediaTypeId = "10070";
  bool Cutter = false;
  std::string MediaName = "HP_RIP_CUSTOM_MEDIA";
  THPMediaValues Media;
};

}  // namespace slabrip
