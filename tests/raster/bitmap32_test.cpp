#include "raster/bitmap32.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace slabrip {
namespace {

TEST(Bitmap32, RowsAreContiguousWithAStrideOfFourBytesPerPixel) {
  TBitmap32 bitmap(3, 2);
  EXPECT_EQ(bitmap.Stride(), 12);
  EXPECT_EQ(bitmap.PixelCount(), 6u);
  EXPECT_EQ(bitmap.Row(1), bitmap.Pixels() + 3);
  bitmap.Fill(0xFF102030);
  bitmap.Row(1)[2] = 7;
  EXPECT_EQ(bitmap.Pixels()[5], 7u);
  EXPECT_EQ(bitmap.Pixels()[4], 0xFF102030u);
  const TRectI bounds = bitmap.Bounds();
  EXPECT_EQ(bounds.MaxX, 3);
  EXPECT_EQ(bounds.MaxY, 2);
}

TEST(Bitmap32, ImpossibleSizesAreRefusedAndLeaveTheBitmapAsItWas) {
  TBitmap32 bitmap(2, 2);
  EXPECT_THROW(bitmap.SetSize(-1, 5), TError);
  EXPECT_THROW(bitmap.SetSize(1 << 16, 1 << 16), TError);
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.PixelCount(), 4u);
  bitmap.SetSize(0, 7);
  EXPECT_EQ(bitmap.PixelCount(), 0u);
}

}  // namespace
}  // namespace slabrip
