// A job's RGB colour correction turned into a 33-grid RGB -> RGB table.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "colour/colour_filter_settings.h"
#include "colour/colour_lut33.h"

namespace slabrip {

/// 512 lightness values 0..1 from a contrast curve, indexed by 511 * L.
using TContrastTable = std::array<float, 512>;

/// The nine hue positions of the six shifted wheel colours, wrapped at both ends.
using THueNodes = std::array<double, 9>;

/// A colour on the hue wheel: hue 0..1 (red 0, yellow 1/6, ... magenta 5/6),
/// the floor every channel has, and the chroma above it.
struct TWheelColour {
  double Hue = 0;
  double Floor = 0;
  double Chroma = 0;
};

/// The hue wheel of the hue shifts: between neighbouring wheel colours the
/// rising or falling channel follows a Gaussian ramp.
class TColorHuePicker {
 public:
  /// (e^-t^2 - e^-1) / (1 - e^-1): 1 at t = 0, 0 at t = 1, clamped to 0..1.
  static double WheelRamp(double t);
  /// Channels 0..1.
  static TWheelColour WheelFromRgb(double r, double g, double b);
  /// Opaque colour; channels rounded half to even.
  static TColor32 RgbFromWheel(double chroma, double floor, double hue);
};

THueNodes HueNodes(const TColourFilterSettings& settings);
/// The shifted wheel: a smooth map of hue 0..1 that is the identity without shifts.
double HueMap(const THueNodes& nodes, double x);

/// The filter on the 17^3 node colours (index b * 289 + g * 17 + r) and a white entry.
std::vector<TColor32> BuildFilterGrid(const TColourFilterSettings& settings, const TContrastTable* contrast);
/// The correction table of a job: an RGB table built from the filter grid.
std::unique_ptr<TColorLut33Obj> BuildFilterTable(const TColourFilterSettings& settings,
                                                 const TContrastTable* contrast);
/// The contrast table of a curve text; nothing for empty or invalid text.
std::optional<TContrastTable> ContrastTableFromText(std::string_view text);

}  // namespace slabrip
