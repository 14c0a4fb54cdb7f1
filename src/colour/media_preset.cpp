#include "colour/media_preset.h"

#include "base/ini_file.h"

namespace slabrip {

void TMediaPresetObj::SetDefaults() {
  for (auto& curve : Curves_) curve.reset();
  SectionName = "Generic";
  PrintMode = "Default";
  MediaName.clear();
  IccProfile = "Generic_cmyk.icc";
  MediaType = "Generic";
  InkSplitFlags = 0;
  IccIntent = 0;
  InkLimit = 0;
  MediaWidthMM = 0;
  SettingPreset.clear();
}

bool TMediaPresetObj::LoadFromIni(std::string_view section, const TqlInifile* ini) {
  const std::string name(section.empty() ? std::string_view(SectionName) : section);
  if (name.empty() || ini == nullptr) return false;
  MediaType = ini->ReadString(name, "MediaType", MediaType);
  MediaName = ini->ReadString(name, "MediaName", MediaName);
  PrintMode = ini->ReadString(name, "PrintMode", PrintMode);
  MediaWidthMM = ini->ReadFloat32(name, "MediaWidthMM", MediaWidthMM);
  IccProfile = ini->ReadString(name, "IccProfile", IccProfile);
  IccIntent = ini->ReadInteger(name, "IccIntent", IccIntent);
  SettingPreset = ini->ReadString(name, "SettingPreset", SettingPreset);
  UseInkCurves = ini->ReadBool(name, "UseInkCurves", UseInkCurves);
  InkLimit = ini->ReadFloat32(name, "InkLimit", InkLimit);
  InkSplitFlags = ini->ReadInteger(name, "InkSplitFlags", InkSplitFlags);
  for (int slot = 0; slot < kCurveSlotCount; ++slot)
    CurveFromText(ini->ReadString(name, kCurveKeys[static_cast<std::size_t>(slot)], ""),
                  static_cast<TCurveSlot>(slot));
  return true;
}

void TMediaPresetObj::CurveFromText(std::string_view text, TCurveSlot slot) {
  auto& curve = Curves_[slot];
  if (text.empty()) {
    curve.reset();
    return;
  }
  if (!curve) curve = std::make_unique<TNodeCurve>();
  if (!curve->LoadFromText(text)) curve.reset();
}

}  // namespace slabrip
