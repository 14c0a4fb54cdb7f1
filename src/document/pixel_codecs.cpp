// Bit-plane delta codes and run-length packing of cmf bitmaps and textures.
#include "document/pixel_codecs.h"
#include "base/byte_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

#include <fmt/format.h>

namespace slabrip {

namespace {

// Eight byte lanes in one 64-bit word: lane i is bits 8i..8i+7, the value of pixel or byte i of a group.
constexpr std::uint64_t kLaneLow = 0x0101010101010101;
constexpr std::uint64_t kLaneHigh = 0x8080808080808080;
// Multiplying lane bits at positions 8i by this moves them to bit 56 + i without carries.
constexpr std::uint64_t kGather = 0x0102040810204080;

constexpr TColor32 kFirstPrevious = 0xFF000000;  // opaque black
constexpr std::size_t kRecordHeader = 20;
constexpr std::size_t kRecordTrailer = 8;

// kSpread[b]: bit i of b moved to bit 0 of lane i, so one plane byte becomes eight lanes.
constexpr std::array<std::uint64_t, 256> kSpread = [] {
  std::array<std::uint64_t, 256> table{};
  for (std::size_t b = 0; b < 256; ++b)
    for (unsigned i = 0; i < 8; ++i) table[b] |= static_cast<std::uint64_t>(b >> i & 1) << (8 * i);
  return table;
}();

// Lane-wise add and subtract modulo 256: the top bits are handled apart so no carry crosses a lane.
template <class T>
constexpr T AddLanes(T a, T b) {
  constexpr T high = static_cast<T>(kLaneHigh);
  return static_cast<T>(((a & ~high) + (b & ~high)) ^ ((a ^ b) & high));
}
template <class T>
constexpr T SubLanes(T a, T b) {
  constexpr T high = static_cast<T>(kLaneHigh);
  return static_cast<T>(((a | high) - (b & ~high)) ^ ((a ^ ~b) & high));
}

std::uint64_t LoadLanes(const std::uint8_t* p) { return LoadLe<std::uint64_t>(p); }
void StoreLanes(std::uint64_t lanes, std::uint8_t* p) { StoreLe(p, lanes); }
std::int32_t LoadInt32(const std::uint8_t* p) { return LoadLe<std::int32_t>(p); }

void StoreInt32(std::int64_t value, std::uint8_t* p) { StoreLe(p, static_cast<std::uint32_t>(value)); }

// The eight lanes of one plane of k bytes: the sign plane sets all bits of
// a lane, each magnitude plane (weight 1, 2, 4 ...) flips one bit.
std::uint64_t DecodePlane(const std::uint8_t* p, unsigned k) {
  if (k == 0) return 0;
  std::uint64_t lanes = kSpread[p[0]] * 0xFF;
  for (unsigned j = 1; j < k; ++j) lanes ^= kSpread[p[j]] << (j - 1);
  return lanes;
}

// Writes eight signed lanes as bit planes and returns k, the smallest plane
// count that holds them. A negative lane v is its sign plus the magnitude
// ~v, so -1 needs no magnitude plane and -128 needs all seven.
unsigned EncodePlane(std::uint64_t lanes, std::uint8_t* out) {
  if (lanes == 0) return 0;
  const std::uint64_t signs = lanes >> 7 & kLaneLow;
  const std::uint64_t magnitudes = (lanes ^ signs * 0xFF) & ~kLaneHigh;
  std::uint64_t any = magnitudes | magnitudes >> 32;
  any |= any >> 16;
  any |= any >> 8;
  const unsigned k = 1 + static_cast<unsigned>(std::bit_width(any & 0x7F));
  out[0] = static_cast<std::uint8_t>(signs * kGather >> 56);
  for (unsigned j = 1; j < k; ++j)
    out[j] = static_cast<std::uint8_t>((magnitudes >> (j - 1) & kLaneLow) * kGather >> 56);
  return k;
}

}  // namespace

bool DecodePackedPixels(std::span<const std::uint8_t> data, std::span<TColor32> out) {
  const std::uint8_t* p = data.data();
  const std::uint8_t* const end = p + data.size();
  TColor32* target = out.data();
  TColor32 previous = kFirstPrevious;
  for (std::size_t groups = out.size() / 8; groups > 0; --groups) {
    if (end - p < 2) return false;
    const unsigned control = static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
    p += 2;
    std::uint64_t planes[4];
    for (unsigned plane = 0; plane < 4; ++plane) {
      const unsigned k = control >> (4 * plane) & 15;
      // A sign and seven magnitude bits fill a byte; larger counts mean corrupt data.
      if (k > 8 || static_cast<std::size_t>(end - p) < k) return false;
      planes[plane] = DecodePlane(p, k);
      p += k;
    }
    const std::uint64_t green = planes[1];
    const std::uint64_t blue = AddLanes(planes[0], green);
    const std::uint64_t red = AddLanes(planes[2], green);
    const std::uint64_t alpha = planes[3];
    for (unsigned i = 0; i < 8; ++i) {
      const unsigned shift = 8 * i;
      const auto delta = static_cast<TColor32>((blue >> shift & 0xFF) | (green >> shift & 0xFF) << 8 |
                                               (red >> shift & 0xFF) << 16 | (alpha >> shift & 0xFF) << 24);
      previous = AddLanes(previous, delta);
      *target++ = previous;
    }
  }
  const std::size_t tail = out.size() % 8;
  if (static_cast<std::size_t>(end - p) / 4 < tail) return false;
  for (std::size_t i = 0; i < tail; ++i, p += 4) *target++ = static_cast<TColor32>(LoadInt32(p));
  return true;
}

std::vector<std::uint8_t> EncodePackedPixels(std::span<const TColor32> pixels) {
  const std::size_t groups = pixels.size() / 8;
  const std::size_t tail = pixels.size() % 8;
  std::vector<std::uint8_t> out;
  out.reserve(groups * 34 + tail * 4);
  const TColor32* source = pixels.data();
  TColor32 previous = kFirstPrevious;
  std::array<std::uint8_t, 2 + 4 * 8> group{};
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint64_t blue = 0, green = 0, red = 0, alpha = 0;
    for (unsigned i = 0; i < 8; ++i) {
      const TColor32 delta = SubLanes(source[i], previous);
      previous = source[i];
      const unsigned shift = 8 * i;
      blue |= static_cast<std::uint64_t>(delta & 0xFF) << shift;
      green |= static_cast<std::uint64_t>(delta >> 8 & 0xFF) << shift;
      red |= static_cast<std::uint64_t>(delta >> 16 & 0xFF) << shift;
      alpha |= static_cast<std::uint64_t>(delta >> 24) << shift;
    }
    source += 8;
    // Blue and red travel as differences from green: in photos the channels move together.
    const std::uint64_t planes[4] = {SubLanes(blue, green), green, SubLanes(red, green), alpha};
    std::uint8_t* p = group.data() + 2;
    unsigned control = 0;
    for (unsigned plane = 0; plane < 4; ++plane) {
      const unsigned k = EncodePlane(planes[plane], p);
      p += k;
      control |= k << (4 * plane);
    }
    group[0] = static_cast<std::uint8_t>(control);
    group[1] = static_cast<std::uint8_t>(control >> 8);
    out.insert(out.end(), group.data(), p);
  }
  for (std::size_t i = 0; i < tail; ++i) {
    std::uint8_t plain[4];
    StoreInt32(source[i], plain);
    out.insert(out.end(), plain, plain + 4);
  }
  return out;
}

