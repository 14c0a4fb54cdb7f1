#include "colour/ink_manager.h"

#include <gtest/gtest.h>
#include <filesystem>

#include "base/errors.h"
#include "base/rounding.h"
#include "colour/icc_table.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::TTempDir;

std::int16_t Q(double x) { return static_cast<std::int16_t>(RoundClamp(x * 32767, 0, 32767)); }

class InkManagerTest : public ::testing::Test {
 protected:
  InkManagerTest() {
    std::filesystem::copy_file(SLABRIP_CMYK_PROFILE, Dir.File("Printer.icc"));
    Manager->SetIccFolder(Dir.Path());
    Manager->SetPreset(Preset);
    Preset->IccProfile = "Printer.icc";
  }
  void Build() { Manager->Build(Expansion); }
  std::string BuildError() {
    try {
      Build();
    } catch (const TError& e) {
      return e.what();
    }
    return "";
  }
  TTempDir Dir;
  TRef<TMediaPresetObj> Preset = MakeRef<TMediaPresetObj>();
  TRef<TInkManagerEx> Manager = MakeRef<TInkManagerEx>();
  TExpansionTables Expansion;
};

TEST_F(InkManagerTest, BuildsTheFourInkTableFromTheProfileInTheFolder) {
  Build();
  EXPECT_TRUE(Manager->Ready());
  EXPECT_EQ(Manager->ProfilePath(), Dir.File("Printer.icc"));
  ASSERT_NE(Manager->FirstTable(), nullptr);
  EXPECT_TRUE(Manager->FirstTable()->CmykOutput);
  EXPECT_EQ(Manager->FirstTable()->WhiteEntry(), 0u);
  EXPECT_EQ(Manager->SecondTable(), nullptr);
  // Black prints a lot of ink, white none.
  const TColor32 black = *Manager->FirstTable()->CellPointer(0, 0, 0);
  EXPECT_GT((black & 255) + (black >> 24), 300u);
  EXPECT_EQ(Expansion.Tables(), Manager->ChannelTables());
}

TEST_F(InkManagerTest, UnusableProfilesFailNamingTheFile) {
  Preset->IccProfile = "Missing.icc";
  EXPECT_EQ(BuildError(), "ICC profile not found: Missing.icc (looked for " + Dir.File("Missing.icc") + ")");
  EXPECT_FALSE(Manager->Ready());

  Dir.Write("Text.icc", "this is not a profile");
  Preset->IccProfile = "Text.icc";
  EXPECT_EQ(BuildError(), Dir.File("Text.icc") + ": not an ICC profile");

  // An RGB profile cannot take RGB to CMYK.
  TLcmsProfile srgb(cmsCreate_sRGBProfile());
  ASSERT_TRUE(cmsSaveProfileToFile(srgb.get(), Dir.File("Monitor.icc").c_str()));
  Preset->IccProfile = "Monitor.icc";
  EXPECT_NE(BuildError().find(Dir.File("Monitor.icc") + ": cannot convert RGB to CMYK"), std::string::npos);

  Preset->IccProfile = "";
  EXPECT_NE(BuildError(), "");
  Manager->SetIccFolder("");
  EXPECT_EQ(BuildError(), "No icc path set!");
  Manager->SetIccFolder(Dir.Path());
  Manager->SetPreset(nullptr);
  EXPECT_EQ(BuildError(), "Media obj not set");
}

TEST_F(InkManagerTest, AFailedBuildKeepsTheLastGoodTablesAndExpansion) {
  Build();
  const TColorLut33Obj* good = Manager->FirstTable();
  const TChannelTables published = Expansion.Tables();
  Preset->IccProfile = "paper.qicc";
  Dir.Write("paper.qicc", "QCCI too short");
  EXPECT_NE(BuildError().find(Dir.File("paper.qicc")), std::string::npos);
  EXPECT_FALSE(Manager->Ready());
  EXPECT_EQ(Manager->FirstTable(), good);
  EXPECT_EQ(Expansion.Tables(), published);
}

TEST_F(InkManagerTest, TableFilesGiveBothTablesWhateverTheExtensionsCase) {
  std::vector<TColor32> main(TColorLut33Obj::kEntryCount, 0x01020304),
      second(TColorLut33Obj::kEntryCount, 0x0A0B0C0D);
  Dir.Write("paper.QiCc", EncodeTableFile(main, &second));
  Preset->IccProfile = "paper.QiCc";
  Build();
  ASSERT_NE(Manager->SecondTable(), nullptr);
  EXPECT_EQ(*Manager->FirstTable()->CellPointer(3, 4, 5), 0x01020304u);
  EXPECT_EQ(*Manager->SecondTable()->CellPointer(3, 4, 5), 0x0A0B0C0Du);
  EXPECT_EQ(Manager->FirstTable()->WhiteEntry(), 0u);
  EXPECT_TRUE(Manager->SecondTable()->CmykOutput);
  // Without Generic_cmyk.icc in the folder named colours get no ink from Lab.
  EXPECT_EQ(Manager->ConvertNamedColour(TUniColorSpec::Make(kModelRGB, {0, 0, 0})), TInkVector{});
  std::filesystem::copy_file(SLABRIP_CMYK_PROFILE, Dir.File("Generic_cmyk.icc"));
  Build();
  EXPECT_GT(Manager->ConvertNamedColour(TUniColorSpec::Make(kModelRGB, {0, 0, 0})).Lane[3], 10000);
  // A profile whose name only contains the extension is still a profile.
  std::filesystem::copy_file(SLABRIP_CMYK_PROFILE, Dir.File("paper.qicc.icc"));
  Preset->IccProfile = "paper.qicc.icc";
  Build();
  EXPECT_EQ(Manager->SecondTable(), nullptr);
}

