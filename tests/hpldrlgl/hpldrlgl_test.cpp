// The stand-in HP raster library through its C interface, fed the documents
// the driver writes; the printer data is decoded independently here.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <vector>

#include "hpraster/hpldrlgl_abi.h"
#include "support/hp_xml.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::HPJobInfoXml;
using test::HPPageInfoXml;
using test::HPRasterFormatXml;
using test::THPTicket;

using TRow = std::vector<std::uint8_t>;  // all planes of one row

const std::string kUel = "\x1B%-12345X";
const std::string kReset = "\033E";  // ESC E

// What the library delivered; refuses every call from `RefuseFrom` on.
struct TCapture {
  std::string Bytes;
  std::vector<std::uint32_t> Chunks;
  std::size_t RefuseFrom = SIZE_MAX;
  int Refused = 0;

  static std::int32_t Receive(const void* data, std::uint32_t count, std::uintptr_t user) {
    auto* self = reinterpret_cast<TCapture*>(user);
    if (self->Chunks.size() >= self->RefuseFrom) return ++self->Refused;
    self->Chunks.push_back(count);
    self->Bytes.append(static_cast<const char*>(data), count);
    return 0;
  }
};

// Cursor over the printer data; every mismatch fails the test.
struct TReader {
  const std::string& Data;
  std::size_t At = 0;

  bool Take(const std::string& text) {
    if (Data.compare(At, text.size(), text) != 0) return false;
    At += text.size();
    return true;
  }
  void Expect(const std::string& text) { ASSERT_TRUE(Take(text)) << "at byte " << At << ", wanted " << text; }
  // Digits up to and including `end`.
  long Number(char end) {
    const std::size_t stop = Data.find(end, At);
    EXPECT_NE(stop, std::string::npos);
    const long value = std::stol(Data.substr(At, stop - At));
    At = stop + 1;
    return value;
  }
  std::string Bytes(std::size_t count) {
    EXPECT_LE(At + count, Data.size());
    const std::string bytes = Data.substr(At, count);
    At += count;
    return bytes;
  }
};

// Decodes PackBits from the format's description, not from the library.
TRow UnpackBits(const std::string& packed, std::size_t planeBytes) {
  TRow out;
  for (std::size_t i = 0; i < packed.size();) {
    const int header = static_cast<std::int8_t>(packed[i++]);
    if (header >= 0) {
      if (i + static_cast<std::size_t>(header) + 1 > packed.size()) {
        ADD_FAILURE() << "literal runs past its transfer";
        break;
      }
      out.insert(out.end(), packed.begin() + static_cast<long>(i),
                 packed.begin() + static_cast<long>(i) + header + 1);
      i += static_cast<std::size_t>(header) + 1;
    } else if (header != -128) {
      out.insert(out.end(), static_cast<std::size_t>(1 - header), static_cast<std::uint8_t>(packed[i++]));
    }
  }
  EXPECT_LE(out.size(), planeBytes);
  out.resize(planeBytes, 0);
  return out;
}

struct TDecoded {
  std::vector<std::string> Pjl;  // header lines, the UEL removed
  std::string Config;            // configure raster data bytes
  long Resolution = 0, Width = 0, Height = 0;
  std::vector<TRow> Rows;
  std::vector<std::vector<std::size_t>> TransferSizes;  // per row, per plane
};

TDecoded Decode(const std::string& data, int planes) {
  TDecoded job;
  TReader in{data};
  EXPECT_TRUE(in.Take(kUel));
  for (std::string line; line != "@PJL ENTER LANGUAGE=RTL";) {
    const std::size_t eol = data.find("\r\n", in.At);
    if (eol == std::string::npos) {
      ADD_FAILURE() << "no switch to RTL";
      return job;
    }
    line = in.Bytes(eol - in.At);
    in.Expect("\r\n");
    job.Pjl.push_back(line);
  }
  in.Expect(kReset + "\x1B*t");
  job.Resolution = in.Number('R');
  in.Expect("\x1B*g");
  job.Config = in.Bytes(static_cast<std::size_t>(in.Number('W')));
  in.Expect("\x1B*r");
  job.Width = in.Number('S');
  in.Expect("\x1B*r");
  job.Height = in.Number('T');
  in.Expect("\x1B*b2M\x1B*r1A");
  const std::size_t planeBytes = static_cast<std::size_t>(job.Width + 3) / 4;
  while (!in.Take("\x1B*rC") && !::testing::Test::HasFailure()) {
    TRow row;
    job.TransferSizes.emplace_back();
    for (int plane = 0; plane < planes; ++plane) {
      in.Expect("\x1B*b");
      const auto count = static_cast<std::size_t>(in.Number(plane == planes - 1 ? 'W' : 'V'));
      job.TransferSizes.back().push_back(count);
      const TRow bytes = UnpackBits(in.Bytes(count), planeBytes);
      row.insert(row.end(), bytes.begin(), bytes.end());
    }
    job.Rows.push_back(row);
  }
  in.Expect(kReset + kUel + "@PJL EOJ NAME=\"Sample\"\r\n" + kUel);
  EXPECT_EQ(in.At, data.size());
  return job;
}

