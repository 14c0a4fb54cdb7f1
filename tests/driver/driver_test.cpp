#include "driver/driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <filesystem>
#include <sstream>

#include "base/file_paths.h"
#include "base/ini_file.h"
#include "driver/printer_report.h"
#include "driver/slab_info.h"
#include "hpraster/printer_data.h"
#include "proof/render_files.h"
#include "proof/soft_proof.h"
#include "support/slab_files.h"
#include "tools/cmf_builder.h"

namespace slabrip {
namespace {

using ::testing::HasSubstr;
using test::TTempDir;

// Answers questions as told and keeps everything it was asked to show;
// "Abort" is ticked after a number of event polls.
class TRecordingUi : public TDriverUi {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  bool Confirm(const std::string&) override { return Answer; }
  std::optional<std::string> InputBox(const std::string&, const std::string&) override { return Input; }
  void ProcessEvents() override {
    if (Driver != nullptr && AbortAfterPolls >= 0 && Polls++ >= AbortAfterPolls) Driver->RequestAbort();
  }
  void Refresh() override {}
  void Close() override { Closed = true; }

  std::vector<std::string> Messages, Errors;
  bool Answer = true;
  std::optional<std::string> Input;
  bool Closed = false;
  TDriver* Driver = nullptr;
  int AbortAfterPolls = -1;
  int Polls = 0;
};

TEST(PrinterRows, EveryPrinterRowComesFromExactlyOneRenderRow) {
  // 2.5 and 7.5 round to even.
  EXPECT_EQ(TPrintRun::PrinterRows(0, 100, 250), std::make_pair(0, 1));
  EXPECT_EQ(TPrintRun::PrinterRows(1, 100, 250), std::make_pair(2, 4));
  EXPECT_EQ(TPrintRun::PrinterRows(2, 100, 250), std::make_pair(5, 7));
  EXPECT_EQ(TPrintRun::PrinterRows(3, 100, 250), std::make_pair(8, 9));
  EXPECT_EQ(TPrintRun::PrinterRows(7, 14, 29).first, 14);  // 14.5 in one step, not 14.500000000000002
  for (const auto& [render, rip] : {std::pair{100, 250}, std::pair{300, 100}, std::pair{3544, 7087}}) {
    std::int32_t next = 0;
    for (std::int32_t y = 0; y < render; ++y) {
      const auto [first, last] = TPrintRun::PrinterRows(y, render, rip);
      ASSERT_EQ(first, next) << render << " " << rip << " " << y;
      next = last + 1;
    }
    EXPECT_EQ(next, rip);
  }
  for (const int y : {0, 2}) {  // 0 .. 0.33 and 0.67 .. 1: nothing to send
    const auto [first, last] = TPrintRun::PrinterRows(y, 300, 100);
    EXPECT_GT(first, last) << y;
  }
}

// A print-ready slab: one job with a red square and a spot square, a printer
// description the stand-in library knows, a CMYK profile.
class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(Dir.File("Drivers"));
    std::filesystem::copy_file(SLABRIP_CMYK_PROFILE, Dir.File("Printer.icc"));
    Dir.Write("Drivers/Latex.qlPrinter", "[Driver]\r\nName=Latex\r\n[HPDJ]\r\nHPPrinterID=HP_Latex_570\r\n");
    TcmfBuilder doc;
    doc.AddColour(TUniColorSpec::Make(kModelRGB, {1, 0, 1}), "Spot|{0,100,0,0}");
    const TRectF page{0, 0, 40, 20};
    const int root = doc.AddGroup(-1, WithBounds(Style(kNoFill, kNoFill, page), page));
    TCurveBuilder red, spot;
    red.Rectangle(2, 2, 18, 18);
    spot.Rectangle(22, 2, 38, 18);
    doc.AddGeometry(root, Style(0x10FF0000, kNoFill, page), red.Build().get());
    doc.AddGeometry(root, Style(0, kNoFill, page), spot.Build().get());
    const auto bytes = doc.Build();
    Dir.Write("art.cmf", std::string(bytes.begin(), bytes.end()));
    Dir.Write("a.RipJob", "[Job]\r\nSrcFile=C:\\Jobs\\art.cmf\r\nJobName=Art\r\n"
                          "[FullBounds]\r\nMaxX=40\r\nMaxY=20\r\n[SpotFlags]\r\nSpotCount=1\r\nSpot1=1\r\n");
    Env.IccFolder = Dir.Path() + "/";
    Env.DriversFolder = Dir.File("Drivers") + "/";
    Env.PrintJobsFolder = Dir.Path() + "/";
    Env.LibraryFolder = SLABRIP_LIBRARY_DIR;
    Env.MediaSettingsFile = Dir.File("media.ini");
    Env.RuntimeFolder = Dir.Path();
  }

