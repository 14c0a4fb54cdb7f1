// Packed pixels, packed bytes, run-length packing and the compressed bitmap record.
#include "document/pixel_codecs.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace slabrip {
namespace {

using TBytes = std::vector<std::uint8_t>;

// Straight-from-the-format decoders, one bit and one byte at a time, to
// compare the word-wide ones against.
namespace reference {

bool Plane(std::span<const std::uint8_t> data, std::size_t& pos, unsigned k,
           std::array<std::uint8_t, 8>& lanes) {
  lanes.fill(0);
  if (k > 8 || data.size() - pos < k) return false;
  for (unsigned j = 0; j < k; ++j)
    for (unsigned i = 0; i < 8; ++i) {
      if ((data[pos + j] >> i & 1) == 0) continue;
      if (j == 0)
        lanes[i] = 0xFF;
      else
        lanes[i] = static_cast<std::uint8_t>(lanes[i] ^ (1u << (j - 1)));
    }
  pos += k;
  return true;
}

std::optional<std::vector<TColor32>> Pixels(std::span<const std::uint8_t> data, std::size_t count) {
  std::vector<TColor32> out;
  std::size_t pos = 0;
  std::uint8_t previous[4] = {0, 0, 0, 255};  // B, G, R, A
  for (std::size_t g = 0; g < count / 8; ++g) {
    if (data.size() - pos < 2) return std::nullopt;
    const unsigned control = data[pos] + 256u * data[pos + 1];
    pos += 2;
    std::array<std::array<std::uint8_t, 8>, 4> planes{};
    for (unsigned p = 0; p < 4; ++p)
      if (!Plane(data, pos, control >> (4 * p) & 15, planes[p])) return std::nullopt;
    for (unsigned i = 0; i < 8; ++i) {
      const std::uint8_t delta[4] = {static_cast<std::uint8_t>(planes[0][i] + planes[1][i]), planes[1][i],
                                     static_cast<std::uint8_t>(planes[2][i] + planes[1][i]), planes[3][i]};
      TColor32 pixel = 0;
      for (unsigned c = 0; c < 4; ++c) {
        previous[c] = static_cast<std::uint8_t>(previous[c] + delta[c]);
        pixel |= static_cast<TColor32>(previous[c]) << (8 * c);
      }
      out.push_back(pixel);
    }
  }
  for (std::size_t i = 0; i < count % 8; ++i, pos += 4) {
    if (data.size() - pos < 4) return std::nullopt;
    out.push_back(static_cast<TColor32>(data[pos] | data[pos + 1] << 8 | data[pos + 2] << 16) |
                  static_cast<TColor32>(data[pos + 3]) << 24);
  }
  return out;
}

std::optional<TBytes> Bytes(std::span<const std::uint8_t> data, std::size_t count) {
  TBytes out;
  std::size_t pos = 0;
  for (std::size_t g = 0; g < count / 16; ++g) {
    if (pos == data.size()) return std::nullopt;
    const unsigned control = data[pos++];
    for (unsigned half = 0; half < 2; ++half) {
      std::array<std::uint8_t, 8> lanes{};
      if (!Plane(data, pos, control >> (4 * half) & 15, lanes)) return std::nullopt;
      out.insert(out.end(), lanes.begin(), lanes.end());
    }
  }
  if (data.size() - pos < count % 16) return std::nullopt;
  out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
             data.begin() + static_cast<std::ptrdiff_t>(pos + count % 16));
  for (std::size_t i = 1; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(out[i] + out[i - 1]);
  return out;
}

std::optional<TBytes> RunLength(std::span<const std::uint8_t> data, std::size_t maxOut) {
  TBytes out;
  int same = 0;
  std::uint8_t last = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    same = same > 0 && data[i] == last ? same + 1 : 1;
    last = data[i];
    out.push_back(last);
    if (same == 3) {
      if (i + 1 == data.size()) return std::nullopt;
      out.insert(out.end(), data[++i], last);
      same = 0;
    }
    if (out.size() > maxOut) return std::nullopt;
  }
  return out;
}

}  // namespace reference

TColor32 Argb(int a, int r, int g, int b) {
  return static_cast<TColor32>(a) << 24 | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 |
         static_cast<TColor32>(b);
}

