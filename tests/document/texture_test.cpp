#include "document/texture.h"

#include <gtest/gtest.h>
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

TEST(TextureImages, SizesTheDataCannotHoldAndImageFilesAreRefused) {
  const std::vector<std::uint8_t> data(8, 0);
  EXPECT_EQ(DecodeTextureImage({kTextureColourPacked, 0, 8, 30000, 30000}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({kTextureGreyPacked, 0, 8, 30000, 30000}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({kTextureImageFile, 0, 8, 2, 2}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({9, 0, 8, 2, 2}, data), nullptr);
  EXPECT_EQ(DecodeTextureImage({kTextureColourPacked, 0, 8, -2, 2}, data), nullptr);
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