  // 50 x 25 mm of media at 150 dpi render and 300 dpi print.
  std::string WriteSlab(const std::string& info, const std::vector<std::string>& jobs = {"C:\\Queue\\a.RipJob"},
                        int jobIndex = 0, const std::string& name = "s.RipSlab") {
    TRipJobPos place;
    place.SetJobIndex(jobIndex);
    place.SetPlacedBounds({5, 2, 45, 22});
    place.SetTransform({5, 2, 1, 0, 0, 1});
    const std::string text = test::SlabFileText(
        jobs, {place},
        "Printer=C:\\ProgramData\\Drivers\\Latex.qlDrv\r\nSlabID=291\r\n" + info +
            "MediaWidth=50\r\nMediaHeight=25\r\nRenderWidth=295\r\nRenderHeight=148\r\n"
            "RipWidth=591\r\nRipHeight=295\r\n",
        "[SnapShot_MediaPreset]\r\nIccProfile=Printer.icc\r\n[SnapShot_PrinterData]\r\n<PrinterData]\r\n"
        "CurrWinPrn=Latex\r\nCurrPort=CustomPort\r\n");
    // The generated keys put RenderDPI 100; the raster format needs 150.
    std::string slab = text;
    slab.replace(slab.find("RenderDPI=100"), 13, "RenderDPI=150");
    return Dir.Write(name, slab);
  }

  std::unique_ptr<TDriver> Start(const std::string& slabPath) {
    auto driver = std::make_unique<TDriver>(Env, Ui);
    Ui.Driver = driver.get();
    driver->StartupLoad({slabPath});
    return driver;
  }

  TTempDir Dir;
  TDriverEnvironment Env;
  TRecordingUi Ui;
};

TEST_F(DriverTest, StartupJoinsTheArgumentsAndLoadsTheSlabAndMediaList) {
  WriteSlab("RipStatus=1\r\n");
  std::filesystem::rename(Dir.File("s.RipSlab"), Dir.File("my slab.RipSlab"));
  auto driver = std::make_unique<TDriver>(Env, Ui);
  driver->StartupLoad({Dir.File("my"), "slab.RipSlab"});
  EXPECT_THAT(Ui.Errors, ::testing::IsEmpty());
  EXPECT_EQ(driver->Controls.SlabFile, Dir.File("my slab.RipSlab"));
  EXPECT_EQ(driver->View().JobInformation, "591 x 295 pixels");
  EXPECT_EQ(driver->View().Caption, "HP_Latex_570");
  EXPECT_EQ(driver->View().Resolution, "300 dpi");
  EXPECT_TRUE(driver->View().PrintNowEnabled);
  EXPECT_EQ(driver->PrinterInfo().size, HPDRLGL_PRINTER_INFO_SIZE);
  EXPECT_THAT(driver->Media().Names(), ::testing::ElementsAre("HP_RIP_CUSTOM_MEDIA"));
  EXPECT_EQ(driver->Controls.TestOutputFile, Dir.Path() + "/hptest.prn");
}

TEST_F(DriverTest, NoArgumentLoadsNothingButTheMediaList) {
  const auto driver = Start("");
  EXPECT_FALSE(driver->Slab());
  EXPECT_EQ(driver->View().JobInformation, "No Job Loaded..");
  EXPECT_EQ(driver->Media().Names().size(), 1u);
  EXPECT_THAT(Ui.Errors, ::testing::IsEmpty());
  EXPECT_THAT(Ui.Messages, ::testing::IsEmpty());
}

