// Brushes of document fills as cairo patterns: solid, hatch, texture and the four gradient kinds.
#pragma once

#include <array>
#include <cstdint>

#include "base/affine.h"
#include "base/ref_obj.h"
#include "document/storage_item.h"
#include "raster/bitmap32.h"
#include "raster/cairo_handles.h"

namespace slabrip {

/// The brush of one object: a cairo pattern that keeps whatever it draws
/// from (a texture's surface, a gradient's bitmap) alive as long as itself.
class TcmfBrush : public TRefObj {
 public:
  explicit TcmfBrush(TCairoPattern pattern) : Pattern_(std::move(pattern)) {}
  /// A solid brush of RGB with alpha 255 - transparency.
  static TRef<TcmfBrush> Solid(std::uint32_t rgb, std::uint32_t transparency);
  cairo_pattern_t* Pattern() const { return Pattern_.get(); }

 private:
  TCairoPattern Pattern_;
};

/// A solid pattern of a colour given as 0xAARRGGBB (not premultiplied).
TCairoPattern SolidPattern(std::uint32_t argb);

/// Hatch styles: an 8 x 8 pattern repeated in device space.
enum class THatchStyle { kDiagonalCross, kPercent50 };
/// Foreground and background as 0xAARRGGBB.
TCairoPattern HatchPattern(THatchStyle style, std::uint32_t foreground, std::uint32_t background);

/// How a texture repeats: tiled (optionally flipped in x, y or both) or drawn once.
enum class TTextureWrap { kTile, kTileFlipX, kTileFlipY, kTileFlipXY, kClamp };
/// The texture (premultiplied pixels) mapped so that its own rectangle
/// (0, 0), (width, 0), (0, height) lands on `device`. The pattern draws
/// from the texture's own pixels (copied only for a flip in one axis), so
/// the texture must outlive it. Nothing for an empty texture, a degenerate
/// parallelogram or a texture larger than cairo's images.
TCairoPattern TexturePattern(const TBitmap32& texture, const TParallelogramD& device, TTextureWrap wrap);
/// The same drawing only from the pixels of `texels`, a part of a texture
/// that may be larger than cairo's images; for kClamp only.
TCairoPattern TexturePattern(const TBitmap32& texture, const TParallelogramD& device, TTextureWrap wrap,
                             const TRectI& texels);

/// The brush of a gradient fill: `extent` is the object's gradient extent,
/// `frame` its fill frame in unit coordinates of the extent, `matrix` the
/// fill matrix followed by the view; `deviceClip` bounds the work of the
/// gradients drawn into bitmaps (rectangular and conical). Nothing when no
/// brush results (a drawn gradient wholly outside the clip or over more
/// than 100 million pixels, no stops, a degenerate or non-finite frame).
TCairoPattern GradientPattern(const TGradRange& range, const TRectF& extent, const TParallelogramF& frame,
                              std::uint32_t transparency, const TRectD& deviceClip, const TAffine& matrix);

/// The transform in cairo's form.
cairo_matrix_t CairoMatrix(const TAffineD& m);

}  // namespace slabrip
