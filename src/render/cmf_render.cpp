#include "render/cmf_render.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "base/rounding.h"
#include "geometry/scan_buffer.h"

namespace slabrip {

namespace {

// cairo keeps coordinates in 24.8 fixed point; beyond this they would wrap.
constexpr double kCoordinateLimit = 4'000'000;

// Rows of the strips that patterns sampling through a matrix are painted in.
constexpr int kStripRows = 32;

// Columns of the pieces a band wider than cairo's images is drawn in.
constexpr int kPieceColumns = 16384;

// A pattern whose pixels cairo takes as they are: a colour, or a bitmap moved
// by whole pixels. Any other is resampled through a fixed-point matrix.
bool SamplesInPlace(cairo_pattern_t* pattern) {
  const cairo_pattern_type_t type = cairo_pattern_get_type(pattern);
  if (type == CAIRO_PATTERN_TYPE_SOLID) return true;
  if (type != CAIRO_PATTERN_TYPE_SURFACE) return false;
  cairo_matrix_t m;
  cairo_pattern_get_matrix(pattern, &m);
  return m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 && m.x0 == std::floor(m.x0) &&
         m.y0 == std::floor(m.y0);
}

int FloorDiv(int a, int b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

TRectF Normalised(const TRectF& r) {
  return {std::min(r.MinX, r.MaxX), std::min(r.MinY, r.MaxY), std::max(r.MinX, r.MaxX),
          std::max(r.MinY, r.MaxY)};
}

// Closed: rectangles that only touch meet.
bool Meet(const TRectF& a, const TRectF& b) {
  const TRectF p = Normalised(a), q = Normalised(b);
  return p.MinX <= q.MaxX && q.MinX <= p.MaxX && p.MinY <= q.MaxY && q.MinY <= p.MaxY;
}

bool IsNegative(std::uint32_t code) { return (code & 0x80000000u) != 0; }

std::uint32_t Payload24(std::uint32_t code) { return code & 0xFFFFFFu; }
std::uint32_t Payload28(std::uint32_t code) { return code & 0xFFFFFFFu; }

// Holds a cached bitmap locked while an image draws from it.
class TBitmapLock {
 public:
  explicit TBitmapLock(TSharedCachedBM32* holder)
      : Holder(holder), Bitmap(holder ? holder->GetBitmap() : nullptr) {}
  ~TBitmapLock() {
    if (Holder) Holder->ReleaseBitmap();
  }
  TBitmapLock(const TBitmapLock&) = delete;
  TBitmapLock& operator=(const TBitmapLock&) = delete;
  TSharedCachedBM32* Holder;
  TBitmap32* Bitmap;
};

}  // namespace

TcmfRender::TcmfRender() = default;

void TcmfRender::SetView(const TMatrixObj& view, const TRectF& visible) {
  View_ = view;
  Visible_ = visible;
  const TRectF device = view.MapRect(visible);
  DeviceClip_ = {device.MinX, device.MinY, device.MaxX, device.MaxY};
}

void TcmfRender::SetView(const TMatrixObj& view, const TRectD& deviceClip) {
  View_ = view;
  DeviceClip_ = deviceClip;
}

TRectD TcmfRender::TargetRect() const {
  if (TargetBitmap == nullptr) return {};
  return {0, static_cast<double>(TargetTop), static_cast<double>(TargetBitmap->Width()),
          static_cast<double>(TargetTop) + TargetBitmap->Height()};
}

void TcmfRender::Render(const TcmfFile& document, const TRectF& visible, const TMatrixObj& view,
                        bool clipToVisible, TSpotChannels spotChannels) {
  if (!TargetBitmap || TargetBitmap->PixelCount() == 0) return;
  Document_ = &document;
  SpotChannels_ = spotChannels;
  // A band wider than cairo's images is drawn in pieces of fixed columns, the
  // same for every band, so that it draws as a band of any height would.
  const int width = TargetBitmap->Width();
  const int step = width <= kMaxCairoSide ? width : kPieceColumns;
  try {
    for (int left = 0; left < width; left += step)
      DrawPiece({left, 0, std::min(width, left + step), TargetBitmap->Height()}, visible, view, clipToVisible);
  } catch (...) {
    Document_ = nullptr;
    SpotChannels_ = {};
    throw;
  }
  Document_ = nullptr;
  SpotChannels_ = {};
}

void TcmfRender::DrawPiece(const TRectI& piece, const TRectF& visible, const TMatrixObj& view,
                           bool clipToVisible) {
  const TCairoSurface surface = SurfaceOver(*TargetBitmap, piece);
  const TCairo cr(cairo_create(surface.get()));
  SetView(view, visible);
  Cairo_ = cr.get();
  // Shifts by whole pixels are exact in cairo's fixed point: every band and
  // piece draws the coordinates of the whole picture.
  cairo_translate(Cairo_, -piece.MinX, -TargetTop);
  if (clipToVisible) {
    cairo_rectangle(Cairo_, DeviceClip_.MinX, DeviceClip_.MinY, DeviceClip_.MaxX - DeviceClip_.MinX,
                    DeviceClip_.MaxY - DeviceClip_.MinY);
    cairo_clip(Cairo_);
  }
  // Work that scales with the clip (gradients drawn into bitmaps) stays within the piece.
  TRectD clip;
  cairo_clip_extents(Cairo_, &clip.MinX, &clip.MinY, &clip.MaxX, &clip.MaxY);
  DeviceClip_ = {std::max(DeviceClip_.MinX, clip.MinX), std::max(DeviceClip_.MinY, clip.MinY),
                 std::min(DeviceClip_.MaxX, clip.MaxX), std::min(DeviceClip_.MaxY, clip.MaxY)};
  cairo_set_antialias(Cairo_, CAIRO_ANTIALIAS_BEST);
  cairo_set_operator(Cairo_, CAIRO_OPERATOR_OVER);
  if (Document_->Root)
    for (const auto& child : Document_->Root->Children) DrawNode(*child);
  cairo_surface_flush(surface.get());
  const cairo_status_t status = cairo_status(Cairo_);
  Cairo_ = nullptr;
  // A context in an error state has drawn nothing since: never a blank band in silence.
  if (status != CAIRO_STATUS_SUCCESS)
    throw TError(fmt::format("cairo cannot draw the band ({} x {} pixels at row {}): {}",
                             piece.MaxX - piece.MinX, piece.MaxY - piece.MinY, TargetTop,
                             cairo_status_to_string(status)));
}

void TcmfRender::DrawNode(const TcmfGeneric& node) {
  if (!Meet(node.Bounds(), Visible_)) return;  // the whole subtree lies elsewhere
  switch (node.Kind()) {
    case kNodeGroup:
      for (const auto& child : node.Children) DrawNode(*child);
      break;
    case kNodeGeometry: DrawGeometry(static_cast<const TcmfGeo&>(node)); break;
    case kNodeImage: DrawImage(static_cast<const TcmfImage&>(node)); break;
    case kNodePlain: break;  // draws nothing, nor anything under it
  }
}

int TcmfRender::SpotChannelOf(std::uint32_t code) const {
  if (IsNegative(code) || FillKindOf(code) != kFillNamedColour) return -1;
  const std::uint32_t index = Payload24(code);
  return index < SpotChannels_.size() ? SpotChannels_[index] : -1;
}

std::uint32_t TcmfRender::NamedColourRgb(std::uint32_t index) const {
  if (index >= Document_->Colours.size()) return 0;  // black
  return PackRGB(Converter_.ToRGB(Document_->Colours[index].Spec));
}

bool TcmfRender::AppendPath(const TGeoCurve& curve) {
  const TGeoPath path = curve.BuildPath(&View_.Matrix(), kTolerance);
  cairo_new_path(Cairo_);
  bool any = false;
  PathBox_ = {kCoordinateLimit, kCoordinateLimit, -kCoordinateLimit, -kCoordinateLimit};
  const auto clampTo = [](double v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); };
  for (const TPathCommand& c : path) {
    for (const TPointD& p : c.P)
      if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;  // a broken curve draws nothing
    const int points = c.Op == TPathCommand::kCurveTo ? 3 : c.Op == TPathCommand::kClose ? 0 : 1;
    for (int i = 0; i < points; ++i) {
      const TPointD p = c.P[static_cast<std::size_t>(i)];
      PathBox_ = {std::min(PathBox_.MinX, clampTo(p.X)), std::min(PathBox_.MinY, clampTo(p.Y)),
                  std::max(PathBox_.MaxX, clampTo(p.X)), std::max(PathBox_.MaxY, clampTo(p.Y))};
    }
    switch (c.Op) {
      case TPathCommand::kMoveTo: cairo_move_to(Cairo_, clampTo(c.P[0].X), clampTo(c.P[0].Y)); break;
      case TPathCommand::kLineTo: cairo_line_to(Cairo_, clampTo(c.P[0].X), clampTo(c.P[0].Y)); break;
      case TPathCommand::kCurveTo:
        cairo_curve_to(Cairo_, clampTo(c.P[0].X), clampTo(c.P[0].Y), clampTo(c.P[1].X), clampTo(c.P[1].Y),
                       clampTo(c.P[2].X), clampTo(c.P[2].Y));
        break;
      case TPathCommand::kClose: cairo_close_path(Cairo_); break;
    }
    any = true;
  }
  return any;
}

// cairo samples a pattern that scales or turns through a fixed-point matrix
// that it fits around the middle of the area drawn; drawn straight into a band,
// that middle, and with it the sampled pixels, would move with the band. The
// path is filled instead in strips fixed on the picture, the same whatever the
// band, and the strips are laid onto the band by whole pixels.
void TcmfRender::FillPath(cairo_pattern_t* pattern, cairo_fill_rule_t rule) {
  cairo_set_fill_rule(Cairo_, rule);
  if (SamplesInPlace(pattern)) {
    cairo_set_source(Cairo_, pattern);
    cairo_fill(Cairo_);
    return;
  }
  FillInStrips([pattern](const TRectI&) { return TCairoPattern(cairo_pattern_reference(pattern)); }, kMaxCairoSide,
               rule);
}

void TcmfRender::FillImage(const TBitmap32& image, const TParallelogramD& device) {
  if (image.Width() <= kMaxCairoSide && image.Height() <= kMaxCairoSide) {
    if (const auto pattern = TexturePattern(image, device, TTextureWrap::kClamp))
      FillPath(pattern.get(), CAIRO_FILL_RULE_WINDING);
    else
      cairo_new_path(Cairo_);
    return;
  }
  // Too large for cairo: each strip draws from the part of the image under it,
  // with room for the filter, in columns narrow enough for that part to fit.
  const cairo_matrix_t toImage = CairoMatrix(TransformBetween(
      device, {{{0, 0}, {static_cast<double>(image.Width()), 0}, {0, static_cast<double>(image.Height())}}}));
  const double texelsAcross = std::abs(toImage.xx) + std::abs(toImage.yx);
  const double texelsDown = std::abs(toImage.xy) + std::abs(toImage.yy);
  const int margin = static_cast<int>(std::ceil(std::max({texelsAcross, texelsDown, 1.0}))) + 2;
  const double room = kMaxCairoSide - 2.0 * margin - texelsDown * kStripRows;
  const double columns = texelsAcross > 0 ? room / texelsAcross : kMaxCairoSide;
  if (!(columns >= 1)) {
    cairo_new_path(Cairo_);
    return;
  }
  FillInStrips(
      [&](const TRectI& area) -> TCairoPattern {
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (const auto& [x, y] : {std::pair{area.MinX, area.MinY},
                                   {area.MaxX, area.MinY},
                                   {area.MinX, area.MaxY},
                                   {area.MaxX, area.MaxY}}) {
          const double u = toImage.xx * x + toImage.xy * y + toImage.x0;
          const double v = toImage.yx * x + toImage.yy * y + toImage.y0;
          minX = std::min(minX, u), maxX = std::max(maxX, u), minY = std::min(minY, v), maxY = std::max(maxY, v);
        }
        const TRectI texels{static_cast<int>(std::clamp(std::floor(minX) - margin, 0.0, double(image.Width()))),
                            static_cast<int>(std::clamp(std::floor(minY) - margin, 0.0, double(image.Height()))),
                            static_cast<int>(std::clamp(std::ceil(maxX) + margin, 0.0, double(image.Width()))),
                            static_cast<int>(std::clamp(std::ceil(maxY) + margin, 0.0, double(image.Height())))};
        if (texels.MinX >= texels.MaxX || texels.MinY >= texels.MaxY) return nullptr;
        return TexturePattern(image, device, TTextureWrap::kClamp, texels);
      },
      static_cast<int>(std::min<double>(columns, kMaxCairoSide)), CAIRO_FILL_RULE_WINDING);
}

void TcmfRender::FillInStrips(const TPatternFor& patternFor, int columns, cairo_fill_rule_t rule) {
  const double left = std::floor(std::max(PathBox_.MinX, DeviceClip_.MinX));
  const double top = std::floor(std::max(PathBox_.MinY, DeviceClip_.MinY));
  const double right = std::ceil(std::min(PathBox_.MaxX, DeviceClip_.MaxX));
  const double bottom = std::ceil(std::min(PathBox_.MaxY, DeviceClip_.MaxY));
  const std::unique_ptr<cairo_path_t, TCairoDeleter> path(cairo_copy_path(Cairo_));
  cairo_new_path(Cairo_);
  if (!(left < right && top < bottom) || path->status != CAIRO_STATUS_SUCCESS) return;
  const int x = static_cast<int>(left), y = static_cast<int>(top);
  const int end = static_cast<int>(right), bottomRow = static_cast<int>(bottom);
  // Columns too start at fixed places, so a strip's areas do not depend on the piece either.
  for (int column = FloorDiv(x, columns) * columns; column < end; column += columns) {
    const int areaLeft = std::max(column, x), areaRight = std::min(column + columns, end);
    const TCairoSurface strip(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, areaRight - areaLeft, kStripRows));
    if (cairo_surface_status(strip.get()) != CAIRO_STATUS_SUCCESS) return;
    for (int stripTop = FloorDiv(y, kStripRows) * kStripRows; stripTop < bottomRow; stripTop += kStripRows) {
      const TCairoPattern pattern = patternFor({areaLeft, stripTop, areaRight, stripTop + kStripRows});
      if (!pattern) continue;
      {
        const TCairo cr(cairo_create(strip.get()));
        cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr.get());
        cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
        cairo_set_antialias(cr.get(), cairo_get_antialias(Cairo_));
        cairo_set_fill_rule(cr.get(), rule);
        cairo_translate(cr.get(), -areaLeft, -stripTop);
        cairo_append_path(cr.get(), path.get());
        cairo_set_source(cr.get(), pattern.get());
        cairo_fill(cr.get());
      }
      cairo_surface_flush(strip.get());
      const int first = std::max(stripTop, y), last = std::min(stripTop + kStripRows, bottomRow);
      cairo_set_source_surface(Cairo_, strip.get(), areaLeft, stripTop);
      cairo_rectangle(Cairo_, areaLeft, first, areaRight - areaLeft, last - first);
      cairo_fill(Cairo_);
    }
  }
}

