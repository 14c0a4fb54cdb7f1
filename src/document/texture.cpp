#include "document/texture.h"
#include "base/byte_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <fmt/format.h>

#include "document/data_stream.h"
#include "document/pixel_codecs.h"
#include "raster/image_decode.h"
#include "raster/resample.h"

namespace slabrip {

namespace {

std::uint32_t Word(const std::uint8_t* p) { return LoadLe<std::uint32_t>(p); }

TPixelDescriptor DescriptorAt(const std::uint8_t* p) {
  TPixelDescriptor d;
  d.Encoding = static_cast<std::uint8_t>(Word(p) & 0xFF);
  d.Offset = static_cast<std::int32_t>(Word(p + 4));
  d.Size = static_cast<std::int32_t>(Word(p + 8));
  d.Width = static_cast<std::int32_t>(Word(p + 12));
  d.Height = static_cast<std::int32_t>(Word(p + 16));
  return d;
}

// Images without alpha store it as 0; the pixel at column 0 of row 1 tells
// (a one-row image has none there, which reads as 0 too).
bool CarriesNoAlpha(const TBitmap32& bitmap) { return bitmap.Height() < 2 || (bitmap.Row(1)[0] >> 24) == 0; }

void OpaqueUnlessAlphaUsed(TBitmap32& bitmap) {
  if (!CarriesNoAlpha(bitmap)) return;
  TColor32* p = bitmap.Pixels();
  for (std::size_t i = 0; i < bitmap.PixelCount(); ++i) p[i] |= 0xFF000000u;
}

// The same rule for decoded image files, whose pixels come premultiplied:
// made opaque, a pixel shows its straight colour (rounded), as the file
// stored it; fully transparent pixels kept none and become black.
void OpaqueUnlessAlphaUsedPremultiplied(TBitmap32& bitmap) {
  if (!CarriesNoAlpha(bitmap)) return;
  TColor32* p = bitmap.Pixels();
  for (std::size_t i = 0; i < bitmap.PixelCount(); ++i) {
    const std::uint32_t a = p[i] >> 24;
    const auto straight = [&](int shift) {
      const std::uint32_t c = p[i] >> shift & 0xFF;
      return (a == 0 ? 0 : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a)) << shift;
    };
    p[i] = 0xFF000000u | straight(16) | straight(8) | straight(0);
  }
}

// The image read from its descriptor's bytes inside the body; nothing with
// what went wrong in `problem`, worded to follow the image's name.
std::unique_ptr<TBitmap32> ReadImage(TDataStream& stream, std::int64_t bodyStart, const TPixelDescriptor& d,
                                     std::string& problem) {
  if (!d.Describes()) {
    problem = "is missing";
    return nullptr;
  }
  if (d.Size < 0 || d.Offset < 0 || !stream.SetPosition(bodyStart + d.Offset) || d.Size > stream.Remaining()) {
    problem = fmt::format("lies outside the record ({} bytes at offset {})", d.Size, d.Offset);
    return nullptr;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(d.Size));
  std::string why = "its bytes cannot be read";
  auto image = stream.ReadBuffer(bytes.data(), bytes.size()) ? DecodeTextureImage(d, bytes, &why) : nullptr;
  if (!image) problem = fmt::format("does not decode ({})", why);
  return image;
}

std::string TooFew(const TPixelDescriptor& d, std::size_t bytes) {
  return fmt::format("{} x {} pixels cannot be in {} bytes", d.Width, d.Height, bytes);
}

std::string RunsOut(const TPixelDescriptor& d) {
  return fmt::format("its data ends before {} x {} pixels", d.Width, d.Height);
}

}  // namespace

