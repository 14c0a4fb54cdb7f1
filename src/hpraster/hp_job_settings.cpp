#include "hpraster/hp_job_settings.h"

namespace slabrip {

// The vacuum's key is spelled as the files that exist spell it.
const std::array<TMediaValueKey, 11> kMediaValueKeys = {{
    {"InputTension", &THPMediaValues::InputTension},
    {"AdvanceFactor", &THPMediaValues::AdvanceFactor},
    {"Vaccum", &THPMediaValues::Vacuum},
    {"DryTemp", &THPMediaValues::DryTemp},
    {"CureTemp", &THPMediaValues::CureTemp},
    {"DryWarmup", &THPMediaValues::DryWarmup},
    {"CureWarmup", &THPMediaValues::CureWarmup},
    {"DryCoolDown", &THPMediaValues::DryCoolDown},
    {"CureCoolDown", &THPMediaValues::CureCoolDown},
    {"DryPowerMin", &THPMediaValues::DryPowerMin},
    {"HeatAirFlow", &THPMediaValues::HeatAirFlow},
}};

double* MediaValueByKey(THPMediaValues& values, std::string_view key) {
  for (const TMediaValueKey& entry : kMediaValueKeys)
    if (key == entry.Key) return &(values.*entry.Value);
  return nullptr;
}

}  // namespace slabrip
