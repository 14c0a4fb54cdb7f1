// Solid, hatch and texture brushes as cairo patterns, reproducing the GDI+ brushes of document fills.
#include "render/brushes.h"

#include <algorithm>
#include <cmath>

namespace slabrip {

namespace {

// GDI+'s 8 x 8 hatch cells, one byte a row, bit 0x80 the leftmost pixel.
constexpr std::array<std::uint8_t, 8> kDiagonalCross = {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
constexpr std::array<std::uint8_t, 8> kPercent50 = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};

double Channel(std::uint32_t argb, int shift) { return static_cast<double>((argb >> shift) & 0xFF) / 255.0; }

void SetSourceArgb(cairo_t* cr, std::uint32_t argb) {
  cairo_set_source_rgba(cr, Channel(argb, 16), Channel(argb, 8), Channel(argb, 0), Channel(argb, 24));
}

// A pattern in an error state would put the context that draws it into an
// error state as well, ending all drawing of the band: no pattern instead.
TCairoPattern Checked(cairo_pattern_t* pattern) {
  TCairoPattern result(pattern);
  if (cairo_pattern_status(pattern) != CAIRO_STATUS_SUCCESS) result.reset();
  return result;
}

// The texture side by side with its mirror image (in x) or above it (in y):
// repeating that doubled tile is GDI+'s flip in one axis, which cairo lacks.
TCairoSurface MirroredPair(cairo_surface_t* texture, int width, int height, bool flipX) {
  const int pairWidth = flipX ? 2 * width : width;
  const int pairHeight = flipX ? height : 2 * height;
  TCairoSurface pair(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pairWidth, pairHeight));
  if (cairo_surface_status(pair.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  TCairo cr(cairo_create(pair.get()));
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr.get(), texture, 0, 0);
  cairo_paint(cr.get());
  // Mirror about the far edge of the first copy; nearest sampling keeps the copy exact.
  if (flipX) {
    cairo_rectangle(cr.get(), width, 0, width, height);
    cairo_translate(cr.get(), pairWidth, 0);
    cairo_scale(cr.get(), -1, 1);
  } else {
    cairo_rectangle(cr.get(), 0, height, width, height);
    cairo_translate(cr.get(), 0, pairHeight);
    cairo_scale(cr.get(), 1, -1);
  }
  cairo_set_source_surface(cr.get(), texture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_NEAREST);
  cairo_fill(cr.get());
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cr.reset();
  cairo_surface_flush(pair.get());
  return pair;
}

}  // namespace

TRef<TcmfBrush> TcmfBrush::Solid(std::uint32_t rgb, std::uint32_t transparency) {
  const std::uint32_t alpha = 255 - std::min<std::uint32_t>(transparency, 255);
  return MakeRef<TcmfBrush>(SolidPattern(alpha << 24 | (rgb & 0xFFFFFF)));
}

TCairoPattern SolidPattern(std::uint32_t argb) {
  return TCairoPattern(
      cairo_pattern_create_rgba(Channel(argb, 16), Channel(argb, 8), Channel(argb, 0), Channel(argb, 24)));
}

TCairoPattern HatchPattern(THatchStyle style, std::uint32_t foreground, std::uint32_t background) {
  const auto& rows = style == THatchStyle::kDiagonalCross ? kDiagonalCross : kPercent50;
  const int size = static_cast<int>(rows.size());
  TCairoSurface cell(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
  TCairo cr(cairo_create(cell.get()));
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  SetSourceArgb(cr.get(), background);
  cairo_paint(cr.get());
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      if (rows[static_cast<std::size_t>(y)] & (0x80 >> x)) cairo_rectangle(cr.get(), x, y, 1, 1);
  SetSourceArgb(cr.get(), foreground);
  cairo_fill(cr.get());
  cr.reset();
  cairo_surface_flush(cell.get());
  // The cell is aligned with the device origin, like GDI+'s hatch brushes.
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(cell.get());
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  return Checked(pattern);
}

TCairoPattern TexturePattern(const TBitmap32& texture, const TParallelogramD& device, TTextureWrap wrap) {
  return TexturePattern(texture, device, wrap, texture.Bounds());
}

TCairoPattern TexturePattern(const TBitmap32& texture, const TParallelogramD& device, TTextureWrap wrap,
                             const TRectI& texels) {
  const int width = texels.Width();
  const int height = texels.Height();
  if (width <= 0 || height <= 0 || IsDegenerate(device)) return nullptr;
  TCairoSurface surface = SurfaceOver(texture, texels);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_extend_t extend = CAIRO_EXTEND_REPEAT;
  switch (wrap) {
    case TTextureWrap::kTile: break;
    case TTextureWrap::kTileFlipXY: extend = CAIRO_EXTEND_REFLECT; break;
    case TTextureWrap::kTileFlipX:
    case TTextureWrap::kTileFlipY:
      surface = MirroredPair(surface.get(), width, height, wrap == TTextureWrap::kTileFlipX);
      if (!surface) return nullptr;
      break;
    case TTextureWrap::kClamp: extend = CAIRO_EXTEND_NONE; break;
  }
  const auto w = static_cast<double>(texture.Width());
  const auto h = static_cast<double>(texture.Height());
  // cairo's pattern matrix goes from user space into the texture, here its part.
  cairo_matrix_t toTexture = CairoMatrix(TransformBetween(device, {{{0, 0}, {w, 0}, {0, h}}}));
  toTexture.x0 -= texels.MinX;
  toTexture.y0 -= texels.MinY;
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface.get());
  cairo_pattern_set_extend(pattern, extend);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_pattern_set_matrix(pattern, &toTexture);
  return Checked(pattern);
}

cairo_matrix_t CairoMatrix(const TAffineD& m) {
  cairo_matrix_t c;
  cairo_matrix_init(&c, m.M11, m.M12, m.M21, m.M22, m.Dx, m.Dy);
  return c;
}

}  // namespace slabrip
