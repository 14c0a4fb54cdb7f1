#include "hpraster/hp_raster_job.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "base/errors.h"
#include "separation/ink_row.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

// The library's side of the calls, recorded: entry points are plain C
// functions, so the record has to live outside any object.
struct TLibraryRecord {
  std::vector<std::string> Calls;
  std::vector<std::string> Documents;
  std::vector<std::vector<std::uint8_t>> Rows;
  std::int32_t Margins[4] = {0, 0, 0, 0};
  std::int32_t QueryResult = 0;
  std::string FailingCall;
  std::int32_t FailingResult = 0;
  std::size_t RowBytes = 0;
};
TLibraryRecord gLibrary;

std::int32_t Result(const char* call) {
  gLibrary.Calls.emplace_back(call);
  return gLibrary.FailingCall == call ? gLibrary.FailingResult : 0;
}

HPDRLGL_JobHandle FakeHandle() { return reinterpret_cast<HPDRLGL_JobHandle>(std::uintptr_t{0x1234}); }

THPDJEntries RecordingLibrary() {
  THPDJEntries lib;
  lib.QueryPrinterInfo = [](const char*, HPDRLGL_PrinterInfo* info, std::uint32_t reserved) -> std::int32_t {
    if (info->size != HPDRLGL_PRINTER_INFO_SIZE || info->field1052 != 0 || info->field1056 != 0 || reserved != 0)
      return HPDRLGL_INVALID_PARAMETERS;
    info->marginLeft = gLibrary.Margins[0];
    info->marginTop = gLibrary.Margins[1];
    info->marginRight = gLibrary.Margins[2];
    info->marginBottom = gLibrary.Margins[3];
    return gLibrary.QueryResult;
  };
  lib.JobStart = [](HPDRLGL_JobHandle* job, const char* xml) {
    *job = FakeHandle();
    gLibrary.Documents.emplace_back(xml);
    return Result("JobStart");
  };
  lib.PageStart = [](HPDRLGL_JobHandle, const char* xml) {
    gLibrary.Documents.emplace_back(xml);
    return Result("PageStart");
  };
  lib.RasterStart = [](HPDRLGL_JobHandle, const char* xml, std::int32_t r1, std::int32_t r2, std::int32_t r3,
                       std::int32_t w, std::int32_t h, std::int32_t dw, std::int32_t dh) {
    gLibrary.Documents.emplace_back(xml);
    gLibrary.Calls.push_back(fmt::format("sizes {} {} {} {}x{} {}x{}", r1, r2, r3, w, h, dw, dh));
    return Result("RasterStart");
  };
  lib.RasterRow = [](HPDRLGL_JobHandle job, const std::uint8_t* row) {
    if (job != FakeHandle()) return std::int32_t{HPDRLGL_INVALID_PARAMETERS};
    gLibrary.Rows.emplace_back(row, row + THPRasterJob::kPlaneCount * gLibrary.RowBytes);
    return Result("RasterRow");
  };
  lib.RasterEnd = [](HPDRLGL_JobHandle) { return Result("RasterEnd"); };
  lib.PageEnd = [](HPDRLGL_JobHandle) { return Result("PageEnd"); };
  lib.JobEnd = [](HPDRLGL_JobHandle) { return Result("JobEnd"); };
  lib.JobAbort = [](HPDRLGL_JobHandle) { return Result("JobAbort"); };
  return lib;
}

class RasterJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLibrary = {};
    Slab = MakeRef<TRipSlab>();
    Slab->XDPI = 600;
    Slab->YDpi = 600;
    Slab->RenderDPI = 150;
    Slab->RipWidth = 6000;
    Slab->RipHeight = 1200;
    Settings.PrinterModelId = "HP_Latex_570";
  }

  std::unique_ptr<THPRasterJob> MakeJob() {
    auto job = std::make_unique<THPRasterJob>(Library, Settings, [this](const std::uint8_t* data, std::size_t n) {
      Delivered.append(reinterpret_cast<const char*>(data), n);
    });
    job->SetSlab(Slab);
    return job;
  }

  THPDJEntries Library = RecordingLibrary();
  THPJobSettings Settings;
  TRef<TRipSlab> Slab;
  std::string Delivered;
};

