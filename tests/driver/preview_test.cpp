// The preview paint box: where the picture goes, the frame, the stretched picture, the cover.
#include "driver/preview.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/pixel_checks.h"
#include "support/temp_dir.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"

namespace slabrip {
namespace {

using test::Channel;
using test::Near;
using test::TTempDir;

constexpr TColor32 kFace = 0xFFF0F0F0;
constexpr TColor32 kMarker = 0xFFC83C28;  // top-left part of the test picture
constexpr TColor32 kRest = 0xFF2878B4;

void ExpectRect(const TRectI& r, int left, int top, int right, int bottom) {
  EXPECT_EQ(r.MinX, left);
  EXPECT_EQ(r.MinY, top);
  EXPECT_EQ(r.MaxX, right);
  EXPECT_EQ(r.MaxY, bottom);
}

bool Darker(TColor32 a, TColor32 b) { return Channel(a, 8) < Channel(b, 8); }

TColor32 At(const TBitmap32& box, int x, int y) { return box.Row(y)[x]; }

// The sunken frame and its inner shadow; the inside beyond the shadow is the face
// except within `keep` (picture and its shadow).
void ExpectFrameAndEmptyInside(const TBitmap32& box, const TRectI& keep = {}) {
  const int w = box.Width();
  const int h = box.Height();
  EXPECT_EQ(At(box, w / 2, 0), 0xFFA0A0A0u);
  EXPECT_EQ(At(box, 0, h / 2), 0xFFA0A0A0u);
  EXPECT_EQ(At(box, w / 2, 1), 0xFF696969u);
  EXPECT_EQ(At(box, 1, h / 2), 0xFF696969u);
  EXPECT_EQ(At(box, w / 2, h - 1), 0xFFE3E3E3u);
  EXPECT_EQ(At(box, w - 1, h / 2), 0xFFE3E3E3u);
  EXPECT_EQ(At(box, w - 1, 0), 0xFFE3E3E3u);
  EXPECT_EQ(At(box, 0, h - 1), 0xFFE3E3E3u);
  // The shadow fades from the top and left edges and is gone 8 pixels in.
  EXPECT_TRUE(Darker(At(box, w / 2, 2), At(box, w / 2, 5)));
  EXPECT_TRUE(Darker(At(box, w / 2, 5), kFace));
  EXPECT_TRUE(Darker(At(box, 2, h / 2), At(box, 5, h / 2)));
  int stray = 0;
  for (int y = 8; y < h - 1; ++y)
    for (int x = 8; x < w - 1; ++x) {
      const bool kept = x >= keep.MinX && x < keep.MaxX && y >= keep.MinY && y < keep.MaxY;
      if (!kept && At(box, x, y) != kFace) ++stray;
    }
  EXPECT_EQ(stray, 0);
}

TBitmap32 Picture(int w, int h) {
  TBitmap32 picture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) picture.Row(y)[x] = x < w / 3 && y < h / 3 ? kMarker : kRest;
  return picture;
}

// A picture of kRest with kMarker in its top-left quarter-width, third-height
// block, block edges on the JPEG's 16-pixel grid.
std::string WritePicture(const TTempDir& dir, const std::string& name, int w, int h) {
  const auto jpeg = EncodeJpeg(Picture(w, h), 95);
  return dir.Write(name, std::string(jpeg.begin(), jpeg.end()));
}

TEST(FitPreviewRect, ScalesIntoTheMarginsAndCentresInSinglePrecision) {
  ExpectRect(FitPreviewRect(385, 505, 1000, 500), 25, 168, 360, 336);
  // 335 / 200 is 1.67499995 as a float, so 100 rows give 167, not 168.
  ExpectRect(FitPreviewRect(385, 505, 200, 100), 25, 169, 360, 336);
  // A scale of 2.5 on one row: the half rounds to even.
  ExpectRect(FitPreviewRect(60, 140, 4, 1), 25, 69, 35, 71);
  // Upright pictures are bound by the height; odd leftovers truncate.
  ExpectRect(FitPreviewRect(385, 505, 300, 931), 117, 20, 267, 485);
}

TEST(FitPreviewRect, DegenerateSizes) {
  // Sizes below 1 count as 1.
  ExpectRect(FitPreviewRect(385, 505, 0, -7), 25, 85, 360, 420);
  // A box no larger than its margins gets an empty rectangle at its centre.
  ExpectRect(FitPreviewRect(40, 30, 100, 100), 20, 15, 20, 15);
  ExpectRect(FitPreviewRect(0, 0, 1, 1), 0, 0, 0, 0);
}

TEST(DrawPreview, StretchesThePictureBesideTheSlabIntoTheFittedRect) {
  TTempDir dir;
  // Shrunk about three times, and enlarged about four times.
  for (const auto& [w, h] : {std::pair{960, 480}, std::pair{96, 48}}) {
    SCOPED_TRACE(w);
    WritePicture(dir, "job.jpg", w, h);
    TBitmap32 box(385, 505);
    box.Fill(0xFF000000);
    const TRectI r = DrawPreview(box, dir.File("job.qlslab"));
    const TRectI fitted = FitPreviewRect(385, 505, w, h);
    ExpectRect(r, fitted.MinX, fitted.MinY, fitted.MaxX, fitted.MaxY);
    ExpectFrameAndEmptyInside(box, {r.MinX, r.MinY, r.MaxX + 8, r.MaxY + 8});

    const int dw = r.MaxX - r.MinX;
    const int dh = r.MaxY - r.MinY;
    EXPECT_TRUE(Near(At(box, r.MinX + dw / 2, r.MinY + dh / 2), kRest, 8));
    EXPECT_TRUE(Near(At(box, r.MinX + dw / 6, r.MinY + dh / 6), kMarker, 8));  // not mirrored or turned
    EXPECT_TRUE(Near(At(box, r.MaxX - dw / 6, r.MinY + dh / 6), kRest, 8));
    EXPECT_TRUE(Near(At(box, r.MinX + dw / 6, r.MaxY - dh / 6), kRest, 8));
    // The edges are the picture's, not faded into the background.
    EXPECT_TRUE(Near(At(box, r.MinX, r.MinY), kMarker, 12));
    EXPECT_TRUE(Near(At(box, r.MaxX - 1, r.MaxY - 1), kRest, 12));

    // The shadow fades out to the right and below, softly at its start.
    const int midY = (r.MinY + r.MaxY) / 2;
    EXPECT_TRUE(Darker(At(box, r.MaxX, midY), At(box, r.MaxX + 5, midY)));
    EXPECT_TRUE(Darker(At(box, r.MaxX + 5, midY), kFace));
    EXPECT_TRUE(Darker(At(box, r.MinX + 20, r.MaxY), At(box, r.MinX + 1, r.MaxY)));
    EXPECT_TRUE(Darker(At(box, r.MaxX, r.MinY + 10), At(box, r.MaxX, r.MinY)));
    EXPECT_TRUE(Darker(At(box, r.MaxX + 3, r.MaxY + 3), kFace));
  }
}

TEST(DrawPreview, MissingOrUnreadablePictureLeavesTheEmptyFrame) {
  TTempDir dir;
  const std::string realJpeg = test::ReadFile(WritePicture(dir, "real.jpg", 64, 64));
  dir.Write("garbage.jpg", "no picture in here");
  dir.Write("cut.jpg", realJpeg.substr(0, realJpeg.size() / 2));
  // Only JPEG data is taken, whatever else the decoder knows.
  const auto png = EncodePng(Picture(64, 64));
  dir.Write("png.jpg", std::string(png.begin(), png.end()));
  for (const std::string slab : {"missing.qlslab", "garbage.qlslab", "cut.qlslab", "png.qlslab", ""}) {
    SCOPED_TRACE(slab);
    TBitmap32 box(200, 150);
    box.Fill(0xFF000000);
    ExpectRect(DrawPreview(box, slab.empty() ? slab : dir.File(slab)), 0, 0, 1, 1);
    ExpectFrameAndEmptyInside(box);
  }
}

TEST(DrawPreview, TinyBoxesDrawNoPicture) {
  TTempDir dir;
  WritePicture(dir, "job.jpg", 32, 32);
  TBitmap32 box(45, 30);
  const TRectI r = DrawPreview(box, dir.File("job.qlslab"));
  EXPECT_EQ(r.MaxX, r.MinX);
  ExpectFrameAndEmptyInside(box);  // nor a shadow
  box.SetSize(1, 1);
  ExpectRect(DrawPreview(box, dir.File("job.qlslab")), 0, 0, 0, 0);
  EXPECT_EQ(At(box, 0, 0), 0xFFE3E3E3u);
}

TEST(CoverPreview, GrowsFromTheBottomEdgeAndStaysInTheBox) {
  const TRectI rect{10, 10, 30, 19};
  const auto coveredRows = [&](double progress) {
    TBitmap32 box(40, 30);
    box.Fill(kFace);
    CoverPreview(box, rect, progress);
    std::vector<int> rows;
    for (int y = 0; y < box.Height(); ++y)
      for (int x = 0; x < box.Width(); ++x) {
        const bool inside = x >= rect.MinX && x < rect.MaxX && y >= rect.MinY && y < rect.MaxY;
        if (At(box, x, y) == 0xFFE8E8E8u) {
          EXPECT_TRUE(inside) << x << "," << y;
          if (x == rect.MinX) rows.push_back(y);
        }
      }
    return rows;
  };
  EXPECT_TRUE(coveredRows(0).empty());
  // 10 * 0.5 + 0.5 * 19 = 14.5 rounds to 14.
  EXPECT_EQ(coveredRows(0.5), (std::vector<int>{14, 15, 16, 17, 18}));
  EXPECT_EQ(coveredRows(1).size(), 9u);

  TBitmap32 small(12, 12);
  small.Fill(kFace);
  CoverPreview(small, {-5, -5, 20, 20}, 1);  // clipped to the box
  for (std::size_t i = 0; i < small.PixelCount(); ++i) EXPECT_EQ(small.Pixels()[i], 0xFFE8E8E8u);
}

}  // namespace
}  // namespace slabrip
