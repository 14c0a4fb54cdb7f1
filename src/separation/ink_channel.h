// One ink of a printer row: its values, its ditherer, its packed bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/ref_obj.h"
#include "separation/ink_dither.h"

namespace slabrip {

/// The printer row of one ink lane: ink values 0..32767, then levels after
/// dithering, then packed bytes (from the start of the same storage).
class TInkChannelEx : public TRefObj {
 public:
  explicit TInkChannelEx(int width) { SetWidth(width); }
  ~TInkChannelEx() override { SetDitherer(nullptr); }

  void SetWidth(int width);
  int Width() const { return static_cast<int>(Values.size()); }
  /// All values 0; attaches a new error-diffusion ditherer when there is none.
  void Clear();
  /// Replaces the ditherer, detaching the old one and attaching the new one.
  void SetDitherer(TRef<TInkDither16> ditherer);
  const TRef<TInkDither16>& Ditherer() const { return Ditherer_; }
  void DitherRow(int row);
  /// Packs the levels into `byteCount` bytes at the start of the storage,
  /// first pixel in the most significant bits, unused positions 0, adding
  /// the pixels of each level to `levels` when given.
  void Pack(int byteCount, std::array<std::uint64_t, 4>* levels = nullptr);
  /// The packed bytes (valid after Pack).
  const std::uint8_t* PackedBytes() const { return reinterpret_cast<const std::uint8_t*>(Values.data()); }
  std::uint8_t* PackedBytes() { return reinterpret_cast<std::uint8_t*>(Values.data()); }

  bool TwoBit = true;
  std::uint8_t Index = 0;       // the ink lane this channel carries
  std::int32_t PlaneOrder = 0;  // position in the packed printer row
  std::vector<std::int16_t> Values;
  /// Set by the row that owns the channel: where its ditherer keeps errors.
  TErrorLane SharedErrors;

 private:
  TRef<TInkDither16> Ditherer_;
};

}  // namespace slabrip
