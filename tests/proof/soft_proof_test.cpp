// The ink soft proof and the preview shrinker of `slabrip render`.
#include "proof/soft_proof.h"

#include <gtest/gtest.h>

namespace slabrip {
namespace {

TEST(SoftProof, NoInkIsPaperAndLightInksCountAThird) {
  TSoftProof proof;
  EXPECT_EQ(proof.Colour(TInkVector{}), 0xFFFFFFFFu);
  const TColor32 dark = proof.Colour(TInkVector{{10923, 0, 0, 0}});
  const TColor32 light = proof.Colour(TInkVector{{0, 0, 0, 0, 32767}});
  EXPECT_EQ(light, dark);  // a third of full light cyan prints as that much cyan
  EXPECT_EQ(proof.Colour(TInkVector{{0, 0, 0, 0, 32767}}), light);       // the same vector again
  EXPECT_LT(proof.Colour(TInkVector{{0, 0, 0, 32767}}) & 0xFFu, 0x40u);  // full black is dark
}

TEST(PreviewShrinker, BlocksAreAveragedAndTheLongSideFitsAThousand) {
  TPreviewShrinker small(3, 2);
  EXPECT_EQ(small.Factor, 1);
  TPreviewShrinker shrinker(2999, 3);  // factor 3: 1000 x 1
  EXPECT_EQ(shrinker.Factor, 3);
  std::vector<TColor32> row(2999, 0xFF000000u);
  row[0] = 0xFF3090F0u;  // one bright pixel in the first block of nine
  shrinker.AddRow(0, row.data());
  row[0] = 0xFF000000u;
  shrinker.AddRow(1, row.data());
  row[2998] = 0xFF060606u;  // the last block is two columns of three
  shrinker.AddRow(2, row.data());
  const TBitmap32& picture = shrinker.Picture();
  ASSERT_EQ(picture.Width(), 1000);
  ASSERT_EQ(picture.Height(), 1);
  EXPECT_EQ(picture.Row(0)[0], 0xFF05101Au);  // 0x30 / 9, 0x90 / 9, 0xF0 / 9
  EXPECT_EQ(picture.Row(0)[999], 0xFF010101u);
  EXPECT_EQ(picture.Row(0)[1], 0xFF000000u);
}

}  // namespace
}  // namespace slabrip