std::string Hex(const void* pointer) {
  return fmt::format("{:016X}", reinterpret_cast<std::uintptr_t>(pointer));
}

TEST_F(RasterJobTest, TheJobTicketIsTheFixedTextWithTheWindowsValues) {
  Settings.Passes = "7";  // sent as typed, unchecked
  Settings.MediaTypeId = "";
  Settings.MediaName = "Vinyl & \"Co\"";
  Settings.Cutter = true;
  Settings.Unidirectional = true;
  Settings.HighInkLevel = true;
  Settings.Media.AdvanceFactor = 0.5;
  Settings.Media.InputTension = 1e20;
  Settings.Media.Vacuum = -1.25e-7;
  const auto job = MakeJob();
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><JobInfo><PrinterModel>HP_Latex_570</PrinterModel>\r"
      "<JobTitle>Sample</JobTitle>\r"
      "<PrinterDataProcCallback address=\"" +
      Hex(reinterpret_cast<const void*>(&THPRasterJob::PrinterDataCallback)) + "\" userData=\"" + Hex(job.get()) +
      "\" />\r"
      "<MediaSource>AutoSelect</MediaSource>\r"
      "<MarginType method=\"Excluded\">Normal</MarginType>\r"
      "<PrintMode type=\"Halftone\">\r"
      "<MediaTypeId>HP_RIP_CUSTOM_MEDIA</MediaTypeId>\r"
      "<PassesNumber>7</PassesNumber><Direction>Unidir</Direction><InkLevel>High</InkLevel><Bpp>2</Bpp>"
      "<PrinterResolution>600</PrinterResolution><VertResolution>600</VertResolution></PrintMode>\r"
      "<MediaManagement><InputTension>1E20</InputTension><NavigableByOmas>false</NavigableByOmas>"
      "<Cutter>true</Cutter><AdvanceFactor>0.5</AdvanceFactor><Vacuum>-1.25E-7</Vacuum><DryTemp>55</DryTemp>"
      "<CureTemp>70</CureTemp><DryWarmUpOffsetTemp>50</DryWarmUpOffsetTemp>"
      "<CureWarmUpOffsetTemp>40</CureWarmUpOffsetTemp><DryCoolDownOffsetTemp>30</DryCoolDownOffsetTemp>"
      "<CureCoolDownOffsetTemp>20</CureCoolDownOffsetTemp><DryPowerMin>200</DryPowerMin>"
      "<HeatAirFlow>75</HeatAirFlow><MediaName>Vinyl & \"Co\"</MediaName></MediaManagement></JobInfo>\r";
  EXPECT_EQ(job->BuildJobInfoXML(), expected);
}

