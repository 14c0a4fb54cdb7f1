// Drawing a cmf document into a band: cairo for painted objects, the scan
// buffer for objects bound to spot inks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "base/affine.h"
#include "base/ref_obj.h"
#include "document/cmf_model.h"
#include "raster/bitmap32.h"
#include "raster/cairo_handles.h"
#include "raster/word_map.h"
#include "render/brushes.h"

namespace slabrip {

/// The spot channel of each named colour of one document, by colour index: a
/// spot palette index, or -1 where the colour paints normally. Colours past
/// the end paint normally, so an empty table draws no spot inks. The engine
/// makes one per job (TRipEngine::PrepareSpotInks).
using TSpotChannels = std::span<const std::int32_t>;

/// Draws documents through a view transform (document units to the pixels of
/// the whole picture, a slab say) into a band of it: the target bitmap holds
/// the picture's rows from TargetTop on. The caller sets the target bitmap and
/// spot map of the band and clears them. A band draws exactly the pixels the
/// same rows of a taller band would.
class TcmfRender : public TRefObj {
 public:
  /// Flattening tolerance in device pixels, as a squared distance.
  static constexpr double kTolerance = 0.25;

  TcmfRender();

  /// Draws every node of the document whose bounds meet `visible` (document
  /// units) into the target bitmap, clipped to `visible` when `clipToVisible`.
  /// Named colours bound to a spot channel in `spotChannels` are
  /// scan-converted (RenderSpotCurve) instead of painted. Anything cairo is
  /// given is clipped to the band; coordinates beyond reason are dropped.
  /// Throws TError when cairo cannot draw the band.
  void Render(const TcmfFile& document, const TRectF& visible, const TMatrixObj& view,
              bool clipToVisible = false, TSpotChannels spotChannels = {});

  /// Scan-converts a curve into the target bitmap and spot map: white with
  /// the transparency in alpha, the spot channel in the map. Needs the target
  /// bitmap and spot map set, and a view transform (the last Render's, or SetView).
  void RenderSpotCurve(int channel, const TGeoCurve& curve, std::uint32_t transparency);

  /// The view and visible rectangle for RenderSpotCurve outside Render.
  void SetView(const TMatrixObj& view, const TRectF& visible);
  /// The view and device clip for RenderSpotCurve outside Render (printer's marks).
  void SetView(const TMatrixObj& view, const TRectD& deviceClip);
  /// The target bitmap's pixels in the picture's device space.
  TRectD TargetRect() const;

  TBitmap32* TargetBitmap = nullptr;
  TWordMap* SpotMap = nullptr;
  /// The picture's row that the target bitmap's first row holds.
  int TargetTop = 0;
  /// Images draw from their embedded file when they carry one.
  bool EmbeddedFileMode = true;

 private:
  /// The spot channel a fill code prints with, or -1 for the normal colour path.
  int SpotChannelOf(std::uint32_t code) const;
  void DrawNode(const TcmfGeneric& node);
  void DrawGeometry(const TcmfGeo& geo);
  void DrawImage(const TcmfImage& image);
  bool DrawEmbeddedImage(const TcmfImage& image);
  /// Appends the curve's device path to the context and sets PathBox_ around
  /// its points; false when it has nothing drawable.
  bool AppendPath(const TGeoCurve& curve);
  /// Fills the current path with the pattern, the same for any band.
  void FillPath(cairo_pattern_t* pattern, cairo_fill_rule_t rule);
  /// Fills the current path with an image laid on `device`, also one larger than cairo's images.
  void FillImage(const TBitmap32& image, const TParallelogramD& device);
  /// The pattern for a device area; `columns` bounds the areas' width.
  using TPatternFor = std::function<TCairoPattern(const TRectI& area)>;
  void FillInStrips(const TPatternFor& patternFor, int columns, cairo_fill_rule_t rule);
  void DrawPiece(const TRectI& piece, const TRectF& visible, const TMatrixObj& view, bool clipToVisible);
  TRef<TcmfBrush> FillBrush(const TcmfAttributes& attributes) const;
  TRef<TcmfBrush> OutlineBrush(std::uint32_t code) const;
  std::uint32_t PenColour(std::uint32_t code) const;
  std::uint32_t NamedColourRgb(std::uint32_t index) const;
  TParallelogramD DeviceParallelogram(const std::array<TPointF, 3>& points, const TAffine& matrix) const;

  TStandardColorConverter Converter_;
  const TcmfFile* Document_ = nullptr;
  TSpotChannels SpotChannels_;  // the document's, while Render draws it
  cairo_t* Cairo_ = nullptr;
  TMatrixObj View_;
  TRectF Visible_{100000, 100000, -100000, -100000};
  TRectD DeviceClip_;
  TRectD PathBox_;
};

}  // namespace slabrip
