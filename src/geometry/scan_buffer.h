// The spot rasteriser's scan converter: edges to even-odd spans per pixel row.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/conic.h"

namespace slabrip {

/// One span of a row, from the left to the right crossing.
struct TScanSpan {
  int Row = 0;
  float StartX = 0;
  float EndX = 0;
  int Sign = 0;  // 1 when EndX > StartX, -1 when below, 0 when equal
};

/// Records where edges cross the centres of rows F..F+R-1 and hands out the
/// spans between pairs of crossings (even-odd rule). Rows keep the numbers of
/// the whole picture, so a band of it converts exactly as the whole would.
class TScanBuffer {
 public:
  /// Conics split no deeper than this, so a wild curve cannot explode into
  /// millions of edges; 2^16 edges per conic is far beyond any real one.
  static constexpr int kMaxSplitDepth = 16;

  explicit TScanBuffer(int rowCount, int firstRow = 0);

  /// Adds the crossings of a straight edge; horizontal and non-finite edges add none.
  void AddLine(TPointD p, TPointD q);
  /// Adds a rational quadratic flattened into lines: split while its midpoint
  /// lies farther than sqrt(tolerance) from the chord.
  void AddConic(TPointD start, TPointD control, double weight, double tolerance, TPointD end);
  /// Sorts every row's crossings by x.
  void Finish();
  /// The spans of row y; empty for a row without any or outside the buffer.
  std::vector<TScanSpan> SpansOfRow(int y) const;

  /// The crossings of row y in their current order (sorted after Finish).
  const std::vector<float>& CrossingsOfRow(int y) const {
    return Rows_[static_cast<std::size_t>(y - First_)];
  }

 private:
  void AddConicPart(const TConic& conic, double tolerance, int depth);

  // Edge direction is not needed by the even-odd rule, so a crossing is its x alone.
  std::vector<std::vector<float>> Rows_;
  int First_ = 0;
};

}  // namespace slabrip
