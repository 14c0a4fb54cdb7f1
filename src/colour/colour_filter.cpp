#include "colour/colour_filter.h"

#include <algorithm>
#include <cmath>

#include "base/rounding.h"
#include "colour/node_curve.h"

namespace slabrip {

namespace {

constexpr double kInvE = 0.367879441;         // e^-1
constexpr double kRampScale = 1.581976707;    // 1 / (1 - e^-1)
constexpr double kRampInverse = 0.632120559;  // 1 - e^-1

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double WrapOnce(double x) {
  if (x < 0) return x + 1;
  if (x > 1) return x - 1;
  return x;
}

// Inverse of WheelRamp on 0..1.
double RampInverse(double y) { return std::sqrt(std::max(0.0, -std::log(y * kRampInverse + kInvE))); }

struct THsl {
  double H, S, L;
};

THsl HslFromRgb(double r, double g, double b) {
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  const double l = (hi + lo) / 2;
  if (hi == lo) return {0, 0, l};
  const double d = hi - lo;
  const double s = l > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
  double h = 0;
  if (hi == r)
    h = (g - b) / d + (g < b ? 6 : 0);
  else if (hi == g)
    h = (b - r) / d + 2;
  else
    h = (r - g) / d + 4;
  return {h / 6, s, l};
}

double HueRamp(double m1, double m2, double h) {
  if (h < 0) h += 1;
  if (h > 1) h -= 1;
  if (h < 1.0 / 6) return m1 + (m2 - m1) * 6 * h;
  if (h < 0.5) return m2;
  if (h < 2.0 / 3) return m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
  return m1;
}

// How strongly an adjustment applies: base^e with e = 2v^2 - 5.5v + 3.25,
// which fades it out at the ends of the range.
double FadeWeight(double v, double base) {
  const double e = 2 * v * v - 5.5 * v + 3.25;
  return Clamp01(std::pow(std::max(base, 0.001), e));
}

}  // namespace

double TColorHuePicker::WheelRamp(double t) { return Clamp01((std::exp(-t * t) - kInvE) * kRampScale); }

TWheelColour TColorHuePicker::WheelFromRgb(double r, double g, double b) {
  TWheelColour wheel;
  wheel.Floor = std::min({r, g, b});
  r -= wheel.Floor;
  g -= wheel.Floor;
  b -= wheel.Floor;
  wheel.Chroma = std::max({r, g, b});
  if (wheel.Chroma == 0) return wheel;
  r /= wheel.Chroma;
  g /= wheel.Chroma;
  b /= wheel.Chroma;
  int sector = 0;
  if (r != 0 && r != 1)
    sector = g != 0 ? 1 : 4;
  else if (r == 1)
    sector = g != 0 ? 0 : 5;
  else
    sector = g != 1 ? 3 : 2;
  const double f[6] = {1 - RampInverse(g), RampInverse(r),     1 - RampInverse(b),
                       RampInverse(g),     1 - RampInverse(r), RampInverse(b)};
  wheel.Hue = (sector + f[sector]) / 6;
  if (wheel.Hue > 1) wheel.Hue -= 1;
  return wheel;
}

TColor32 TColorHuePicker::RgbFromWheel(double chroma, double floor, double hue) {
  double a = std::fmod(6 * hue, 6.0);
  if (a < 0) a += 6;
  if (!(a < 6)) a = 0;  // NaN, or -tiny that rounded up to 6
  const int sector = static_cast<int>(a);
  const double d = a - sector;
  const double up = WheelRamp(1 - d), down = WheelRamp(d);
  const double basis[6][3] = {{1, up, 0}, {down, 1, 0}, {0, 1, up}, {0, down, 1}, {up, 0, 1}, {1, 0, down}};
  const auto channel = [&](int c) {
    return static_cast<TColor32>(RoundClamp((floor + chroma * basis[sector][c]) * 255, 0, 255));
  };
  return 0xFF000000u | channel(0) << 16 | channel(1) << 8 | channel(2);
}

THueNodes HueNodes(const TColourFilterSettings& settings) {
  std::array<double, 6> h{};
  for (std::size_t k = 0; k < 6; ++k) h[k] = (static_cast<double>(k) + settings.HueShift[k]) / 6;
  return {h[5] - 1, h[0], h[1], h[2], h[3], h[4], h[5], h[0] + 1, h[1] + 1};
}

double HueMap(const THueNodes& v, double x) {
  x = WrapOnce(x);
  const auto b = static_cast<std::size_t>(RoundClamp(6 * x, 0, 6));
  const double start = (v[b] + v[b + 1]) / 2, control = v[b + 1], end = (v[b + 1] + v[b + 2]) / 2;
  const double d = 6 * x - static_cast<double>(b) + 0.5;
  return WrapOnce(start + d * d * (start + end - 2 * control) + 2 * d * (control - start));
}

std::vector<TColor32> BuildFilterGrid(const TColourFilterSettings& settings, const TContrastTable* contrast) {
  const THueNodes nodes = HueNodes(settings);
  const double hueTurn = settings.HueAdjust * 0.1;
  const double saturation = settings.Saturation + 1.0;
  const double gammaExponent = std::exp(-double{settings.Gamma});
  double offset = 0, scale = 1;
  if (settings.Brightness > 0) {
    offset = settings.Brightness;
    scale = 1 - offset;
  } else if (settings.Brightness < 0) {
    offset = 2.0 * settings.Brightness;
    scale = 1 - offset;
  }
  const auto position = [](int k) { return (k < 16 ? 16 * k : 255) / 255.0; };

  std::vector<TColor32> grid(TColorLut33Obj::kGrid17Count);
  TColor32 last = 0;
  for (int bi = 0; bi <= 16; ++bi)
    for (int gi = 0; gi <= 16; ++gi)
      for (int ri = 0; ri <= 16; ++ri) {
        THsl hsl = HslFromRgb(position(ri), position(gi), position(bi));
        hsl.H = WrapOnce(hsl.H + hueTurn);
        if (saturation > 0) {
          const double w = FadeWeight(hsl.S, hsl.S);
          hsl.S = hsl.S * saturation * w + hsl.S * (1 - w);
        } else {
          hsl.S = 0;
        }
        hsl.S = Clamp01(hsl.S);
        hsl.L = std::pow(Clamp01(hsl.L), gammaExponent);
        if (contrast) hsl.L = (*contrast)[static_cast<std::size_t>(RoundClamp(511 * hsl.L, 0, 511))];
        double rgb[3] = {hsl.L, hsl.L, hsl.L};
        if (hsl.S != 0) {
          const double m2 = hsl.L <= 0.5 ? hsl.L * (1 + hsl.S) : hsl.L + hsl.S - hsl.L * hsl.S;
          const double m1 = 2 * hsl.L - m2;
          rgb[0] = HueRamp(m1, m2, hsl.H + 1.0 / 3);
          rgb[1] = HueRamp(m1, m2, hsl.H);
          rgb[2] = HueRamp(m1, m2, hsl.H - 1.0 / 3);
        }
        const double w = FadeWeight(hsl.L, 1 - hsl.L);
        for (double& x : rgb) x = Clamp01(x * scale * w + offset + x * (1 - w));
        TWheelColour wheel = TColorHuePicker::WheelFromRgb(rgb[0], rgb[1], rgb[2]);
        wheel.Hue = HueMap(nodes, wheel.Hue);
        last = TColorHuePicker::RgbFromWheel(Clamp01(wheel.Chroma), wheel.Floor, wheel.Hue);
        grid[static_cast<std::size_t>(bi * 289 + gi * 17 + ri)] = last;
      }
  grid[TColorLut33Obj::kGrid17Count - 1] = last;  // white: the filtered last node
  return grid;
}

std::unique_ptr<TColorLut33Obj> BuildFilterTable(const TColourFilterSettings& settings,
                                                 const TContrastTable* contrast) {
  const std::vector<TColor32> grid = BuildFilterGrid(settings, contrast);
  auto table = std::make_unique<TColorLut33Obj>();
  table->CmykOutput = false;
  table->ImportGrid17(std::span<const TColor32, TColorLut33Obj::kGrid17Count>(grid));
  table->SetAlpha(255);
  return table;
}

std::optional<TContrastTable> ContrastTableFromText(std::string_view text) {
  TNodeCurve curve;
  if (text.empty() || !curve.LoadFromText(text)) return std::nullopt;
  if (curve.Count() < 2) curve.Reset();
  const std::vector<std::int32_t> values = curve.BuildTable(511);
  TContrastTable table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<float>(values[i]) / 511.0f;
  table[511] = 1.0f;  // entry 511 := 511, divided by 511
  return table;
}

}  // namespace slabrip