// Smooth gradients with a little noise, like a scanned photo.
std::vector<TColor32> Photo(int width, int height, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-3, 3);
  std::vector<TColor32> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto channel = [&](double v) { return std::clamp(static_cast<int>(v) + noise(random), 0, 255); };
      pixels.push_back(Argb(255, channel(3.0 * x), channel(128 + 100 * std::sin(0.1 * x + 0.05 * y)),
                            channel(255 - 2.0 * y)));
    }
  return pixels;
}

std::vector<TColor32> RandomPixels(std::size_t count, std::mt19937& random) {
  std::vector<TColor32> pixels(count);
  for (TColor32& p : pixels) p = static_cast<TColor32>(random());
  return pixels;
}

// Bytes from a small alphabet, so runs of three and more are common.
TBytes RunnyBytes(std::size_t count, std::mt19937& random) {
  std::uniform_int_distribution<int> pick(0, 2);
  TBytes bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(0x40 + pick(random));
  return bytes;
}

// A stream shaped like packed data, with now and then a plane count above
// eight, and cut short in a quarter of the cases.
TBytes PlausibleStream(std::size_t groups, std::size_t tailBytes, bool wordControl, std::mt19937& random) {
  TBytes data;
  const unsigned planes = wordControl ? 4 : 2;
  for (std::size_t g = 0; g < groups; ++g) {
    unsigned control = 0;
    for (unsigned p = 0; p < planes; ++p)
      control |= static_cast<unsigned>(random() % 20 == 0 ? 9 + random() % 7 : random() % 9) << (4 * p);
    data.push_back(static_cast<std::uint8_t>(control));
    if (wordControl) data.push_back(static_cast<std::uint8_t>(control >> 8));
    for (unsigned p = 0; p < planes; ++p)
      for (unsigned j = 0; j < std::min(8u, control >> (4 * p) & 15); ++j)
        data.push_back(static_cast<std::uint8_t>(random()));
  }
  for (std::size_t i = 0; i < tailBytes; ++i) data.push_back(static_cast<std::uint8_t>(random()));
  if (random() % 4 == 0) data.resize(random() % (data.size() + 1));
  return data;
}

std::optional<std::vector<TColor32>> DecodePixels(std::span<const std::uint8_t> data, std::size_t count) {
  std::vector<TColor32> out(count);
  if (!DecodePackedPixels(data, out)) return std::nullopt;
  return out;
}

std::optional<TBytes> DecodeBytes(std::span<const std::uint8_t> data, std::size_t count) {
  TBytes out(count);
  if (!DecodePackedBytes(data, out)) return std::nullopt;
  return out;
}

// --- 32-bit packed pixels -------------------------------------------------

TEST(PackedPixels, ControlWordZeroRepeatsThePreviousPixelStartingFromOpaqueBlack) {
  EXPECT_EQ(DecodePixels(TBytes{0, 0, 0, 0}, 16), std::vector<TColor32>(16, 0xFF000000));
  // Green +1 on every pixel of the first group, then a group of no change.
  const auto pixels = DecodePixels(TBytes{0x20, 0x00, 0x00, 0xFF, 0x00, 0x00}, 16);
  ASSERT_TRUE(pixels);
  EXPECT_EQ((*pixels)[7], 0xFF080808);
  EXPECT_EQ(std::vector<TColor32>(pixels->begin() + 8, pixels->end()), std::vector<TColor32>(8, 0xFF080808));
}

TEST(PackedPixels, NinePixelsAreOneGroupAndOnePlainPixel) {
  const TBytes stream = {0x20, 0x00, 0x00, 0xFF, 0x11, 0x22, 0x33, 0x44};
  std::vector<TColor32> expected;
  for (TColor32 i = 1; i <= 8; ++i) expected.push_back(0xFF000000 + i * 0x010101);
  expected.push_back(0x44332211);
  EXPECT_EQ(DecodePixels(stream, 9), expected);
  EXPECT_EQ(EncodePackedPixels(expected), stream);
}

