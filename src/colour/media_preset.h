// The colour side of a printing medium, as the suite snapshots it into the slab.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/ref_obj.h"
#include "colour/node_curve.h"

namespace slabrip {

class TqlInifile;

/// Profile, intent, ink limit, ink curves and light-ink splits of a medium.
class TMediaPresetObj : public TRefObj {
 public:
  /// The eight curve slots, in their stored order.
  enum TCurveSlot {
    kCurveC,
    kCurveM,
    kCurveY,
    kCurveK,
    kSplitC0,
    kSplitC1,
    kSplitM0,
    kSplitM1,  // light and dark cyan, light and dark magenta
    kCurveSlotCount
  };
  static constexpr std::array<const char*, kCurveSlotCount> kCurveKeys = {
      "NodeCurveC", "NodeCurveM", "NodeCurveY", "NodeCurveK",
      "InkSplitC0", "InkSplitC1", "InkSplitM0", "InkSplitM1"};

  TMediaPresetObj() { SetDefaults(); }

  /// Defaults of every field but UseInkCurves; frees the curves.
  void SetDefaults();
  /// Reads every key of `section` (SectionName when empty) with the current
  /// values as defaults. False, changing nothing, without a section name or file.
  bool LoadFromIni(std::string_view section, const TqlInifile* ini);
  /// Loads a curve text into a slot; empty or invalid text leaves the slot empty.
  void CurveFromText(std::string_view text, TCurveSlot slot);

  /// Both light inks split off (bits 0 and 1 of InkSplitFlags): rows carry six inks, not four.
  bool SplitsLightInks() const { return (InkSplitFlags & 3) == 3; }

  /// The curve in a slot, or nullptr.
  const TNodeCurve* Curve(TCurveSlot slot) const { return Curves_[slot].get(); }

  std::string SectionName;
  std::string PrintMode;
  std::string MediaName;
  std::string IccProfile;
  std::string MediaType;
  std::int32_t InkSplitFlags = 0;  // bit 0 splits cyan, bit 1 magenta
  bool UseInkCurves = false;
  std::int32_t IccIntent = 0;  // 0 perceptual, 1 relative, 2 saturation, 3 absolute
  float InkLimit = 0;          // percent of C+M+Y+K; 1 or less means none
  float MediaWidthMM = 0;
  std::string SettingPreset;

 private:
  std::array<std::unique_ptr<TNodeCurve>, kCurveSlotCount> Curves_;
};

}  // namespace slabrip
