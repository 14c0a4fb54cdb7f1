// Ink bytes to ink vectors: the four 256-entry tables the four-ink path expands through.
#pragma once

#include <array>
#include <cstddef>

#include <emmintrin.h>  // SSE2, part of every x86-64, the one target

#include "colour/color32.h"
#include "colour/ink_vector.h"

namespace slabrip {

/// Per colour (cyan, magenta, yellow, black) and byte value, the ink values
/// of that colour's inks: cyan writes lanes 0 and 4, magenta 1 and 5,
/// yellow 2, black 3, so the four never overlap.
using TChannelTables = std::array<std::array<TInkVector, 256>, 4>;

/// Entry i of table c has lane c = i * 32767 / 255 rounded half to even.
TChannelTables StartupChannelTables();

/// The expansion tables one engine owns; every completed ink-manager build
/// publishes its channel tables here.
class TExpansionTables {
 public:
  TExpansionTables() : Tables_(StartupChannelTables()) {}

  void Publish(const TChannelTables& tables) { Tables_ = tables; }
  const TChannelTables& Tables() const { return Tables_; }

  /// The OR of cyan[c], magenta[m], yellow[y] and black[k].
  TInkVector ExpandInks(std::uint8_t c, std::uint8_t m, std::uint8_t y, std::uint8_t k) const {
    TInkVector out;
    Or4(Tables_[0][c], Tables_[1][m], Tables_[2][y], Tables_[3][k], out);
    return out;
  }

  /// ExpandInks of each four-byte result (C in byte 0 .. K in byte 3);
  /// a repeat of the previous result repeats its vector.
  void ExpandRow(const TColor32* inks, std::size_t count, TInkVector* out) const {
    for (std::size_t i = 0; i < count; ++i) {
      const TColor32 v = inks[i];
      if (i > 0 && v == inks[i - 1]) {
        out[i] = out[i - 1];
        continue;
      }
      Or4(Tables_[0][v & 255], Tables_[1][v >> 8 & 255], Tables_[2][v >> 16 & 255], Tables_[3][v >> 24],
          out[i]);
    }
  }

 private:
  static void Or4(const TInkVector& a, const TInkVector& b, const TInkVector& c, const TInkVector& d,
                  TInkVector& out) {
    const auto load = [](const TInkVector& v) {
      return _mm_load_si128(reinterpret_cast<const __m128i*>(&v));
    };
    _mm_store_si128(reinterpret_cast<__m128i*>(&out),
                    _mm_or_si128(_mm_or_si128(load(a), load(b)), _mm_or_si128(load(c), load(d))));
  }

  TChannelTables Tables_;
};

}  // namespace slabrip