TEST_F(DriverTest, AMissingPrinterDescriptionLeavesTheCaptionButShowsTheSlabsResolution) {
  WriteSlab("RipStatus=1\r\n");
  std::filesystem::remove(Dir.File("Drivers/Latex.qlPrinter"));
  const auto driver = Start(Dir.File("s.RipSlab"));
  ASSERT_EQ(Ui.Messages.size(), 1u);
  EXPECT_EQ(Ui.Messages[0], "Unable to find driver\n" + Dir.File("Drivers/Latex.qlPrinter"));
  EXPECT_EQ(driver->View().Caption, "slabrip");
  EXPECT_EQ(driver->View().Resolution, "300 dpi");  // the slab's own, not the label's first text
  EXPECT_TRUE(driver->View().PrintNowEnabled);
  EXPECT_EQ(driver->PrinterModelId(), "");
}

TEST_F(DriverTest, ARejectedModelStillShowsTheResolutionButNotTheCaption) {
  WriteSlab("RipStatus=1\r\n");
  Dir.Write("Drivers/Latex.qlPrinter", "[HPDJ]\r\nHPPrinterID=No_Such_Printer\r\n");
  const auto driver = Start(Dir.File("s.RipSlab"));
  EXPECT_EQ(driver->View().Caption, "slabrip");
  EXPECT_EQ(driver->View().Resolution, "300 dpi");
  EXPECT_THAT(Ui.Messages, ::testing::IsEmpty());
}

TEST_F(DriverTest, AMissingLibraryIsAnErrorAndPrintNowStaysDisabled) {
  WriteSlab("RipStatus=1\r\n");
  Env.LibraryFolder = Dir.Path();
  const auto driver = Start(Dir.File("s.RipSlab"));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], "Cant find: " + Dir.File("libhpldrlgl.so"));
  EXPECT_FALSE(driver->View().PrintNowEnabled);
}

TEST_F(DriverTest, ASlabThatDoesNotLoadIsReportedWithItsPath) {
  Dir.Write("s.RipSlab", "[Info]\r\nRipWidth=10\r\n");
  const auto driver = Start(Dir.File("s.RipSlab"));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_THAT(Ui.Errors[0], HasSubstr("Unable to open RIP File\n" + Dir.File("s.RipSlab")));
  EXPECT_FALSE(driver->View().PrintNowEnabled);
  driver->PrintNow();  // without a slab: nothing
  EXPECT_FALSE(Ui.Closed);
}

// The rows the engine makes for the slab, every plane of every printer row
// in printer order, computed apart from the print run.
std::vector<std::vector<std::uint8_t>> EngineRows(const std::string& slabPath, const std::string& iccFolder) {
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = iccFolder;
  EXPECT_NO_THROW(engine->PrepareForSlab(slabPath));
  TInkRowEx& row = *engine->InkRow();
  THPRasterJob::ConfigurePlanes(row);
  const TRipSlab& slab = *engine->Slab();
  std::vector<std::vector<std::uint8_t>> rows;
  for (int y = 0; y < slab.RenderHeight; ++y) {
    engine->PrepareRow(y);
    const auto [first, last] = TPrintRun::PrinterRows(y, slab.RenderHeight, slab.RipHeight);
    for (int j = first; j <= last; ++j) {
      row.ExpandDitherPack(j);
      std::vector<std::uint8_t> planes(6 * static_cast<std::size_t>(row.RowBytes()), 0);
      for (int i = 0; i < row.ChannelCount(); ++i)
        std::copy_n(row.OutputChannel(i)->PackedBytes(), row.RowBytes(),
                    planes.begin() + static_cast<std::ptrdiff_t>(i * row.RowBytes()));
      rows.push_back(std::move(planes));
    }
  }
  return rows;
}

std::vector<std::vector<std::uint8_t>> DecodedRows(const std::string& prnPath, TPrinterData& data) {
  const std::string bytes = ReadWholeFile(prnPath, std::size_t{1} << 30);
  std::vector<std::vector<std::uint8_t>> rows;
  data = ReadPrinterData(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                         [&](int, std::span<const std::span<const std::uint8_t>> planes) {
                           std::vector<std::uint8_t> row;
                           for (const auto& plane : planes) row.insert(row.end(), plane.begin(), plane.end());
                           rows.push_back(std::move(row));
                         });
  return rows;
}

