// Fuzzes the image file decoders: JPEG, PNG, TIFF, BMP and GIF, chosen by their first bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "raster/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  // Room for real pictures while every run stays small and quick.
  constexpr std::int64_t kMaxPixels = 4'000'000;
  std::string problem;
  const auto bitmap = DecodeImageFile(std::span(data, size), kMaxPixels, &problem);
  if (!bitmap) {
    if (problem.empty()) std::abort();  // every refusal names its reason
    return 0;
  }
  if (bitmap->PixelCount() == 0 || static_cast<std::int64_t>(bitmap->PixelCount()) > kMaxPixels) std::abort();
  // Premultiplied: no colour channel above its alpha.
  for (std::size_t i = 0; i < bitmap->PixelCount(); ++i) {
    const TColor32 p = bitmap->Pixels()[i];
    const TColor32 alpha = p >> 24;
    if ((p >> 16 & 0xFF) > alpha || (p >> 8 & 0xFF) > alpha || (p & 0xFF) > alpha) std::abort();
  }
  return 0;
}
