// Colour specifications in eight colour models and the standard conversions between them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace slabrip {

/// Colour model numbers of TUniColorSpec::Model.
enum TColourModel : std::uint8_t {
  kModelIndex = 0,
  kModelGray = 1,
  kModelRGB = 2,
  kModelLab = 3,
  kModelCMY = 4,
  kModelCMYK = 5,
  kModelCMYK2 = 6,  // CMYK with two extra inks
  kModelIndex2 = 7,
};

/// The 28-byte colour specification, stored and copied whole. Components a
/// model does not use are 0.
struct TUniColorSpec {
  std::uint8_t Model = 0;  // top bit ignored when converting
  std::uint8_t Index = 0;  // models 0 and 7: the colour; model 6: extra inks (high, low nibble)
  std::uint8_t Reserved[2] = {0, 0};
  std::array<float, 6> C{};

  /// A zeroed specification of `model` with the given leading components.
  static TUniColorSpec Make(std::uint8_t model, std::initializer_list<float> components);
};
static_assert(sizeof(TUniColorSpec) == 28);

/// Red, green and blue, 0..1 (not clamped).
struct TRgbF {
  float R = 0;
  float G = 0;
  float B = 0;
};

/// The fixed 8 x 8 table of conversions between colour models.
class TStandardColorConverter {
 public:
  using TExtraInk = std::array<float, 3>;  // fraction of R, G, B absorbed at full amount
  /// One conversion routine of the table.
  using TEntry = TUniColorSpec (*)(const TStandardColorConverter&, const TUniColorSpec&);

  TStandardColorConverter();

  /// `spec` in model `target`; unchanged when there is no conversion.
  TUniColorSpec Convert(const TUniColorSpec& spec, std::uint8_t target) const;
  /// The colour to draw with: the ink-mixing model for CMYK, the RGB
  /// conversion otherwise, black where there is none (index colours).
  TRgbF ToRGB(const TUniColorSpec& spec) const;

  const std::array<TExtraInk, 16>& ExtraInks() const { return ExtraInks_; }

 private:
  static const std::array<std::array<TEntry, 8>, 8> kTable;
  std::array<TExtraInk, 16> ExtraInks_;
};

/// 0x00RRGGBB with each component times 255, rounded half to even, clamped.
std::uint32_t PackRGB(float r, float g, float b);
inline std::uint32_t PackRGB(const TRgbF& c) { return PackRGB(c.R, c.G, c.B); }

/// Sum of squared component differences, or 2147483648 when the two are not comparable.
float Distance(const TUniColorSpec& a, const TUniColorSpec& b);

/// A named document colour.
struct TuniColorObj {
  TUniColorSpec Spec;
  std::string Name;
  std::int32_t Tag = 0;
  std::int32_t ItemValue = 0;
  std::int32_t ItemExtra = 0;

  /// Same name and specifications at most 1e-6 apart.
  bool Equals(const TuniColorObj& other) const;
};

}  // namespace slabrip