TEST_F(DriverTest, TestOutputHoldsEveryRowTheEngineMadeAndTheStatusIsWritten) {
  const std::string slab = WriteSlab("RipStatus=5\r\n");  // test output does not look at the status
  const auto driver = Start(slab);
  driver->Controls.TestOutput = true;
  driver->Controls.TestOutputFile = Dir.File("out/test.prn");
  std::filesystem::create_directories(Dir.File("out"));
  driver->Controls.Job.MediaName = "Vinyl & Co";
  driver->PrintNow();
  EXPECT_THAT(Ui.Errors, ::testing::IsEmpty());
  EXPECT_TRUE(Ui.Closed);

  TPrinterData data;
  const auto decoded = DecodedRows(Dir.File("out/test.prn"), data);
  ASSERT_TRUE(data.Raster);
  EXPECT_EQ(data.Raster->Width, 591);
  EXPECT_EQ(data.Raster->Height, 295);
  EXPECT_EQ(data.Raster->Resolution, 300);
  EXPECT_THAT(data.Settings, ::testing::Contains(TPjlSetting{"MEDIANAME", "Vinyl & Co"}));
  const auto expected = EngineRows(slab, Env.IccFolder);
  ASSERT_EQ(decoded.size(), expected.size());
  for (std::size_t j = 0; j < expected.size(); ++j) ASSERT_EQ(decoded[j], expected[j]) << "row " << j;
  // Something was printed: the red square has magenta in plane 2 somewhere.
  EXPECT_TRUE(std::any_of(decoded.begin(), decoded.end(), [](const auto& row) {
    return std::any_of(row.begin() + 2 * 148, row.begin() + 3 * 148, [](std::uint8_t b) { return b != 0; });
  }));

  const TqlInifile written(slab);
  EXPECT_EQ(written.ReadInteger("Info", "RipStatus", 0), 7);
  EXPECT_EQ(written.ReadInt64("Info", "RipCurrRow", 0), 295);
  EXPECT_EQ(written.ReadString("Info", "SlabID", ""), "$0000000000000123");
  // Under one chunk of the library: all of it arrives in the end calls, and all of it is counted.
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(Dir.File("out/test.prn")));
  ASSERT_LT(size, 65536);
  EXPECT_EQ(written.ReadInt64("Info", "CurrPrnSize", 0), size);
  EXPECT_EQ(written.ReadInt64("Info", "SentPrnSize", 0), size);
  EXPECT_EQ(driver->LastPrint().Bytes, size);
}

// A proof pixel is the mean of the dithered drops: over a flat fill that is
// the fill's own ink as the soft proof shows it, and blank media stays white.
TEST_F(DriverTest, TheProofOfAFlatFillHasTheFillsProofColourAndTheInkOfThePrint) {
  const std::string slab = WriteSlab("RipStatus=1\r\n");
  const auto driver = Start(slab);
  const TProofRequest request = driver->ProofRequest(50);
  double done = 0;
  const std::optional<TSlabProof> proof = MakeSlabProof(request, [&](double share) {
    done = share;
    return true;
  });
  ASSERT_TRUE(proof);
  EXPECT_EQ(done, 1);
  ASSERT_EQ(proof->Picture.Width(), 50);
  ASSERT_EQ(proof->Picture.Height(), 25);
  // The middle of the red square, slab (15, 12) mm, against the fill's own ink there.
  const TRef<TRipEngine> engine = EngineForSlab(slab, Env.IccFolder, 0);
  engine->PrepareRow(71);
  TSoftProof softProof;
  const TColor32 fill = softProof.Colour(engine->InkRow()->Input()[88]);
  ASSERT_NE(fill, softProof.Colour({}));
  const TColor32 shown = proof->Picture.Row(12)[15];
  for (const int shift : {0, 8, 16})
    EXPECT_NEAR(static_cast<int>(fill >> shift & 255), static_cast<int>(shown >> shift & 255), 4) << shift;
  EXPECT_EQ(proof->Picture.Row(12)[1], softProof.Colour({}));

  // The proof's ink estimate counts the drops the print lays down.
  driver->Controls.TestOutput = true;
  driver->Controls.TestOutputFile = Dir.File("proofed.prn");
  driver->PrintNow();
  const TInkReport& printed = driver->LastPrint().Inks;
  ASSERT_EQ(printed.Inks.size(), proof->Inks.Inks.size());
  for (std::size_t i = 0; i < printed.Inks.size(); ++i) {
    EXPECT_EQ(printed.Inks[i].Ink, proof->Inks.Inks[i].Ink);
    EXPECT_EQ(printed.Inks[i].Drops, proof->Inks.Inks[i].Drops) << printed.Inks[i].Ink;
  }
  EXPECT_FALSE(MakeSlabProof(request, [](double) { return false; }));
}

