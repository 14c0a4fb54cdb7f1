#include "colour/node_curve.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/float_compare.h"
#include "base/number_text.h"
#include "base/rounding.h"
#include "geometry/scan_buffer.h"

namespace slabrip {

namespace {

struct TSegment {
  TNodePt S, C, E;
};

// Segment k of a list P0..Pn-1: control Pk, from the midpoint before it (P0
// for the first) to the midpoint after it (Pn-1 for the last).
TSegment SegmentOf(const TNodeCurve::TEvalList& list, std::size_t k) {
  const std::size_t n = list.size();
  const float a = k == 1 ? 0.0f : 0.5f;
  const float b = k == n - 2 ? 1.0f : 0.5f;
  const TNodePt &p = list[k - 1], &c = list[k], &q = list[k + 1];
  return {{p.X + (c.X - p.X) * a, p.Y + (c.Y - p.Y) * a}, c, {c.X + (q.X - c.X) * b, c.Y + (q.Y - c.Y) * b}};
}

// Smallest root of a + b t + c t^2 in [0, 1], or 0.5 when there is none.
double SmallestRootInUnit(double a, double b, double c) {
  constexpr double kSlack = 1e-9;  // roots a rounding error outside 0..1 still count
  double best = std::numeric_limits<double>::infinity();
  const auto consider = [&](double t) {
    if (t >= -kSlack && t <= 1 + kSlack) best = std::min(best, std::clamp(t, 0.0, 1.0));
  };
  if (c == 0) {
    if (b != 0) consider(-a / b);
  } else {
    const double disc = b * b - 4 * c * a;
    if (disc >= 0) {
      const double root = std::sqrt(disc);
      // The stable pair of formulas avoids cancellation in -b + root.
      const double q = -0.5 * (b + std::copysign(root, b));
      consider(q / c);
      if (q != 0) consider(a / q);
    }
  }
  return std::isfinite(best) ? best : 0.5;
}

}  // namespace

TNodeCurve::TNodeCurve() { Reset(); }

void TNodeCurve::Reset() { Nodes_ = {{0, 0}, {1, 1}}; }

const TNodePt* TNodeCurve::Node(int i) const {
  return i >= 0 && i < Count() ? &Nodes_[static_cast<std::size_t>(i)] : nullptr;
}

bool TNodeCurve::LoadFromText(std::string_view text) {
  if (text.empty()) return false;
  // "/" separates nodes; a final "/" does not start another one.
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    const std::size_t slash = text.find('/', start);
    lines.push_back(text.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  if (lines.back().empty()) lines.pop_back();
  if (lines.size() < 2) return false;
  std::vector<TNodePt> nodes;
  for (const std::string_view line : lines) {
    std::string clean;
    for (const char ch : line)
      if (ch != '"') clean += ch;
    const std::size_t comma = clean.find(',');
    if (comma == std::string::npos) continue;
    const auto x = ParseFloat32(std::string_view(clean).substr(0, comma));
    const auto y = ParseFloat32(std::string_view(clean).substr(comma + 1));
    if (!x || !y || *x < 0 || *x > 100 || *y < 0 || *y > 100) continue;
    nodes.push_back({*x / 100, *y / 100});
  }
  if (nodes.size() < 2) return false;
  std::stable_sort(nodes.begin(), nodes.end(), [](const TNodePt& a, const TNodePt& b) { return a.X < b.X; });
  Nodes_ = std::move(nodes);
  return true;
}

TNodeCurve::TEvalList TNodeCurve::PrepareEvaluation() const {
  TEvalList list;
  if (Nodes_.size() < 2) return list;
  list.push_back({0, Nodes_.front().Y});
  for (const TNodePt& node : Nodes_)
    if (UlpDistance(node.X, list.back().X) > 5) list.push_back(node);
  if (Nodes_.back().X < 1 || list.size() <= 2) list.push_back({1, Nodes_.back().Y});
  return list;
}

float TNodeCurve::Evaluate(const TEvalList& list, float x) {
  if (list.size() < 3) return 0;
  // The segment whose x range holds x, or else the nearest one.
  TSegment seg = SegmentOf(list, 1);
  float bestD = std::numeric_limits<float>::infinity();
  for (std::size_t k = 1; k + 1 < list.size(); ++k) {
    const TSegment s = SegmentOf(list, k);
    const float d = std::max({0.0f, s.S.X - x, x - s.E.X});
    if (d < bestD) {
      bestD = d;
      seg = s;
    }
    if (d == 0) break;
  }
  double t = 0;
  if (x <= 0.0001f) {
    t = 0;
  } else if (x >= 0.9999f) {
    t = 1;
  } else {
    t = SmallestRootInUnit(static_cast<double>(seg.S.X) - x, 2.0 * (seg.C.X - seg.S.X),
                           static_cast<double>(seg.S.X) - 2.0 * seg.C.X + seg.E.X);
  }
  const double y = seg.S.Y + 2 * t * (seg.C.Y - seg.S.Y) + t * t * (seg.S.Y - 2.0 * seg.C.Y + seg.E.Y);
  return static_cast<float>(y);
}

std::vector<std::int32_t> TNodeCurve::BuildTable(int n) const {
  n = std::clamp(n, 1, 65536);
  std::vector<std::int32_t> table(static_cast<std::size_t>(n) + 1, 0);
  const TEvalList list = PrepareEvaluation();
  if (list.size() < 3) return table;
  // Axes swapped: rows run along the curve's x, crossings give N * y.
  TScanBuffer buffer(n + 1);
  const auto swap = [n](const TNodePt& p) { return TPointD{n * double{p.Y}, n * double{p.X}}; };
  for (std::size_t k = 1; k + 1 < list.size(); ++k) {
    const TSegment s = SegmentOf(list, k);
    buffer.AddConic(swap(s.S), swap(s.C), 1.0, 0.25, swap(s.E));
  }
  buffer.Finish();
  for (int i = 0; i <= n; ++i) {
    const auto& crossings = buffer.CrossingsOfRow(i);
    if (!crossings.empty())
      table[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(RoundClamp(crossings.front(), 0, n));
  }
  table[static_cast<std::size_t>(n)] = table[static_cast<std::size_t>(n) - 1];
  return table;
}

}  // namespace slabrip