// Six planes of `planeBytes`; each plane a different kind of content.
TRow MixedRow(std::size_t planeBytes, std::mt19937& random) {
  TRow row(6 * planeBytes, 0);
  std::uint8_t* p = row.data();
  for (std::size_t i = 0; i < planeBytes; ++i) p[i] = static_cast<std::uint8_t>(random());  // noise
  std::fill_n(p + planeBytes, planeBytes, 0xFF);                                            // one long run
  for (std::size_t i = 0, len = 1; i < planeBytes; i += len, len = len % 260 + 1)  // runs of 1 .. 260
    std::fill_n(p + 2 * planeBytes + i, std::min(len, planeBytes - i), static_cast<std::uint8_t>(len));
  p[4 * planeBytes - 1] = 0x40;  // one pixel at the far end
  for (std::size_t i = 0; i < planeBytes / 3; ++i)
    p[4 * planeBytes + i] = static_cast<std::uint8_t>(random() | 1);
  return row;  // last plane empty
}

class HPLibrary : public ::testing::Test {
 protected:
  ~HPLibrary() override {
    if (Job != nullptr) HPDRLGL_JobAbort(Job);
  }
  THPTicket Ticket(TCapture& capture) const {
    THPTicket ticket;
    ticket.CallbackAddress = reinterpret_cast<std::uintptr_t>(&TCapture::Receive);
    ticket.UserData = reinterpret_cast<std::uintptr_t>(&capture);
    return ticket;
  }
  std::int32_t Start(const THPTicket& ticket) { return HPDRLGL_JobStart(&Job, HPJobInfoXml(ticket).c_str()); }
  std::int32_t StartRaster(std::int32_t width, std::int32_t height, const std::string& format = "") {
    if (const std::int32_t result = Start(Ticket(Capture))) return result;
    EXPECT_EQ(HPDRLGL_PageStart(Job, HPPageInfoXml("96000", "9600").c_str()), 0);
    const std::string xml = format.empty() ? HPRasterFormatXml("600") : format;
    return HPDRLGL_RasterStart(Job, xml.c_str(), 0, 0, 0, width, height, width, height);
  }
  // The driver's fixed end sequence; each call must succeed.
  void EndAll() {
    EXPECT_EQ(HPDRLGL_RasterEnd(Job), 0);
    EXPECT_EQ(HPDRLGL_PageEnd(Job), 0);
    EXPECT_EQ(HPDRLGL_JobEnd(Job), 0);
    Job = nullptr;
  }

  TCapture Capture;
  HPDRLGL_JobHandle Job = nullptr;
};

