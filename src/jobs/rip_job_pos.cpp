#include "jobs/rip_job_pos.h"
#include "base/byte_order.h"

#include <bit>

namespace slabrip {

namespace {

constexpr std::size_t kJobIndexAt = 0;
constexpr std::size_t kBoundsAt = 4;
constexpr std::size_t kTransformAt = 61;

template <std::size_t N>
void LoadFloats(const std::uint8_t* p, float (&out)[N]) {
  for (std::size_t i = 0; i < N; ++i) out[i] = LoadLe<float>(p + 4 * i);
}

template <std::size_t N>
void StoreFloats(std::uint8_t* p, const float (&in)[N]) {
  for (std::size_t i = 0; i < N; ++i) StoreLe(p + 4 * i, in[i]);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::int32_t TRipJobPos::JobIndex() const { return LoadLe<std::int32_t>(&Bytes[kJobIndexAt]); }

TRectF TRipJobPos::PlacedBounds() const {
  float v[4];
  LoadFloats(&Bytes[kBoundsAt], v);
  return {v[0], v[1], v[2], v[3]};
}

TAffine TRipJobPos::Transform() const {
  float v[6];
  LoadFloats(&Bytes[kTransformAt], v);
  return {v[0], v[1], v[2], v[3], v[4], v[5]};
}

void TRipJobPos::SetJobIndex(std::int32_t index) { StoreLe(&Bytes[kJobIndexAt], index); }

void TRipJobPos::SetPlacedBounds(const TRectF& b) {
  const float v[4] = {b.MinX, b.MinY, b.MaxX, b.MaxY};
  StoreFloats(&Bytes[kBoundsAt], v);
}

void TRipJobPos::SetTransform(const TAffine& t) {
  const float v[6] = {t.Dx, t.Dy, t.M11, t.M12, t.M21, t.M22};
  StoreFloats(&Bytes[kTransformAt], v);
}

TRipJobPos TRipJobPos::FromHex(std::string_view text) {
  TRipJobPos pos;
  if (text.size() != kHexDigits) return pos;
  for (std::size_t i = 0; i < kSize; ++i) {
    const int hi = HexValue(text[2 * i]);
    const int lo = HexValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0) break;
    pos.Bytes[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return pos;
}

std::string TRipJobPos::ToHex() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(kHexDigits);
  for (const std::uint8_t b : Bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

}  // namespace slabrip
