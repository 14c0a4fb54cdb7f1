// Everything that turns colour into ink for one slab: tables, curves, splits, spot inks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/ref_obj.h"
#include "colour/colour_lut33.h"
#include "colour/colour_spec.h"
#include "colour/expansion_tables.h"
#include "colour/ink_vector.h"
#include "colour/lcms_handles.h"
#include "colour/media_preset.h"

namespace slabrip {

/// Built from a media preset: the four-ink colour table (and, from a table
/// file, a second one for four more inks), the channel tables that apply ink
/// curves and light-ink splits, and the spot-ink palette.
class TInkManagerEx : public TRefObj {
 public:
  /// The profile that converts named colours when the tables come from a table file.
  static constexpr const char* kGenericCmykProfile = "Generic_cmyk.icc";

  TInkManagerEx();
  ~TInkManagerEx() override;

  /// Folder of profiles and table files; a trailing "/" is added when missing.
  void SetIccFolder(const std::string& folder);
  const std::string& IccFolder() const { return IccFolder_; }
  void SetPreset(TRef<TMediaPresetObj> preset);
  const TRef<TMediaPresetObj>& Preset() const { return Preset_; }

  /// Builds every table and publishes the channel tables to `expansion`.
  /// Throws TError naming the file when no usable four-ink table can be
  /// made: profile not found, not an ICC profile, not a CMYK output
  /// profile, or a table file that does not read. A failed build keeps the
  /// tables of the last good one and leaves Ready false.
  void Build(TExpansionTables& expansion);
  bool Ready() const { return Ready_; }
  /// The profile or table file the last build used.
  const std::string& ProfilePath() const { return ProfilePath_; }

  TColorLut33Obj* FirstTable() { return FirstTable_.get(); }
  TColorLut33Obj* SecondTable() { return SecondTable_.get(); }
  const TChannelTables& ChannelTables() const { return ChannelTables_; }

  void ClearSpotPalette() { SpotPalette_.clear(); }
  /// Appends an entry and returns its index.
  std::size_t AddSpotInk(const TInkVector& inks);
  const std::vector<TInkVector>& SpotPalette() const { return SpotPalette_; }

  /// Lanes 0..3 of a named colour: Gray, RGB and Lab through the profile's
  /// Lab transform, CMY and CMYK directly; other models give no ink.
  TInkVector ConvertNamedColour(const TUniColorSpec& spec) const;
  /// The preset's ink curves on lanes 0..5 (light lanes only when not 0),
  /// when ink curves are on; splits are not applied.
  TInkVector ApplyInkCurves(const TInkVector& inks) const;

 private:
  void OpenOutputProfile(const std::string& path);
  void CreateTransforms(int intent);
  void LoadTableFile(const std::string& path);
  void BuildChannelTables();
  std::string FindProfile() const;

  bool Ready_ = false;
  std::string IccFolder_;
  TStandardColorConverter Converter_;
  TRef<TMediaPresetObj> Preset_;
  TLcmsProfile SrgbProfile_;
  TLcmsProfile LabProfile_;
  TLcmsProfile OutputProfile_;
  TLcmsTransform RgbTransform_;
  TLcmsTransform LabTransform_;
  std::unique_ptr<TColorLut33Obj> FirstTable_;
  std::unique_ptr<TColorLut33Obj> SecondTable_;
  TChannelTables ChannelTables_{};
  std::vector<TInkVector> SpotPalette_;
  std::string ProfilePath_;
};

}  // namespace slabrip