TEST(HPLibraryQuery, TextsFitTheBufferOrAreRefused) {
  char buffer[256];
  ASSERT_EQ(HPDRLGL_QuerySupportedPrinters(buffer, sizeof buffer), 0);
  const std::string list = buffer;
  EXPECT_EQ(list, "HP_Latex_365\nHP_Latex_570\nHP_Latex_800W\nHP_Latex_3600\n");
  const auto exact = static_cast<std::uint32_t>(list.size());
  EXPECT_EQ(HPDRLGL_QuerySupportedPrinters(buffer, exact),
            HPDRLGL_INVALID_PARAMETERS);  // no room for the NUL
  EXPECT_EQ(HPDRLGL_QuerySupportedPrinters(buffer, exact + 1), 0);
  EXPECT_EQ(HPDRLGL_QuerySupportedPrinters(nullptr, 256), HPDRLGL_INVALID_PARAMETERS);
  ASSERT_EQ(HPDRLGL_QueryLibraryInfo(buffer, sizeof buffer), 0);
  EXPECT_NE(std::strchr(buffer, ' '), nullptr) << buffer;
  EXPECT_EQ(HPDRLGL_QueryLibraryInfo(buffer, 4), HPDRLGL_INVALID_PARAMETERS);

  ASSERT_EQ(HPDRLGL_QueryPrinterInfoXML("HP_Latex_570", buffer, sizeof buffer), HPDRLGL_INVALID_PARAMETERS);
  std::vector<char> big(4096);
  ASSERT_EQ(HPDRLGL_QueryPrinterInfoXML("HP_Latex_570", big.data(), 4096), 0);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(big.data()));
  const pugi::xml_node info = doc.child("PrinterInfo");
  EXPECT_STREQ(info.child_value("PrinterModel"), "HP_Latex_570");
  EXPECT_EQ(info.child("Margins").attribute("bottom").as_int(), 3780);
  EXPECT_EQ(std::distance(info.child("Resolutions").begin(), info.child("Resolutions").end()), 3);
  EXPECT_EQ(HPDRLGL_QueryPrinterInfoXML("HP_Latex_999", big.data(), 4096), HPDRLGL_MODEL_NOT_SUPPORTED);
}

TEST(HPLibraryQuery, PrinterInfoFillsTheRecordAndChecksItsSize) {
  HPDRLGL_PrinterInfo info{};
  info.size = HPDRLGL_PRINTER_INFO_SIZE;
  std::fill(std::begin(info.reserved2), std::end(info.reserved2), 0x5A);  // must stay untouched
  ASSERT_EQ(HPDRLGL_QueryPrinterInfo("HP_Latex_570", &info, 0), 0);
  EXPECT_STREQ(info.modelName, "HP Latex 570");
  EXPECT_EQ(info.marginLeft, 1890);
  EXPECT_EQ(info.marginTop, 1134);
  EXPECT_EQ(info.marginRight, 1890);
  EXPECT_EQ(info.marginBottom, 3780);
  EXPECT_EQ(info.maxPrintWidth, 614400);
  ASSERT_EQ(info.resolutionCount, 3);
  EXPECT_EQ(std::vector<int>(info.resolutions, info.resolutions + 4), (std::vector<int>{300, 600, 1200, 0}));
  EXPECT_EQ(info.size, HPDRLGL_PRINTER_INFO_SIZE);
  EXPECT_EQ(info.field1052, 0);
  EXPECT_TRUE(
      std::all_of(std::begin(info.reserved2), std::end(info.reserved2), [](auto b) { return b == 0x5A; }));

  EXPECT_EQ(HPDRLGL_QueryPrinterInfo("HP_Latex_57", &info, 0), HPDRLGL_MODEL_NOT_SUPPORTED);
  EXPECT_EQ(HPDRLGL_QueryPrinterInfo(nullptr, &info, 0), HPDRLGL_INVALID_PARAMETERS);
  EXPECT_EQ(HPDRLGL_QueryPrinterInfo("HP_Latex_570", nullptr, 0), HPDRLGL_INVALID_PARAMETERS);
  info.size = HPDRLGL_PRINTER_INFO_SIZE - 4;
  EXPECT_EQ(HPDRLGL_QueryPrinterInfo("HP_Latex_570", &info, 0), HPDRLGL_INVALID_PARAMETERS);
}