std::unique_ptr<TBitmap32> DecodeTextureImage(const TPixelDescriptor& d, std::span<const std::uint8_t> bytes,
                                              std::string* problem) {
  const auto refuse = [&](std::string why) -> std::unique_ptr<TBitmap32> {
    if (problem) *problem = std::move(why);
    return nullptr;
  };
  if (d.Encoding == kTextureImageFile) {
    // Drawn at the file's own size; the decoder refuses sizes that are not
    // positive or above the cap before it allocates.
    auto decoded = DecodeImageFile(bytes, TFileTexture32::kMaxImageFilePixels, problem);
    if (!decoded) return nullptr;
    auto bitmap = std::make_unique<TBitmap32>(std::move(*decoded));
    OpaqueUnlessAlphaUsedPremultiplied(*bitmap);
    return bitmap;
  }
  if (d.Width <= 0 || d.Height <= 0) return refuse(fmt::format("size {} x {} is not positive", d.Width, d.Height));
  const auto pixels = static_cast<std::int64_t>(d.Width) * d.Height;
  const auto size = static_cast<std::int64_t>(bytes.size());
  std::unique_ptr<TBitmap32> bitmap;
  switch (d.Encoding) {
    case kTextureGreyPacked: {
      // Every sixteen values need a control byte at least: more pixels than that cannot decode.
      if (pixels > 16 * size + 16) return refuse(TooFew(d, bytes.size()));
      std::vector<std::uint8_t> grey(static_cast<std::size_t>(pixels));
      if (!DecodePackedBytes(bytes, grey)) return refuse(RunsOut(d));
      bitmap = std::make_unique<TBitmap32>(d.Width, d.Height);
      TColor32* p = bitmap->Pixels();
      for (std::size_t i = 0; i < grey.size(); ++i) p[i] = 0xFF000000u + grey[i] * 0x010101u;
      return bitmap;  // grey images are opaque by construction
    }
    case kTextureColourPacked: {
      if (pixels > 4 * size + 8) return refuse(TooFew(d, bytes.size()));  // two bytes per eight pixels at least
      bitmap = std::make_unique<TBitmap32>(d.Width, d.Height);
      if (!DecodePackedPixels(bytes, std::span<TColor32>(bitmap->Pixels(), bitmap->PixelCount())))
        return refuse(RunsOut(d));
      break;
    }
    default: return refuse(fmt::format("unknown encoding {}", d.Encoding));
  }
  OpaqueUnlessAlphaUsed(*bitmap);
  return bitmap;
}

TRef<TFileTexture32> ReadFileTexture(TDataStream& stream, std::vector<std::string>* problems) {
  const auto note = [&](std::string text) {
    if (problems) problems->push_back(std::move(text));
  };
  const std::int64_t bodyStart = stream.Position();
  auto texture = MakeRef<TFileTexture32>();
  stream.ReadString(texture->Name);
  stream.ReadString(texture->SourceFile);
  std::array<std::uint8_t, TFileTexture32::kHeaderSize> header{};
  if (!stream.ReadBuffer(header.data(), header.size())) {
    note("the record ends inside its header");
    return nullptr;
  }
  if (Word(&header[52]) != TFileTexture32::kMagic) {
    note(fmt::format("wrong texture mark {:#010x}", Word(&header[52])));
    return nullptr;
  }
  std::memcpy(texture->Attributes.data(), header.data(), texture->Attributes.size());
  std::memset(&texture->Attributes[12], 0, 4);  // the tag word is not kept
  for (std::size_t i = 0; i < 4; ++i) texture->Values[i] = Word(&header[56 + 4 * i]);
  for (std::size_t i = 0; i < 3; ++i) texture->Descriptors[i] = DescriptorAt(&header[72 + 20 * i]);

  std::string why;
  auto main = ReadImage(stream, bodyStart, texture->Descriptors[2], why);
  if (!main) {
    note("the main image " + why);
    return nullptr;
  }
  if (main->Width() > TFileTexture32::kMaxDrawnSide || main->Height() > TFileTexture32::kMaxDrawnSide) {
    auto scaled = std::make_unique<TBitmap32>(ShrunkToFit(*main, TFileTexture32::kMaxDrawnSide));
    note(fmt::format("its {} x {} pixels are more than can be drawn ({} a side); it prints from a copy scaled "
                     "to {} x {}",
                     main->Width(), main->Height(), TFileTexture32::kMaxDrawnSide, scaled->Width(),
                     scaled->Height()));
    main = std::move(scaled);
  }
  texture->Main = std::move(main);
  const auto auxiliary = [&](const TPixelDescriptor& d, const char* name) -> std::shared_ptr<const TBitmap32> {
    auto image = ReadImage(stream, bodyStart, d, why);
    if (!image && d.Describes()) note(fmt::format("auxiliary image {} {}; it is left out", name, why));
    return image;
  };
  texture->AuxiliaryB = auxiliary(texture->Descriptors[1], "B");
  texture->AuxiliaryA = auxiliary(texture->Descriptors[0], "A");
  texture->Loaded = true;
  return texture;
}

}  // namespace slabrip
