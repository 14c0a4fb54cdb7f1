#include "geometry/scan_buffer.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

namespace slabrip {
namespace {

void AddPolygon(TScanBuffer& buffer, std::initializer_list<TPointD> points) {
  const std::vector<TPointD> p(points);
  for (std::size_t i = 0; i < p.size(); ++i) buffer.AddLine(p[i], p[(i + 1) % p.size()]);
}

TEST(ScanBuffer, RectangleGivesOneSpanPerRowCentreInside) {
  TScanBuffer buffer(10);
  AddPolygon(buffer, {{10.2, 3.4}, {20.7, 3.4}, {20.7, 6.6}, {10.2, 6.6}});
  buffer.Finish();
  for (int y = 0; y < 10; ++y) {
    const auto spans = buffer.SpansOfRow(y);
    if (y < 3 || y > 6) {
      EXPECT_TRUE(spans.empty()) << y;
      continue;
    }
    ASSERT_EQ(spans.size(), 1u) << y;
    EXPECT_EQ(spans[0].Row, y);
    EXPECT_FLOAT_EQ(spans[0].StartX, 10.2f);
    EXPECT_FLOAT_EQ(spans[0].EndX, 20.7f);
    EXPECT_EQ(spans[0].Sign, 1);
  }
  EXPECT_TRUE(buffer.SpansOfRow(-1).empty());
  EXPECT_TRUE(buffer.SpansOfRow(10).empty());
}

TEST(ScanBuffer, EdgesBetweenRowCentresAndHorizontalEdgesAddNothing) {
  TScanBuffer buffer(10);
  buffer.AddLine({0, 3.6}, {5, 4.4});
  buffer.AddLine({0, 5}, {9, 5});
  buffer.AddLine({0, -5}, {9, -1});
  buffer.AddLine({0, 12}, {9, 10});
  for (int y = 0; y < 10; ++y) EXPECT_TRUE(buffer.CrossingsOfRow(y).empty()) << y;
}

TEST(ScanBuffer, EdgesAreClippedToTheBufferAndSampledAtRowCentres) {
  TScanBuffer buffer(4);
  buffer.AddLine({0, -10}, {20, 30});  // x = (y + 10) / 2
  buffer.Finish();
  // Both ends clamp to rows 0 and 3 and the end row is exclusive, so the last
  // row gets nothing: callers make the buffer one row taller than the band.
  EXPECT_TRUE(buffer.CrossingsOfRow(3).empty());
  for (int y = 0; y < 3; ++y) {
    ASSERT_EQ(buffer.CrossingsOfRow(y).size(), 1u) << y;
    EXPECT_FLOAT_EQ(buffer.CrossingsOfRow(y)[0], static_cast<float>((y + 0.5 + 10) / 2));
  }
}

TEST(ScanBuffer, EvenOddLeavesOverlapsOpenAndPairsCrossingsInOrder) {
  TScanBuffer buffer(20);
  AddPolygon(buffer, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  AddPolygon(buffer, {{5, 5}, {15, 5}, {15, 15}, {5, 15}});
  buffer.Finish();
  const auto spans = buffer.SpansOfRow(7);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].StartX, 0);
  EXPECT_EQ(spans[0].EndX, 5);
  EXPECT_EQ(spans[1].StartX, 10);
  EXPECT_EQ(spans[1].EndX, 15);

  TScanBuffer odd(3);
  odd.AddLine({1, 0}, {1, 3});
  odd.AddLine({4, 0}, {4, 3});
  odd.AddLine({2, 3}, {2, 0});
  odd.Finish();
  const auto one = odd.SpansOfRow(1);
  ASSERT_EQ(one.size(), 1u);  // three crossings: the first two make the span
  EXPECT_EQ(one[0].StartX, 1);
  EXPECT_EQ(one[0].EndX, 2);
}

TEST(ScanBuffer, ConicsFollowTheCircleWithinHalfAPixel) {
  // A circle of radius 100 at (150, 150) from four quarter arcs of weight sqrt(2)/2.
  const double w = std::sqrt(0.5), r = 100, c = 150;
  TScanBuffer buffer(301);
  buffer.AddConic({c + r, c}, {c + r, c + r}, w, 0.25, {c, c + r});
  buffer.AddConic({c, c + r}, {c - r, c + r}, w, 0.25, {c - r, c});
  buffer.AddConic({c - r, c}, {c - r, c - r}, w, 0.25, {c, c - r});
  buffer.AddConic({c, c - r}, {c + r, c - r}, w, 0.25, {c + r, c});
  buffer.Finish();
  for (int y = 52; y < 248; ++y) {
    const auto spans = buffer.SpansOfRow(y);
    ASSERT_EQ(spans.size(), 1u) << y;
    const double dy = y + 0.5 - c;
    const double half = std::sqrt(r * r - dy * dy);
    EXPECT_NEAR(spans[0].StartX, c - half, 0.5) << y;
    EXPECT_NEAR(spans[0].EndX, c + half, 0.5) << y;
  }
}

TEST(ScanBuffer, WildInputTerminatesAndAddsNothingNonFinite) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  TScanBuffer buffer(100);
  buffer.AddLine({nan, 0}, {1, 50});
  buffer.AddLine({0, -inf}, {1, inf});
  buffer.AddConic({0, 0}, {1e30, 1e30}, 1, 0.25, {0, 99});
  buffer.AddConic({0, 0}, {nan, nan}, nan, 0.25, {5, 99});
  buffer.Finish();
  for (int y = 0; y < 100; ++y)
    for (const float x : buffer.CrossingsOfRow(y)) EXPECT_TRUE(std::isfinite(x));
  TScanBuffer empty(0);
  empty.AddLine({0, -1}, {0, 1});
  EXPECT_TRUE(empty.SpansOfRow(0).empty());
}

}  // namespace
}  // namespace slabrip
