#include "geometry/scan_buffer.h"

#include <algorithm>
#include <cmath>

namespace slabrip {

namespace {

// Squared distance of m from the line through a and b (from a when they coincide).
double SquaredDistanceFromChord(TPointD m, TPointD a, TPointD b) {
  const TPointD d = b - a;
  const TPointD v = m - a;
  const double len2 = d.X * d.X + d.Y * d.Y;
  if (len2 == 0) return v.X * v.X + v.Y * v.Y;
  const double cross = d.X * v.Y - d.Y * v.X;
  return cross * cross / len2;
}

}  // namespace

TScanBuffer::TScanBuffer(int rowCount, int firstRow)
    : Rows_(static_cast<std::size_t>(std::max(rowCount, 0))), First_(firstRow) {}

void TScanBuffer::AddLine(TPointD p, TPointD q) {
  if (Rows_.empty()) return;
  const double top = First_;
  const double end = top + static_cast<double>(Rows_.size());
  const double ya = p.Y, yb = q.Y;
  if (!std::isfinite(p.X) || !std::isfinite(q.X) || !std::isfinite(ya) || !std::isfinite(yb)) return;
  if ((ya <= top && yb <= top) || (ya >= end && yb >= end) || ya == yb) return;
  const auto rowOf = [top, end](double y) {
    return static_cast<int>(std::floor(std::clamp(y, top, end - 1) + 0.5));
  };
  const int ra = rowOf(ya), rb = rowOf(yb);
  const double dy = yb - ya;
  const int first = dy > 0 ? ra : rb;
  const int last = dy > 0 ? rb : ra;  // exclusive
  for (int y = first; y < last; ++y) {
    const double v = (y + 0.5 - ya) / dy;
    if (v >= 0 && v <= 1)
      Rows_[static_cast<std::size_t>(y - First_)].push_back(static_cast<float>(p.X + v * (q.X - p.X)));
  }
}

void TScanBuffer::AddConic(TPointD start, TPointD control, double weight, double tolerance, TPointD end) {
  AddConicPart({start, control, end, weight}, tolerance, 0);
}

void TScanBuffer::AddConicPart(const TConic& conic, double tolerance, int depth) {
  const TPointD mid = conic.At(0.5);
  if (depth < kMaxSplitDepth && SquaredDistanceFromChord(mid, conic.P0, conic.P2) > tolerance) {
    TConic left, right;
    conic.Split(left, right);
    AddConicPart(left, tolerance, depth + 1);
    AddConicPart(right, tolerance, depth + 1);
    return;
  }
  AddLine(conic.P0, mid);
  AddLine(mid, conic.P2);
}

void TScanBuffer::Finish() {
  for (auto& row : Rows_) std::sort(row.begin(), row.end());
}

std::vector<TScanSpan> TScanBuffer::SpansOfRow(int y) const {
  std::vector<TScanSpan> spans;
  if (y < First_ || static_cast<std::size_t>(y - First_) >= Rows_.size()) return spans;
  const auto& row = Rows_[static_cast<std::size_t>(y - First_)];
  for (std::size_t i = 0; i + 1 < row.size(); i += 2) {
    const float a = row[i], b = row[i + 1];
    spans.push_back({y, a, b, b > a ? 1 : (b < a ? -1 : 0)});
  }
  return spans;
}

}  // namespace slabrip
