// The transform between parallelograms and the one rule for degenerate matrices.
#include "base/affine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace slabrip {
namespace {

TEST(ParallelogramTransform, CarriesEachCornerOntoItsImage) {
  const TParallelogramD from = {TPointD{3, -2}, TPointD{7, 1}, TPointD{-1, 5}};
  const TParallelogramD to = {TPointD{100, 40}, TPointD{90, 80}, TPointD{130, 20}};
  const TAffineD m = TransformBetween(from, to);
  for (std::size_t i = 0; i < 3; ++i) {
    const TPointD p = m.Map(from[i]);
    EXPECT_NEAR(p.X, to[i].X, 1e-9);
    EXPECT_NEAR(p.Y, to[i].Y, 1e-9);
  }
  // The fourth corner follows, as for any affine map.
  const TPointD fourth = m.Map(from[1] + from[2] - from[0]);
  EXPECT_NEAR(fourth.X, to[1].X + to[2].X - to[0].X, 1e-9);
  EXPECT_NEAR(fourth.Y, to[1].Y + to[2].Y - to[0].Y, 1e-9);
}

TEST(ParallelogramTransform, DegenerateSourcesGiveTheIdentity) {
  const TParallelogramD to = {TPointD{100, 40}, TPointD{90, 80}, TPointD{130, 20}};
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  for (const TParallelogramD& from : {TParallelogramD{TPointD{0, 0}, TPointD{1, 1}, TPointD{2, 2}},
                                      TParallelogramD{TPointD{0, 0}, TPointD{1e-6, 0}, TPointD{0, 1e-5}},
                                      TParallelogramD{TPointD{nan, 0}, TPointD{1, 0}, TPointD{0, 1}},
                                      TParallelogramD{TPointD{0, 0}, TPointD{inf, 0}, TPointD{0, 1}}}) {
    EXPECT_TRUE(IsDegenerate(from));
    EXPECT_EQ(TransformBetween(from, to), TAffineD{});
  }
  // Just above the threshold (determinant 2e-10) the map is solved.
  const TParallelogramD small = {TPointD{0, 0}, TPointD{1e-5, 0}, TPointD{0, 2e-5}};
  const TPointD p = TransformBetween(small, to).Map(small[1]);
  EXPECT_NEAR(p.X, to[1].X, 1e-6);
  EXPECT_NEAR(p.Y, to[1].Y, 1e-6);
}

TEST(AffineMatrix, TransformAndInverseShareOneDegenerateRule) {
  // The threshold itself is solved, anything below it or not finite is not,
  // for parallelograms and matrices alike.
  EXPECT_FALSE(IsDegenerate(kMinDeterminant));
  EXPECT_FALSE(IsDegenerate(-kMinDeterminant));
  EXPECT_TRUE(IsDegenerate(std::nextafter(kMinDeterminant, 0.0)));
  EXPECT_TRUE(IsDegenerate(std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(IsDegenerate(std::nan("")));
  const double below = std::nextafter(kMinDeterminant, 0.0);
  const TAffineD flat{5, 6, below, 0, 0, 1};
  EXPECT_EQ(Inverted(flat), TAffineD{});
  const TParallelogramD sliver = {TPointD{0, 0}, TPointD{below, 0}, TPointD{0, 1}};
  EXPECT_EQ(TransformBetween(sliver, sliver), TAffineD{});
  const TAffineD m{5, 6, kMinDeterminant, 0, 0, 1};
  const TPointD back = Inverted(m).Map(m.Map({3, 4}));
  EXPECT_NEAR(back.X, 3, 1e-6);
  EXPECT_NEAR(back.Y, 4, 1e-9);
}

}  // namespace
}  // namespace slabrip