TEST_F(RasterJobTest, ResolutionsRoundHalfToEvenAndPageSizesAddTheMargins) {
  const auto job = MakeJob();
  const std::pair<float, const char*> cases[] = {{600.4f, "600"}, {600.5f, "600"}, {601.5f, "602"}};
  for (const auto& [xdpi, text] : cases) {
    Slab->XDPI = xdpi;
    const std::string res = fmt::format("hres=\"{0}\" vres=\"{0}\"", text);
    EXPECT_THAT(job->BuildRasterFormatXML(), ::testing::HasSubstr(res)) << xdpi;
    EXPECT_THAT(job->BuildJobInfoXML(), ::testing::HasSubstr(fmt::format("<VertResolution>{}<", text))) << xdpi;
  }
  Slab->XDPI = 600;
  EXPECT_EQ(job->BuildPageInfoXML(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><PageInfo><Width>96000</Width><Height>19200</Height>"
            "</PageInfo>");
  gLibrary.Margins[0] = 100;
  gLibrary.Margins[1] = 20;
  gLibrary.Margins[2] = 200;
  gLibrary.Margins[3] = 40;
  Slab->RipWidth = 1;
  Slab->XDPI = 19200;  // half a unit: to even
  EXPECT_THAT(job->BuildPageInfoXML(), ::testing::HasSubstr("<Width>300</Width><Height>19260</Height>"));
  Slab->YDpi = 0.5f;
  EXPECT_EQ(job->BuildPageInfoXML(), "");
  Slab->FileName = "/jobs/s.RipSlab";
  Slab->XDPI = 1e30f;  // no printer's, and no integer's: refused, never converted
  EXPECT_THAT([&] { job->BuildJobInfoXML(); },
              ::testing::ThrowsMessage<TError>(::testing::AllOf(::testing::StartsWith("/jobs/s.RipSlab: XDPI 1."),
                                                                ::testing::EndsWith("E30 is not a printer resolution"))));
  EXPECT_THROW(job->BuildRasterFormatXML(), TError);
}

TEST_F(RasterJobTest, TheRasterFormatDeclaresSixPlanes) {
  EXPECT_EQ(MakeJob()->BuildRasterFormatXML(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><RasterFormat alignment=\"1\">"
            "<Plane order=\"0\" hres=\"600\" vres=\"600\" layout=\"KK\"/>"
            "<Plane order=\"1\" hres=\"600\" vres=\"600\" layout=\"CC\"/>"
            "<Plane order=\"2\" hres=\"600\" vres=\"600\" layout=\"MM\"/>"
            "<Plane order=\"3\" hres=\"600\" vres=\"600\" layout=\"YY\"/>"
            "<Plane order=\"4\" hres=\"600\" vres=\"600\" layout=\"cc\"/>"
            "<Plane order=\"5\" hres=\"600\" vres=\"600\" layout=\"mm\"/>"
            "</RasterFormat>");
}

// The start's error for the job as it stands.
auto StartRefused(const std::string& why) { return ::testing::ThrowsMessage<TError>(::testing::StrEq(why)); }

TEST_F(RasterJobTest, MissingInputsGiveEmptyDocumentsAndNoJob) {
  auto job = MakeJob();
  const auto start = [&] { job->StartHPJob(); };
  std::string why;
  Slab->RenderDPI = 149.9f;  // the ticket still builds, the raster format does not
  EXPECT_NE(job->BuildJobInfoXML(), "");
  EXPECT_EQ(job->BuildRasterFormatXML(&why), "");
  EXPECT_EQ(why, "the render resolution 149.9 dpi is below 150");
  EXPECT_THAT(start, StartRefused("the render resolution 149.9 dpi is below 150"));
  Slab->RenderDPI = 0;
  EXPECT_EQ(job->BuildJobInfoXML(), "");
  EXPECT_THAT(start, StartRefused("the render resolution 0 dpi is below 150"));
  Slab->YDpi = 0;  // the printer's resolution is told first
  EXPECT_THAT(start, StartRefused("the printer resolution 600 x 0 dpi cannot be printed"));
  Slab->RenderDPI = 300;
  EXPECT_THAT(start, StartRefused("the printer resolution 600 x 0 dpi cannot be printed"));
  Slab->YDpi = 600;
  Settings.PrinterModelId.clear();
  Slab->Printer = "Latex 570";
  job = MakeJob();
  EXPECT_EQ(job->BuildJobInfoXML(), "");
  EXPECT_EQ(job->BuildPageInfoXML(&why), "");
  EXPECT_EQ(why, "no HP printer model is known for the slab's printer Latex 570");
  EXPECT_THAT(start, StartRefused("no HP printer model is known for the slab's printer Latex 570"));
  job->SetSlab(nullptr);
  EXPECT_EQ(job->BuildRasterFormatXML(), "");
  EXPECT_EQ(job->ViewXmlText(), "");
  EXPECT_THAT(start, StartRefused("No RipFile loaded"));
  EXPECT_THAT(gLibrary.Calls, ::testing::IsEmpty());
}

TEST_F(RasterJobTest, ARejectedPrinterModelIsAnAssertionFailure) {
  gLibrary.QueryResult = HPDRLGL_MODEL_NOT_SUPPORTED;
  const auto job = MakeJob();
  EXPECT_THROW(job->BuildJobInfoXML(), EAssertionFailure);
  EXPECT_THROW(job->BuildPageInfoXML(), EAssertionFailure);
  THPDJEntries none;
  THPRasterJob unloaded(none, Settings, nullptr);
  unloaded.SetSlab(Slab);
  EXPECT_THROW(unloaded.BuildJobInfoXML(), EAssertionFailure);
}

TEST_F(RasterJobTest, TheJobStartsWithTheThreeDocumentsAndEndsInOrder) {
  const auto job = MakeJob();
  ASSERT_NO_THROW(job->StartHPJob());
  job->EndHPJob();
  EXPECT_THAT(gLibrary.Calls, ::testing::ElementsAre("JobStart", "PageStart", "sizes 0 0 0 6000x1200 6000x1200",
                                                     "RasterStart", "RasterEnd", "PageEnd", "JobEnd"));
  ASSERT_EQ(gLibrary.Documents.size(), 3u);
  EXPECT_EQ(gLibrary.Documents[1], job->BuildPageInfoXML());
  EXPECT_EQ(gLibrary.Documents[2], job->BuildRasterFormatXML());
  job->EndHPJob();  // the handle is gone: nothing more is called
  EXPECT_EQ(gLibrary.Calls.size(), 7u);
}

TEST_F(RasterJobTest, AFailedStartCallStopsTheStartAndTheEndStillRuns) {
  gLibrary.FailingCall = "PageStart";
  gLibrary.FailingResult = HPDRLGL_MODEL_NOT_SUPPORTED;
  const auto job = MakeJob();
  EXPECT_THAT([&] { job->StartHPJob(); },
              ::testing::ThrowsMessage<TError>(::testing::StrEq("Printer model not supported")));
  job->EndHPJob();
  EXPECT_THAT(gLibrary.Calls, ::testing::ElementsAre("JobStart", "PageStart", "RasterEnd", "PageEnd", "JobEnd"));

  gLibrary = {};
  gLibrary.FailingCall = "JobStart";
  gLibrary.FailingResult = -99;
  EXPECT_THAT([&] { MakeJob()->StartHPJob(); },
              ::testing::ThrowsMessage<TError>(::testing::HasSubstr("code -99")));
}

TEST_F(RasterJobTest, AFailedEndCallStopsTheSequenceAndSaysWhy) {
  gLibrary.FailingCall = "PageEnd";
  gLibrary.FailingResult = HPDRLGL_UNEXPECTED_CALL;
  {
    const auto job = MakeJob();
    ASSERT_NO_THROW(job->StartHPJob());
    EXPECT_THROW(job->EndHPJob(), EAssertionFailure) << "a call out of order is the driver's own fault";
    EXPECT_EQ(gLibrary.Calls.back(), "PageEnd");
  }
  // The job that could not be ended is released when it goes.
  EXPECT_EQ(gLibrary.Calls.back(), "JobAbort");

  gLibrary.FailingCall = "JobEnd";
  gLibrary.FailingResult = HPDRLGL_GENERAL_ERROR;
  const auto job = MakeJob();
  ASSERT_NO_THROW(job->StartHPJob());
  EXPECT_THAT([&] { job->EndHPJob(); }, ::testing::ThrowsMessage<TError>(::testing::StrEq(
                                            "the HP raster library could not end the job: General error")));
}

TEST(HPErrorTexts, CoverTheTableAndNothingElse) {
  EXPECT_EQ(HPErrorText(-1), "General error");
  EXPECT_EQ(HPErrorText(-8), "A call to an entry point was issued but was not expected at this moment");
  EXPECT_EQ(HPErrorText(-17), "Ink volume not supported");
  EXPECT_EQ(HPErrorText(-19), "Accounting not supported");
  EXPECT_EQ(HPErrorText(-26), "Different page dimensions in the job not supported");
  EXPECT_EQ(HPErrorText(-28), "Econo mode not supported");
  for (const int reserved : {-18, -21, -27}) EXPECT_EQ(HPErrorText(reserved), "RESERVED");
  for (const int outside : {0, 1, -29, INT32_MIN}) EXPECT_EQ(HPErrorText(outside), "") << outside;
}

// A row whose packed channels hold their lane number + 1 in every byte.
TRef<TInkRowEx> MarkedRow(std::uint8_t mask, int width) {
  auto row = MakeRef<TInkRowEx>(width, mask, true, width);
  row->CreateChannels();
  row->SetInputWidth(width);
  row->Prepare();
  for (int i = 0; i < row->ChannelCount(); ++i) {
    const TRef<TInkChannelEx> channel = row->Channel(i);
    std::memset(channel->PackedBytes(), channel->Index + 1, static_cast<std::size_t>(row->RowBytes()));
  }
  THPRasterJob::ConfigurePlanes(*row);
  return row;
}

TEST_F(RasterJobTest, RowsCarryEveryPlaneInPrinterOrder) {
  const auto job = MakeJob();
  ASSERT_NO_THROW(job->StartHPJob());
  const auto six = MarkedRow(TInkRowEx::kSixInks, 4097);
  ASSERT_EQ(six->RowBytes(), 1025);
  gLibrary.RowBytes = 1025;
  job->SendRow(*six);
  const auto four = MarkedRow(TInkRowEx::kFourInks, 4097);
  job->SendRow(*four);
  ASSERT_EQ(gLibrary.Rows.size(), 2u);
  ASSERT_EQ(gLibrary.Rows[0].size(), 6150u);
  // Lanes 3 0 1 2 4 5 are K C M Y, light C, light M.
  const std::uint8_t sixPlanes[] = {4, 1, 2, 3, 5, 6};
  const std::uint8_t fourPlanes[] = {4, 1, 2, 3, 0, 0};
  for (std::size_t plane = 0; plane < 6; ++plane)
    for (const std::size_t at : {plane * 1025, plane * 1025 + 1024}) {
      EXPECT_EQ(gLibrary.Rows[0][at], sixPlanes[plane]) << plane;
      EXPECT_EQ(gLibrary.Rows[1][at], fourPlanes[plane]) << plane;
    }
  gLibrary.FailingCall = "RasterRow";
  gLibrary.FailingResult = HPDRLGL_NOT_ENOUGH_MEMORY;
  EXPECT_THAT([&] { job->SendRow(*six); }, ::testing::ThrowsMessage<TError>(::testing::StrEq(
                                               "the HP raster library refused the row: Not enough memory")));
}

TEST_F(RasterJobTest, RowsBeforeAStartGoNowhere) {
  const auto job = MakeJob();
  job->SendRow(*MarkedRow(TInkRowEx::kSixInks, 16));
  EXPECT_THAT(gLibrary.Calls, ::testing::IsEmpty());
}

TEST_F(RasterJobTest, TheCallbackDeliversOnlyForItsUserValue) {
  const auto job = MakeJob();
  const std::uintptr_t user = reinterpret_cast<std::uintptr_t>(job.get());
  EXPECT_EQ(THPRasterJob::PrinterDataCallback("abc", 3, 0), 0);
  EXPECT_EQ(Delivered, "");
  EXPECT_EQ(THPRasterJob::PrinterDataCallback("abc", 3, user), 0);
  EXPECT_EQ(Delivered, "abc");

  THPRasterJob failing(Library, Settings, [](const std::uint8_t*, std::size_t) { throw TError("disk full"); });
  EXPECT_NE(THPRasterJob::PrinterDataCallback("x", 1, reinterpret_cast<std::uintptr_t>(&failing)), 0);
  ASSERT_TRUE(failing.DeliveryError());
  EXPECT_THROW(std::rethrow_exception(failing.DeliveryError()), TError);
}

TEST_F(RasterJobTest, TheXmlPageListsSizesAndTheDocumentsThatBuild) {
  Slab->RenderDPI = 100;
  const auto job = MakeJob();
  const std::string text = job->ViewXmlText();
  EXPECT_EQ(text.substr(0, 33), "numPixelsInRow\t6000\nnumRows\t1200\n");
  EXPECT_EQ(text, "numPixelsInRow\t6000\nnumRows\t1200\n\nJobInfoXML\n" + job->BuildJobInfoXML() +
                      "\npageInfoXML\n" + job->BuildPageInfoXML() + "\n");
}

TEST(RasterLibraryLoad, NeedsAFileThatLoadsAndNamesTheLibraryEntry) {
  using ::testing::HasSubstr;
  using ::testing::ThrowsMessage;
  test::TTempDir dir;
  THPDJLIB lib;
  EXPECT_THAT([&] { lib.Load(dir.File("libhpldrlgl.so")); },
              ThrowsMessage<TError>(HasSubstr("no such file")));
  std::ofstream(dir.File("text.so")) << "not a library";
  EXPECT_THAT([&] { lib.Load(dir.File("text.so")); }, ThrowsMessage<TError>(HasSubstr("text.so")));
  EXPECT_FALSE(lib.IsLoaded());
}

}  // namespace
}  // namespace slabrip
