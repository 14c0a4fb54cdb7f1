// The PNG and JPEG writers: files put in place whole, sink failures raised
// from our own frames, and the JPEG layouts the decoder's tests rely on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "raster/image_decode.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;
using TBytes = std::vector<std::uint8_t>;

TBitmap32 Gradient(int width, int height) {
  TBitmap32 bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.Row(y)[x] = 0xFF000000u | static_cast<TColor32>(x * 255 / width) << 16 |
                         static_cast<TColor32>(y * 255 / height) << 8 | 0x40u;
  return bitmap;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PngFile, HoldsTheBytesOfTheWriterAndAppearsOnlyOnCommit) {
  const test::TTempDir dir;
  const TBitmap32 picture = Gradient(300, 200);  // more than one write of the file's buffer
  {
    TPngFile file(dir.File("a.png"), picture.Width(), picture.Height(), TPngWriter::TKind::kRgba);
    for (int y = 0; y < picture.Height(); ++y) file.WriteRow(picture.Row(y));
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.png")));
    file.Commit();
  }
  const std::string written = test::ReadFile(dir.File("a.png"));
  const TBytes encoded = EncodePng(picture);
  EXPECT_EQ(written, std::string(encoded.begin(), encoded.end()));
  {
    TPngFile abandoned(dir.File("b.png"), 4, 4, TPngWriter::TKind::kGrey16);
    const std::uint16_t row[4] = {1, 2, 3, 4};
    abandoned.WriteRow(row);
  }
  EXPECT_THAT(FilesIn(dir.Path()), ::testing::ElementsAre("a.png"));  // no picture, no temporary file
  EXPECT_THAT([&] { TPngFile(dir.File("none/c.png"), 4, 4, TPngWriter::TKind::kRgba); },
              ThrowsMessage<TError>(::testing::StartsWith(dir.File("none/c.png") + ": cannot create")));
}

TEST(PngWriter, WhatTheSinkThrowsComesBackFromTheCallThatWrote) {
  std::size_t taken = 0;
  TPngWriter writer(64, 64, TPngWriter::TKind::kRgba, [&](const std::uint8_t*, std::size_t size) {
    if (taken > 100) throw TError("sink full");
    taken += size;
  });
  const TBitmap32 picture = Gradient(64, 64);
  const auto writeAll = [&] {
    for (int y = 0; y < picture.Height(); ++y) writer.WriteRow(picture.Row(y));
    writer.Finish();
  };
  EXPECT_THAT(writeAll, ThrowsMessage<TError>(StrEq("sink full")));
  // libpng was left: the writer says so again rather than writing on.
  EXPECT_THAT([&] { writer.Finish(); }, ThrowsMessage<TError>(StrEq("sink full")));
}

TEST(JpegWriter, SamplesInEveryColourSpaceDecode) {
  const TBitmap32 picture = Gradient(32, 16);
  const auto decoded = DecodeImageFile(EncodeJpeg(picture, 95), 1 << 20);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->Width(), 32);
  const TBytes grey(8 * 8, 200);
  TJpegOptions options;
  options.Progressive = true;
  const auto greyPicture = DecodeImageFile(EncodeJpeg(8, 8, TJpegColour::kGrey, grey, options), 1 << 20);
  ASSERT_TRUE(greyPicture);
  EXPECT_EQ(greyPicture->Row(3)[3], 0xFFC8C8C8u);
  const TBytes cmyk(16 * 16 * 4, 0);  // no ink: white
  options = {};
  options.Stored = TJpegColour::kYcck;
  const auto paper = DecodeImageFile(EncodeJpeg(16, 16, TJpegColour::kCmyk, cmyk, options), 1 << 20);
  ASSERT_TRUE(paper);
  EXPECT_EQ(paper->Row(8)[8] >> 24, 0xFFu);
}

TEST(JpegWriter, RefusesTooFewSamplesAndWhatLibjpegRefuses) {
  EXPECT_THAT([] { EncodeJpeg(4, 4, TJpegColour::kRgb, TBytes(47), {}); },
              ThrowsMessage<TError>(StrEq("JPEG: too few samples for the picture")));
  TJpegOptions options;
  options.Stored = TJpegColour::kYcck;  // RGB samples cannot be stored as YCCK
  EXPECT_THAT([&] { EncodeJpeg(4, 4, TJpegColour::kRgb, TBytes(48), options); },
              ThrowsMessage<TError>(::testing::StartsWith("JPEG: ")));
}

}  // namespace
}  // namespace slabrip