bool DecodePackedBytes(std::span<const std::uint8_t> data, std::span<std::uint8_t> out) {
  const std::uint8_t* p = data.data();
  const std::uint8_t* const end = p + data.size();
  std::uint8_t* target = out.data();
  std::uint64_t sum = 0;  // the running sum so far, in every lane
  for (std::size_t groups = out.size() / 16; groups > 0; --groups) {
    if (p == end) return false;
    const unsigned control = *p++;
    for (unsigned half = 0; half < 2; ++half, target += 8) {
      const unsigned k = control >> (4 * half) & 15;
      if (k > 8 || static_cast<std::size_t>(end - p) < k) return false;
      std::uint64_t lanes = DecodePlane(p, k);
      p += k;
      // Prefix sum across the eight lanes, then carry in the sum of everything before.
      lanes = AddLanes(lanes, lanes << 8);
      lanes = AddLanes(lanes, lanes << 16);
      lanes = AddLanes(lanes, lanes << 32);
      lanes = AddLanes(lanes, sum);
      StoreLanes(lanes, target);
      sum = (lanes >> 56) * kLaneLow;
    }
  }
  const std::size_t tail = out.size() % 16;
  if (static_cast<std::size_t>(end - p) < tail) return false;
  auto running = static_cast<std::uint8_t>(sum);
  for (std::size_t i = 0; i < tail; ++i) {
    running = static_cast<std::uint8_t>(running + p[i]);
    target[i] = running;
  }
  return true;
}