TEST_F(DriverTest, APrintFileGetsTheSameDataAsTestOutput) {
  const std::string slab = WriteSlab(fmt::format("RipStatus=1\r\nPrnFilename={}\r\n", Dir.File("job.prn")));
  Start(slab)->PrintNow();
  EXPECT_THAT(Ui.Errors, ::testing::IsEmpty());
  const auto driver = Start(slab);
  driver->Controls.TestOutput = true;
  driver->Controls.TestOutputFile = Dir.File("test.prn");
  driver->PrintNow();
  EXPECT_EQ(ReadWholeFile(Dir.File("job.prn"), 1 << 26), ReadWholeFile(Dir.File("test.prn"), 1 << 26));
}

TEST_F(DriverTest, AbortStopsBeforeTheNextRenderRowKeepsTheEarlierPrintAndIsWrittenBack) {
  const std::string slab = WriteSlab(fmt::format("RipStatus=3\r\nPrnFilename={}\r\n", Dir.File("job.prn")));
  Dir.Write("job.prn", "the earlier print");
  const auto driver = Start(slab);
  Ui.AbortAfterPolls = 10;
  driver->PrintNow();
  EXPECT_TRUE(Ui.Closed);
  EXPECT_THAT(Ui.Errors, ::testing::IsEmpty());
  const TqlInifile written(slab);
  EXPECT_EQ(written.ReadInteger("Info", "RipStatus", 0), 8);
  // Ten render rows were printed: printer rows up to the tenth's last.
  const std::int32_t lastRow = TPrintRun::PrinterRows(9, 148, 295).second;
  EXPECT_EQ(written.ReadInt64("Info", "RipCurrRow", 0), lastRow);
  EXPECT_TRUE(driver->LastPrint().Aborted);
  EXPECT_EQ(driver->LastPrint().RowsSent, lastRow + 1);
  EXPECT_EQ(ReadWholeFile(Dir.File("job.prn"), 1 << 20), "the earlier print");
}

TEST_F(DriverTest, AJobThatDidNotLoadIsReportedAndTheOthersPrintAtTheirPlaces) {
  const std::string alone = WriteSlab("RipStatus=5\r\n", {"C:\\Queue\\a.RipJob"}, 0, "alone.RipSlab");
  const std::string slab = WriteSlab(fmt::format("RipStatus=1\r\nPrnFilename={}\r\n", Dir.File("job.prn")),
                                     {"C:\\Queue\\gone.RipJob", "C:\\Queue\\A.RIPJOB"}, 1);
  const std::string before = ReadWholeFile(slab, 1 << 20);
  auto driver = Start(slab);
  EXPECT_THAT(driver->View().Problems, ::testing::ElementsAre(HasSubstr("Job000: job file not found")));
  Ui.Answer = false;  // "Print anyway?" No: nothing happens
  driver->PrintNow();
  EXPECT_FALSE(Ui.Closed);
  EXPECT_FALSE(FileExists(Dir.File("job.prn")));
  EXPECT_EQ(ReadWholeFile(slab, 1 << 20), before);
  Ui.Answer = true;
  driver->PrintNow();
  EXPECT_TRUE(Ui.Closed);
  EXPECT_EQ(TqlInifile(slab).ReadInteger("Info", "RipStatus", 0), 7);
  // Job 1 prints where its placement puts it, as it does on a slab of its own.
  driver = Start(alone);
  EXPECT_THAT(driver->View().Problems, ::testing::IsEmpty());
  driver->Controls.TestOutput = true;
  driver->Controls.TestOutputFile = Dir.File("alone.prn");
  driver->PrintNow();
  EXPECT_EQ(ReadWholeFile(Dir.File("job.prn"), 1 << 26), ReadWholeFile(Dir.File("alone.prn"), 1 << 26));
}

