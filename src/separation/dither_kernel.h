// The fused expand, error-diffuse and pack kernel over all ink lanes at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "colour/ink_vector.h"
#include "separation/ink_dither.h"

namespace slabrip {

/// Pixels of each level per ink lane, over the rows dithered: the drops the
/// printer lays down (level 0 is no drop).
struct TDropCounts {
  std::array<std::array<std::uint64_t, 4>, 8> Lanes{};  // [lane][level]
  bool operator==(const TDropCounts&) const = default;
};

/// One printer row for every lane: the input vectors replicated over their
/// columns, diffused with the same arithmetic as TinkDither_FS16 on the
/// interleaved error entries, and packed into each lane's output bytes.
struct TDitherJob {
  const TInkVector* Input = nullptr;
  const std::int32_t* ColumnEnds = nullptr;  // exclusive end column per input pixel
  std::size_t InputWidth = 0;
  std::size_t Width = 0;         // printer pixels
  TInkVector* Errors = nullptr;  // Width + 2 entries, lane i for lane i
  const TLevelTables* Tables = nullptr;
  bool TwoBit = true;
  std::array<std::uint8_t*, 8> Out{};  // packed bytes per lane, nullptr for lanes without a channel
  int Row = 0;                         // even: left to right, odd: right to left
  TDropCounts* Drops = nullptr;        // when set, the levels of the lanes with output are added to it
};

/// A kernel's pass over the row in the row's direction: even rows left to
/// right, odd rows right to left.
template <typename TPasses>
void RunSerpentine(TPasses&& kernel, int row) {
  if (row % 2 == 0)
    kernel.LeftToRight();
  else
    kernel.RightToLeft();
}

/// The kernel each machine runs, chosen once at start-up: SSE2 (part of
/// every x86-64), or the scalar reference when SLABRIP_NOSIMD=1 is set.
struct TDitherKernel {
  const char* Name;
  void (*Run)(const TDitherJob& job);
};
const TDitherKernel& ChosenDitherKernel();

void RunDitherJobSse2(const TDitherJob& job);
void RunDitherJobScalar(const TDitherJob& job);

/// Runs the job with the chosen kernel.
inline void RunDitherJob(const TDitherJob& job) { ChosenDitherKernel().Run(job); }

}  // namespace slabrip
