#include "colour/ink_manager.h"

#include <fmt/format.h>
#include <algorithm>

#include "base/ascii_case.h"
#include "base/errors.h"
#include "base/file_paths.h"
#include "base/rounding.h"
#include "colour/icc_table.h"

namespace slabrip {

namespace {

std::int16_t Quantise(double x) { return static_cast<std::int16_t>(RoundClamp(x * 32767, 0, 32767)); }

bool HasTableFileExtension(const std::string& path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  return EqualIgnoringCase(std::string_view(name).substr(dot), ".qicc");
}

// A curve's evaluation list, prepared once for a whole table.
struct TPreparedCurve {
  explicit TPreparedCurve(const TNodeCurve* curve)
      : List(curve ? curve->PrepareEvaluation() : TNodeCurve::TEvalList{}) {}
  bool Present() const { return List.size() >= 3; }
  float operator()(float x) const { return TNodeCurve::Evaluate(List, x); }
  TNodeCurve::TEvalList List;
};

}  // namespace

TInkManagerEx::TInkManagerEx()
    : SrgbProfile_(cmsCreate_sRGBProfile()), LabProfile_(cmsCreateLab2Profile(nullptr)) {}

TInkManagerEx::~TInkManagerEx() {
  // Transforms go before the profiles they were made from.
  RgbTransform_.reset();
  LabTransform_.reset();
}

void TInkManagerEx::SetIccFolder(const std::string& folder) {
  IccFolder_ = folder;
  if (!IccFolder_.empty() && IccFolder_.back() != '/') IccFolder_ += '/';
}

void TInkManagerEx::SetPreset(TRef<TMediaPresetObj> preset) { Preset_ = std::move(preset); }

std::size_t TInkManagerEx::AddSpotInk(const TInkVector& inks) {
  SpotPalette_.push_back(inks);
  return SpotPalette_.size() - 1;
}

std::string TInkManagerEx::FindProfile() const {
  const std::string& name = Preset_->IccProfile;
  if (name.empty()) throw TError("The media preset names no ICC profile");
  if (FileExists(name)) return name;
  const std::string inFolder = IccFolder_ + name;
  if (FileExists(inFolder)) return inFolder;
  throw TError(fmt::format("ICC profile not found: {} (looked for {})", name, inFolder));
}

void TInkManagerEx::OpenOutputProfile(const std::string& path) {
  RgbTransform_.reset();
  LabTransform_.reset();
  OutputProfile_.reset();
  if (FileExists(path)) OutputProfile_.reset(cmsOpenProfileFromFile(path.c_str(), "r"));
}

// Little CMS 2 names the version-1 calls cmsCreateLab2Profile (a D50 Lab
// profile) and cmsFLAGS_NOOPTIMIZE (0x100, once cmsFLAGS_NOTPRECALC): the
// grid is our own, so Little CMS builds no precalculated table of its own.
void TInkManagerEx::CreateTransforms(int intent) {
  RgbTransform_.reset();
  LabTransform_.reset();
  if (!OutputProfile_) return;
  if (!SrgbProfile_) SrgbProfile_.reset(cmsCreate_sRGBProfile());
  if (!LabProfile_) LabProfile_.reset(cmsCreateLab2Profile(nullptr));
  RgbTransform_.reset(cmsCreateTransform(SrgbProfile_.get(), TYPE_RGB_DBL, OutputProfile_.get(),
                                         TYPE_CMYK_DBL, static_cast<cmsUInt32Number>(intent),
                                         cmsFLAGS_NOOPTIMIZE));
  // Named colours are matched colorimetrically whatever the preset's intent.
  LabTransform_.reset(cmsCreateTransform(LabProfile_.get(), TYPE_Lab_DBL, OutputProfile_.get(), TYPE_CMYK_DBL,
                                         INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE));
}

void TInkManagerEx::LoadTableFile(const std::string& path) {
  TIcc33 file;
  file.Load(path);
  auto first = file.MainTable();
  auto second = file.SecondTable();
  for (TColorLut33Obj* table : {first.get(), second.get()})
    if (table) {
      table->WhiteEntry() = 0;
      table->CmykOutput = true;
    }
  FirstTable_ = std::move(first);
  SecondTable_ = std::move(second);
}

void TInkManagerEx::Build(TExpansionTables& expansion) {
  if (IccFolder_.empty()) throw TError("No icc path set!");
  if (!Preset_) throw TError("Media obj not set");
  Ready_ = false;
  const std::string profile = FindProfile();
  if (HasTableFileExtension(profile)) {
    const std::string generic = IccFolder_ + kGenericCmykProfile;
    if (FileExists(generic)) {
      OpenOutputProfile(generic);
      CreateTransforms(INTENT_PERCEPTUAL);
    } else {
      OpenOutputProfile("");  // no Lab transform: named colours of models 1..3 give no ink
    }
    LoadTableFile(profile);
  } else {
    OpenOutputProfile(profile);
    if (!OutputProfile_) throw TError(fmt::format("{}: not an ICC profile", profile));
    CreateTransforms(Preset_->IccIntent);
    if (!RgbTransform_)
      throw TError(fmt::format("{}: cannot convert RGB to CMYK with this profile (rendering intent {})",
                               profile, Preset_->IccIntent));
    FirstTable_ = BuildTableFromProfile(RgbTransform_.get(), Preset_->InkLimit);
    SecondTable_.reset();
  }
  ProfilePath_ = profile;
  BuildChannelTables();
  expansion.Publish(ChannelTables_);
  Ready_ = true;
}

void TInkManagerEx::BuildChannelTables() {
  ChannelTables_ = StartupChannelTables();
  const TMediaPresetObj& preset = *Preset_;
  using S = TMediaPresetObj;
  struct TChannel {
    S::TCurveSlot Curve;
    S::TCurveSlot Split0, Split1;
    bool SplitFlag;
    std::size_t Dark, Light;
  };
  const TChannel channels[4] = {
      {S::kCurveC, S::kSplitC0, S::kSplitC1, (preset.InkSplitFlags & 1) != 0, 0, 4},
      {S::kCurveM, S::kSplitM0, S::kSplitM1, (preset.InkSplitFlags & 2) != 0, 1, 5},
      {S::kCurveY, S::kCurveY, S::kCurveY, false, 2, 2},
      {S::kCurveK, S::kCurveK, S::kCurveK, false, 3, 3},
  };
  for (std::size_t c = 0; c < 4; ++c) {
    const TChannel& ch = channels[c];
    const TPreparedCurve curve(preset.UseInkCurves ? preset.Curve(ch.Curve) : nullptr);
    const bool split = ch.SplitFlag && preset.Curve(ch.Split0) && preset.Curve(ch.Split1);
    const TPreparedCurve split0(split ? preset.Curve(ch.Split0) : nullptr);
    const TPreparedCurve split1(split ? preset.Curve(ch.Split1) : nullptr);
    for (std::size_t i = 0; i < 256; ++i) {
      TInkVector& entry = ChannelTables_[c][i];
      const float a = static_cast<float>(i) / 255.0f;
      if (split) {
        float light = split0(a), dark = split1(a);
        if (curve.Present()) {
          light = curve(light);
          dark = curve(dark);
        }
        entry.Lane[ch.Light] = Quantise(light);
        entry.Lane[ch.Dark] = Quantise(dark);
      } else if (curve.Present()) {
        entry.Lane[ch.Dark] = Quantise(curve(a));
      }
      // Without curve or split the start-up value i * 32767 / 255 stands.
    }
  }
}

TInkVector TInkManagerEx::ConvertNamedColour(const TUniColorSpec& spec) const {
  TInkVector result;
  double ink[4] = {0, 0, 0, 0};
  switch (spec.Model & 0x7F) {
    case kModelGray:
    case kModelRGB:
    case kModelLab: {
      // A gray value is a lightness on the RGB scale; taken as Lab directly it
      // would print near-solid black, so it goes through its RGB equivalent.
      const TUniColorSpec source =
          (spec.Model & 0x7F) == kModelGray ? Converter_.Convert(spec, kModelRGB) : spec;
      const TUniColorSpec lab = Converter_.Convert(source, kModelLab);
      if (LabTransform_) {
        const cmsCIELab in{lab.C[0], lab.C[1], lab.C[2]};
        double cmyk[4] = {};
        cmsDoTransform(LabTransform_.get(), &in, cmyk, 1);
        for (int i = 0; i < 4; ++i) ink[i] = cmyk[i] * 32767 / 100;
      }
      break;
    }
    case kModelCMY:
      for (int i = 0; i < 3; ++i) ink[i] = spec.C[static_cast<std::size_t>(i)] * 32767.0;
      break;
    case kModelCMYK:
      for (int i = 0; i < 4; ++i) ink[i] = spec.C[static_cast<std::size_t>(i)] * 32767.0;
      break;
    default: return result;
  }
  for (std::size_t i = 0; i < 4; ++i)
    result.Lane[i] = static_cast<std::int16_t>(RoundClamp(ink[i], 0, 32767));
  return result;
}

TInkVector TInkManagerEx::ApplyInkCurves(const TInkVector& inks) const {
  TInkVector out = inks;
  if (!Preset_ || !Preset_->UseInkCurves) return out;
  using S = TMediaPresetObj;
  const S::TCurveSlot slots[6] = {S::kCurveC, S::kCurveM, S::kCurveY, S::kCurveK, S::kCurveC, S::kCurveM};
  for (std::size_t lane = 0; lane < 6; ++lane) {
    const TNodeCurve* curve = Preset_->Curve(slots[lane]);
    if (curve == nullptr || (lane >= 4 && out.Lane[lane] == 0)) continue;
    const float x = static_cast<float>(static_cast<std::uint16_t>(out.Lane[lane])) / 32767.0f;
    out.Lane[lane] = Quantise(std::clamp(curve->Evaluate(x), 0.0f, 1.0f));
  }
  return out;
}

}  // namespace slabrip
