#include "document/texture.h"

#include <gtest/gtest.h>
#include <png.h>
#include <cstring>

#include "document/data_stream.h"
#include "document/pixel_codecs.h"

namespace slabrip {
namespace {

TEST(TextureImages, GreyValuesBecomeOpaqueGreys) {
  // 10, 20, 30 stored as the deltas 10, 10, 10 (three plain bytes).
  const std::vector<std::uint8_t> data = {10, 10, 10};
  const auto bitmap = DecodeTextureImage({kTextureGreyPacked, 0, 3, 3, 1}, data);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Pixels()[0], 0xFF0A0A0Au);
  EXPECT_EQ(bitmap->Pixels()[1], 0xFF141414u);
  EXPECT_EQ(bitmap->Pixels()[2], 0xFF1E1E1Eu);
}

TEST(TextureImages, AlphaIsKeptOnlyWhenThePictureUsesIt) {
  std::vector<TColor32> pixels = {0x00112233, 0x80445566, 0x10778899, 0x20AABBCC};
  const auto packed = EncodePackedPixels(pixels);
  const auto used = DecodeTextureImage({kTextureColourPacked, 0, 0, 2, 2}, packed);
  ASSERT_NE(used, nullptr);
  EXPECT_EQ(used->Pixels()[1], 0x80445566u);  // row 1 column 0 has alpha 0x10
  pixels[2] = 0x00778899;
  const auto unused = DecodeTextureImage({kTextureColourPacked, 0, 0, 2, 2}, EncodePackedPixels(pixels));
  EXPECT_EQ(unused->Pixels()[1], 0xFF445566u);
  const auto oneRow = DecodeTextureImage({kTextureColourPacked, 0, 0, 4, 1}, EncodePackedPixels(pixels));
  EXPECT_EQ(oneRow->Pixels()[1], 0xFF445566u);
}

// An 8-bit PNG of raw rows, written with libpng.
std::vector<std::uint8_t> Png(int width, int height, int colourType, int depth,
                              const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
               colourType, 0, 0, 0);
  png_write_info(png, info);
  const std::size_t stride = rows.size() / static_cast<std::size_t>(height);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) png_write_row(png, &rows[y * stride]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(TextureImages, SizesTheDataCannotHoldAndBrokenOrOversizedImageFilesAreRefused) {
  const std::vector<std::uint8_t> data(8, 0);
  EXPECT_EQ(DecodeTextureImage({kTextureColourPacked, 0, 8, 30000, 30000}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({kTextureGreyPacked, 0, 8, 30000, 30000}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({9, 0, 8, 2, 2}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({kTextureColourPacked, 0, 8, -2, 2}, data), nullptr);

  // An image file decodes at its own size; with no alpha at column 0 of row 1
  // it is opaque in its straight colours, otherwise it keeps its (premultiplied) alpha.
  const std::vector<std::uint8_t> rgba = {255, 0, 0, 128, 0, 0, 255, 255, 10, 20, 30, 0, 40, 50, 60, 255};
  const auto opaque =
      DecodeTextureImage({kTextureImageFile, 0, 1, 9, 9}, Png(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba));
  ASSERT_NE(opaque, nullptr);
  EXPECT_EQ(opaque->Width(), 2);
  EXPECT_EQ(std::vector<TColor32>(opaque->Pixels(), opaque->Pixels() + 4),
            (std::vector<TColor32>{0xFFFF0000, 0xFF0000FF, 0xFF000000, 0xFF28323C}));
  auto used = rgba;
  used[11] = 64;
  const auto translucent =
      DecodeTextureImage({kTextureImageFile, 0, 1, 2, 2}, Png(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, used));
  ASSERT_NE(translucent, nullptr);
  EXPECT_EQ(translucent->Pixels()[0], 0x80800000u);
  EXPECT_EQ(translucent->Pixels()[2], 0x40030508u);

  // Bytes that are no image file, or a PNG cut short, are refused.
  EXPECT_EQ(DecodeTextureImage({kTextureImageFile, 0, 8, 2, 2}, data), nullptr);
  const auto png = Png(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba);
  EXPECT_EQ(DecodeTextureImage({kTextureImageFile, 0, 1, 2, 2}, std::span(png).first(png.size() - 20)),
            nullptr);

  // Black 1-bit pictures: 600 x 60 decodes, 6001 x 6000 is above 36,000,000 pixels.
  EXPECT_NE(DecodeTextureImage({kTextureImageFile, 0, 1, 1, 1},
                               Png(600, 60, PNG_COLOR_TYPE_GRAY, 1, std::vector<std::uint8_t>(75 * 60, 0))),
            nullptr);
  EXPECT_EQ(
      DecodeTextureImage({kTextureImageFile, 0, 1, 1, 1},
                         Png(6001, 6000, PNG_COLOR_TYPE_GRAY, 1, std::vector<std::uint8_t>(751 * 6000, 0))),
      nullptr);
}

// A texture body by hand: strings, header, then the images.
std::vector<std::uint8_t> Body(std::uint32_t magic, const std::vector<std::uint8_t>& main,
                               std::int32_t mainOffsetShift) {
  std::vector<std::uint8_t> body;
  const auto putString = [&](const std::string& s) {
    const auto n = static_cast<std::int32_t>(s.size());
    body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(&n),
                reinterpret_cast<const std::uint8_t*>(&n) + 4);
    body.insert(body.end(), s.begin(), s.end());
  };
  putString("wood");
  putString("wood.bmp");
  const std::size_t header = body.size();
  body.resize(header + 200, 0);
  body[header + 12] = 0x77;  // the tag word, not kept
  std::memcpy(&body[header + 52], &magic, 4);
  const std::uint32_t descriptor[5] = {
      kTextureColourPacked,
      static_cast<std::uint32_t>(body.size()) + static_cast<std::uint32_t>(mainOffsetShift),
      static_cast<std::uint32_t>(main.size()), 2, 1};
  std::memcpy(&body[header + 112], descriptor, sizeof descriptor);
  body.insert(body.end(), main.begin(), main.end());
  return body;
}

TEST(TextureRecords, ReadTheMainImageAndRefuseWrongMagicOrBrokenImages) {
  const auto main = EncodePackedPixels(std::vector<TColor32>{0xFF010203, 0xFF040506});
  {
    TMemoryByteStream bytes(Body(TFileTexture32::kMagic, main, 0));
    TDataStream stream(bytes);
    const auto texture = ReadFileTexture(stream);
    ASSERT_TRUE(texture);
    EXPECT_TRUE(texture->Loaded);
    EXPECT_EQ(texture->Name, "wood");
    EXPECT_EQ(texture->SourceFile, "wood.bmp");
    EXPECT_EQ(texture->Attributes[12], 0);
    EXPECT_EQ(texture->Main->Pixels()[1], 0xFF040506u);
    EXPECT_FALSE(texture->AuxiliaryA);
  }
  for (const auto& [magic, shift] :
       {std::pair<std::uint32_t, std::int32_t>{0x12345678, 0}, {TFileTexture32::kMagic, 1000}}) {
    TMemoryByteStream bytes(Body(magic, main, shift));
    TDataStream stream(bytes);
    EXPECT_FALSE(ReadFileTexture(stream));
  }
}

}  // namespace
}  // namespace slabrip
