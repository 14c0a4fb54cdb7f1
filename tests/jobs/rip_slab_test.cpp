#include "jobs/rip_slab.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "support/slab_files.h"

namespace slabrip {
namespace {

using test::CrLf;
using test::JobFileText;
using test::Placement;
using test::SlabFileText;
using test::TTempDir;

class RipSlabTest : public ::testing::Test {
 protected:
  TRef<TRipSlab> Load(const std::string& path, bool expected) {
    auto slab = MakeRef<TRipSlab>();
    EXPECT_EQ(slab->LoadFromFile(path), expected);
    return slab;
  }
  std::string WriteJob(const std::string& name) {
    Dir.Write(name + ".cmf", "");
    Dir.Write(name + ".RipJob", JobFileText(name + ".cmf"));
    return "C:\\Queue\\" + name + ".RipJob";
  }
  TTempDir Dir;
};

TEST_F(RipSlabTest, LoadsInfoJobsPlacementsAndSnapshots) {
  const std::string slab = test::WriteSimpleSlab(
      Dir, "SlabID=$3039\r\nRipWidth=12602\r\nRipStatus=3\r\nCurrPrnSize=1048576\r\nRipCurrRow=25\r\n",
      "[AlignMarks]\r\nAlignPosMinY=7.5\r\nAlignMarkCmd=M 0 0\r\n"
      "[SnapShot_MediaPreset]\r\n<MediaPreset]\r\nIccProfile=x.icc\r\n"
      "[SnapShot_PrinterData]\r\nCurrWinPrn=HP\r\n");
  const auto s = Load(slab, true);
  EXPECT_EQ(s->SlabID, 12345);
  EXPECT_EQ(s->RipWidth, 12602);
  EXPECT_EQ(s->RipStatus, TRipStatus::kToFileToo);
  EXPECT_EQ(s->CurrPrnSize, 1048576);
  EXPECT_EQ(s->MediaWidth, 1000.0f);
  EXPECT_EQ(s->AlignPosMinY, 7.5f);
  EXPECT_EQ(s->AlignMarkCmd, "M 0 0");
  EXPECT_EQ(s->JobCount(), 1u);
  EXPECT_EQ(s->Job(0)->FileName, Dir.File("a.RipJob"));
  EXPECT_FALSE(s->Job(1));
  ASSERT_EQ(s->Placements.size(), 2u);
  EXPECT_EQ(s->Placements[1].Transform().Dx, 120.0f);
  EXPECT_EQ(s->MediaPresetSnapshot, (std::vector<std::string>{"[MediaPreset]", "IccProfile=x.icc"}));
  EXPECT_EQ(s->PrinterDataSnapshot, std::vector<std::string>{"CurrWinPrn=HP"});
  EXPECT_FLOAT_EQ(s->RipProgress, 0.25f);  // UpdateProgress ran: 25 of 100 rows
  EXPECT_TRUE(s->Problems().empty());
}

TEST_F(RipSlabTest, MissingKeysKeepCurrentValuesAndEmptySnapshotSectionsGiveNone) {
  const std::string path = Dir.Write(
      "s.RipSlab", SlabFileText({WriteJob("a")}, {Placement(0, 0, 0)}) + "[SnapShot_MediaPreset]\r\n");
  auto s = MakeRef<TRipSlab>();
  s->Printer = "kept";
  s->CustomHostHwnd = 99;
  ASSERT_TRUE(s->LoadFromFile(path));
  EXPECT_EQ(s->Printer, "kept");
  EXPECT_EQ(s->CustomHostHwnd, 0);  // defaults to 0, not to the current value
  EXPECT_FALSE(s->MediaPresetSnapshot);
  EXPECT_FALSE(s->PrinterDataSnapshot);
}

TEST_F(RipSlabTest, MissingAndFailingJobsKeepTheirSlotsAndNamesMatchInAnyCase) {
  const std::string b = WriteJob("b");
  WriteJob("c");
  Dir.Write("bad.RipJob", JobFileText("nowhere.cmf"));
  const std::string path = Dir.Write(
      "s.RipSlab", SlabFileText({"C:\\Queue\\gone.RipJob", "C:\\Queue\\bad.RipJob", b, "C:\\Queue\\C.RIPJOB"},
                                {Placement(0, 0, 0)}));
  const auto s = Load(path, true);
  ASSERT_EQ(s->JobCount(), 4u);
  EXPECT_EQ(s->LoadedJobCount(), 2u);
  EXPECT_FALSE(s->Job(0));
  EXPECT_FALSE(s->Job(1));
  EXPECT_EQ(s->Job(2)->FileName, Dir.File("b.RipJob"));
  EXPECT_EQ(s->Job(3)->FileName, Dir.File("c.RipJob"));
  ASSERT_EQ(s->Problems().size(), 2u);
  EXPECT_NE(s->Problems()[0].find("Job000"), std::string::npos);
  EXPECT_NE(s->Problems()[1].find("nowhere.cmf"), std::string::npos);
}

TEST_F(RipSlabTest, JobCountAboveTheLimitReadsNoJob) {
  const std::string a = WriteJob("a");
  std::vector<std::string> many(999, a);
  const auto ok = Load(Dir.Write("s999.RipSlab", SlabFileText(many, {Placement(0, 0, 0)})), true);
  EXPECT_EQ(ok->JobCount(), 999u);
  many.push_back(a);
  const auto over = Load(Dir.Write("s1000.RipSlab", SlabFileText(many, {Placement(0, 0, 0)})), false);
  EXPECT_EQ(over->JobCount(), 0u);
}

TEST_F(RipSlabTest, PlacementCountAboveTheLimitFailsTheLoad) {
  const std::string a = WriteJob("a");
  const auto over =
      Load(Dir.Write("s.RipSlab", CrLf({"[Jobs]", "JobCount=1", "Job000=" + a, "[RPA]", "Count=10000",
                                        "Pos000=" + Placement(0, 0, 0).ToHex()})),
           false);
  EXPECT_TRUE(over->Placements.empty());
  std::vector<TRipJobPos> many(9999, Placement(0, 0, 0));
  const auto max = Load(Dir.Write("m.RipSlab", SlabFileText({a}, many)), true);
  EXPECT_EQ(max->Placements.size(), 9999u);
  EXPECT_EQ(max->Placements[9998].Transform(), Placement(0, 0, 0).Transform());  // read as Pos9998
}

TEST_F(RipSlabTest, MalformedPlacementsBecomeZeroRecords) {
  const std::string a = WriteJob("a");
  const std::string good = Placement(0, 5, 5).ToHex();
  std::string bad = good;
  bad.replace(14, 2, "zz");  // byte 7
  const auto s = Load(
      Dir.Write("s.RipSlab", CrLf({"[Jobs]", "JobCount=1", "Job000=" + a, "[RPA]", "Count=4",
                                   "Pos000=" + good.substr(1), "Pos001=" + good + "0", "Pos002=" + bad})),
      true);
  ASSERT_EQ(s->Placements.size(), 4u);
  const TRipJobPos zero;
  EXPECT_EQ(s->Placements[0].Bytes, zero.Bytes);
  EXPECT_EQ(s->Placements[1].Bytes, zero.Bytes);
  EXPECT_EQ(s->Placements[2].JobIndex(), 0);
  EXPECT_EQ(s->Placements[2].Bytes[6], 0xA0);  // 5.0f is 00 00 A0 40
  EXPECT_EQ(s->Placements[2].Bytes[7], 0);
  EXPECT_EQ(s->Placements[3].Bytes, zero.Bytes);  // Pos003 missing
  EXPECT_EQ(s->Problems().size(), 3u);
}

TEST_F(RipSlabTest, NoJobsOrNoPlacementsMeansNoSlab) {
  EXPECT_EQ(Load(Dir.Write("nojobs.RipSlab", SlabFileText({}, {Placement(0, 0, 0)})), false)->JobCount(), 0u);
  Load(Dir.Write("noplace.RipSlab", SlabFileText({WriteJob("a")}, {})), false);
  Load(Dir.File("missing.RipSlab"), false);
  Load("", false);
  Load(Dir.Path(), false);
}

TEST_F(RipSlabTest, NumbersThatDoNotFitKeepTheDefault) {
  const std::string slab = test::WriteSimpleSlab(
      Dir, "RipStatus=260\r\nRipCurrRow=$100000000\r\nRipWidth=12x\r\nMediaHeight=1e39\r\nZorder=0x10\r\n");
  const auto s = Load(slab, true);
  EXPECT_EQ(s->RipStatus, TRipStatus::kNone);
  EXPECT_EQ(s->RipCurrRow, 0);
  EXPECT_EQ(s->RipWidth, 0);
  EXPECT_EQ(s->MediaHeight, 0.0f);
  EXPECT_EQ(s->Zorder, 16);
}

TEST_F(RipSlabTest, WindowsTextFormsLoadAlike) {
  const std::string a = WriteJob("a");
  const std::string body = "[Info]\nJobname=Caf\xE9\n[Jobs]\nJobCount=1\nJob000=" + a +
                           "\n[RPA]\nCount=1\nPos000=" + Placement(0, 0, 0).ToHex() + "\n";
  EXPECT_EQ(Load(Dir.Write("1252.RipSlab", body), true)->Jobname, "Caf\xC3\xA9");
  EXPECT_EQ(Load(Dir.Write("bom.RipSlab", "\xEF\xBB\xBF" + body), true)->JobCount(), 1u);
  std::string cr = body;
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  EXPECT_EQ(Load(Dir.Write("cr.RipSlab", cr), true)->Placements.size(), 1u);
}

TEST_F(RipSlabTest, HostileFilesNeitherCrashNorLoad) {
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 7919) % 256);
  Load(Dir.Write("garbage.RipSlab", garbage), false);
  Load(Dir.Write("long.RipSlab", "[Info]\r\nJobname=" + std::string(4 << 20, 'x') + "\r\n"), false);
  Load(Dir.Write("nul.RipSlab", std::string("[Jobs]\0JobCount=5\r\n", 19)), false);
  Load(Dir.Write("neg.RipSlab", "[Jobs]\r\nJobCount=-5\r\n[RPA]\r\nCount=-1\r\n"), false);
}

TEST(RipSlabProgress, FollowsRowsAndBytes) {
  auto s = MakeRef<TRipSlab>();
  s->RipCurrRow = 50;
  s->UpdateProgress();
  EXPECT_EQ(s->RipProgress, 0.0f);  // RipHeight 0
  s->RipHeight = 200;
  s->CurrPrnSize = 1000;
  s->SentPrnSize = 500;
  s->UpdateProgress();
  EXPECT_FLOAT_EQ(s->RipProgress, 0.25f);
  EXPECT_FLOAT_EQ(s->SendProgress, 0.125f);
  s->RipCurrRow = 900;
  s->SentPrnSize = 5000;
  s->UpdateProgress();
  EXPECT_EQ(s->RipProgress, 1.0f);
  EXPECT_EQ(s->SendProgress, 1.0f);
  s->RipCurrRow = -3;
  s->CurrPrnSize = 0;
  s->UpdateProgress();
  EXPECT_EQ(s->RipProgress, 0.0f);
  EXPECT_EQ(s->SendProgress, 0.0f);
}

}  // namespace
}  // namespace slabrip
