#include "colour/media_preset.h"

#include <gtest/gtest.h>

#include "base/ini_file.h"

namespace slabrip {
namespace {

TqlInifile Ini(const std::vector<std::string>& lines) {
  TqlInifile ini;
  ini.SetStrings(lines);
  return ini;
}

TEST(MediaPreset, AnEmptySectionKeepsEveryDefault) {
  const TqlInifile ini = Ini({"[SnapShot_MediaPreset]", "[Other]", "IccProfile=x.icc"});
  auto preset = MakeRef<TMediaPresetObj>();
  ASSERT_TRUE(preset->LoadFromIni("SnapShot_MediaPreset", &ini));
  EXPECT_EQ(preset->IccProfile, "Generic_cmyk.icc");
  EXPECT_EQ(preset->MediaType, "Generic");
  EXPECT_EQ(preset->PrintMode, "Default");
  EXPECT_EQ(preset->SectionName, "Generic");
  EXPECT_EQ(preset->IccIntent, 0);
  EXPECT_EQ(preset->InkLimit, 0.0f);
  EXPECT_EQ(preset->InkSplitFlags, 0);
  EXPECT_FALSE(preset->UseInkCurves);
  for (int slot = 0; slot < TMediaPresetObj::kCurveSlotCount; ++slot)
    EXPECT_EQ(preset->Curve(static_cast<TMediaPresetObj::TCurveSlot>(slot)), nullptr);
}

TEST(MediaPreset, ReadsEveryKeyAndCurve) {
  const TqlInifile ini =
      Ini({"[P]", "MediaType=Vinyl", "MediaName=MPI 3000", "PrintMode=10 pass", "MediaWidthMM=1371.6",
           "IccProfile=a.icc", "IccIntent=1", "SettingPreset=S", "UseInkCurves=1", "InkLimit=280",
           "InkSplitFlags=3", "NodeCurveC=0,0/50,45/100,100", "InkSplitC0=0,0/30,60/100,0",
           "InkSplitC1=0,0/100,100", "InkSplitM0=50,50/oops"});
  auto preset = MakeRef<TMediaPresetObj>();
  ASSERT_TRUE(preset->LoadFromIni("p", &ini));
  EXPECT_EQ(preset->MediaType, "Vinyl");
  EXPECT_EQ(preset->MediaName, "MPI 3000");
  EXPECT_EQ(preset->PrintMode, "10 pass");
  EXPECT_EQ(preset->MediaWidthMM, 1371.6f);
  EXPECT_EQ(preset->IccProfile, "a.icc");
  EXPECT_EQ(preset->IccIntent, 1);
  EXPECT_EQ(preset->SettingPreset, "S");
  EXPECT_TRUE(preset->UseInkCurves);
  EXPECT_EQ(preset->InkLimit, 280.0f);
  EXPECT_EQ(preset->InkSplitFlags, 3);
  ASSERT_NE(preset->Curve(TMediaPresetObj::kCurveC), nullptr);
  EXPECT_EQ(preset->Curve(TMediaPresetObj::kCurveC)->Count(), 3);
  EXPECT_EQ(preset->Curve(TMediaPresetObj::kCurveM), nullptr);
  EXPECT_EQ(preset->Curve(TMediaPresetObj::kSplitC0)->Count(), 3);
  EXPECT_EQ(preset->Curve(TMediaPresetObj::kSplitM0), nullptr);  // one valid node is no curve
}

TEST(MediaPreset, ReloadingReplacesOrDropsCurvesAndKeepsUnreadFields) {
  auto preset = MakeRef<TMediaPresetObj>();
  preset->CurveFromText("0,0/100,100", TMediaPresetObj::kCurveK);
  ASSERT_NE(preset->Curve(TMediaPresetObj::kCurveK), nullptr);
  preset->CurveFromText("bad", TMediaPresetObj::kCurveK);
  EXPECT_EQ(preset->Curve(TMediaPresetObj::kCurveK), nullptr);
  preset->CurveFromText("0,0/100,100", TMediaPresetObj::kCurveK);
  preset->UseInkCurves = true;
  const TqlInifile ini = Ini({"[Generic]", "InkLimit=bad"});
  ASSERT_TRUE(preset->LoadFromIni("", &ini));                   // empty name: SectionName
  EXPECT_EQ(preset->Curve(TMediaPresetObj::kCurveK), nullptr);  // no key: no curve
  EXPECT_TRUE(preset->UseInkCurves);
  EXPECT_EQ(preset->InkLimit, 0.0f);
  preset->SetDefaults();
  EXPECT_TRUE(preset->UseInkCurves);  // SetDefaults leaves it
  EXPECT_FALSE(preset->LoadFromIni("P", nullptr));
  preset->SectionName.clear();
  EXPECT_FALSE(preset->LoadFromIni("", &ini));
}

TEST(MediaPreset, TheDemoSlabsPresetLoads) {
  const TqlInifile slab(std::string(SLABRIP_DEMO_SOURCE) + "/40E42ACCBAD66E1E.RipSlab");
  auto preset = MakeRef<TMediaPresetObj>();
  ASSERT_TRUE(preset->LoadFromIni("SnapShot_MediaPreset", &slab));
  EXPECT_EQ(preset->IccProfile, "Latex570_MPI3000_Gloss.icc");
  EXPECT_EQ(preset->InkSplitFlags, 3);
  EXPECT_TRUE(preset->UseInkCurves);
  for (int slot = 0; slot < TMediaPresetObj::kCurveSlotCount; ++slot)
    EXPECT_NE(preset->Curve(static_cast<TMediaPresetObj::TCurveSlot>(slot)), nullptr)
        << TMediaPresetObj::kCurveKeys[static_cast<std::size_t>(slot)];
}

}  // namespace
}  // namespace slabrip
