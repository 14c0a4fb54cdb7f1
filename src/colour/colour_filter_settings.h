// The stored colour-correction settings of a job (its [RGBCorrection] section).
#pragma once

#include <array>
#include <cstdint>

namespace slabrip {

/// 76 bytes: two 32-bit flags around eighteen float32 settings.
struct TColourFilterSettings {
  std::int32_t Enabled = 0;           // the job builds a correction table only when set
  float HueAdjust = 0;                // hue turn, times 0.1
  float Saturation = 0;               // factor Saturation + 1
  float Brightness = 0;               // lifts (positive) or lowers (negative) the channels
  float Gamma = 0;                    // exponent e^-Gamma on the lightness
  float Contrast = 0;                 // kept, not used by the table
  std::array<float, 6> HueShift{};    // red, yellow, green, cyan, blue, magenta
  std::array<float, 6> HueLevel{};    // kept, not used by the table
  std::int32_t UseContrastCurve = 0;  // hand the job's contrast curve to the filter

  friend bool operator==(const TColourFilterSettings&, const TColourFilterSettings&) = default;
};
static_assert(sizeof(TColourFilterSettings) == 76);

}  // namespace slabrip