TEST(PackedPixels, PlaneBitIBelongsToPixelIAndTheSignPlaneSetsEveryBit) {
  // Alpha plane, sign only: pixels 0 and 2 step down by one.
  auto pixels = DecodePixels(TBytes{0x00, 0x10, 0x05}, 8);
  ASSERT_TRUE(pixels);
  EXPECT_EQ((*pixels)[0], 0xFE000000);
  EXPECT_EQ((*pixels)[1], 0xFE000000);
  EXPECT_EQ((*pixels)[2], 0xFD000000);
  EXPECT_EQ((*pixels)[7], 0xFD000000);
  // Blue plane, sign and all seven magnitude bits on pixel 0: -1 ^ 127 = -128.
  pixels = DecodePixels(TBytes{0x08, 0x00, 0x01, 1, 1, 1, 1, 1, 1, 1}, 8);
  ASSERT_TRUE(pixels);
  EXPECT_EQ(*pixels, std::vector<TColor32>(8, 0xFF000080));
  // Green +1 on pixel 0 is added back to blue and red; a blue plane of -1 cancels it for blue.
  EXPECT_EQ(DecodePixels(TBytes{0x21, 0x00, 0x01, 0x00, 0x01}, 8), std::vector<TColor32>(8, 0xFF010100));
}

TEST(PackedPixels, EachPlaneGetsTheSmallestCountThatHoldsItsDeltas) {
  const std::pair<int, unsigned> cases[] = {{0, 0},  {1, 2},   {-1, 1},  {2, 3},   {-2, 2},  {63, 7},
                                            {64, 8}, {-64, 7}, {-65, 8}, {127, 8}, {-128, 8}};
  for (const auto& [delta, k] : cases) {
    std::vector<TColor32> pixels(8, Argb((255 + delta) & 255, 0, 0, 0));
    const TBytes stream = EncodePackedPixels(pixels);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(stream[0] | stream[1] << 8, static_cast<int>(k << 12)) << "alpha delta " << delta;
    EXPECT_EQ(stream.size(), 2 + k) << "alpha delta " << delta;
    EXPECT_EQ(DecodePixels(stream, 8), pixels);
  }
}

TEST(PackedPixels, AnUnchangingPictureCostsTwoBytesPerGroup) {
  for (std::size_t n : {0u, 8u, 13u, 64u, 1001u}) {
    const std::vector<TColor32> black(n, 0xFF000000);
    EXPECT_EQ(EncodePackedPixels(black).size(), n / 8 * 2 + n % 8 * 4);
  }
  const auto photo = Photo(64, 64, 3);
  EXPECT_LT(EncodePackedPixels(photo).size(), photo.size() * 4 * 3 / 4);
}

TEST(PackedPixels, EveryLengthUpTo100RoundTripsAndMatchesTheReference) {
  std::mt19937 random(1);
  for (std::size_t n = 0; n <= 100; ++n) {
    for (const auto& pixels :
         {RandomPixels(n, random), Photo(static_cast<int>(n), 1, static_cast<std::uint32_t>(n))}) {
      const TBytes stream = EncodePackedPixels(pixels);
      EXPECT_EQ(DecodePixels(stream, n), pixels) << n << " pixels";
      EXPECT_EQ(reference::Pixels(stream, n), pixels) << n << " pixels";
    }
  }
}

TEST(PackedPixels, DataThatEndsEarlyFails) {
  const auto photo = Photo(37, 1, 5);
  const TBytes stream = EncodePackedPixels(photo);
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    const std::span<const std::uint8_t> prefix(stream.data(), cut);
    EXPECT_FALSE(DecodePixels(prefix, photo.size())) << "cut at " << cut;
  }
  TBytes longer = stream;
  longer.insert(longer.end(), {1, 2, 3, 4, 5});
  EXPECT_EQ(DecodePixels(longer, photo.size()), photo);
}