TEST_F(DriverTest, NoDestinationPrintsNothingAndKeepsTheSlabFile) {
  const std::string slab = WriteSlab("RipStatus=5\r\n");
  const std::string before = ReadWholeFile(slab, 1 << 20);
  Start(slab)->PrintNow();
  EXPECT_TRUE(Ui.Closed);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_THAT(Ui.Errors[0], HasSubstr("RipStatus is 5"));
  EXPECT_EQ(ReadWholeFile(slab, 1 << 20), before);
}

TEST_F(DriverTest, PrintFilesNamedWhereThisMachineHasNoFolderGoBesideTheSlabSaidSo) {
  const std::string data = Dir.File("data");
  std::filesystem::create_directories(data + "/RIP/PrintJobs");
  Env.DataFolder = data;
  const std::pair<std::string, std::string> cases[] = {
      {Dir.File("none/job.prn"), Dir.File("job.prn")},
      {"D:\\Jobs\\win.prn", Dir.File("win.prn")},
      {"C:\\ProgramData\\OrvenexCorp\\Quillar\\RIP\\PrintJobs\\suite.prn",
       data + "/RIP/PrintJobs/suite.prn"}};
  for (const auto& [named, written] : cases) {
    const std::string slab = WriteSlab(fmt::format("RipStatus=1\r\nPrnFilename={}\r\n", named));
    Ui.Messages.clear();
    Start(slab)->PrintNow();
    EXPECT_TRUE(Ui.Errors.empty()) << Ui.Errors[0];
    EXPECT_GT(std::filesystem::file_size(written), 1000u) << named;
    ASSERT_EQ(Ui.Messages.size(), 1u) << named;
    EXPECT_THAT(Ui.Messages[0], ::testing::AllOf(HasSubstr(named), HasSubstr(written)));
    EXPECT_EQ(TqlInifile(slab).ReadInteger("Info", "RipStatus", 0), 7);
    EXPECT_EQ(TqlInifile(slab).ReadString("Info", "PrnFilename", ""), named);  // the slab keeps its own words
  }
}

TEST_F(DriverTest, BelowTheRenderResolutionTheJobDoesNotStartAndNothingIsWritten) {
  std::string text = ReadWholeFile(WriteSlab(fmt::format("RipStatus=1\r\nPrnFilename={}\r\n", Dir.File("job.prn"))),
                                   1 << 20);
  text.replace(text.find("RenderDPI=150"), 13, "RenderDPI=149.9");
  const std::string slab = Dir.Write("s.RipSlab", text);
  const auto driver = Start(slab);
  EXPECT_NE(driver->ViewXml().find("JobInfoXML"), std::string::npos);
  driver->PrintNow();
  EXPECT_TRUE(Ui.Closed);
  EXPECT_THAT(Ui.Errors, ::testing::ElementsAre("the render resolution 149.9 dpi is below 150"));
  EXPECT_FALSE(driver->LastPrint().Began);
  EXPECT_EQ(TqlInifile(slab).ReadInteger("Info", "RipStatus", 0), 1);
}

TEST_F(DriverTest, WithoutAPrinterModelTheJobDoesNotStartAndSaysWhy) {
  const std::string slab = WriteSlab(fmt::format("RipStatus=1\r\nPrnFilename={}\r\n", Dir.File("job.prn")));
  std::filesystem::remove(Dir.File("Drivers/Latex.qlPrinter"));
  const auto driver = Start(slab);
  driver->PrintNow();
  EXPECT_THAT(
      Ui.Errors,
      ::testing::ElementsAre(
          "no HP printer model is known for the slab's printer C:\\ProgramData\\Drivers\\Latex.qlDrv"));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("job.prn")));
}

TEST_F(DriverTest, NoIccFolderIsAnErrorNamingTheSlabAndTheSlabStillShows) {
  const std::string slab = WriteSlab("RipStatus=1\r\n");
  Env.IccFolder.clear();  // and no ICC folder beside the slab
  const auto driver = Start(slab);
  EXPECT_THAT(Ui.Errors, ::testing::ElementsAre(
                             "No ICC Path Set\n" + slab +
                             ": no ICC folder: give --icc-dir, or put an ICC folder beside the slab"));
  ASSERT_TRUE(driver->Slab());
  EXPECT_EQ(driver->View().Resolution, "300 dpi");
  EXPECT_FALSE(driver->View().PrintNowEnabled);
}

