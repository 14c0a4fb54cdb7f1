// Ditherers: turn one ink channel's 15-bit values into levels, row by row.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ref_obj.h"

namespace slabrip {

class TInkChannelEx;

/// One column's error entries of a channel: entry x at Data[x * Stride].
/// Channels of a row share one interleaved block, so all of them can be
/// diffused in one pass; a lone channel's ditherer keeps its own.
struct TErrorLane {
  std::int16_t* Data = nullptr;
  std::size_t Stride = 1;
  std::size_t Length = 0;  // entries
  std::int16_t& operator[](std::size_t x) const { return Data[x * Stride]; }
};

/// The ditherer interface, so another method can be plugged into a channel.
class TInkDither16 : public TRefObj {
 public:
  virtual std::string Description() const = 0;
  virtual TRef<TInkDither16> NewInstance() const = 0;
  /// Binds to a channel (the channel calls this when the ditherer is set).
  virtual void Attach(TInkChannelEx* channel) { Channel_ = channel; }
  /// Unbinds (the channel calls this when the ditherer is replaced).
  virtual void Detach() { Channel_ = nullptr; }
  /// Dithers the channel's values of printer row `row` into levels in place.
  virtual void DitherRow(int row) = 0;

  TInkChannelEx* Channel() const { return Channel_; }

 protected:
  TInkChannelEx* Channel_ = nullptr;
};

/// Quantisation of one value: its level and half the error it leaves.
struct TLevelTables {
  std::array<std::uint8_t, 32768> LevelOf{};
  std::array<std::int32_t, 32768> HalfError{};
  /// Smallest value of each level 1..3 (32768 for levels the table lacks)
  /// and the dither point values 0..3: the same quantisation as thresholds.
  std::array<std::int32_t, 4> Threshold{};
  std::array<std::int32_t, 4> Point{};
};

/// The tables for two bits (points 0, 10922, 21844, 32767) or one bit (0, 32767).
const TLevelTables& LevelTables(bool twoBit);

/// Serpentine error diffusion: half of the error to the next pixel in the
/// pass direction, a quarter below, a quarter below and behind; even rows
/// run left to right, odd rows right to left. The errors run on across
/// rows for as long as the ditherer stays attached.
class TinkDither_FS16 : public TInkDither16 {
 public:
  std::string Description() const override { return "16 bit Error Diffusion"; }
  TRef<TInkDither16> NewInstance() const override;
  void Attach(TInkChannelEx* channel) override;
  void Detach() override;
  void DitherRow(int row) override;

  bool TwoBit() const { return TwoBit_; }
  /// The error entries in use (width + 2).
  const TErrorLane& Errors() const { return Errors_; }
  /// True when the errors live in the row's shared block.
  bool UsesSharedErrors() const { return Errors_.Data != nullptr && Errors_.Data != OwnErrors_.data(); }

 private:
  bool TwoBit_ = true;
  const TLevelTables* Tables_ = nullptr;
  std::vector<std::int16_t> OwnErrors_;
  TErrorLane Errors_;
};

}  // namespace slabrip