TEST(PackedPixels, PlaneCountsAboveEightAreRefused) {
  const TBytes nine = {0x09, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_FALSE(DecodePixels(nine, 8));
  const TBytes fifteen = {0x00, 0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_FALSE(DecodePixels(fifteen, 8));
}

TEST(PackedPixels, AgreesWithTheReferenceOnArbitraryStreams) {
  std::mt19937 random(7);
  int decoded = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const std::size_t count = random() % 50;
    const TBytes data = PlausibleStream(count / 8, 4 * (count % 8), true, random);
    const auto ours = DecodePixels(data, count);
    EXPECT_EQ(ours, reference::Pixels(data, count)) << "trial " << trial;
    decoded += ours.has_value();
  }
  EXPECT_GT(decoded, 500);  // both outcomes were exercised
  EXPECT_LT(decoded, 2500);
}

// --- 8-bit packed bytes ---------------------------------------------------

TEST(PackedBytes, APlainTailHoldsDeltasOfTheRunningSum) {
  EXPECT_EQ(DecodeBytes(TBytes{10, 10, 10}, 3), (TBytes{10, 20, 30}));
  EXPECT_EQ(EncodePackedBytes(TBytes{10, 20, 30}), (TBytes{10, 10, 10}));
  EXPECT_EQ(DecodeBytes(TBytes{250, 10}, 2), (TBytes{250, 4}));
}

TEST(PackedBytes, SixteenBytesAreTwoPlanesUnderOneControlByte) {
  // First eight +1 each (two plane bytes), next eight -1 each (sign only), then one plain delta.
  const TBytes stream = {0x12, 0x00, 0xFF, 0xFF, 0x05};
  const TBytes bytes = {1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 0, 5};
  EXPECT_EQ(DecodeBytes(stream, 17), bytes);
  EXPECT_EQ(EncodePackedBytes(bytes), stream);
}

TEST(PackedBytes, EveryLengthUpTo100RoundTripsAndMatchesTheReference) {
  std::mt19937 random(2);
  for (std::size_t n = 0; n <= 100; ++n) {
    TBytes noise(n), ramp(n);
    for (std::size_t i = 0; i < n; ++i) {
      noise[i] = static_cast<std::uint8_t>(random());
      ramp[i] = static_cast<std::uint8_t>(3 * i + random() % 3);
    }
    for (const TBytes& bytes : {noise, ramp}) {
      const TBytes stream = EncodePackedBytes(bytes);
      EXPECT_EQ(DecodeBytes(stream, n), bytes) << n << " bytes";
      EXPECT_EQ(reference::Bytes(stream, n), bytes) << n << " bytes";
    }
  }
}

TEST(PackedBytes, DataThatEndsEarlyFailsAndCountsAboveEightAreRefused) {
  TBytes ramp(45);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i * i);
  const TBytes stream = EncodePackedBytes(ramp);
  for (std::size_t cut = 0; cut < stream.size(); ++cut)
    EXPECT_FALSE(DecodeBytes(std::span(stream.data(), cut), ramp.size())) << "cut at " << cut;
  EXPECT_FALSE(DecodeBytes(TBytes(20, 0x09), 16));
  EXPECT_FALSE(DecodeBytes(TBytes(20, 0x90), 16));
}

TEST(PackedBytes, AgreesWithTheReferenceOnArbitraryStreams) {
  std::mt19937 random(8);
  int decoded = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const std::size_t count = random() % 70;
    const TBytes data = PlausibleStream(count / 16, count % 16, false, random);
    const auto ours = DecodeBytes(data, count);
    EXPECT_EQ(ours, reference::Bytes(data, count)) << "trial " << trial;
    decoded += ours.has_value();
  }
  EXPECT_GT(decoded, 500);
  EXPECT_LT(decoded, 2500);
}

// --- Run-length packing ---------------------------------------------------

TEST(RunLength, ThreeEqualBytesAreFollowedByARepeatCount) {
  EXPECT_EQ(UnpackRunLength(TBytes{0x41, 0x41, 0x41, 0x02, 0x42}, 100),
            (TBytes{0x41, 0x41, 0x41, 0x41, 0x41, 0x42}));
  EXPECT_EQ(UnpackRunLength(TBytes{1, 2, 2, 3, 3, 1}, 100), (TBytes{1, 2, 2, 3, 3, 1}));
  EXPECT_EQ(UnpackRunLength(TBytes{}, 0), TBytes{});
}

TEST(RunLength, TheByteAfterACountStartsAfresh) {
  EXPECT_EQ(UnpackRunLength(TBytes{0x41, 0x41, 0x41, 0x00, 0x41, 0x41, 0x41, 0x00}, 100), TBytes(6, 0x41));
  // After the count two more equal bytes are no run yet.
  EXPECT_EQ(UnpackRunLength(TBytes{7, 7, 7, 1, 7, 7}, 100), TBytes(6, 7));
}

TEST(RunLength, AMissingCountAtTheEndFails) {
  EXPECT_FALSE(UnpackRunLength(TBytes{0x41, 0x41, 0x41}, 100));
  EXPECT_FALSE(UnpackRunLength(TBytes{9, 0x41, 0x41, 0x41, 2, 5, 5, 5}, 100));
  EXPECT_EQ(UnpackRunLength(TBytes{0x41, 0x41}, 100), TBytes(2, 0x41));
}