// A copy of the library in a folder of its own reads the models file there.
TEST(HPLibraryModels, FileBesideTheLibraryIsRequiredAndChecked) {
  const test::TTempDir dir;
  const std::string copy = dir.File("libhpldrlgl.so");
  std::filesystem::copy_file(SLABRIP_HPLDRLGL_FILE, copy);
  void* module = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << ::dlerror();
  const auto query =
      reinterpret_cast<decltype(&HPDRLGL_QueryPrinterInfo)>(::dlsym(module, "HPDRLGL_QueryPrinterInfo"));
  const auto start = reinterpret_cast<decltype(&HPDRLGL_JobStart)>(::dlsym(module, "HPDRLGL_JobStart"));
  ASSERT_TRUE(query && start);
  HPDRLGL_PrinterInfo info{};
  info.size = HPDRLGL_PRINTER_INFO_SIZE;
  HPDRLGL_JobHandle job = nullptr;
  EXPECT_EQ(query("HP_Latex_570", &info, 0), HPDRLGL_CONFIGURATION_INVALID);
  EXPECT_EQ(start(&job, HPJobInfoXml({}).c_str()), HPDRLGL_CONFIGURATION_INVALID);

  const std::string model = R"(<Model id="Test" name="T" maxPrintWidth="9600" marginLeft="1" marginTop="2"
                               marginRight="3" marginBottom="4">)";
  for (const std::string& body : {model + "</Model>",  // no resolution
                                  model + R"(<Resolution dpi="300"/><Resolution dpi="300"/></Model>)",
                                  model + R"(<Resolution dpi="-300"/></Model>)", std::string("<Model/>"),
                                  std::string("<PrinterModels>"), std::string("<Model")}) {
    dir.Write("hpldrlgl-models.xml", "<PrinterModels>" + body + "</PrinterModels>");
    EXPECT_EQ(query("Test", &info, 0), HPDRLGL_CONFIGURATION_INVALID) << body;
  }
  dir.Write("hpldrlgl-models.xml", "<PrinterModels>" + model +
                                       R"(<Resolution dpi="300"/></Model></PrinterModels>)" +
                                       std::string(1u << 20, ' '));
  EXPECT_EQ(query("Test", &info, 0), HPDRLGL_CONFIGURATION_INVALID);  // too large to read

  dir.Write("hpldrlgl-models.xml",
            "<PrinterModels>" + model + R"(<Resolution dpi="300"/></Model></PrinterModels>)");
  ASSERT_EQ(query("Test", &info, 0), 0);
  EXPECT_EQ(info.marginBottom, 4);
  EXPECT_EQ(query("HP_Latex_570", &info, 0), HPDRLGL_MODEL_NOT_SUPPORTED);
  ::dlclose(module);
}

TEST_F(HPLibrary, JobTicketFaultsGiveTheirCodes) {
  const std::vector<std::pair<std::function<void(THPTicket&)>, std::int32_t>> faults = {
      {[](THPTicket& t) { t.PrinterModel = "HP_Latex_999"; }, HPDRLGL_MODEL_NOT_SUPPORTED},
      {[](THPTicket& t) { t.CallbackAddress = 0; }, HPDRLGL_INVALID_PARAMETERS},
      {[](THPTicket& t) { t.MediaSource = "Roll1"; }, HPDRLGL_MEDIA_SOURCE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.MarginType = "Extended"; }, HPDRLGL_MARGIN_TYPE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.MarginMethod = "Included"; }, HPDRLGL_MARGIN_TYPE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.PrintModeType = "Contone"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Bpp = "1"; }, HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Passes = "0"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Passes = "33"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Passes = "7 passes"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Direction = "bidir"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.InkLevel = "Medium"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Resolution = t.VertResolution = "450"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.VertResolution = "300"; }, HPDRLGL_PRINT_MODE_NOT_SUPPORTED},
      {[](THPTicket& t) { t.Vacuum = "1,5"; }, HPDRLGL_INVALID_PARAMETERS},
      {[](THPTicket& t) { t.HeatAirFlow = ""; }, HPDRLGL_INVALID_PARAMETERS},
      {[](THPTicket& t) { t.DryTemp = "1E"; }, HPDRLGL_INVALID_PARAMETERS},
      {[](THPTicket& t) { t.Cutter = "yes"; }, HPDRLGL_INVALID_PARAMETERS},
      {[](THPTicket& t) { t.MediaName = "a<b"; }, HPDRLGL_INVALID_PARAMETERS},  // not XML any more
  };
  for (const auto& [fault, code] : faults) {
    THPTicket ticket = Ticket(Capture);
    fault(ticket);
    Job = reinterpret_cast<HPDRLGL_JobHandle>(&Capture);  // must be cleared on failure
    EXPECT_EQ(Start(ticket), code) << HPJobInfoXml(ticket);
    EXPECT_EQ(Job, nullptr);
  }
  const std::string good = HPJobInfoXml(Ticket(Capture));
  for (const std::string& xml :
       {good.substr(0, good.size() / 2),
        std::string(good).erase(good.find("<MediaName>"),
                                good.find("</MediaManagement>") - good.find("<MediaName>")),
        std::string(good).replace(good.find("address=\"") + 9, 1, "X")})
    EXPECT_EQ(HPDRLGL_JobStart(&Job, xml.c_str()), HPDRLGL_INVALID_PARAMETERS) << xml;
  EXPECT_EQ(HPDRLGL_JobStart(&Job, nullptr), HPDRLGL_INVALID_PARAMETERS);
  EXPECT_EQ(HPDRLGL_JobStart(nullptr, good.c_str()), HPDRLGL_INVALID_PARAMETERS);
  EXPECT_TRUE(Capture.Bytes.empty());
}

