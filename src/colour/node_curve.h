// Tone curves given by a few nodes: ink curves, ink splits and the contrast curve.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace slabrip {

struct TNodePt {
  float X = 0;
  float Y = 0;
  friend bool operator==(const TNodePt&, const TNodePt&) = default;
};

/// A smooth curve from 0..1 to 0..1: a quadratic B-spline that starts at
/// the first node, ends at the last and bends towards the nodes between.
/// Stored as text: "x,y" pairs in percent separated by "/", e.g. "0,0/50,62.5/100,100".
class TNodeCurve {
 public:
  /// The evaluation list: the nodes framed so that the curve covers 0..1.
  using TEvalList = std::vector<TNodePt>;

  /// The nodes (0, 0) and (1, 1).
  TNodeCurve();

  void Reset();
  int Count() const { return static_cast<int>(Nodes_.size()); }
  /// The node at `i`, or nullptr out of range.
  const TNodePt* Node(int i) const;

  /// Loads at least two valid nodes from text; otherwise false and the nodes stay.
  bool LoadFromText(std::string_view text);

  /// The list Evaluate works from; empty with fewer than two nodes.
  TEvalList PrepareEvaluation() const;
  /// y at x on a prepared list; 0 for a list with fewer than three entries.
  static float Evaluate(const TEvalList& list, float x);
  /// y at x, preparing the list for this one call.
  float Evaluate(float x) const { return Evaluate(PrepareEvaluation(), x); }

  /// N + 1 entries: entry i is the curve at x = (i + 0.5) / N times N,
  /// rounded into 0..N; the last entry repeats the one before. N is 1..65536.
  std::vector<std::int32_t> BuildTable(int n) const;

 private:
  std::vector<TNodePt> Nodes_;
};

}  // namespace slabrip