void TcmfRender::DrawGeometry(const TcmfGeo& geo) {
  const TcmfAttributes& a = geo.Attributes;
  if (geo.FillCurve) {
    const int spot = SpotChannelOf(a.FillCode());
    const bool hairline = (a.Flags() & kAttrHairline) != 0;
    if (hairline) {
      // A hairline stands in for an outline only where the node has none.
      const std::uint32_t pen = PenColour(a.FillCode());
      if ((!geo.OutlineCurve || IsNegative(a.OutlineCode())) && pen != 0 && AppendPath(*geo.FillCurve)) {
        const auto source = SolidPattern(pen);
        cairo_set_source(Cairo_, source.get());
        cairo_set_line_width(Cairo_, 1.0);
        cairo_stroke(Cairo_);
      }
    } else if (spot >= 0) {
      RenderSpotCurve(spot, *geo.FillCurve, a.Transparency());
    } else if (const auto brush = FillBrush(a); brush && AppendPath(*geo.FillCurve)) {
      FillPath(brush->Pattern(), CAIRO_FILL_RULE_EVEN_ODD);
    }
  }
  if (geo.OutlineCurve) {
    const int spot = SpotChannelOf(a.OutlineCode());
    if (spot >= 0) {
      RenderSpotCurve(spot, *geo.OutlineCurve, a.Transparency());
    } else if (const auto brush = OutlineBrush(a.OutlineCode()); brush && AppendPath(*geo.OutlineCurve)) {
      FillPath(brush->Pattern(), CAIRO_FILL_RULE_WINDING);
    }
  }
}