TEST_F(HPLibrary, CallsOutOfOrderAreUnexpected) {
  const TRow row(6 * 25, 0x1B);
  ASSERT_EQ(Start(Ticket(Capture)), 0);
  // Misplaced rows and ends leave the job usable.
  EXPECT_EQ(HPDRLGL_RasterRow(Job, row.data()), HPDRLGL_UNEXPECTED_CALL);
  EXPECT_EQ(HPDRLGL_RasterEnd(Job), HPDRLGL_UNEXPECTED_CALL);
  EXPECT_EQ(HPDRLGL_PageEnd(Job), HPDRLGL_UNEXPECTED_CALL);
  ASSERT_EQ(HPDRLGL_PageStart(Job, HPPageInfoXml("96000", "9600").c_str()), 0);
  ASSERT_EQ(HPDRLGL_RasterStart(Job, HPRasterFormatXml("600").c_str(), 0, 0, 0, 100, 2, 100, 2), 0);
  EXPECT_EQ(HPDRLGL_RasterRow(Job, nullptr), HPDRLGL_INVALID_PARAMETERS);
  EXPECT_EQ(HPDRLGL_RasterRow(Job, row.data()), 0);
  EXPECT_EQ(HPDRLGL_RasterRow(Job, row.data()), 0);
  EXPECT_EQ(HPDRLGL_RasterRow(Job, row.data()), HPDRLGL_UNEXPECTED_CALL);  // beyond the height
  EXPECT_EQ(HPDRLGL_JobEnd(Job), HPDRLGL_UNEXPECTED_CALL);                 // raster still open: kept
  EXPECT_EQ(HPDRLGL_RasterEnd(Job), 0);
  EXPECT_EQ(HPDRLGL_PageEnd(Job), 0);
  // A second page is a failed start: the job ends quietly, its data dropped.
  EXPECT_EQ(HPDRLGL_PageStart(Job, HPPageInfoXml("96000", "9600").c_str()), HPDRLGL_UNEXPECTED_CALL);
  EXPECT_EQ(HPDRLGL_JobFlush(Job), HPDRLGL_UNEXPECTED_CALL);
  EndAll();
  EXPECT_TRUE(Capture.Bytes.empty());
}

TEST_F(HPLibrary, AfterAFailedStartOnlyTheEndSequenceSucceeds) {
  const TRow row(6 * 25, 0);
  for (const char* width : {"-5", "0", "abc", "99999999999", ""}) {
    ASSERT_EQ(Start(Ticket(Capture)), 0);
    EXPECT_EQ(HPDRLGL_PageStart(Job, HPPageInfoXml(width, "9600").c_str()), HPDRLGL_INVALID_PARAMETERS)
        << width;
    EXPECT_EQ(HPDRLGL_RasterStart(Job, HPRasterFormatXml("600").c_str(), 0, 0, 0, 100, 2, 100, 2),
              HPDRLGL_UNEXPECTED_CALL);
    EXPECT_EQ(HPDRLGL_RasterRow(Job, row.data()), HPDRLGL_UNEXPECTED_CALL);
    EndAll();
  }
  EXPECT_TRUE(Capture.Bytes.empty());
}

