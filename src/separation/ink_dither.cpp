#include "separation/ink_dither.h"

#include <algorithm>
#include <cstdlib>

#include "separation/ink_channel.h"

namespace slabrip {

namespace {

// Nearest dither point for every value, the later point on a tie.
TLevelTables BuildLevelTables(std::initializer_list<std::int32_t> points) {
  TLevelTables t;
  const std::vector<std::int32_t> p(points);
  for (std::int32_t v = 0; v < 32768; ++v) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < p.size(); ++k)
      if (std::abs(v - p[k]) <= std::abs(v - p[best])) best = k;
    t.LevelOf[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(best);
    t.HalfError[static_cast<std::size_t>(v)] = (v - p[best]) / 2;
  }
  t.Threshold.fill(32768);
  t.Point.fill(p.back());
  for (std::size_t k = 0; k < p.size(); ++k) t.Point[k] = p[k];
  for (std::int32_t v = 32767; v >= 0; --v) t.Threshold[t.LevelOf[static_cast<std::size_t>(v)]] = v;
  t.Threshold[0] = 0;
  return t;
}

}  // namespace

const TLevelTables& LevelTables(bool twoBit) {
  static const TLevelTables twoBits = BuildLevelTables({0, 10922, 21844, 32767});
  static const TLevelTables oneBit = BuildLevelTables({0, 32767});
  return twoBit ? twoBits : oneBit;
}

TRef<TInkDither16> TinkDither_FS16::NewInstance() const { return MakeRef<TinkDither_FS16>(); }

void TinkDither_FS16::Attach(TInkChannelEx* channel) {
  TInkDither16::Attach(channel);
  TwoBit_ = channel->TwoBit;
  Tables_ = &LevelTables(TwoBit_);
  const auto needed = static_cast<std::size_t>(channel->Width()) + 2;
  if (channel->SharedErrors.Data != nullptr && channel->SharedErrors.Length >= needed) {
    Errors_ = channel->SharedErrors;
    OwnErrors_.clear();
  } else {
    OwnErrors_.assign(needed, 0);
    Errors_ = {OwnErrors_.data(), 1, needed};
  }
  for (std::size_t x = 0; x < Errors_.Length; ++x) Errors_[x] = 0;
}

void TinkDither_FS16::Detach() {
  TInkDither16::Detach();
  Tables_ = nullptr;
  OwnErrors_.clear();
  Errors_ = {};
}

void TinkDither_FS16::DitherRow(int row) {
  if (Channel_ == nullptr) return;
  std::int16_t* values = Channel_->Values.data();
  const auto width = static_cast<std::size_t>(Channel_->Width());
  if (Errors_.Length < width + 2) {  // the channel grew after attaching
    OwnErrors_.assign(width + 2, 0);
    Errors_ = {OwnErrors_.data(), 1, width + 2};
  }
  const TLevelTables& t = *Tables_;
  const TErrorLane& e = Errors_;
  // One step: the value with the error from above and the carry, quantised;
  // half the error goes on, a quarter each below and below-behind.
  const auto step = [&](std::size_t x, std::int32_t& carry) {
    const std::int32_t v = std::clamp(values[x] + e[x + 1] + carry, 0, 32767);
    values[x] = t.LevelOf[static_cast<std::size_t>(v)];
    carry = t.HalfError[static_cast<std::size_t>(v)];
    return static_cast<std::int16_t>(carry / 2);
  };
  std::int32_t carry = 0;
  if (row % 2 == 0) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::int16_t q = step(x, carry);
      e[x] = static_cast<std::int16_t>(e[x] + q);
      e[x + 1] = q;
    }
  } else {
    for (std::size_t x = width; x-- > 0;) {
      const std::int16_t q = step(x, carry);
      e[x + 2] = static_cast<std::int16_t>(e[x + 2] + q);
      e[x + 1] = q;
    }
  }
}

}  // namespace slabrip