TEST(RunLength, OutputBeyondTheLimitFails) {
  const TBytes run = {0x41, 0x41, 0x41, 0xFF};
  EXPECT_EQ(UnpackRunLength(run, 258), TBytes(258, 0x41));
  EXPECT_FALSE(UnpackRunLength(run, 257));
  EXPECT_FALSE(UnpackRunLength(run, 2));
  EXPECT_EQ(UnpackRunLength(TBytes{1, 2, 3}, 3), (TBytes{1, 2, 3}));
  EXPECT_FALSE(UnpackRunLength(TBytes{1, 2, 3}, 2));
  EXPECT_EQ(UnpackRunLength(TBytes{1, 2, 3}, std::numeric_limits<std::size_t>::max()), (TBytes{1, 2, 3}));
}

TEST(RunLength, ThePackerCountsAfterEveryThreeEqualBytesUpTo255) {
  EXPECT_EQ(PackRunLength(TBytes(3, 0x41)), (TBytes{0x41, 0x41, 0x41, 0}));
  EXPECT_EQ(PackRunLength(TBytes(5, 0x41)), (TBytes{0x41, 0x41, 0x41, 2}));
  EXPECT_EQ(PackRunLength(TBytes(300, 0x41)), (TBytes{0x41, 0x41, 0x41, 255, 0x41, 0x41, 0x41, 39}));
  EXPECT_EQ(PackRunLength(TBytes(260, 0x41)), (TBytes{0x41, 0x41, 0x41, 255, 0x41, 0x41}));
  EXPECT_EQ(PackRunLength(TBytes{1, 2, 2, 2, 2, 3, 3}), (TBytes{1, 2, 2, 2, 1, 3, 3}));
  EXPECT_EQ(PackRunLength(TBytes{}), TBytes{});
}

TEST(RunLength, EveryLengthUpTo100RoundTripsAndMatchesTheReference) {
  std::mt19937 random(3);
  for (std::size_t n = 0; n <= 100; ++n) {
    TBytes mixed = RunnyBytes(n, random);
    if (n > 10) std::fill(mixed.begin() + 3, mixed.begin() + 9, mixed[2]);
    for (const TBytes& bytes : {mixed, TBytes(n * 7, 0x55)}) {
      const TBytes packed = PackRunLength(bytes);
      EXPECT_EQ(UnpackRunLength(packed, bytes.size()), bytes) << n;
      EXPECT_EQ(reference::RunLength(packed, bytes.size()), bytes) << n;
      EXPECT_LE(packed.size(), bytes.size() + bytes.size() / 3 + 1);
    }
  }
}

TEST(RunLength, AgreesWithTheReferenceOnArbitraryStreams) {
  std::mt19937 random(4);
  for (int trial = 0; trial < 3000; ++trial) {
    const TBytes data = RunnyBytes(random() % 40, random);
    const std::size_t maxOut = random() % 600;
    EXPECT_EQ(UnpackRunLength(data, maxOut), reference::RunLength(data, maxOut)) << "trial " << trial;
  }
}

// --- Compressed bitmap record ---------------------------------------------

TBitmap32 Bitmap(int width, int height, const std::vector<TColor32>& pixels) {
  TBitmap32 bitmap(width, height);
  std::copy(pixels.begin(), pixels.end(), bitmap.Pixels());
  return bitmap;
}

std::int32_t Int32At(const TBytes& bytes, std::size_t at) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) |
      static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void PutInt32(TBytes& bytes, std::int32_t value) {
  for (unsigned i = 0; i < 4; ++i)
    bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
}

// Nine opaque black pixels, run-length packed: a bare control word and one
// plain pixel make 00 00 00 00 00 FF, six bytes.
const TBytes kNineBlack = {0x00, 0x00, 0x00, 0x02, 0xFF};

// A hand-made record of a 3 x 3 picture; the setters spoil one field each.
struct TRecord {
  TBytes Data = kNineBlack;
  std::int32_t Width = 3;
  std::int32_t Height = 3;
  std::optional<std::int32_t> Check;     // ~m when not set
  std::optional<std::int32_t> Unpacked;  // the true unpacked size when not set
  std::int32_t Trailer[2] = {0, 0};

  TRecord& WithData(TBytes data) {
    Data = std::move(data);
    return *this;
  }
  TRecord& WithSize(std::int32_t width, std::int32_t height) {
    Width = width;
    Height = height;
    return *this;
  }
  TRecord& WithCheck(std::int32_t check) {
    Check = check;
    return *this;
  }
  TRecord& WithUnpacked(std::int32_t unpacked) {
    Unpacked = unpacked;
    return *this;
  }
  TRecord& WithTrailer(std::int32_t first, std::int32_t second) {
    Trailer[0] = first;
    Trailer[1] = second;
    return *this;
  }