TEST_F(HPLibrary, RasterStartChecksSizesAndPlanes) {
  const std::string head = "<RasterFormat alignment=\"1\">";
  const auto plane = [](int order, const char* layout, const char* hres = "600") {
    return "<Plane order=\"" + std::to_string(order) + "\" hres=\"" + hres + "\" vres=\"600\" layout=\"" +
           layout + "\"/>";
  };
  const std::vector<std::string> badFormats = {
      head + plane(0, "KK") + plane(1, "CC") + plane(3, "MM") + "</RasterFormat>",  // order gap
      head + plane(0, "KK") + plane(0, "CC") + "</RasterFormat>",
      head + plane(0, "KK") + plane(1, "KK") + "</RasterFormat>",
      head + plane(0, "XX") + "</RasterFormat>",
      head + plane(0, "KK", "300") + "</RasterFormat>",
      head + "</RasterFormat>",
      "<RasterFormat alignment=\"4\">" + plane(0, "KK") + "</RasterFormat>",
  };
  for (const std::string& format : badFormats) {
    EXPECT_EQ(StartRaster(100, 10, format), HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED) << format;
    EndAll();
  }
  // 614400 / 9600 inch at 600 dpi is 38400 pixels.
  for (const auto& [width, height] :
       std::vector<std::pair<int, int>>{{0, 10}, {-1, 10}, {38401, 10}, {100, 0}}) {
    EXPECT_EQ(StartRaster(width, height), HPDRLGL_INVALID_PARAMETERS) << width << " x " << height;
    EndAll();
  }
  ASSERT_EQ(Start(Ticket(Capture)), 0);
  ASSERT_EQ(HPDRLGL_PageStart(Job, HPPageInfoXml("96000", "9600").c_str()), 0);
  EXPECT_EQ(HPDRLGL_RasterStart(Job, HPRasterFormatXml("600").c_str(), 0, 0, 0, 100, 10, 200, 10),
            HPDRLGL_INVALID_PARAMETERS);  // no scaling
  EndAll();
  EXPECT_EQ(StartRaster(38400, 1, head + plane(0, "mm") + "</RasterFormat>"), 0);
  EndAll();
}

TEST_F(HPLibrary, UnknownHandlesAreRefused) {
  ASSERT_EQ(Start(Ticket(Capture)), 0);
  const HPDRLGL_JobHandle ended = Job;
  EXPECT_EQ(HPDRLGL_JobEnd(Job), 0);
  Job = nullptr;
  const std::uint8_t row[6] = {};
  for (const HPDRLGL_JobHandle handle :
       {HPDRLGL_JobHandle{}, ended, reinterpret_cast<HPDRLGL_JobHandle>(0xDEADBEE0)}) {
    EXPECT_EQ(HPDRLGL_PageStart(handle, HPPageInfoXml("1", "1").c_str()), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_RasterStart(handle, "", 0, 0, 0, 1, 1, 1, 1), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_RasterRow(handle, row), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_RasterEnd(handle), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_PageEnd(handle), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_JobFlush(handle), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_JobEnd(handle), HPDRLGL_INVALID_PARAMETERS);
    EXPECT_EQ(HPDRLGL_JobAbort(handle), HPDRLGL_INVALID_PARAMETERS);
  }
}

TEST_F(HPLibrary, RefusedDeliveryFailsTheJobButNotItsEnd) {
  Capture.RefuseFrom = 0;
  ASSERT_EQ(StartRaster(38400, 100), 0);
  std::mt19937 random(3);
  const TRow row = MixedRow(9600, random);
  int rows = 0;
  std::int32_t result = 0;
  do {
    result = HPDRLGL_RasterRow(Job, row.data());
    ++rows;
  } while (result == 0 && rows < 100);
  EXPECT_EQ(result, HPDRLGL_CALLBACK_FAILED);
  EXPECT_LT(rows, 10);  // the first full chunk is refused
  EXPECT_EQ(HPDRLGL_RasterRow(Job, row.data()), HPDRLGL_UNEXPECTED_CALL);
  EndAll();
  EXPECT_EQ(Capture.Refused, 1);

  ASSERT_EQ(Start(Ticket(Capture)), 0);
  EXPECT_EQ(HPDRLGL_JobFlush(Job), HPDRLGL_CALLBACK_FAILED);
  EXPECT_EQ(HPDRLGL_JobAbort(Job), 0);
  Job = nullptr;
  EXPECT_EQ(Capture.Refused, 2);
}

