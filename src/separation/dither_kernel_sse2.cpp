// SSE2 (every x86-64) version of the fused kernel: eight 16-bit lanes, one per ink.
#include "separation/dither_kernel.h"

#include <emmintrin.h>

#include <array>

namespace slabrip {

namespace {

// x / 2 truncated toward zero, in every 16-bit lane.
inline __m128i HalfTowardZero(__m128i x) {
  return _mm_srai_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 15)), 1);
}

// The pixels of levels 1, 2 and 3 in a packed byte, as 21-bit fields of one
// word: a row's bytes add up without carrying between the fields.
constexpr unsigned kLevelField = 21;
constexpr std::uint64_t kFieldMask = (std::uint64_t{1} << kLevelField) - 1;

constexpr std::array<std::uint64_t, 256> ByteLevels(unsigned bits) {
  std::array<std::uint64_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte)
    for (unsigned at = 0; at < 8; at += bits)
      if (const unsigned level = byte >> at & ((1u << bits) - 1); level > 0)
        table[byte] += std::uint64_t{1} << (kLevelField * (level - 1));
  return table;
}
constexpr std::array<std::uint64_t, 256> kTwoBitLevels = ByteLevels(2), kOneBitLevels = ByteLevels(1);

class TKernel {
 public:
  explicit TKernel(const TDitherJob& job) : Job(job) {
    const TLevelTables& t = *job.Tables;
    for (int k = 0; k < 3; ++k) {
      // v >= threshold as v > threshold - 1; thresholds of missing levels are 32768, never reached.
      Above[k] = _mm_set1_epi16(static_cast<short>(t.Threshold[static_cast<std::size_t>(k) + 1] - 1));
      Step[k] = _mm_set1_epi16(static_cast<short>(t.Point[static_cast<std::size_t>(k) + 1] -
                                                  t.Point[static_cast<std::size_t>(k)]));
    }
    Bits = job.TwoBit ? 2 : 1;
    PerByte = 8 / Bits;
    Levels = job.TwoBit ? &kTwoBitLevels : &kOneBitLevels;
  }

  // The row's drops into the job's totals; the padding of the last byte is level 0, not counted.
  void AddDrops() const {
    if (Job.Drops == nullptr) return;
    for (std::size_t lane = 0; lane < 8; ++lane) {
      if (!Job.Out[lane]) continue;
      std::array<std::uint64_t, 4>& total = Job.Drops->Lanes[lane];
      std::uint64_t dropped = 0;
      for (std::size_t level = 1; level < 4; ++level) {
        const std::uint64_t count = Counts[lane] >> (kLevelField * (level - 1)) & kFieldMask;
        total[level] += count;
        dropped += count;
      }
      total[0] += Job.Width - dropped;
    }
  }

 private:
  // One pixel: returns its level per lane and leaves the carry for the next.
  __m128i Quantise(__m128i value, __m128i errorAbove, __m128i& carry) const {
    // value + error + carry, clamped to 0..32767: error + carry fits 16 bits, and the
    // saturating add clamps the top exactly as the wide sum would.
    const __m128i v =
        _mm_max_epi16(_mm_adds_epi16(value, _mm_add_epi16(errorAbove, carry)), _mm_setzero_si128());
    const __m128i m1 = _mm_cmpgt_epi16(v, Above[0]);
    const __m128i m2 = _mm_cmpgt_epi16(v, Above[1]);
    const __m128i m3 = _mm_cmpgt_epi16(v, Above[2]);
    const __m128i level = _mm_sub_epi16(_mm_setzero_si128(), _mm_add_epi16(_mm_add_epi16(m1, m2), m3));
    const __m128i point = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(m1, Step[0]), _mm_and_si128(m2, Step[1])),
                                        _mm_and_si128(m3, Step[2]));
    carry = HalfTowardZero(_mm_sub_epi16(v, point));
    return level;
  }

  __m128i Load(std::size_t x) const {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(&Job.Errors[x]));
  }
  void Store(std::size_t x, __m128i v) const {
    _mm_store_si128(reinterpret_cast<__m128i*>(&Job.Errors[x]), v);
  }

  // Adds a level at column x into the byte being built; writes the byte out when `flush`.
  void Collect(std::size_t x, __m128i level, __m128i& acc, bool flush) {
    const auto shift = static_cast<int>((PerByte - 1 - x % PerByte) * Bits);
    acc = _mm_or_si128(acc, _mm_sll_epi16(level, _mm_cvtsi32_si128(shift)));
    if (!flush) return;
    alignas(16) std::uint8_t bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), _mm_packus_epi16(acc, acc));
    for (std::size_t lane = 0; lane < 8; ++lane)
      if (Job.Out[lane]) {
        Job.Out[lane][x / PerByte] = bytes[lane];
        Counts[lane] += (*Levels)[bytes[lane]];
      }
    acc = _mm_setzero_si128();
  }

  __m128i InputAt(std::size_t i) const {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(&Job.Input[i]));
  }

 public:
  void LeftToRight() {
    __m128i carry = _mm_setzero_si128(), acc = _mm_setzero_si128();
    std::size_t x = 0;
    for (std::size_t i = 0; i < Job.InputWidth; ++i) {
      const auto end = static_cast<std::size_t>(Job.ColumnEnds[i]);
      if (x >= end) continue;
      const __m128i value = InputAt(i);
      for (; x < end; ++x) {
        const __m128i level = Quantise(value, Load(x + 1), carry);
        const __m128i q = HalfTowardZero(carry);
        Store(x, _mm_add_epi16(Load(x), q));
        Store(x + 1, q);
        Collect(x, level, acc, x % PerByte == PerByte - 1 || x + 1 == Job.Width);
      }
    }
  }

  void RightToLeft() {
    __m128i carry = _mm_setzero_si128(), acc = _mm_setzero_si128();
    std::size_t x = Job.Width;
    for (std::size_t i = Job.InputWidth; i-- > 0;) {
      const std::size_t start = i == 0 ? 0 : static_cast<std::size_t>(Job.ColumnEnds[i - 1]);
      if (start >= x) continue;
      const __m128i value = InputAt(i);
      while (x > start) {
        --x;
        const __m128i level = Quantise(value, Load(x + 1), carry);
        const __m128i q = HalfTowardZero(carry);
        Store(x + 2, _mm_add_epi16(Load(x + 2), q));
        Store(x + 1, q);
        Collect(x, level, acc, x % PerByte == 0);
      }
    }
  }

 private:
  const TDitherJob& Job;
  __m128i Above[3];
  __m128i Step[3];
  std::size_t Bits;
  std::size_t PerByte;
  const std::array<std::uint64_t, 256>* Levels;
  std::array<std::uint64_t, 8> Counts{};  // per lane, of the bytes written
};

}  // namespace

void RunDitherJobSse2(const TDitherJob& job) {
  TKernel kernel(job);
  RunSerpentine(kernel, job.Row);
  kernel.AddDrops();
}

}  // namespace slabrip