TParallelogramD TcmfRender::DeviceParallelogram(const std::array<TPointF, 3>& points,
                                                const TAffine& matrix) const {
  TParallelogramD device;
  for (std::size_t i = 0; i < 3; ++i) {
    const TPointF p = matrix.Map(points[i]);
    device[i] = {p.X, p.Y};
  }
  return device;
}

TRef<TcmfBrush> TcmfRender::FillBrush(const TcmfAttributes& a) const {
  const std::uint32_t code = a.FillCode();
  const std::uint32_t t = std::min(a.Transparency(), 255u);
  if (a.Flags() & kAttrOpaqueWhite) return TcmfBrush::Solid(0xFFFFFF, 0);
  switch (FillKindOf(code)) {
    case kFillDirectColour: return TcmfBrush::Solid(Payload24(code), t);
    case kFillNamedColour: return TcmfBrush::Solid(NamedColourRgb(Payload24(code)), t);
    case kFillGradient: {
      const std::uint32_t index = Payload28(code);
      if (index >= Document_->Gradients.size()) return nullptr;
      auto pattern = GradientPattern(*Document_->Gradients[index]->Range, a.GradientExtent(), a.FillFrame(),
                                     t, DeviceClip_, Compose(a.FillMatrix(), View_.Matrix()));
      return pattern ? MakeRef<TcmfBrush>(std::move(pattern)) : nullptr;
    }
    case kFillTexture: {
      const std::uint32_t index = Payload28(code);
      if (index >= Document_->Textures.size()) return nullptr;
      const TFileTexture32* texture = Document_->Textures[index]->Texture.Get();
      if (!texture || !texture->Loaded || !texture->Main) return nullptr;
      // The fill frame placed in the texture extent, then through fill matrix and view.
      const TRectF e = a.TextureExtent();
      std::array<TPointF, 3> frame = a.FillFrame();
      for (TPointF& p : frame) p = {e.MinX + p.X * (e.MaxX - e.MinX), e.MinY + p.Y * (e.MaxY - e.MinY)};
      static constexpr TTextureWrap kWraps[4] = {TTextureWrap::kTile, TTextureWrap::kTileFlipX,
                                                 TTextureWrap::kTileFlipY, TTextureWrap::kTileFlipXY};
      const TTextureWrap wrap = (a.Flags() & kAttrTextureTiles)
                                    ? kWraps[static_cast<std::size_t>(a.TileFlip())]
                                    : TTextureWrap::kClamp;
      auto pattern = TexturePattern(
          *texture->Main, DeviceParallelogram(frame, Compose(a.FillMatrix(), View_.Matrix())), wrap);
      return pattern ? MakeRef<TcmfBrush>(std::move(pattern)) : nullptr;
    }
    case kFillHatch:
      return MakeRef<TcmfBrush>(HatchPattern(THatchStyle::kDiagonalCross, 0x80C0C0C0, 0x80FFFFFF));
    case kFillSpecial:
      switch (Payload24(code)) {
        case 1:
        case 3: return nullptr;
        case 2: return MakeRef<TcmfBrush>(SolidPattern(0xFF000000));
        default: return MakeRef<TcmfBrush>(SolidPattern(0xFFC0C0C0));
      }
    default: return nullptr;
  }
}

