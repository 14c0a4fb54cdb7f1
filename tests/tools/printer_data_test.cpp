// The printer-data reader on streams built by hand and by the sample writer,
// and on damaged streams, which must fail at the right byte.
#include "hpraster/printer_data.h"

#include <gtest/gtest.h>

#include "tools/printer_data_sample.h"

namespace slabrip {
namespace {

using namespace std::string_literals;
using TRow = std::vector<std::vector<std::uint8_t>>;

constexpr std::string_view kUel = "\x1b%-12345X";

struct TDecoded {
  TPrinterData Data;
  std::vector<TRow> Rows;
};

std::span<const std::uint8_t> Span(std::string_view bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

TDecoded Decode(std::string_view stream) {
  TDecoded decoded;
  decoded.Data =
      ReadPrinterData(Span(stream), [&](int row, std::span<const std::span<const std::uint8_t>> planes) {
        EXPECT_EQ(row, static_cast<int>(decoded.Rows.size()));
        TRow& copy = decoded.Rows.emplace_back();
        for (const auto plane : planes) copy.emplace_back(plane.begin(), plane.end());
      });
  return decoded;
}

// The error reading `stream` raises, through the whole-span reader or one byte per pull.
TPrinterDataError ErrorOf(std::string_view stream, bool bytewise = false) {
  try {
    if (!bytewise) {
      Decode(stream);
    } else {
      TPrinterDataReader reader([&](std::uint8_t* buffer, std::size_t) {
        if (stream.empty()) return std::size_t{0};
        buffer[0] = static_cast<std::uint8_t>(stream[0]);
        stream.remove_prefix(1);
        return std::size_t{1};
      });
      while (reader.NextRow()) {
      }
    }
  } catch (const TPrinterDataError& e) {
    return e;
  }
  ADD_FAILURE() << "no error";
  return TPrinterDataError("none", 0);
}

// The configure-raster-data block for `planes` planes at 300 dpi across, 600 down.
std::string Configure(int planes) {
  std::string block = {'\x02', static_cast<char>(planes)};
  for (int p = 0; p < planes; ++p) block += std::string("\x01\x2C\x02\x58\x00\x04", 6);
  return block;
}

const std::string kHeader = std::string(kUel) + "@PJL JOB NAME=\"t\"\r\n@PJL ENTER LANGUAGE=RTL\r\n";
// Two planes of five pixels (two bytes each), two rows.
const std::string kSetup =
    "\x1b"
    "E\x1b*t300R\x1b*g14W" +
    Configure(2) + "\x1b*r5S\x1b*r2T\x1b*b2M\x1b*r1A";
const std::string kEnd =
    "\x1b"
    "E" +
    std::string(kUel) + "@PJL EOJ NAME=\"t\"\r\n" + std::string(kUel);
const std::string kRow = "\x1b*b0V\x1b*b0W";

std::string Job(const std::string& rows, const std::string& setup = kSetup) {
  return kHeader + setup + rows + "\x1b*rC" + kEnd;
}

TEST(PrinterData, ReadsAStreamWrittenByHand) {
  const std::string stream =
      std::string(kUel) + "@PJL JOB NAME=\"Shop _sign_\"\r\n@PJL SET PRINTERMODEL=\"HP Latex 570\"\r\n" +
      "@PJL COMMENT unknown lines are skipped\r\n@PJL SET PASSES = 10\r\n@PJL ENTER LANGUAGE=RTL\r\n" +
      "\x1b"
      "E\x1b*t300R\x1b*g20W" +
      Configure(3) + "\x1b*r5S\x1b*r3T\x1b*b2M\x1b*r1A" +
      // Row 1: a literal, an empty plane, a repeat of 0x55 for two bytes.
      "\x1b*b3V\x01\xE4\xC0\x1b*b0V\x1b*b2W\xFF\x55"s +
      // Row 2: a short transfer, a no-op header before a literal, nothing at all in the last plane.
      "\x1b*b2V\x00\x1B\x1b*b3V\x80\x00\xAA\x1b*b0W"s +
      // Ended after two of three rows, as an aborted job is.
      "\x1b*rC" + kEnd;
  const TDecoded decoded = Decode(stream);
  const std::vector<TPjlSetting> settings = {
      {"JOB NAME", "Shop _sign_"}, {"PRINTERMODEL", "HP Latex 570"}, {"PASSES", "10"}};
  EXPECT_EQ(decoded.Data.Settings, settings);
  ASSERT_TRUE(decoded.Data.Raster);
  const TRasterGeometry& raster = *decoded.Data.Raster;
  EXPECT_EQ(raster.Resolution, 300);
  EXPECT_EQ(raster.Width, 5);
  EXPECT_EQ(raster.Height, 3);
  EXPECT_EQ(raster.Compression, 2);
  EXPECT_EQ(raster.Planes, std::vector<TRasterPlane>(3, TRasterPlane{300, 600, 4}));
  EXPECT_EQ(decoded.Data.Rows, 2);
  EXPECT_EQ(decoded.Data.EndOfJobName, "t");
  ASSERT_EQ(decoded.Rows.size(), 2u);
  EXPECT_EQ(decoded.Rows[0], (TRow{{0xE4, 0xC0}, {0, 0}, {0x55, 0x55}}));
  // The first plane's second byte is zero again: nothing of row 1 is left over.
  EXPECT_EQ(decoded.Rows[1], (TRow{{0x1B, 0}, {0xAA, 0}, {0, 0}}));
  const std::vector<int> levels = {3, 2, 1, 0, 3};
  for (std::size_t x = 0; x < levels.size(); ++x)
    EXPECT_EQ(PixelLevel(decoded.Rows[0][0], x), levels[x]) << x;
}

TEST(PrinterData, SampleJobsDecodeToTheirPixels) {
  struct TShape {
    int Width, Height, Rows, Planes;
  };
  // Widths off the byte grid, one pixel, runs longer than a PackBits header holds, early ends, eight planes.
  for (const TShape shape : {TShape{37, 24, 24, 6}, TShape{1, 1, 1, 1}, TShape{4, 3, 3, 1},
                             TShape{1023, 5, 5, 6}, TShape{37, 24, 7, 6}, TShape{30, 9, 0, 8}}) {
    SCOPED_TRACE(::testing::Message()
                 << shape.Width << " x " << shape.Height << ", " << shape.Rows << " rows");
    const TDecoded decoded = Decode(SamplePrinterData(shape.Width, shape.Height, shape.Rows, shape.Planes));
    ASSERT_TRUE(decoded.Data.Raster);
    EXPECT_EQ(decoded.Data.Raster->Planes.size(), static_cast<std::size_t>(shape.Planes));
    EXPECT_EQ(decoded.Data.Rows, shape.Rows);
    ASSERT_EQ(decoded.Rows.size(), static_cast<std::size_t>(shape.Rows));
    int mismatches = 0;
    for (int y = 0; y < shape.Rows; ++y)
      for (int p = 0; p < shape.Planes; ++p) {
        const auto& plane = decoded.Rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(p)];
        ASSERT_EQ(plane.size(), static_cast<std::size_t>(shape.Width + 3) / 4);
        for (int x = 0; x < static_cast<int>(plane.size()) * 4; ++x) {
          const int want = x < shape.Width ? SampleLevel(p, x, y, shape.Width, shape.Height) : 0;
          mismatches += PixelLevel(plane, static_cast<std::size_t>(x)) != want;
        }
      }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(PrinterData, JobsEndedBeforeTheirRaster) {
  // Aborted after the job start, and after the page start.
  for (const std::string& stream :
       {std::string(kUel) + "@PJL JOB NAME=\"t\"\r\n@PJL SET PASSES=4\r\n" + kEnd, kHeader + kEnd}) {
    const TDecoded decoded = Decode(stream);
    EXPECT_FALSE(decoded.Data.Raster);
    EXPECT_EQ(decoded.Data.Rows, 0);
    EXPECT_EQ(decoded.Data.EndOfJobName, "t");
  }
}

TEST(PrinterData, EveryCutIsReportedWhereTheDataEnds) {
  const std::string stream = SamplePrinterData(13, 3, 3, 6);
  for (std::size_t size = 0; size < stream.size(); ++size) {
    const TPrinterDataError error = ErrorOf(std::string_view(stream).substr(0, size));
    EXPECT_EQ(error.Offset(), size) << error.what();
    EXPECT_TRUE(error.Problem().starts_with("data ends") || error.Problem().starts_with("no data"))
        << size << ": " << error.what();
  }
}

TEST(PrinterData, PullingByteByByteGivesTheSameOffsets) {
  const std::string stream = SamplePrinterData(200, 4, 4, 6);
  for (const std::size_t size : {std::size_t{5}, stream.size() / 2, stream.size() - 3}) {
    const std::string_view cut = std::string_view(stream).substr(0, size);
    EXPECT_EQ(ErrorOf(cut, true).Offset(), ErrorOf(cut).Offset());
  }
  const std::string damaged = Job("\x1b*b0V\x1b*b3W\x03\x01\x02");
  EXPECT_EQ(ErrorOf(damaged, true).Offset(), damaged.find("\x03\x01\x02"));
}

struct TBadCase {
  const char* Name;
  std::string Stream;
  std::string Problem;   // a part of the message
  std::string Marker;    // the error is where this first occurs; empty for the end of the data
  std::size_t Skip = 0;  // bytes past the marker
};

std::vector<TBadCase> BadCases() {
  const std::string withWidth = "\x1b*r5S";
  std::string noWidth = kSetup;
  noWidth.erase(noWidth.find(withWidth), withWidth.size());
  std::string noStart = kSetup;
  noStart.erase(noStart.size() - 5);
  const auto setup = [](const std::string& from, const std::string& to) {
    std::string s = kSetup;
    return s.replace(s.find(from), from.size(), to);
  };
  const std::string config = "\x1b*g14W" + Configure(2);
  std::string levels2 = config;
  levels2[levels2.size() - 1] = 2;
  return {
      // Cut short.
      {"transfer past the end", kHeader + kSetup + "\x1b*b9V\x08\x01\x02", "9-byte transfer", ""},
      {"missing end raster", kHeader + kSetup + kRow, "expected row 2 of 2 or ESC *rC", ""},
      {"missing end of job", kHeader + kSetup + kRow + "\x1b*rC", "expected ESC E (reset) and the end of job",
       ""},
      {"missing closing UEL", Job(kRow).substr(0, Job(kRow).size() - kUel.size()), "expected the closing UEL",
       ""},
      {"row cut between planes", kHeader + kSetup + "\x1b*b0V", "plane 2 of 2 in row 1", ""},
      // Transfers.
      {"longer than any packing", Job("\x1b*b9999V"), "more than any PackBits form", "\x1b*b9999V"},
      {"literal past the plane", Job("\x1b*b4V\x02xyz\x1b*b0W"), "decompresses past the 2-byte plane",
       "\x02xyz"},
      {"repeat past the plane", Job("\x1b*b2V\x00\x07\x1b*b2W\xFD\x07"s), "row 1, plane 2", "\xFD\x07"},
      {"literal past the transfer", Job("\x1b*b0V\x1b*b3W\x03\x01\x02"), "4-byte PackBits literal",
       "\x03\x01\x02"},
      {"repeat without its byte", Job("\x1b*b1V\xFF\x1b*b0W"), "2-byte PackBits repeat", "\xFF\x1b*b0W"},
      {"too many rows", Job(kRow + kRow + "\x1b*b1V\x00\x1b*b0W"s), "row 3 beyond the height of 2",
       "\x1b*b1V"},
      {"last plane as V", Job("\x1b*b0V\x1b*b0V"), "needs ESC *b#W", "\x1b*b0V\x1b*rC"},
      {"row ended early", Job("\x1b*b0W"), "ends row 1 after 1 of 2 planes", "\x1b*b0W"},
      {"end raster inside a row", Job("\x1b*b0V"), "end raster inside row 1", "\x1b*rC"},
      {"unknown escape in the raster", Job(kRow + "\x1b&l0O"), "ESC &l0O inside the raster", "\x1b&l0O"},
      {"combined escape", Job("\x1b*b0v0W"), "combined escape sequence ESC *b0v", "\x1b*b0v"},
      {"leading zero", Job("\x1b*b00V\x1b*b0W"), "leading zero", "\x1b*b00V"},
      // Raster setup.
      {"run-length compression", Job(kRow, setup("\x1b*b2M", "\x1b*b1M")),
       "compression method 1 not supported", "\x1b*b1M"},
      {"missing start raster", Job(kRow, noStart), "ESC *b0V before start raster", "\x1b*b0V"},
      {"missing width", Job(kRow, noWidth), "without the source raster width", "\x1b*r1A"},
      {"width zero", Job(kRow, setup(withWidth, "\x1b*r0S")), "width must be 1 to 1000000", "\x1b*r0S"},
      {"height too large", Job(kRow, setup("\x1b*r2T", "\x1b*r10000001T")), "height must be",
       "\x1b*r10000001T"},
      {"configure format", Job(kRow, setup(config, "\x1b*g14W\x03" + config.substr(7))), "format 3",
       "\x03\x02"},
      {"configure without planes", Job(kRow, setup(config, "\x1b*g8W\x02\x00\x01\x2C\x02\x58\x00\x04"s)),
       "0 planes", "\x00\x01\x2C"s},
      {"configure size and planes disagree", Job(kRow, setup(config, "\x1b*g20W" + Configure(2) + "123456")),
       "20 bytes for 2 planes", "\x1b*g20W"},
      {"configure too long", Job(kRow, setup(config, "\x1b*g56W" + Configure(9))), "must be 8 to 50",
       "\x1b*g56W"},
      {"two intensity levels", Job(kRow, setup(config, levels2)), "plane 2 has 2 intensity levels",
       "\x00\x02\x1b*r5S"s},
      {"unknown setup command", Job(kRow, setup("\x1b*b2M", "\x1b*b2M\x1b&a5H")),
       "unknown escape sequence ESC &a5H", "\x1b&a5H"},
      {"setup command twice", Job(kRow, setup("\x1b*r2T", "\x1b*r2T\x1b*r2T")), "given twice",
       "\x1b*r2T\x1b*b2M"},
      // Header and end of job.
      {"no UEL at the start", "@PJL JOB\r\n", "expected the UEL", "@PJL"},
      {"line that is no PJL", std::string(kUel) + "PJL SET A=1\r\n" + kHeader.substr(kUel.size()),
       "expected a @PJL line", "PJL SET"},
      {"other language", std::string(kUel) + "@PJL ENTER LANGUAGE=PCL3GUI\r\n", "LANGUAGE=PCL3GUI",
       "@PJL ENTER"},
      {"escape inside a PJL line",
       std::string(kUel) + "@PJL SET A=\x1b"
                           "E\r\n",
       "control byte 0x1B",
       "\x1b"
       "E"},
      {"open quote", std::string(kUel) + "@PJL SET A=\"x\r\n", "unbalanced quotes", "@PJL SET"},
      {"no reset after end raster", kHeader + kSetup + "\x1b*rC" + kEnd.substr(2), "expected ESC E (reset)",
       std::string(kUel) + "@PJL EOJ"},
      {"no EOJ",
       kHeader + kSetup +
           "\x1b*rC\x1b"
           "E" +
           std::string(kUel) + std::string(kUel),
       "without @PJL EOJ", std::string(kUel) + std::string(kUel), kUel.size()},
      {"data after the job", Job(kRow) + "x", "data after the end of the job", "x"},
  };
}

TEST(PrinterData, DamageIsReportedAtItsByte) {
  for (const TBadCase& bad : BadCases()) {
    SCOPED_TRACE(bad.Name);
    const std::size_t at = bad.Marker.empty() ? bad.Stream.size() : bad.Stream.find(bad.Marker) + bad.Skip;
    ASSERT_TRUE(bad.Marker.empty() || bad.Stream.find(bad.Marker) != std::string::npos);
    const TPrinterDataError error = ErrorOf(bad.Stream);
    EXPECT_NE(error.Problem().find(bad.Problem), std::string::npos) << error.what();
    EXPECT_EQ(error.Offset(), at) << error.what();
    EXPECT_EQ(std::string(error.what()), error.Problem() + " at byte " + std::to_string(at));
  }
}

}  // namespace
}  // namespace slabrip