  TBytes Bytes() const {
    TBytes bytes;
    const auto m = static_cast<std::int32_t>(Data.size());
    const auto size =
        static_cast<std::int32_t>(reference::RunLength(Data, 1 << 30).value_or(TBytes{}).size());
    for (const std::int32_t field : {Width, Height, m, Check.value_or(~m), Unpacked.value_or(size)})
      PutInt32(bytes, field);
    bytes.insert(bytes.end(), Data.begin(), Data.end());
    PutInt32(bytes, Trailer[0]);
    PutInt32(bytes, Trailer[1]);
    return bytes;
  }
};

bool Decodes(const TRecord& record, std::size_t maxPixels = 100) {
  return DecodeCompressedBitmap(record.Bytes(), maxPixels).has_value();
}

TEST(CompressedBitmap, TheRecordHoldsSizesPackedRunsAndTwoZeroWords) {
  const auto photo = Photo(3, 2, 1);
  const TBytes record = EncodeCompressedBitmap(Bitmap(3, 2, photo));
  const TBytes packed = EncodePackedPixels(photo);
  const TBytes runs = PackRunLength(packed);
  ASSERT_EQ(record.size(), 20 + runs.size() + 8);
  EXPECT_EQ(Int32At(record, 0), 3);
  EXPECT_EQ(Int32At(record, 4), 2);
  EXPECT_EQ(Int32At(record, 8), static_cast<std::int32_t>(runs.size()));
  EXPECT_EQ(Int32At(record, 12), ~static_cast<std::int32_t>(runs.size()));
  EXPECT_EQ(Int32At(record, 16), static_cast<std::int32_t>(packed.size()));
  EXPECT_TRUE(std::equal(runs.begin(), runs.end(), record.begin() + 20));
  EXPECT_EQ(TBytes(record.end() - 8, record.end()), TBytes(8, 0));
}

TEST(CompressedBitmap, AHandMadeRecordDecodesUpToTheAllowedPixels) {
  std::size_t consumed = 0;
  const auto bitmap = DecodeCompressedBitmap(TRecord().Bytes(), 9, &consumed);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(consumed, 20 + kNineBlack.size() + 8);
  EXPECT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(bitmap->Height(), 3);
  EXPECT_EQ(std::vector<TColor32>(bitmap->Pixels(), bitmap->Pixels() + 9),
            std::vector<TColor32>(9, 0xFF000000));
  EXPECT_FALSE(Decodes(TRecord(), 8));
}

TEST(CompressedBitmap, OddSizedPicturesRoundTripAndReportTheirLength) {
  std::mt19937 random(5);
  for (const auto& [w, h] : {std::pair{1, 1}, {7, 3}, {13, 11}, {1, 65}, {64, 1}, {33, 17}}) {
    for (const auto& pixels : {Photo(w, h, 2), RandomPixels(static_cast<std::size_t>(w * h), random),
                               std::vector<TColor32>(static_cast<std::size_t>(w * h), 0xFFFFFFFF)}) {
      TBytes record = EncodeCompressedBitmap(Bitmap(w, h, pixels));
      const std::size_t length = record.size();
      record.insert(record.end(), {9, 9, 9});  // the next record's bytes
      std::size_t consumed = 0;
      const auto bitmap = DecodeCompressedBitmap(record, pixels.size(), &consumed);
      ASSERT_TRUE(bitmap) << w << " x " << h;
      EXPECT_EQ(consumed, length);
      EXPECT_EQ(bitmap->Width(), w);
      EXPECT_EQ(bitmap->Height(), h);
      EXPECT_EQ(std::vector<TColor32>(bitmap->Pixels(), bitmap->Pixels() + bitmap->PixelCount()), pixels);
    }
  }
}

TEST(CompressedBitmap, ACheckValueThatIsNotTheComplementOrNonZeroTrailingWordsFail) {
  const auto m = static_cast<std::int32_t>(kNineBlack.size());
  EXPECT_FALSE(Decodes(TRecord().WithCheck(m)));
  EXPECT_FALSE(Decodes(TRecord().WithCheck(~m + 1)));
  EXPECT_FALSE(Decodes(TRecord().WithTrailer(0, 1)));
  EXPECT_FALSE(Decodes(TRecord().WithTrailer(-1, 0)));
}

