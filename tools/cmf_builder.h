// Builds cmf documents and contour-cut files by code: fixtures, fuzz seeds and the demo's artwork.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/cmf_model.h"
#include "document/storage_item.h"
#include "document/texture.h"
#include "geometry/curve_builder.h"
#include "geometry/geo_curve.h"

namespace slabrip {

/// Attributes with a fill and an outline code; frame and extents span `box`.
TcmfAttributes Style(std::uint32_t fill, std::uint32_t outline = kNoFill, const TRectF& box = {0, 0, 1, 1});
/// The attributes with stored bounds (otherwise all zero: computed where they can be).
TcmfAttributes WithBounds(TcmfAttributes attributes, const TRectF& bounds);

/// One image of a texture: a bitmap to pack, or the bytes of an image file.
struct TTextureImage {
  static TTextureImage Packed(TTextureEncoding encoding, const TBitmap32& bitmap) {
    TTextureImage image;
    image.Encoding = encoding;
    image.Bitmap = &bitmap;
    return image;
  }
  static TTextureImage File(std::vector<std::uint8_t> bytes, int width, int height) {
    TTextureImage image;
    image.Encoding = kTextureImageFile;
    image.FileBytes = std::move(bytes);
    image.Width = width;
    image.Height = height;
    return image;
  }

  TTextureEncoding Encoding = kTextureColourPacked;
  const TBitmap32* Bitmap = nullptr;    // grey packed takes the blue channel
  std::vector<std::uint8_t> FileBytes;  // for kTextureImageFile
  int Width = 0, Height = 0;            // of the file, for kTextureImageFile
};

/// A texture record's body (the nested stream): strings, header, images.
std::vector<std::uint8_t> TextureBody(const std::string& name, const std::string& sourceFile,
                                      const TTextureImage& main, const TTextureImage* auxA = nullptr,
                                      const TTextureImage* auxB = nullptr);

/// How an image node stores its bitmap.
enum class TImageStorage { kPacked, kCompressed };

class TcmfBuilder {
 public:
  int AddColour(const TUniColorSpec& spec, const std::string& name, std::int32_t tag = 0);
  int AddGradient(const TGradRange& range, std::int32_t tag = 0);
  /// The main image and optional auxiliary images A and B.
  int AddTexture(const std::string& name, const std::string& sourceFile, const TTextureImage& main,
                 const TTextureImage* auxA = nullptr, const TTextureImage* auxB = nullptr);
  void SetInfo(const std::string& name, const std::array<std::uint32_t, 4>& values = {},
               std::uint32_t extra = 0);

  /// Nodes return their index in the node table; parent -1 for the root.
  int AddPlain(int parent, const TcmfAttributes& attributes);
  int AddGroup(int parent, const TcmfAttributes& attributes, std::int32_t value = 0);
  int AddGeometry(int parent, const TcmfAttributes& attributes, const TGeoCurve* fill,
                  const TGeoCurve* outline = nullptr);
  /// Placement: top-left, top-right and bottom-left corners; an embedded file
  /// needs the compressed storage.
  int AddImage(int parent, const TcmfAttributes& attributes, const std::array<TPointF, 3>& placement,
               const TGeoCurve& outline, const TBitmap32& bitmap, TImageStorage storage,
               const std::vector<std::uint8_t>& embeddedFile = {});
  /// A node record of any kind, written as given (for broken documents in tests).
  int AddRawNode(std::int32_t tag, std::int32_t parent, std::int32_t kind, const TcmfAttributes& attributes,
                 const std::vector<std::uint8_t>& payload);

  /// The whole file: tables, info block, nodes and the trailer.
  std::vector<std::uint8_t> Build() const;

 private:
  int AddNode(std::int32_t parent, std::int32_t kind, const TcmfAttributes& attributes,
              const std::vector<std::uint8_t>& payload);

  std::vector<std::uint8_t> Gradients_, Textures_, Colours_, Nodes_;
  int GradientCount_ = 0, TextureCount_ = 0, ColourCount_ = 0, NodeCount_ = 0;
  std::vector<std::uint8_t> Info_;
};

/// The stored form of a curve record.
std::vector<std::uint8_t> CurveRecord(const TGeoCurve* curve);

}  // namespace slabrip