TEST_F(InkManagerTest, PlainChannelTablesAreTheStartUpTables) {
  Build();
  EXPECT_EQ(Manager->ChannelTables(), StartupChannelTables());
  EXPECT_EQ(Manager->ChannelTables()[0][128], (TInkVector{{16448, 0, 0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(Expansion.ExpandInks(128, 0, 255, 1), (TInkVector{{16448, 0, 32767, 128, 0, 0, 0, 0}}));
}

TEST_F(InkManagerTest, SplitsFeedLightAndDarkLanesAndCurvesShapeBoth) {
  Preset->CurveFromText("0,0/50,80/100,0", TMediaPresetObj::kSplitC0);
  Preset->CurveFromText("0,0/60,10/100,100", TMediaPresetObj::kSplitC1);
  Preset->InkSplitFlags = 1;
  Build();
  const TNodeCurve& c0 = *Preset->Curve(TMediaPresetObj::kSplitC0);
  const TNodeCurve& c1 = *Preset->Curve(TMediaPresetObj::kSplitC1);
  for (std::size_t i = 0; i < 256; i += 17) {
    const float a = static_cast<float>(i) / 255.0f;
    const TInkVector& e = Manager->ChannelTables()[0][i];
    EXPECT_EQ(e.Lane[4], Q(c0.Evaluate(a))) << i;
    EXPECT_EQ(e.Lane[0], Q(c1.Evaluate(a))) << i;
  }
  EXPECT_EQ(Manager->ChannelTables()[1], StartupChannelTables()[1]);  // magenta flag not set

  // An ink curve applies after the split, to both lanes.
  Preset->UseInkCurves = true;
  Preset->CurveFromText("0,0/50,25/100,100", TMediaPresetObj::kCurveC);
  Build();
  const TNodeCurve& curve = *Preset->Curve(TMediaPresetObj::kCurveC);
  const TInkVector& e = Manager->ChannelTables()[0][200];
  EXPECT_EQ(e.Lane[4], Q(curve.Evaluate(c0.Evaluate(200 / 255.0f))));
  EXPECT_EQ(e.Lane[0], Q(curve.Evaluate(c1.Evaluate(200 / 255.0f))));

  // One split curve alone splits nothing.
  Preset->CurveFromText("", TMediaPresetObj::kSplitC1);
  Preset->UseInkCurves = false;
  Build();
  EXPECT_EQ(Manager->ChannelTables()[0], StartupChannelTables()[0]);
}

TEST_F(InkManagerTest, InkCurvesOnSpotInksSkipEmptyLightLanes) {
  Preset->CurveFromText("0,20/100,100", TMediaPresetObj::kCurveC);
  const TInkVector spot{{0, 1000, 0, 0, 0, 500, 7, 9}};
  EXPECT_EQ(Manager->ApplyInkCurves(spot), spot);  // curves off
  Preset->UseInkCurves = true;
  const TInkVector out = Manager->ApplyInkCurves(spot);
  EXPECT_EQ(out.Lane[0], Q(Preset->Curve(TMediaPresetObj::kCurveC)->Evaluate(0)));
  EXPECT_GT(out.Lane[0], 6000);
  EXPECT_EQ(out.Lane[4], 0);     // light cyan stays 0
  EXPECT_EQ(out.Lane[1], 1000);  // no magenta curve
  EXPECT_EQ(out.Lane[6], 7);
  EXPECT_EQ(out.Lane[7], 9);
}

TEST_F(InkManagerTest, NamedColours) {
  Build();
  EXPECT_EQ(Manager->ConvertNamedColour(TUniColorSpec::Make(kModelCMYK, {0.1f, 0.2f, 0.3f, 0.4f})),
            (TInkVector{{3277, 6553, 9830, 13107, 0, 0, 0, 0}}));
  EXPECT_EQ(Manager->ConvertNamedColour(TUniColorSpec::Make(kModelCMY, {1, 0.5f, 0})),
            (TInkVector{{32767, 16384, 0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(Manager->ConvertNamedColour(TUniColorSpec::Make(kModelIndex, {1})), TInkVector{});
  // Gray goes through its RGB equivalent: white is no ink, black is heavy ink.
  const TInkVector white = Manager->ConvertNamedColour(TUniColorSpec::Make(kModelGray, {1}));
  const TInkVector black = Manager->ConvertNamedColour(TUniColorSpec::Make(kModelGray, {0}));
  EXPECT_LT(white.Lane[0] + white.Lane[1] + white.Lane[2] + white.Lane[3], 400);
  EXPECT_GT(black.Lane[3], 20000);
  // An RGB red through Lab and the profile: magenta and yellow, little cyan.
  const TInkVector red = Manager->ConvertNamedColour(TUniColorSpec::Make(kModelRGB, {1, 0, 0}));
  EXPECT_GT(red.Lane[1], 25000);
  EXPECT_GT(red.Lane[2], 25000);
  EXPECT_LT(red.Lane[0], 3000);
}

TEST_F(InkManagerTest, TheSpotPaletteHandsOutIndices) {
  EXPECT_EQ(Manager->AddSpotInk({}), 0u);
  EXPECT_EQ(Manager->AddSpotInk(TInkVector{{0, 0, 0, 32766}}), 1u);
  EXPECT_EQ(Manager->SpotPalette()[1].Lane[3], 32766);
  Manager->ClearSpotPalette();
  EXPECT_TRUE(Manager->SpotPalette().empty());
}

}  // namespace
}  // namespace slabrip
