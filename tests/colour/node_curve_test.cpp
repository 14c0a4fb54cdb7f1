#include "colour/node_curve.h"

#include <gtest/gtest.h>
#include <cmath>

#include "base/rounding.h"

namespace slabrip {
namespace {

TNodeCurve Loaded(std::string_view text) {
  TNodeCurve curve;
  EXPECT_TRUE(curve.LoadFromText(text)) << text;
  return curve;
}

TEST(NodeCurveText, ParsesSortsAndSkipsInvalidNodes) {
  const TNodeCurve curve = Loaded("\"100,100/0,0/50,62.5\"");
  ASSERT_EQ(curve.Count(), 3);
  EXPECT_EQ(*curve.Node(0), (TNodePt{0, 0}));
  EXPECT_EQ(*curve.Node(1), (TNodePt{0.5f, 0.625f}));
  EXPECT_EQ(*curve.Node(2), (TNodePt{1, 1}));
  EXPECT_EQ(curve.Node(3), nullptr);
  EXPECT_EQ(curve.Node(-1), nullptr);
  EXPECT_EQ(Loaded("120,10/0,0/100,100").Count(), 2);  // out of range node skipped
  EXPECT_EQ(Loaded("0,0/x,5/,7/5,/100,100/").Count(), 2);
}

TEST(NodeCurveText, TooFewValidNodesKeepTheCurveAsItWas) {
  TNodeCurve curve = Loaded("0,10/100,90");
  for (const char* bad : {"", "50,50", "50,50/abc", "50,50/", "nan,1/2,inf", "1e999,1/2,2", "-1,0/101,5",
                          "0,0;100,100", "//////"})
    EXPECT_FALSE(curve.LoadFromText(bad)) << bad;
  EXPECT_EQ(*curve.Node(0), (TNodePt{0, 0.1f}));
  EXPECT_EQ(*curve.Node(1), (TNodePt{1, 0.9f}));
}

TEST(NodeCurveEvaluation, TheDefaultCurveIsTheDiagonal) {
  const TNodeCurve curve;
  const auto list = curve.PrepareEvaluation();
  EXPECT_EQ(list, (TNodeCurve::TEvalList{{0, 0}, {1, 1}, {1, 1}}));
  for (const float x : {0.0f, 0.25f, 0.5f, 0.9f, 1.0f}) EXPECT_NEAR(TNodeCurve::Evaluate(list, x), x, 1e-6f);
}

TEST(NodeCurveEvaluation, TheCurveBendsTowardsInteriorNodesWithoutPassingThem) {
  const TNodeCurve curve = Loaded("0,0/50,80/100,100");
  EXPECT_NEAR(curve.Evaluate(0.5f), 0.65f, 1e-6f);
  EXPECT_NEAR(curve.Evaluate(0.00005f), 0.0f, 1e-7f);  // x <= 0.0001: the first node
  EXPECT_NEAR(curve.Evaluate(0.99995f), 1.0f, 1e-7f);  // x >= 0.9999: the last node
}

TEST(NodeCurveEvaluation, MatchesTheQuadraticSplineBetweenMidpoints) {
  // Nodes at 0.2, 0.5, 0.8 inside 0..1 are framed by (0, y0) and (1, yn).
  const TNodeCurve curve = Loaded("20,10/50,70/80,40");
  const auto list = curve.PrepareEvaluation();
  ASSERT_EQ(list.size(), 5u);
  // Segment 2 runs from the midpoint of nodes 0.2 and 0.5 to that of 0.5 and 0.8
  // with control (0.5, 0.7): x(t) is linear here, so t = (x - 0.35) / 0.3.
  for (const double x : {0.36, 0.5, 0.6}) {
    const double t = (x - 0.35) / 0.3;
    const double y = (1 - t) * (1 - t) * 0.4 + 2 * t * (1 - t) * 0.7 + t * t * 0.55;
    EXPECT_NEAR(TNodeCurve::Evaluate(list, static_cast<float>(x)), y, 1e-5) << x;
  }
  EXPECT_NEAR(TNodeCurve::Evaluate(list, 0.9995f), 0.4f, 1e-6f);
}

TEST(NodeCurveEvaluation, NodesWithAlmostEqualXCollapse) {
  TNodeCurve curve = Loaded("0,0/50,20/50.000001,80/100,100");
  const auto list = curve.PrepareEvaluation();
  EXPECT_EQ(list.size(), 3u);  // (0,0), (0.5,0.2), (1,1): the second 0.5 is dropped
  EXPECT_EQ(TNodeCurve::Evaluate({}, 0.5f), 0.0f);
}

TEST(NodeCurveTable, SamplesRowCentresAndRepeatsTheLastEntry) {
  const TNodeCurve diagonal;
  const auto table = diagonal.BuildTable(511);
  ASSERT_EQ(table.size(), 512u);
  for (std::size_t i = 0; i < 511; ++i) EXPECT_NEAR(table[i], static_cast<double>(i) + 0.5, 0.5 + 1e-9) << i;
  EXPECT_EQ(table[511], table[510]);

  // Against Evaluate on a real curve: the same spline, sampled the same way.
  const TNodeCurve curve = Loaded("0,0/25,40/60,55/100,100");
  const auto list = curve.PrepareEvaluation();
  const auto curveTable = curve.BuildTable(255);
  for (int i = 0; i < 255; ++i) {
    const double expected = 255 * TNodeCurve::Evaluate(list, static_cast<float>((i + 0.5) / 255));
    EXPECT_NEAR(curveTable[static_cast<std::size_t>(i)], expected, 1.0) << i;
  }
}

TEST(NodeCurveTable, FlatAndSteepCurvesStayInRange) {
  const auto flat = Loaded("0,30/100,30").BuildTable(100);
  for (const int v : flat) EXPECT_EQ(v, 30);
  const auto step = Loaded("0,0/49.9,0/50,100/100,100").BuildTable(64);
  for (const int v : step) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, 64);
  }
}

}  // namespace
}  // namespace slabrip