TRef<TcmfBrush> TcmfRender::OutlineBrush(std::uint32_t code) const {
  if (IsNegative(code)) return nullptr;
  switch (FillKindOf(code)) {
    case kFillDirectColour: return TcmfBrush::Solid(Payload24(code), 0);
    case kFillNamedColour: return TcmfBrush::Solid(NamedColourRgb(Payload24(code)), 0);
    case kFillSpecial:
      switch (Payload24(code)) {
        case 1: return MakeRef<TcmfBrush>(HatchPattern(THatchStyle::kDiagonalCross, 0x800080FF, 0x00FFFFFF));
        case 2: return MakeRef<TcmfBrush>(SolidPattern(0xFF808080));
        case 3: return MakeRef<TcmfBrush>(HatchPattern(THatchStyle::kPercent50, 0x80C0C0C0, 0x00FFFFFF));
        default: return MakeRef<TcmfBrush>(SolidPattern(0xFFC0C0C0));
      }
    default: return nullptr;
  }
}

std::uint32_t TcmfRender::PenColour(std::uint32_t code) const {
  if (IsNegative(code)) return 0;
  switch (FillKindOf(code)) {
    case kFillDirectColour: return 0xFF000000u | Payload24(code);
    case kFillNamedColour: return 0xFF000000u | NamedColourRgb(Payload24(code));
    case kFillSpecial:
      switch (Payload24(code)) {
        case 1: return 0x800080FF;
        case 2: return 0xFF000000;
        case 3: return 0x80C0C0C0;
        default: return 0xFFC0C0C0;
      }
    default: return 0;
  }
}