TEST_F(DriverTest, ColourTablesThatCannotBeBuiltAreShownAndPrintNowStaysDisabled) {
  const std::string slab = WriteSlab("RipStatus=1\r\n");
  std::filesystem::remove(Dir.File("Printer.icc"));
  const auto driver = Start(slab);
  EXPECT_THAT(Ui.Errors, ::testing::IsEmpty());
  ASSERT_EQ(Ui.Messages.size(), 2u);
  EXPECT_THAT(Ui.Messages[0], HasSubstr("ICC profile not found: Printer.icc"));
  EXPECT_EQ(Ui.Messages[1], "unable to open file\n" + slab);
  EXPECT_FALSE(driver->View().PrintNowEnabled);
}

TEST_F(DriverTest, TheInfoPageAndTheDestinationSayWhyASlabDoesNotLoad) {
  const std::string missing = Dir.File("none.RipSlab");
  std::ostringstream out;
  EXPECT_THAT([&] { WriteSlabInfo(missing, Env, out); },
              ::testing::ThrowsMessage<TError>(
                  ::testing::StrEq("Unable to open RIP File\n" + missing + "\n  no such file")));
  EXPECT_THAT([&] { WriteSlabDestination(missing, "", out); },
              ::testing::ThrowsMessage<TError>(::testing::StrEq("Unable to open RIP File\n" + missing +
                                                                "\n  " + missing + ": file not found")));
  const std::string slab = WriteSlab("RipStatus=5\r\n");
  EXPECT_THAT([&] { WriteSlabDestination(slab, "", out); },
              ::testing::ThrowsMessage<TError>(
                  ::testing::StrEq(slab + ": Nothing to print to: the slab's RipStatus is 5")));
  EXPECT_EQ(out.str(), "");
  WriteSlab(fmt::format("RipStatus=1\r\nPrnFilename={}\r\n", Dir.File("job.prn")));
  EXPECT_TRUE(WriteSlabDestination(slab, "", out));
  EXPECT_EQ(out.str(),
            fmt::format("{0} prints to the file {1}: the print file it names\n", slab, Dir.File("job.prn")));
}

TEST_F(DriverTest, TheInfoPageTellsTheSlabAndWhyItsColourTablesAreMissing) {
  const std::string slab = WriteSlab("RipStatus=1\r\n");
  std::filesystem::remove(Dir.File("Printer.icc"));
  std::ostringstream out;
  WriteSlabInfo(slab, Env, out);
  EXPECT_THAT(out.str(), HasSubstr("Slab:           " + slab + "\n"));
  EXPECT_THAT(out.str(), HasSubstr("Colour tables:  not usable: ICC profile not found: Printer.icc"));
  EXPECT_THAT(out.str(), HasSubstr("\nJobs (1):\n  [0] Art\n"));
}

TEST_F(DriverTest, MediaAddRefusesAListedNameAndUpdateAskedNoWritesNothing) {
  const auto driver = Start("");
  Ui.Input = "hp_rip_custom_media";
  driver->AddMedia();
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], "The selected media name already exists!\nhp_rip_custom_media");
  Ui.Input = "   ";  // blank: nothing happens, nothing is said
  driver->AddMedia();
  EXPECT_EQ(Ui.Errors.size(), 1u);
  Ui.Input = "  Banner ";  // as typed, with blanks: saved, updated and deleted by its name
  driver->AddMedia();
  EXPECT_EQ(driver->Controls.Job.MediaName, "Banner");
  Ui.Answer = false;
  driver->UpdateMedia();
  EXPECT_FALSE(FileExists(Env.MediaSettingsFile));
  Ui.Answer = true;
  driver->Controls.Job.Media.DryTemp = 61.5;
  driver->UpdateMedia();
  EXPECT_EQ(TqlInifile(Env.MediaSettingsFile).ReadString("Banner", "DryTemp", ""), "61.5");
  driver->Controls.Job.MediaName = " Banner  ";
  driver->DeleteMedia();
  EXPECT_THAT(driver->Media().Names(), ::testing::ElementsAre("HP_RIP_CUSTOM_MEDIA"));
  EXPECT_EQ(TqlInifile(Env.MediaSettingsFile).ReadString("Banner", "DryTemp", "gone"), "gone");
}

}  // namespace
}  // namespace slabrip
