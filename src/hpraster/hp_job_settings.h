// What the operator chose for the HP job: print mode and media handling.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "hpraster/hpldrlgl_abi.h"

namespace slabrip {

/// The eleven media-handling values, as the media settings page shows them.
struct THPMediaValues {
  double InputTension = 15;
  double AdvanceFactor = 0;
  double Vacuum = 30;
  double DryTemp = 55;
  double CureTemp = 70;
  double DryWarmup = 50;
  double CureWarmup = 40;
  double DryCoolDown = 30;
  double CureCoolDown = 20;
  double DryPowerMin = 200;
  double HeatAirFlow = 75;
};

/// The values by their keys in the media settings file, in the page's order.
struct TMediaValueKey {
  const char* Key;
  double THPMediaValues::*Value;
};
extern const std::array<TMediaValueKey, 11> kMediaValueKeys;

/// The value stored under `key` in the media settings file; null for another key.
double* MediaValueByKey(THPMediaValues& values, std::string_view key);

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
