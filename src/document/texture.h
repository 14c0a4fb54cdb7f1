// Textures of a document: the stored record, its three images and their encodings.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/storage_item.h"
#include "raster/bitmap32.h"

namespace slabrip {

class TDataStream;

/// Encodings of a texture image.
enum TTextureEncoding : std::uint8_t {
  kTextureGreyPacked = 1,
  kTextureColourPacked = 2,
  kTextureImageFile = 3
};

/// Where and how one image of a texture is stored (offset from the body's start).
struct TPixelDescriptor {
  std::uint8_t Encoding = 0;
  std::int32_t Offset = 0;
  std::int32_t Size = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  bool Describes() const { return Size != 0 && Width != 0 && Height != 0; }
};

/// A decoded texture: the main image drawn with, two auxiliary images kept.
class TFileTexture32 : public TRefObj {
 public:
  static constexpr std::uint32_t kMagic = 0x323354FE;
  static constexpr std::size_t kHeaderSize = 200;
  /// Image files larger than this are refused.
  static constexpr std::int64_t kMaxImageFilePixels = 36'000'000;
  /// cairo draws no picture wider or taller: a larger main image is kept scaled down to this.
  static constexpr int kMaxDrawnSide = 32767;

  std::string Name;
  std::string SourceFile;
  std::array<std::uint8_t, 48> Attributes{};
  std::array<std::uint32_t, 4> Values{};
  /// Auxiliary A, auxiliary B, main, as stored.
  std::array<TPixelDescriptor, 3> Descriptors{};
  bool Loaded = false;
  std::shared_ptr<const TBitmap32> Main;
  std::shared_ptr<const TBitmap32> AuxiliaryA;
  std::shared_ptr<const TBitmap32> AuxiliaryB;
};

/// A texture of the document's table.
class TStoredTexture32 : public TStorageItem {
 public:
  TRef<TFileTexture32> Texture;
};

/// Reads a texture body from its own nested stream; nothing when the magic is
/// wrong or the main image does not decode. Image files (JPEG, PNG, TIFF, BMP,
/// GIF) decode at their own size, up to kMaxImageFilePixels. `problems`, when
/// given, receives a short phrase for the failure, or one for each thing left
/// out or changed: an auxiliary image that does not decode, a main image
/// scaled down to kMaxDrawnSide.
TRef<TFileTexture32> ReadFileTexture(TDataStream& stream, std::vector<std::string>* problems = nullptr);

/// Decodes one texture image from `bytes` as the descriptor says (an image
/// file comes premultiplied, at the file's own size); nothing with the reason
/// in `problem` when it does not decode.
std::unique_ptr<TBitmap32> DecodeTextureImage(const TPixelDescriptor& descriptor,
                                              std::span<const std::uint8_t> bytes, std::string* problem = nullptr);

}  // namespace slabrip