void TcmfRender::DrawImage(const TcmfImage& image) {
  if (EmbeddedFileMode && !image.EmbeddedFile.empty() && image.Outline && DrawEmbeddedImage(image)) return;
  if (!image.Outline) return;
  const TBitmapLock lock(image.Bitmap.get());
  if (!lock.Bitmap || lock.Bitmap->PixelCount() == 0) return;
  if (AppendPath(*image.Outline)) FillImage(*lock.Bitmap, DeviceParallelogram(image.Placement, View_.Matrix()));
}

// The embedded file, decoded once and held through the bitmap cache (by the
// image), drawn onto the placement and clipped to the outline. False when it
// does not decode: the stored bitmap of the same picture is drawn instead.
bool TcmfRender::DrawEmbeddedImage(const TcmfImage& image) {
  const TBitmapLock lock(image.EmbeddedBitmap());
  if (!lock.Bitmap || lock.Bitmap->PixelCount() == 0) return false;
  if (AppendPath(*image.Outline)) FillImage(*lock.Bitmap, DeviceParallelogram(image.Placement, View_.Matrix()));
  return true;
}

void TcmfRender::RenderSpotCurve(int channel, const TGeoCurve& curve, std::uint32_t transparency) {
  if (!TargetBitmap || !SpotMap || TargetBitmap->PixelCount() == 0) return;
  const int width = TargetBitmap->Width(), height = TargetBitmap->Height();
  // The pixels the curve can touch, within the bitmap and the clip.
  const TRectF bounds = curve.DocumentBounds();
  if (!(bounds.MaxX >= bounds.MinX && bounds.MaxY >= bounds.MinY)) return;  // no contours
  const TRectF pixels = View_.MapRectToPixels(bounds);
  const double left = std::max({double{pixels.MinX}, 0.0, std::floor(DeviceClip_.MinX)});
  const double right = std::min({double{pixels.MaxX}, double(width), std::ceil(DeviceClip_.MaxX)});
  const double top = std::max({double{pixels.MinY}, double(TargetTop), std::floor(DeviceClip_.MinY)});
  const double bottom =
      std::min({double{pixels.MaxY}, double(TargetTop) + height, std::ceil(DeviceClip_.MaxY)});
  if (!(left < right && top < bottom)) return;

  TScanBuffer buffer(height + 1, TargetTop);
  for (int c = 0; c < curve.ContourCount(); ++c)
    for (const TGeoSegment& s : curve.FillSegments(curve.Contour(c), &View_.Matrix())) {
      if (s.IsConic)
        buffer.AddConic(s.Start, s.Control, s.Weight, kTolerance, s.End);
      else
        buffer.AddLine(s.Start, s.End);
    }
  buffer.Finish();

  const TColor32 colour = transparency == 0 ? 0x00FFFFFFu : std::min(transparency, 255u) << 24 | 0xFFFFFFu;
  const auto first = static_cast<int>(left), last = static_cast<int>(right) - 1;
  for (auto y = static_cast<int>(top); y < static_cast<int>(bottom); ++y) {
    TColor32* row = TargetBitmap->Row(y - TargetTop);
    std::uint16_t* spots = SpotMap->Row(y - TargetTop);
    for (const TScanSpan& span : buffer.SpansOfRow(y)) {
      const auto x0 =
          static_cast<int>(std::max<std::int64_t>(RoundClamp(span.StartX, INT32_MIN, INT32_MAX), first));
      const auto x1 =
          static_cast<int>(std::min<std::int64_t>(RoundClamp(span.EndX, INT32_MIN, INT32_MAX), last));
      if (x0 > x1) continue;
      std::fill(row + x0, row + x1 + 1, colour);
      std::fill(spots + x0, spots + x1 + 1, static_cast<std::uint16_t>(channel));
    }
  }
}

}  // namespace slabrip
