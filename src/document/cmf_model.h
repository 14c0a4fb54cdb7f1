// The cmf document in memory: a tree of groups, geometry and images, and the
// gradient, texture and colour tables nodes refer to.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/affine.h"
#include "base/ref_obj.h"
#include "colour/colour_spec.h"
#include "document/bitmap_cache.h"
#include "document/storage_item.h"
#include "document/texture.h"
#include "geometry/geo_curve.h"

namespace slabrip {

/// Fill and outline codes: the top nibble is the kind.
enum TFillKind : std::uint8_t {
  kFillNone,
  kFillNamedColour,   // 0x0: colour table index in the low 24 bits
  kFillDirectColour,  // 0x1: 0xRRGGBB
  kFillSpecial,       // 0x2: special fill 1, 2, 3 or other
  kFillGradient,      // 0x4: gradient table index in the low 28 bits
  kFillTexture,       // 0x6: texture table index in the low 28 bits
  kFillUnpainted,     // 0x7 and 0xD: recognised, drawn with nothing
  kFillHatch,         // 0xC
};
inline constexpr std::uint32_t kNoFill = 0xFFFFFFFF;
TFillKind FillKindOf(std::uint32_t code);

/// Flag bits of the attribute block.
inline constexpr std::uint32_t kAttrTextureTiles = 1u;
inline constexpr std::uint32_t kAttrHairline = 0x10u;
inline constexpr std::uint32_t kAttrOpaqueWhite = 0x20u;

/// The 148-byte attribute block of a node, kept exactly as read.
struct TcmfAttributes {
  static constexpr std::size_t kSize = 148;
  std::array<std::uint8_t, kSize> Bytes{};

  std::uint32_t FillCode() const { return Word(0); }
  std::uint32_t OutlineCode() const { return Word(4); }
  std::uint32_t Flags() const { return Word(8); }
  /// 0 none, 1 flip in x, 2 flip in y, 3 both.
  int TileFlip() const { return static_cast<int>(Flags() >> 1 & 3); }
  std::uint32_t Transparency() const { return Word(12); }
  /// Origin, first corner, second corner of the fill frame.
  std::array<TPointF, 3> FillFrame() const;
  TRectF GradientExtent() const { return Rect(40); }
  TRectF TextureExtent() const { return Rect(56); }
  TAffine FillMatrix() const;
  TRectF Bounds() const { return Rect(96); }

  void SetFillCode(std::uint32_t v) { SetWord(0, v); }
  void SetOutlineCode(std::uint32_t v) { SetWord(4, v); }
  void SetFlags(std::uint32_t v) { SetWord(8, v); }
  void SetTransparency(std::uint32_t v) { SetWord(12, v); }
  void SetFillFrame(const std::array<TPointF, 3>& frame);
  void SetGradientExtent(const TRectF& r) { SetRect(40, r); }
  void SetTextureExtent(const TRectF& r) { SetRect(56, r); }
  void SetFillMatrix(const TAffine& m);
  void SetBounds(const TRectF& r) { SetRect(96, r); }

 private:
  std::uint32_t Word(std::size_t at) const;
  float Single(std::size_t at) const;
  TRectF Rect(std::size_t at) const;
  void SetWord(std::size_t at, std::uint32_t v);
  void SetSingle(std::size_t at, float v);
  void SetRect(std::size_t at, const TRectF& r);
};

enum TcmfKind : std::int32_t { kNodePlain = 0, kNodeGroup = 1, kNodeGeometry = 2, kNodeImage = 3 };

/// A node of the tree.
class TcmfGeneric : public TRefObj {
 public:
  virtual TcmfKind Kind() const { return kNodePlain; }
  /// Left, top, right, bottom in document units.
  virtual TRectF Bounds() const { return Attributes.Bounds(); }

  int ChildCount() const { return static_cast<int>(Children.size()); }
  /// Nothing for an index out of range.
  TcmfGeneric* Child(int i) const {
    return i >= 0 && i < ChildCount() ? Children[static_cast<std::size_t>(i)].Get() : nullptr;
  }

  TcmfAttributes Attributes;
  std::vector<TRef<TcmfGeneric>> Children;
  std::int32_t ParentIndex = -1;
  /// Where the node stands in the node table (problems name nodes by it).
  std::int32_t TableIndex = -1;
};

class TcmfGroup : public TcmfGeneric {
 public:
  TcmfKind Kind() const override { return kNodeGroup; }
  std::int32_t Value = 0;  // kept, not drawn
};

class TcmfGeo : public TcmfGeneric {
 public:
  TcmfKind Kind() const override { return kNodeGeometry; }
  /// The stored bounds, or the union of the curves' when all four are zero.
  TRectF Bounds() const override;

  std::unique_ptr<TGeoCurve> FillCurve;
  std::unique_ptr<TGeoCurve> OutlineCurve;  // the outline already expanded into an area
};

class TcmfImage : public TcmfGeneric {
 public:
  /// Image bitmaps and embedded files above this many pixels are refused.
  static constexpr std::int64_t kMaxPixels = 250'000'000;

  TcmfKind Kind() const override { return kNodeImage; }
  /// The bounding box of the placement.
  TRectF PlacementBounds() const;
  /// The embedded file, decoded the first time it is asked for (a preflight
  /// check or the first band that draws it) and held through the bitmap cache
  /// the stored bitmap lives in. nullptr when there is no embedded file or it
  /// does not decode, with the reason in `problem`. One thread at a time.
  TSharedCachedBM32* EmbeddedBitmap(std::string* problem = nullptr) const;

  std::unique_ptr<TSharedCachedBM32> Bitmap;  // none when the stored bitmap did not decode
  /// Top-left, top-right and bottom-left corners of the image, document units.
  std::array<TPointF, 3> Placement{};
  std::unique_ptr<TGeoCurve> Outline;
  std::vector<std::uint8_t> EmbeddedFile;  // an image file to draw from instead, or empty

 private:
  mutable std::unique_ptr<TSharedCachedBM32> EmbeddedDecoded_;
  mutable std::string EmbeddedProblem_;
  mutable bool EmbeddedTried_ = false;
};

/// A loaded document.
class TcmfFile : public TRefObj {
 public:
  /// Every node, counted by kind.
  std::array<int, 4> NodeCounts() const;
  /// The union of the bounds of every geometry and image node.
  TRectF DrawingBounds() const;
  /// Decodes every image's embedded file now (see TcmfImage::EmbeddedBitmap)
  /// and adds a problem for each that does not decode, once per document.
  /// Returns how many do not decode.
  int CheckEmbeddedImages();

  /// One short sentence for every record, node, image or texture that the
  /// reader dropped or could not decode, or changed to print it, in file
  /// order; tables and nodes are named by their index, from 0.
  std::vector<std::string> Problems;

  TRef<TcmfGeneric> Root;  // nothing when not even the first node read
  std::vector<TRef<TStoredGradient>> Gradients;
  std::vector<TRef<TStoredTexture32>> Textures;
  /// Named colours; the spot inks they print with are the engine's (TSpotChannels).
  std::vector<TuniColorObj> Colours;
  std::string Name;
  std::array<std::uint32_t, 4> InfoValues{};
  std::uint32_t InfoExtra = 0;
  std::int64_t FileSize = 0;

 private:
  bool EmbeddedChecked_ = false;
  int EmbeddedFailures_ = 0;
};

}  // namespace slabrip