std::vector<std::uint8_t> EncodePackedBytes(std::span<const std::uint8_t> bytes) {
  const std::size_t groups = bytes.size() / 16;
  const std::size_t tail = bytes.size() % 16;
  std::vector<std::uint8_t> out;
  out.reserve(groups * 17 + tail);
  const std::uint8_t* source = bytes.data();
  std::uint64_t previous = 0;  // the byte before the lanes, in lane 0
  std::array<std::uint8_t, 1 + 2 * 8> group{};
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint8_t* p = group.data() + 1;
    unsigned control = 0;
    for (unsigned half = 0; half < 2; ++half, source += 8) {
      const std::uint64_t lanes = LoadLanes(source);
      const unsigned k = EncodePlane(SubLanes(lanes, lanes << 8 | previous), p);
      previous = lanes >> 56;
      p += k;
      control |= k << (4 * half);
    }
    group[0] = static_cast<std::uint8_t>(control);
    out.insert(out.end(), group.data(), p);
  }
  auto last = static_cast<std::uint8_t>(previous);
  for (std::size_t i = 0; i < tail; ++i) {
    out.push_back(static_cast<std::uint8_t>(source[i] - last));
    last = source[i];
  }
  return out;
}

namespace {

// Index of the third of the first three equal bytes in a row at or after
// `start`, or a value >= n when there is none. A byte unlike its
// predecessor cannot end a triple, nor can the byte after it.
std::size_t FindTriple(const std::uint8_t* in, std::size_t start, std::size_t n) {
  std::size_t i = start + 2;
  while (i < n) {
    if (in[i] != in[i - 1])
      i += 2;
    else if (in[i] != in[i - 2])
      i += 1;
    else
      break;
  }
  return i;
}

// Appends the run-length packing of `bytes` to `out`.
void AppendRunLength(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
  const std::uint8_t* in = bytes.data();
  const std::size_t n = bytes.size();
  out.reserve(out.size() + n + n / 3 + 1);  // at worst every three bytes gain a count
  std::size_t start = 0;
  while (start < n) {
    const std::size_t third = FindTriple(in, start, n);
    if (third >= n) {
      out.insert(out.end(), in + start, in + n);
      break;
    }
    out.insert(out.end(), in + start, in + third + 1);
    std::size_t next = third + 1;
    const std::size_t limit = std::min(n, next + 255);
    while (next < limit && in[next] == in[third]) ++next;
    out.push_back(static_cast<std::uint8_t>(next - third - 1));
    start = next;
  }
}

}  // namespace

std::optional<std::size_t> RunLengthUnpackedSize(std::span<const std::uint8_t> data, std::size_t maxOut) {
  const std::uint8_t* in = data.data();
  const std::size_t n = data.size();
  std::size_t size = 0;
  for (std::size_t start = 0; start < n;) {
    const std::size_t third = FindTriple(in, start, n);
    const std::size_t copied = std::min(third + 1, n) - start;
    if (third + 1 == n) return std::nullopt;  // the repeat count is missing
    const std::size_t repeat = third < n ? in[third + 1] : 0;
    if (copied > maxOut - size || repeat > maxOut - size - copied) return std::nullopt;
    size += copied + repeat;
    start = third + 2;
  }
  return size;
}

std::optional<std::vector<std::uint8_t>> UnpackRunLength(std::span<const std::uint8_t> data,
                                                         std::size_t maxOut) {
  // Sized first, so the output is allocated once, and only for a stream that unpacks.
  const auto size = RunLengthUnpackedSize(data, maxOut);
  if (!size) return std::nullopt;
  const std::uint8_t* in = data.data();
  const std::size_t n = data.size();
  std::vector<std::uint8_t> out;
  out.reserve(*size);
  for (std::size_t start = 0; start < n;) {
    const std::size_t third = FindTriple(in, start, n);
    out.insert(out.end(), in + start, in + std::min(third + 1, n));
    if (third < n) out.insert(out.end(), in[third + 1], in[third]);
    start = third + 2;
  }
  return out;
}