TEST_F(HPLibrary, PrinterDataDecodesToTheTicketAndTheRowsSent) {
  THPTicket ticket = Ticket(Capture);
  ticket.MediaName = "Gloss \"A&B\"";
  ticket.Passes = "7";
  ticket.Direction = "Unidir";
  ticket.InkLevel = "High";
  ticket.Cutter = "true";
  ticket.DryTemp = "-0.5";
  ticket.AdvanceFactor = "1E-7";
  ASSERT_EQ(Start(ticket), 0);
  ASSERT_EQ(HPDRLGL_JobFlush(Job), 0);  // the header so far, at once
  ASSERT_EQ(Capture.Chunks.size(), 1u);
  ASSERT_EQ(HPDRLGL_PageStart(Job, HPPageInfoXml("0097890", "20826").c_str()), 0);
  const int width = 1001;  // the last byte of a plane holds one pixel
  std::mt19937 random(1);
  std::vector<TRow> rows;
  for (int i = 0; i < 5; ++i) rows.push_back(MixedRow(251, random));
  ASSERT_EQ(HPDRLGL_RasterStart(Job, HPRasterFormatXml("600").c_str(), 0, 0, 0, width, 5, width, 5), 0);
  for (const TRow& row : rows) ASSERT_EQ(HPDRLGL_RasterRow(Job, row.data()), 0);
  EndAll();

  const TDecoded job = Decode(Capture.Bytes, 6);
  std::string pjl;
  for (const std::string& line : job.Pjl) {
    EXPECT_EQ(line.substr(0, 5), "@PJL ");
    pjl += line.substr(5) + "|";
  }
  EXPECT_EQ(pjl,
            "JOB NAME=\"Sample\"|SET PRINTERMODEL=\"HP_Latex_570\"|SET MEDIATYPEID=\"HP_RIP_CUSTOM_MEDIA\"|"
            "SET MEDIANAME=\"Gloss _A&B_\"|SET PASSES=7|SET DIRECTION=UNIDIR|SET INKLEVEL=HIGH|"
            "SET RESOLUTION=600|SET VERTRESOLUTION=600|SET INPUTTENSION=15|SET NAVIGABLEBYOMAS=OFF|"
            "SET CUTTER=ON|SET ADVANCEFACTOR=1E-7|SET VACUUM=30|SET DRYTEMP=-0.5|SET CURETEMP=70|"
            "SET DRYWARMUPOFFSETTEMP=50|SET CUREWARMUPOFFSETTEMP=40|SET DRYCOOLDOWNOFFSETTEMP=30|"
            "SET CURECOOLDOWNOFFSETTEMP=20|SET DRYPOWERMIN=200|SET HEATAIRFLOW=75|SET PAGEWIDTH=97890|"
            "SET PAGEHEIGHT=20826|ENTER LANGUAGE=RTL|");
  EXPECT_EQ(job.Resolution, 600);
  EXPECT_EQ(job.Width, width);
  EXPECT_EQ(job.Height, 5);
  std::string config = {2, 6};
  for (int plane = 0; plane < 6; ++plane) config += std::string("\x02\x58\x02\x58\x00\x04", 6);
  EXPECT_EQ(job.Config, config);
  EXPECT_EQ(job.Rows, rows);
  // Runs compress to two bytes per 128; the empty plane sends nothing.
  EXPECT_EQ(job.TransferSizes[0][1], 4u);
  EXPECT_EQ(job.TransferSizes[0][5], 0u);
  EXPECT_LE(job.TransferSizes[0][0], 251u + 2);
}

TEST_F(HPLibrary, ChunksAreFullUntilTheEndAndJobsStaySeparate) {
  TCapture otherCapture;
  HPDRLGL_JobHandle other = nullptr;
  ASSERT_EQ(HPDRLGL_JobStart(&other, HPJobInfoXml(Ticket(otherCapture)).c_str()), 0);
  ASSERT_EQ(HPDRLGL_PageStart(other, HPPageInfoXml("96000", "9600").c_str()), 0);
  ASSERT_EQ(HPDRLGL_RasterStart(other, HPRasterFormatXml("600").c_str(), 0, 0, 0, 37800, 16, 37800, 16), 0);
  ASSERT_EQ(StartRaster(37800, 12), 0);
  std::mt19937 random(2);
  std::vector<TRow> rows;
  for (int i = 0; i < 12; ++i) {
    rows.push_back(MixedRow(9450, random));
    ASSERT_EQ(HPDRLGL_RasterRow(Job, rows.back().data()), 0);
    ASSERT_EQ(HPDRLGL_RasterRow(other, rows.front().data()), 0);
  }
  EndAll();
  // An aborted job closes its raster after the rows it sent.
  EXPECT_EQ(HPDRLGL_JobAbort(other), 0);

  ASSERT_GE(Capture.Chunks.size(), 2u);
  for (std::size_t i = 0; i + 1 < Capture.Chunks.size(); ++i) EXPECT_EQ(Capture.Chunks[i], 65536u);
  EXPECT_LE(Capture.Chunks.back(), 65536u);
  EXPECT_EQ(Decode(Capture.Bytes, 6).Rows, rows);
  EXPECT_EQ(Decode(otherCapture.Bytes, 6).Rows, std::vector<TRow>(12, rows.front()));
}

}  // namespace
}  // namespace slabrip
