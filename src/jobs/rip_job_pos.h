// One placed copy or tile of a job on the slab: a 96-byte record stored as hex text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/affine.h"

namespace slabrip {

/// Little-endian record: job index at 0, placed bounds at 4, transform at 61
/// (unaligned); the other bytes belong to the suite and are kept as read.
struct TRipJobPos {
  static constexpr std::size_t kSize = 96;
  static constexpr std::size_t kHexDigits = 2 * kSize;

  std::array<std::uint8_t, kSize> Bytes{};

  /// Index into the slab's jobs; negative draws nothing.
  std::int32_t JobIndex() const;
  /// Where the job's colour correction applies, slab millimetres.
  TRectF PlacedBounds() const;
  /// The job's scaled frame onto the slab.
  TAffine Transform() const;

  void SetJobIndex(std::int32_t index);
  void SetPlacedBounds(const TRectF& bounds);
  void SetTransform(const TAffine& transform);

  /// Decodes 192 hex digits; any other length gives a zero record, and
  /// decoding stops at the first pair that is not two hex digits.
  static TRipJobPos FromHex(std::string_view text);
  /// 192 upper-case hex digits.
  std::string ToHex() const;
};

}  // namespace slabrip
