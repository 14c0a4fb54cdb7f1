#include "colour/colour_lut33.h"

#include <algorithm>

namespace slabrip {

namespace {

constexpr TColor32 kRgbMask = 0x00FFFFFF;
constexpr TColor32 kAlphaMask = 0xFF000000;

TColor32 Opaque(int r, int g, int b) {
  return kAlphaMask | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 |
         static_cast<TColor32>(b);
}

// One-entry cache over a grid: runs of one colour interpolate once. The key
// starts as the complement of the first pixel, so that pixel is always computed.
template <bool FourByte>
void ConvertWithCache(const TColor32* grid, const TColor32* source, TColor32* target, std::size_t count) {
  const TColor32 white = grid[lut::kWhiteIndex];
  TColor32 key = ~source[0];
  TColor32 last = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const TColor32 p = source[i];
    const TColor32 rgb = p & kRgbMask;
    if (rgb == kRgbMask) {
      key = kRgbMask;
      target[i] = FourByte ? white : (white & kRgbMask) | (p & kAlphaMask);
      continue;
    }
    if (rgb != key) {
      key = rgb;
      last = lut::Interpolate(grid, p);
    }
    target[i] = FourByte ? last : (last & kRgbMask) | (p & kAlphaMask);
  }
}

}  // namespace

TColorLut33Obj::TColorLut33Obj() : Grid_(kEntryCount, 0) {}

void TColorLut33Obj::MakeIdentity() {
  for (int b = 0; b <= 32; ++b)
    for (int g = 0; g <= 32; ++g)
      for (int r = 0; r <= 32; ++r)
        Grid_[Index(r, g, b)] = Opaque(GridPosition(r), GridPosition(g), GridPosition(b));
  Grid_[kWhiteIndex] = 0xFFFFFFFF;
  Ready = true;
}

void TColorLut33Obj::ImportGrid17(std::span<const TColor32, kGrid17Count> source) {
  // The 17-grid in the low corner of a 33-grid: node k of that grid sits at 8k there.
  TColorLut33Obj low;
  low.CmykOutput = CmykOutput;
  for (int b = 0; b <= 16; ++b)
    for (int g = 0; g <= 16; ++g)
      for (int r = 0; r <= 16; ++r)
        low.Grid_[Index(r, g, b)] = source[static_cast<std::size_t>(b * 289 + g * 17 + r)];
  low.Ready = true;
  // Our node k samples it at 4k: exactly on a 17-grid node for even k, half-way for odd k.
  const auto half = [](int k) { return k < 32 ? 4 * k : 128; };
  for (int b = 0; b <= 32; ++b)
    for (int g = 0; g <= 32; ++g)
      for (int r = 0; r <= 32; ++r) Grid_[Index(r, g, b)] = Opaque(half(r), half(g), half(b));
  Grid_[kWhiteIndex] = 0xFFFFFFFF;
  low.ConvertPixels(Grid_.data(), kEntryCount);
  Grid_[kWhiteIndex] = source[kGrid17Count - 1];
  Ready = true;
}

void TColorLut33Obj::SetAlpha(std::uint8_t alpha) {
  for (TColor32& e : Grid_) e = (e & kRgbMask) | static_cast<TColor32>(alpha) << 24;
}

void TColorLut33Obj::BuildFromFunction(const std::function<TColor32(TColor32)>& fn) {
  MakeIdentity();
  if (fn)
    for (TColor32& e : Grid_) e = fn(e);
}

void TColorLut33Obj::BuildWithCallback(const std::function<void(std::span<TColor32, kEntryCount>)>& fn) {
  MakeIdentity();
  if (fn) fn(Grid());
}

TColor32 TColorLut33Obj::ConvertColour(TColor32 colour) {
  EnsureReady();
  TColor32 out = 0;
  ConvertWithCache<false>(Grid_.data(), &colour, &out, 1);
  return out;
}

void TColorLut33Obj::ConvertPixels(TColor32* pixels, std::size_t count) {
  if (count == 0) return;
  EnsureReady();
  if (CmykOutput)
    ConvertWithCache<true>(Grid_.data(), pixels, pixels, count);
  else
    ConvertWithCache<false>(Grid_.data(), pixels, pixels, count);
}

}  // namespace slabrip
