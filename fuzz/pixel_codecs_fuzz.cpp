// Fuzzes the pixel decoders; the first byte picks packed pixels, packed bytes, run-length or a compressed
// bitmap.
//
// Packed pixels and bytes take their output count from the next two bytes.
// Whatever decodes is encoded again and must decode to the same result.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "document/pixel_codecs.h"

namespace {

using namespace slabrip;

// Keeps one run fast: a few megabytes of output at most.
constexpr std::size_t kMaxRunLengthOut = std::size_t{1} << 20;
constexpr std::size_t kMaxPixels = std::size_t{1} << 18;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::size_t Count(std::span<const std::uint8_t>& input) {
  if (input.size() < 2) return 0;
  const std::size_t count = input[0] | static_cast<std::size_t>(input[1]) << 8;
  input = input.subspan(2);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::span<const std::uint8_t> input(data + 1, size - 1);
  switch (data[0] % 4) {
    case 0: {
      std::vector<TColor32> pixels(Count(input));
      if (!DecodePackedPixels(input, pixels)) break;
      std::vector<TColor32> again(pixels.size());
      Check(DecodePackedPixels(EncodePackedPixels(pixels), again) && again == pixels);
      break;
    }
    case 1: {
      std::vector<std::uint8_t> bytes(Count(input));
      if (!DecodePackedBytes(input, bytes)) break;
      std::vector<std::uint8_t> again(bytes.size());
      Check(DecodePackedBytes(EncodePackedBytes(bytes), again) && again == bytes);
      break;
    }
    case 2: {
      const auto bytes = UnpackRunLength(input, kMaxRunLengthOut);
      if (!bytes) break;
      Check(UnpackRunLength(PackRunLength(*bytes), bytes->size()) == bytes);
      break;
    }
    default: {
      std::size_t consumed = 0;
      const auto bitmap = DecodeCompressedBitmap(input, kMaxPixels, &consumed);
      if (!bitmap) break;
      Check(consumed <= input.size());
      const auto again = DecodeCompressedBitmap(EncodeCompressedBitmap(*bitmap), kMaxPixels);
      Check(again && again->Width() == bitmap->Width() && again->Height() == bitmap->Height() &&
            std::equal(bitmap->Pixels(), bitmap->Pixels() + bitmap->PixelCount(), again->Pixels()));
      break;
    }
  }
  return 0;
}