std::size_t PackedPixelCapacity(std::size_t bytes) { return bytes / 2 * 8; }

std::vector<std::uint8_t> PackRunLength(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out;
  AppendRunLength(bytes, out);
  return out;
}

std::vector<std::uint8_t> EncodeCompressedBitmap(const TBitmap32& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
  const std::vector<std::uint8_t> packed = EncodePackedPixels({bitmap.Pixels(), bitmap.PixelCount()});
  // The runs are packed straight into the record; its sizes are filled in after.
  std::vector<std::uint8_t> out(kRecordHeader);
  out.reserve(kRecordHeader + packed.size() + packed.size() / 3 + 1 + kRecordTrailer);
  AppendRunLength(packed, out);
  const std::size_t m = out.size() - kRecordHeader;
  constexpr std::size_t kMaxSize = std::numeric_limits<std::int32_t>::max();
  if (packed.size() > kMaxSize || m > kMaxSize) return {};
  const std::int32_t sizes[5] = {bitmap.Width(), bitmap.Height(), static_cast<std::int32_t>(m),
                                 ~static_cast<std::int32_t>(m), static_cast<std::int32_t>(packed.size())};
  for (std::size_t i = 0; i < 5; ++i) StoreInt32(sizes[i], &out[4 * i]);
  out.insert(out.end(), kRecordTrailer, 0);
  return out;
}

std::optional<TBitmap32> DecodeCompressedBitmap(std::span<const std::uint8_t> record, std::size_t maxPixels,
                                                std::size_t* consumed, std::string* problem) {
  const auto refuse = [&](std::string why) {
    if (problem != nullptr) *problem = std::move(why);
    return std::nullopt;
  };
  if (record.size() < kRecordHeader) return refuse("the record ends inside its header");
  const std::uint8_t* p = record.data();
  const std::int32_t width = LoadInt32(p);
  const std::int32_t height = LoadInt32(p + 4);
  const std::int32_t m = LoadInt32(p + 8);
  const std::int32_t check = LoadInt32(p + 12);
  const std::int32_t unpacked = LoadInt32(p + 16);
  if (m <= 0 || check != ~m) return refuse(fmt::format("packed size {} fails its check value", m));
  if (width <= 0 || height <= 0) return refuse(fmt::format("size {} x {} is not positive", width, height));
  if (unpacked < 0) return refuse(fmt::format("unpacked size {} is negative", unpacked));
  const std::size_t size = kRecordHeader + static_cast<std::size_t>(m) + kRecordTrailer;
  if (record.size() < size) return refuse("the record runs past its data");
  const std::uint8_t* trailer = p + size - kRecordTrailer;
  if (LoadInt32(trailer) != 0 || LoadInt32(trailer + 4) != 0) return refuse("its closing words are not zero");
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (pixels > std::min(maxPixels, TBitmap32::kMaxPixels))
    return refuse(fmt::format("{} x {} pixels are more than the {} allowed", width, height,
                              std::min(maxPixels, TBitmap32::kMaxPixels)));
  const std::span<const std::uint8_t> runs = record.subspan(kRecordHeader, static_cast<std::size_t>(m));
  const std::size_t maxOut = static_cast<std::size_t>(unpacked) + kRecordTrailer;
  // What the runs unpack to bounds the pixels before anything is allocated:
  // the declared sizes alone would let a small record claim a huge bitmap.
  const auto unpackedSize = RunLengthUnpackedSize(runs, maxOut);
  if (!unpackedSize) return refuse("its run-length data is broken or unpacks past its declared size");
  if (pixels > PackedPixelCapacity(*unpackedSize))
    return refuse(fmt::format("{} x {} pixels cannot be in the {} bytes its data unpacks to", width, height,
                              *unpackedSize));
  const auto packed = UnpackRunLength(runs, maxOut);
  if (!packed) return refuse("its run-length data is broken");
  TBitmap32 bitmap(width, height);
  if (!DecodePackedPixels(*packed, {bitmap.Pixels(), pixels}))
    return refuse(fmt::format("its pixel data ends before {} x {} pixels", width, height));
  if (consumed != nullptr) *consumed = size;
  return bitmap;
}

}  // namespace slabrip
