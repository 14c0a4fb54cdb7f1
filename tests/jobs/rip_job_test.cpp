#include "jobs/rip_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/date_time.h"
#include "base/errors.h"
#include "support/slab_files.h"

namespace slabrip {
namespace {

using test::JobFileText;
using test::TTempDir;

class RipJobTest : public ::testing::Test {
 protected:
  // Loads a job file of `extra` lines after the standard [Job] and [FullBounds].
  TRef<TRipfileData> Load(const std::string& extra) {
    Dir.Write("art.cmf", "");
    const std::string path = Dir.Write("job.RipJob", JobFileText("art.cmf", extra));
    auto job = MakeRef<TRipfileData>();
    job->LoadFromFile(path);
    return job;
  }
  TTempDir Dir;
};

TEST_F(RipJobTest, WithoutClipBoundsTheWholeDocumentPrintsUnclipped) {
  const auto job = Load("");
  EXPECT_EQ(job->ClipBounds, job->FullBounds);
  EXPECT_EQ(job->FullBounds, (TRectF{0, 0, 100, 50}));
  EXPECT_FALSE(job->IsClipped);
  EXPECT_EQ(job->PlacedClip, (TRectF{0, 0, 100, 50}));
  EXPECT_EQ(job->Copies, 1);
  EXPECT_EQ(job->XCount, 1);
  EXPECT_EQ(job->YCount, 1);
  EXPECT_EQ(job->ScaleX, 1.0f);
  EXPECT_EQ(job->JobName, "Test job");
  EXPECT_EQ(job->Date, *ParseDateTime("2026-12-08 10:00"));
}

TEST_F(RipJobTest, ClipBoundsDefaultPerValueAndScaleIntoPlacedClip) {
  const auto job = Load("[ClipBounds]\r\nMinX=50\r\n[Size]\r\nScaleX=2\r\nScaleY=0.5\r\nJobBleed=3\r\n");
  EXPECT_EQ(job->ClipBounds, (TRectF{50, 0, 100, 50}));
  EXPECT_TRUE(job->IsClipped);
  EXPECT_EQ(job->PlacedClip, (TRectF{100, 0, 200, 25}));
  EXPECT_EQ(job->JobBleed, 3.0f);
}

TEST_F(RipJobTest, AZeroScaleIsTakenAsOne) {
  const auto job = Load("[Size]\r\nScaleX=0\r\nScaleY=-0\r\n");
  EXPECT_EQ(job->ScaleX, 1.0f);
  EXPECT_EQ(job->ScaleY, 1.0f);
  EXPECT_EQ(job->PlacedClip, (TRectF{0, 0, 100, 50}));
  EXPECT_EQ(Load("[Size]\r\nScaleX=2.8e-45\r\n")->ScaleX, 1.0f);  // two denormal steps from zero
  EXPECT_EQ(Load("[Size]\r\nScaleX=1e-30\r\n")->ScaleX, 1e-30f);  // tiny but real: kept
}

TEST_F(RipJobTest, ADocumentGivenByAWindowsPathIsFoundBesideTheJobFile) {
  const auto job = Load("");
  EXPECT_EQ(job->SrcFile, "C:\\Jobs\\art.cmf");
  EXPECT_EQ(job->ResolveFile(job->SrcFile), Dir.File("art.cmf"));
}

TEST_F(RipJobTest, QuotedValuesLoseTheirQuotesAndALongJobTextIsCut) {
  Dir.Write("art.cmf", "");
  const std::string path =
      Dir.Write("job.RipJob", "[Job]\r\nSrcFile=\"art.cmf\"\r\nJobName='Sign'\r\nUseJobText=1\r\nJobText=" +
                                  std::string(200'000, 'x') + "\r\n[FullBounds]\r\nMaxX=100\r\nMaxY=50\r\n");
  auto job = MakeRef<TRipfileData>();
  job->LoadFromFile(path);
  EXPECT_EQ(job->JobName, "Sign");
  EXPECT_EQ(job->ResolveFile(job->SrcFile), Dir.File("art.cmf"));
  ASSERT_TRUE(job->Marks);
  ASSERT_EQ(job->Marks->Problems().size(), 1u);
  EXPECT_EQ(job->Marks->Problems()[0], "text mark of 200000 characters cut to its first 1000");
}

TEST_F(RipJobTest, MissingDocumentOrEmptyClipFailsTheLoadWithAReason) {
  using ::testing::HasSubstr;
  using ::testing::ThrowsMessage;
  const std::string path = Dir.Write("job.RipJob", JobFileText("gone.cmf"));
  auto job = MakeRef<TRipfileData>();
  EXPECT_THAT([&] { job->LoadFromFile(path); },
              ThrowsMessage<TError>(path + ": document not found: C:\\Jobs\\gone.cmf"));
  EXPECT_THAT([&] { Load("[ClipBounds]\r\nMinX=100\r\n"); }, ThrowsMessage<TError>(HasSubstr("clip")));
  EXPECT_THAT([&] { job->LoadFromFile(Dir.File("none.RipJob")); },
              ThrowsMessage<TError>(HasSubstr("none.RipJob")));
  EXPECT_THROW(job->LoadFromFile(""), TError);
}

TEST_F(RipJobTest, SpotFlagsSelectColoursByBitAndEverythingFrom255) {
  const auto job = Load("[SpotFlags]\r\nSpotCount=1\r\nSpot1=5\r\nSpot2=$8000000000000000\r\nSpot4=junk\r\n");
  EXPECT_TRUE(job->IsSpotColour(0));
  EXPECT_FALSE(job->IsSpotColour(1));
  EXPECT_TRUE(job->IsSpotColour(2));
  EXPECT_TRUE(job->IsSpotColour(127));   // top bit of Spot2
  EXPECT_FALSE(job->IsSpotColour(254));  // Spot4 did not parse: 0
  EXPECT_TRUE(job->IsSpotColour(255));
  EXPECT_TRUE(job->IsSpotColour(300));
  EXPECT_FALSE(job->IsSpotColour(-1));

  const auto none = Load("[SpotFlags]\r\nSpotCount=0\r\nSpot1=5\r\n");
  EXPECT_EQ(none->SpotMask.Masks[0], 0u);
  EXPECT_FALSE(none->IsSpotColour(0));
  EXPECT_FALSE(none->IsSpotColour(300));
}

TEST_F(RipJobTest, ColourCorrectionIsReadWholeOrNotAtAll) {
  const auto job = Load(
      "[RGBCorrection]\r\nEnabled=1\r\nSaturation=0.25\r\nHueShift5=-0.5\r\nHueLevel0=0.75\r\n"
      "ContrastCrv=0,0/50,60/100,100\r\n");
  EXPECT_EQ(job->ColourFilterSettings.Enabled, 1);
  EXPECT_EQ(job->ColourFilterSettings.Saturation, 0.25f);
  EXPECT_EQ(job->ColourFilterSettings.HueShift[5], -0.5f);
  EXPECT_EQ(job->ColourFilterSettings.HueLevel[0], 0.75f);
  EXPECT_EQ(job->ColourFilterSettings.Gamma, 0.0f);
  EXPECT_EQ(job->ContrastCrv, "0,0/50,60/100,100");

  const auto broken = Load("[RGBCorrection]\r\nEnabled=1\r\nSaturation=0.25\r\nGamma=oops\r\n");
  EXPECT_EQ(broken->ColourFilterSettings, TColourFilterSettings{});
  const auto overflow = Load("[RGBCorrection]\r\nEnabled=1\r\nBrightness=1e40\r\n");
  EXPECT_EQ(overflow->ColourFilterSettings, TColourFilterSettings{});
}

TEST_F(RipJobTest, TilesMarksAndCuttingKeysAreKept) {
  const auto job = Load(
      "[Tiles]\r\nIsTiled=1\r\nTileNo=3\r\nTileColNo=2\r\nTileRowNo=2\r\nUseTileNums=1\r\n"
      "[ContourCut]\r\nIsContourCut=1\r\nXCount=4\r\nYCount=5\r\nPadding=1.5\r\nGapX=2\r\nGapY=3\r\n"
      "WBGap=4\r\nRegMrk=OPOS\r\nCutJID=9\r\n[Job]\r\nUseCropMarks=1\r\n");
  EXPECT_TRUE(job->IsTiled);
  EXPECT_EQ(job->TileNo, 3);
  EXPECT_TRUE(job->UseTileNums);
  EXPECT_TRUE(job->IsContourCut);
  EXPECT_EQ(job->XCount, 4);
  EXPECT_EQ(job->YCount, 5);
  EXPECT_EQ(job->Padding, 1.5f);
  EXPECT_EQ(job->WBGap, 4.0f);
  EXPECT_EQ(job->RegMrk, "OPOS");
  EXPECT_EQ(job->CutJID, 9);
  EXPECT_FALSE(job->UseCropMarks);  // a repeated [Job] section is not read
}

TEST_F(RipJobTest, AnUnreadableDateMeansTheTimeOfLoading) {
  Dir.Write("art.cmf", "");
  const std::string path = Dir.Write("job.RipJob",
                                     "[Job]\r\nSrcFile=art.cmf\r\nDate=someday\r\n"
                                     "[FullBounds]\r\nMaxX=1\r\nMaxY=1\r\n");
  auto job = MakeRef<TRipfileData>();
  const double before = NowDateTime();
  job->LoadFromFile(path);
  EXPECT_GE(job->Date, before - 1.0 / 86400);
  EXPECT_LE(job->Date, NowDateTime() + 1.0 / 86400);
}

}  // namespace
}  // namespace slabrip

namespace slabrip {
namespace {

TEST_F(RipJobTest, TheCorrectionTableIsBuiltOnceAndOnlyWhenEnabled) {
  auto off = Load("[RGBCorrection]\r\nEnabled=0\r\nSaturation=-1\r\n");
  off->BuildCorrectionLut();
  EXPECT_EQ(off->CorrectionLut, nullptr);

  auto on = Load("[RGBCorrection]\r\nEnabled=1\r\nSaturation=-1\r\nContrastCrv=0,0/50,90/100,100\r\n");
  on->BuildCorrectionLut();
  ASSERT_NE(on->CorrectionLut, nullptr);
  EXPECT_FALSE(on->CorrectionLut->CmykOutput);
  const TColor32 grey = on->CorrectionLut->ConvertColour(0xFFFF0000);
  EXPECT_EQ(grey & 0xFF, grey >> 8 & 0xFF);            // desaturated
  EXPECT_NEAR(static_cast<int>(grey & 0xFF), 128, 1);  // and no contrast curve from a job file
  const TColorLut33Obj* built = on->CorrectionLut.get();
  on->BuildCorrectionLut();
  EXPECT_EQ(on->CorrectionLut.get(), built);

  // With the contrast-curve flag set the curve lifts the mid-tones.
  auto curved = Load("[RGBCorrection]\r\nEnabled=1\r\nSaturation=-1\r\nContrastCrv=0,0/50,90/100,100\r\n");
  curved->ColourFilterSettings.UseContrastCurve = 1;
  curved->BuildCorrectionLut();
  EXPECT_GT(static_cast<int>(curved->CorrectionLut->ConvertColour(0xFFFF0000) & 0xFF), 160);
}

}  // namespace
}  // namespace slabrip
