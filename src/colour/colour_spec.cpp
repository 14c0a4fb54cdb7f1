#include "colour/colour_spec.h"

#include <algorithm>
#include <cmath>

#include "base/rounding.h"

namespace slabrip {

namespace {

constexpr float kNotComparable = 2147483648.0f;

constexpr std::array<TStandardColorConverter::TExtraInk, 16> kExtraInks = {{
    {0, 0, 0},
    {0.6f, 0.6f, 0.6f},
    {0.3f, 0.3f, 0.3f},
    {0.2f, 0.2f, 0.2f},
    {0.5f, 0, 0},
    {0.6f, 0, 0},
    {0.3f, 0, 0},
    {0, 0.6f, 0},
    {0, 0.3f, 0},
    {0, 0.2f, 0},
    {0, 0.5f, 1},
    {1, 0, 1},
    {0, 1, 1},
    {1, 1, 0},
    {0, 0, 0},
    {0.5f, 0.5f, 0.5f},
}};

// Colours of the sixteen ink combinations, indexed by C | M << 1 | Y << 2 | K << 3.
constexpr std::array<TRgbF, 16> kInkMix = {{
    {1, 1, 1},                    // paper
    {0, 0.6784f, 0.9373f},        // C
    {0.9255f, 0, 0.549f},         // M
    {0.1804f, 0.1922f, 0.5725f},  // C M
    {1, 0.949f, 0},               // Y
    {0, 0.651f, 0.3137f},         // C Y
    {0.9294f, 0.1098f, 0.1412f},  // M Y
    {0.2118f, 0.2119f, 0.2235f},  // C M Y
    {0.1373f, 0.1216f, 0.1255f},  // K
    {0, 0.0588f, 0.1412f},        // C K
    {0.1412f, 0, 0},              // M K
    {0, 0, 0.0078f},              // C M K
    {0.1098f, 0.102f, 0},         // Y K
    {0, 0.0745f, 0},              // C Y K
    {0.1333f, 0, 0},              // M Y K
    {0, 0, 0},                    // C M Y K
}};

constexpr int kComponentCount[8] = {1, 1, 3, 3, 3, 4, 6, 1};

using TSpec = TUniColorSpec;
using TConv = TStandardColorConverter;

TSpec Spec(std::uint8_t model, double a, double b = 0, double c = 0, double d = 0) {
  return TSpec::Make(
      model, {static_cast<float>(a), static_cast<float>(b), static_cast<float>(c), static_cast<float>(d)});
}

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// --- the plain conversions ------------------------------------------------

TSpec Copy(const TConv&, const TSpec& s) { return s; }

TSpec GrayToRgb(const TConv&, const TSpec& s) { return Spec(kModelRGB, s.C[0], s.C[0], s.C[0]); }
TSpec GrayToLab(const TConv&, const TSpec& s) { return Spec(kModelLab, s.C[0]); }
TSpec GrayToCmy(const TConv&, const TSpec& s) {
  const double v = 1.0 - s.C[0];
  return Spec(kModelCMY, v, v, v);
}
TSpec GrayToCmyk(const TConv&, const TSpec& s) { return Spec(kModelCMYK, 0, 0, 0, 1.0 - s.C[0]); }

TSpec RgbToGray(const TConv&, const TSpec& s) {
  return Spec(kModelGray, 0.3 * s.C[0] + 0.59 * s.C[1] + 0.11 * s.C[2]);
}
TSpec RgbToCmy(const TConv&, const TSpec& s) {
  return Spec(kModelCMY, 1.0 - s.C[0], 1.0 - s.C[1], 1.0 - s.C[2]);
}
TSpec RgbToCmyk(const TConv&, const TSpec& s) {
  const double r = 1.0 - s.C[0], g = 1.0 - s.C[1], b = 1.0 - s.C[2];
  const double k = std::min({r, g, b});
  return Spec(kModelCMYK, Clamp01(r - k), Clamp01(g - k), Clamp01(b - k), Clamp01(k));
}

// sRGB (D65) to CIE Lab with the white (0.9505, 1.0, 1.089).
TSpec RgbToLab(const TConv&, const TSpec& s) {
  const auto decode = [](double v) {
    if (v < 0 || v > 1) return v;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const double r = decode(s.C[0]), g = decode(s.C[1]), b = decode(s.C[2]);
  const double x = 0.4124 * r + 0.3576 * g + 0.1805 * b;
  const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
  const double z = 0.0193 * r + 0.1192 * g + 0.9505 * b;
  const auto f = [](double t) { return t < 0.008856451679 ? 7.787037037 * t + 16.0 / 116.0 : std::cbrt(t); };
  const double fx = f(x / 0.9505), fy = f(y / 1.0), fz = f(z / 1.089);
  return Spec(kModelLab, 116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz));
}

TSpec LabToGray(const TConv&, const TSpec& s) { return Spec(kModelGray, s.C[0]); }
TSpec LabToRgb(const TConv&, const TSpec& s) {
  const auto g = [](double t) { return t < 0.2068965517 ? (t - 16.0 / 116.0) * 0.1284185493 : t * t * t; };
  const double fy = (s.C[0] + 16.0) / 116.0;
  const double x = 0.9505 * g(fy + s.C[1] * 0.002);
  const double y = 1.0 * g(fy);
  const double z = 1.089 * g(fy - s.C[2] * 0.005);
  const auto encode = [](double v) {
    if (v < 0 || v > 1) return v;
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
  };
  return Spec(kModelRGB, encode(3.2406 * x - 1.5372 * y - 0.4986 * z),
              encode(-0.9689 * x + 1.8758 * y + 0.0415 * z), encode(0.0557 * x - 0.204 * y + 1.057 * z));
}

TSpec CmyToGray(const TConv&, const TSpec& s) {
  return Spec(kModelGray, 0.3 * (1.0 - s.C[0]) + 0.59 * (1.0 - s.C[1]) + 0.11 * (1.0 - s.C[2]));
}
TSpec CmyToRgb(const TConv&, const TSpec& s) {
  return Spec(kModelRGB, 1.0 - s.C[0], 1.0 - s.C[1], 1.0 - s.C[2]);
}
TSpec CmyToCmyk(const TConv&, const TSpec& s) { return Spec(kModelCMYK, s.C[0], s.C[1], s.C[2], 0); }

TSpec CmykToGray(const TConv&, const TSpec& s) {
  return Spec(kModelGray, 1.0 - std::min(0.3 * s.C[0] + 0.59 * s.C[1] + 0.11 * s.C[2] + s.C[3], 1.0));
}
TSpec CmykToRgb(const TConv&, const TSpec& s) {
  const double k = s.C[3];
  return Spec(kModelRGB, 1.0 - std::min(s.C[0] + k, 1.0), 1.0 - std::min(s.C[1] + k, 1.0),
              1.0 - std::min(s.C[2] + k, 1.0));
}
TSpec CmykToCmy(const TConv&, const TSpec& s) {
  const double k = s.C[3];
  return Spec(kModelCMY, std::min(s.C[0] + k, 1.0), std::min(s.C[1] + k, 1.0), std::min(s.C[2] + k, 1.0));
}
TSpec CmykToCmyk2(const TConv&, const TSpec& s) { return Spec(kModelCMYK2, s.C[0], s.C[1], s.C[2], s.C[3]); }

TSpec Cmyk2ToRgb(const TConv& conv, const TSpec& s) {
  TSpec rgb = CmykToRgb(conv, s);
  const std::array<std::pair<int, float>, 2> inks = {{{s.Index >> 4, s.C[4]}, {s.Index & 15, s.C[5]}}};
  for (const auto& [entry, amount] : inks)
    for (int c = 0; c < 3; ++c)
      rgb.C[static_cast<std::size_t>(c)] *=
          1.0f - conv.ExtraInks()[static_cast<std::size_t>(entry)][static_cast<std::size_t>(c)] * amount;
  return rgb;
}

// --- conversions through an intermediate model ------------------------------

template <TConv::TEntry... Steps>
TSpec Chain(const TConv& conv, const TSpec& s) {
  TSpec out = s;
  ((out = Steps(conv, out)), ...);
  return out;
}

}  // namespace

TUniColorSpec TUniColorSpec::Make(std::uint8_t model, std::initializer_list<float> components) {
  TUniColorSpec spec;
  spec.Model = model;
  std::copy_n(components.begin(), std::min(components.size(), spec.C.size()), spec.C.begin());
  return spec;
}

// Rows: source model, columns: target model; models 0 and 7 convert to nothing.
const std::array<std::array<TConv::TEntry, 8>, 8> TStandardColorConverter::kTable = {{
    {Copy, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {nullptr, Copy, GrayToRgb, GrayToLab, GrayToCmy, GrayToCmyk, Chain<GrayToCmyk, CmykToCmyk2>, nullptr},
    {nullptr, RgbToGray, Copy, RgbToLab, RgbToCmy, RgbToCmyk, Chain<RgbToCmyk, CmykToCmyk2>, nullptr},
    {nullptr, LabToGray, LabToRgb, Copy, Chain<LabToRgb, RgbToCmy>, Chain<LabToRgb, RgbToCmyk>,
     Chain<LabToRgb, RgbToCmyk, CmykToCmyk2>, nullptr},
    {nullptr, CmyToGray, CmyToRgb, Chain<CmyToRgb, RgbToLab>, Copy, CmyToCmyk, Chain<CmyToCmyk, CmykToCmyk2>,
     nullptr},
    {nullptr, CmykToGray, CmykToRgb, Chain<CmykToRgb, RgbToLab>, CmykToCmy, Copy, CmykToCmyk2, nullptr},
    {nullptr, Chain<Cmyk2ToRgb, RgbToGray>, Cmyk2ToRgb, Chain<Cmyk2ToRgb, RgbToLab>,
     Chain<Cmyk2ToRgb, RgbToCmy>, Chain<Cmyk2ToRgb, RgbToCmyk>, Copy, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, Copy},
}};

TStandardColorConverter::TStandardColorConverter() : ExtraInks_(kExtraInks) {}

TUniColorSpec TStandardColorConverter::Convert(const TUniColorSpec& spec, std::uint8_t target) const {
  const unsigned source = spec.Model & 0x7Fu;
  if (source >= 8 || target >= 8) return spec;
  const TEntry entry = kTable[source][target];
  return entry ? entry(*this, spec) : spec;
}

TRgbF TStandardColorConverter::ToRGB(const TUniColorSpec& spec) const {
  const unsigned model = spec.Model & 0x7Fu;
  if (model == kModelCMYK) {
    // Weighted sum over the sixteen ink combinations (Neugebauer primaries).
    TRgbF rgb{0, 0, 0};
    for (std::size_t combo = 0; combo < 16; ++combo) {
      double weight = 1;
      for (std::size_t ink = 0; ink < 4; ++ink)
        weight *= (combo >> ink & 1u) ? spec.C[ink] : 1.0 - spec.C[ink];
      rgb.R += static_cast<float>(weight * kInkMix[combo].R);
      rgb.G += static_cast<float>(weight * kInkMix[combo].G);
      rgb.B += static_cast<float>(weight * kInkMix[combo].B);
    }
    return rgb;
  }
  if (model >= 8 || kTable[model][kModelRGB] == nullptr) return {0, 0, 0};
  const TUniColorSpec rgb = kTable[model][kModelRGB](*this, spec);
  return {rgb.C[0], rgb.C[1], rgb.C[2]};
}

std::uint32_t PackRGB(float r, float g, float b) {
  const auto byte = [](float v) { return static_cast<std::uint32_t>(RoundClamp(v * 255.0, 0, 255)); };
  return byte(r) << 16 | byte(g) << 8 | byte(b);
}

float Distance(const TUniColorSpec& a, const TUniColorSpec& b) {
  const unsigned model = a.Model & 0x7Fu;
  if (a.Model != b.Model || model >= 8) return kNotComparable;
  if ((model == kModelIndex || model == kModelIndex2) && a.Index != b.Index) return kNotComparable;
  if (model == kModelCMYK2 && (a.C[4] > 0 || a.C[5] > 0 || b.C[4] > 0 || b.C[5] > 0)) return kNotComparable;
  float sum = 0;
  for (int i = 0; i < kComponentCount[model]; ++i) {
    const float d = a.C[static_cast<std::size_t>(i)] - b.C[static_cast<std::size_t>(i)];
    sum += d * d;
  }
  return sum;
}

bool TuniColorObj::Equals(const TuniColorObj& other) const {
  return Name == other.Name && Distance(Spec, other.Spec) <= 1e-6f;
}

}  // namespace slabrip
