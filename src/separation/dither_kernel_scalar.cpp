// The fused kernel lane by lane in plain C++: the reference the SIMD kernels
// are tested against, and what SLABRIP_NOSIMD=1 runs. Every step is the
// SIMD kernel's 16-bit arithmetic, wrap-around and saturation included.
#include <algorithm>

#include "separation/dither_kernel.h"

namespace slabrip {

namespace {

using TLanes = std::array<std::int16_t, 8>;

std::int16_t Wrap(int v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }
// x / 2 truncated toward zero.
std::int16_t HalfTowardZero(std::int16_t x) { return static_cast<std::int16_t>((x + (x < 0 ? 1 : 0)) >> 1); }

class TScalarKernel {
 public:
  explicit TScalarKernel(const TDitherJob& job) : Job(job), Bits(job.TwoBit ? 2 : 1), PerByte(8 / Bits) {
    const TLevelTables& t = *job.Tables;
    for (std::size_t k = 0; k < 3; ++k) {
      Above[k] = Wrap(t.Threshold[k + 1] - 1);
      Step[k] = Wrap(t.Point[k + 1] - t.Point[k]);
    }
  }

 private:
  std::int16_t Quantise(std::int16_t value, std::int16_t errorAbove, std::int16_t& carry) const {
    const auto v = static_cast<std::int16_t>(std::clamp(value + Wrap(errorAbove + carry), 0, 32767));
    int level = 0, point = 0;
    for (std::size_t k = 0; k < 3; ++k)
      if (v > Above[k]) {
        ++level;
        point = Wrap(point + Step[k]);
      }
    carry = HalfTowardZero(Wrap(v - point));
    return static_cast<std::int16_t>(level);
  }

  // One column in every lane; `next` is the error entry that takes the other half.
  void Column(std::size_t x, const TInkVector& value, std::size_t next, TLanes& carry, TLanes& acc,
              bool flush) const {
    const auto shift = static_cast<int>((PerByte - 1 - x % PerByte) * Bits);
    for (std::size_t lane = 0; lane < 8; ++lane) {
      const std::int16_t level = Quantise(value.Lane[lane], Job.Errors[x + 1].Lane[lane], carry[lane]);
      const std::int16_t q = HalfTowardZero(carry[lane]);
      std::int16_t& own = Job.Errors[next].Lane[lane];
      own = Wrap(own + q);
      Job.Errors[x + 1].Lane[lane] = q;
      if (Job.Drops && Job.Out[lane]) ++Job.Drops->Lanes[lane][static_cast<std::size_t>(level)];
      acc[lane] = static_cast<std::int16_t>(acc[lane] | level << shift);
      if (!flush) continue;
      if (Job.Out[lane]) Job.Out[lane][x / PerByte] = static_cast<std::uint8_t>(acc[lane]);
      acc[lane] = 0;
    }
  }

 public:
  void LeftToRight() const {
    TLanes carry{}, acc{};
    std::size_t x = 0;
    for (std::size_t i = 0; i < Job.InputWidth; ++i)
      for (const auto end = static_cast<std::size_t>(Job.ColumnEnds[i]); x < end; ++x)
        Column(x, Job.Input[i], x, carry, acc, x % PerByte == PerByte - 1 || x + 1 == Job.Width);
  }

  void RightToLeft() const {
    TLanes carry{}, acc{};
    std::size_t x = Job.Width;
    for (std::size_t i = Job.InputWidth; i-- > 0;) {
      const std::size_t start = i == 0 ? 0 : static_cast<std::size_t>(Job.ColumnEnds[i - 1]);
      while (x > start) {
        --x;
        Column(x, Job.Input[i], x + 2, carry, acc, x % PerByte == 0);
      }
    }
  }

 private:
  const TDitherJob& Job;
  const std::size_t Bits;
  const std::size_t PerByte;
  std::array<std::int16_t, 3> Above{};
  std::array<std::int16_t, 3> Step{};
};

}  // namespace

void RunDitherJobScalar(const TDitherJob& job) { RunSerpentine(TScalarKernel(job), job.Row); }

}  // namespace slabrip