TEST(CompressedBitmap, SizesThatAreNotPositiveFail) {
  EXPECT_FALSE(Decodes(TRecord().WithSize(0, 3)));
  EXPECT_FALSE(Decodes(TRecord().WithSize(3, 0)));
  EXPECT_FALSE(Decodes(TRecord().WithSize(-3, -3)));
  EXPECT_FALSE(Decodes(TRecord().WithData({})));
  EXPECT_FALSE(Decodes(TRecord().WithUnpacked(-1)));
  EXPECT_TRUE(EncodeCompressedBitmap(TBitmap32()).empty());
  EXPECT_TRUE(EncodeCompressedBitmap(TBitmap32(0, 5)).empty());
}

TEST(CompressedBitmap, ShortRecordsFail) {
  const TBytes record = EncodeCompressedBitmap(Bitmap(5, 5, Photo(5, 5, 4)));
  for (std::size_t cut = 0; cut < record.size(); ++cut)
    EXPECT_FALSE(DecodeCompressedBitmap(std::span(record.data(), cut), 100)) << "cut at " << cut;
}

TEST(CompressedBitmap, PixelDataThatDoesNotDecodeFails) {
  // Eight pixels need a control word; one byte is not enough.
  EXPECT_FALSE(Decodes(TRecord().WithSize(8, 1).WithData({0x00})));
  EXPECT_FALSE(Decodes(TRecord().WithSize(8, 1).WithData({0x09, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9})));
}

TEST(CompressedBitmap, HugeSizesOverLittleDataFailWithoutAllocating) {
  // 2^30 pixels would be 4 GiB; the sanitizer build aborts on such an allocation.
  const std::size_t unlimited = std::numeric_limits<std::size_t>::max();
  EXPECT_FALSE(Decodes(TRecord().WithSize(32768, 32768), unlimited));
  EXPECT_FALSE(Decodes(TRecord().WithSize(0x7FFFFFFF, 0x7FFFFFFF).WithUnpacked(0x7FFFFFFF), unlimited));
  // A packed size of 2^24 - 1 with its complement, but only a few bytes behind it.
  TBytes header;
  for (const std::int32_t field : {3, 3, 0x00FFFFFF, ~0x00FFFFFF, 100}) PutInt32(header, field);
  header.insert(header.end(), 40, 0);
  EXPECT_FALSE(DecodeCompressedBitmap(header, unlimited));
}

TEST(CompressedBitmap, WhatTheRunsUnpackToBoundsTheBitmapBeforeItIsAllocated) {
  // 100,000 bytes without a run unpack to themselves, room for 400,000 pixels; the
  // declared sizes (6,500,000 bytes, 26 million pixels, 104 MB) are all within
  // what the record's fields allow.
  TBytes data(100'000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
  EXPECT_EQ(RunLengthUnpackedSize(data, 6'500'008), 100'000u);
  EXPECT_EQ(PackedPixelCapacity(100'000), 400'000u);
  std::string problem;
  EXPECT_FALSE(DecodeCompressedBitmap(TRecord().WithSize(5000, 5200).WithData(data).WithUnpacked(6'500'000).Bytes(),
                                      250'000'000, nullptr, &problem));
  EXPECT_EQ(problem, "5000 x 5200 pixels cannot be in the 100000 bytes its data unpacks to");
  EXPECT_EQ(RunLengthUnpackedSize({{0x41, 0x41, 0x41, 0x02, 0x42}}, 6), 6u);
  EXPECT_FALSE(RunLengthUnpackedSize({{0x41, 0x41, 0x41, 0x02, 0x42}}, 5));
}

TEST(CompressedBitmap, UnpackedDataMayExceedItsSizeByEightBytesOnly) {
  // Unpacks to 6 bytes: with u = 0 that is within u + 8.
  EXPECT_TRUE(Decodes(TRecord().WithUnpacked(0)));
  // 258 bytes more after the pixel data: 264 in all.
  TBytes longer = kNineBlack;
  longer.insert(longer.end(), {0xEE, 0xEE, 0xEE, 0xFF});
  EXPECT_TRUE(Decodes(TRecord().WithData(longer).WithUnpacked(256)));
  EXPECT_FALSE(Decodes(TRecord().WithData(longer).WithUnpacked(255)));
}

}  // namespace
}  // namespace slabrip
