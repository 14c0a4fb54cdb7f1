// The demo documents drawn now against pictures of them drawn before:
// scripts/update_golden.sh draws the pictures again after a wanted change.
#include <gtest/gtest.h>

#include "base/file_paths.h"
#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "raster/image_decode.h"
#include "render/document_raster.h"
#include "tools/demo_artwork.h"

namespace slabrip {
namespace {

struct TGolden {
  const char* Name;
  std::vector<std::uint8_t> (*Document)();
  double Dpi;
};

// Keep in step with scripts/update_golden.sh.
const TGolden kGoldens[] = {
    {"sticker", StickerDocument, 40},
    {"hours", HoursDocument, 25},
    {"mural", MuralDocument, 12},
};

class GoldenTest : public ::testing::TestWithParam<TGolden> {};

TEST_P(GoldenTest, TheDemoDocumentLooksAsBefore) {
  const TGolden& golden = GetParam();
  const std::string path = std::string(SLABRIP_GOLDEN_DIR) + "/" + golden.Name + ".png";
  const std::string bytes = ReadWholeFile(path, 64u << 20);
  const auto expected =
      DecodeImageFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 1 << 24);
  ASSERT_TRUE(expected) << path << " does not read; run scripts/update_golden.sh";

  TBM32CacheManager cache(TMemoryProbe{[] { return std::int64_t{0}; }, [] { return std::int64_t{1} << 40; }});
  TMemoryByteStream stream(golden.Document());
  const auto document = TcmfWriter::ReadDocument(stream, cache);
  ASSERT_TRUE(document);
  const TRasterSize size = DocumentRasterSize(*document, golden.Dpi);
  ASSERT_EQ(size.Width, expected->Width());
  ASSERT_EQ(size.Height, expected->Height());
  int y = 0, different = 0, worst = 0;
  RasterizeDocument(*document, golden.Dpi, [&](const TColor32* row, const std::uint16_t*) {
    if (y < expected->Height())
      for (int x = 0; x < size.Width; ++x) {
        const TColor32 a = row[x], b = expected->Row(y)[x];
        int channel = 0;
        for (int shift = 0; shift < 32; shift += 8)
          channel = std::max(
              channel, std::abs(static_cast<int>(a >> shift & 255) - static_cast<int>(b >> shift & 255)));
        worst = std::max(worst, channel);
        different += channel > 24 ? 1 : 0;
      }
    ++y;
  });
  // Anti-aliased edges may move a little between cairo versions; areas may not.
  EXPECT_LE(different, size.Width * size.Height / 200)
      << golden.Name << ": worst channel difference " << worst;
}

INSTANTIATE_TEST_SUITE_P(Demo, GoldenTest, ::testing::ValuesIn(kGoldens),
                         [](const auto& golden) { return std::string(golden.param.Name); });

}  // namespace
}  // namespace slabrip
