#include "separation/ink_channel.h"

#include <algorithm>

namespace slabrip {

void TInkChannelEx::SetWidth(int width) { Values.resize(static_cast<std::size_t>(std::max(width, 0)), 0); }

void TInkChannelEx::Clear() {
  std::fill(Values.begin(), Values.end(), 0);
  if (!Ditherer_) SetDitherer(MakeRef<TinkDither_FS16>());
}

void TInkChannelEx::SetDitherer(TRef<TInkDither16> ditherer) {
  if (ditherer == Ditherer_) return;
  if (Ditherer_) Ditherer_->Detach();
  Ditherer_ = std::move(ditherer);
  if (Ditherer_) Ditherer_->Attach(this);
}

void TInkChannelEx::DitherRow(int row) {
  if (Ditherer_) Ditherer_->DitherRow(row);
}

void TInkChannelEx::Pack(int byteCount, std::array<std::uint64_t, 4>* levels) {
  const std::size_t bits = TwoBit ? 2 : 1;
  const std::size_t perByte = 8 / bits;
  const std::size_t width = Values.size();
  // Never more bytes than the storage holds.
  const std::size_t count = std::min(static_cast<std::size_t>(std::max(byteCount, 0)), 2 * width);
  std::uint8_t* out = PackedBytes();
  for (std::size_t k = 0; k < count; ++k) {
    unsigned byte = 0;
    for (std::size_t j = 0; j < perByte; ++j) {
      const std::size_t x = k * perByte + j;
      if (x >= width) break;
      const unsigned level = static_cast<unsigned>(Values[x]) & ((1u << bits) - 1);
      if (levels) ++(*levels)[level];
      byte |= level << (8 - bits * (j + 1));
    }
    // Byte k lies at or before the values it was made from, which are read by now.
    out[k] = static_cast<std::uint8_t>(byte);
  }
}

}  // namespace slabrip
