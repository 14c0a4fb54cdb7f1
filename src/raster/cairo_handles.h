// Owning handles for cairo objects, and a cairo surface over a bitmap's own pixels.
#pragma once

#include <cairo.h>
#include <memory>
#include <type_traits>

#include "raster/bitmap32.h"

namespace slabrip {

struct TCairoDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
  void operator()(cairo_path_t* path) const { cairo_path_destroy(path); }
};

using TCairo = std::unique_ptr<cairo_t, TCairoDeleter>;
using TCairoSurface = std::unique_ptr<cairo_surface_t, TCairoDeleter>;
using TCairoPattern = std::unique_ptr<cairo_pattern_t, TCairoDeleter>;

/// cairo makes no image surface wider or taller than this.
inline constexpr int kMaxCairoSide = 32767;

/// An ARGB32 image surface drawing straight into the bitmap's pixels (no
/// copy): the bitmap's layout is cairo's premultiplied ARGB32. The bitmap
/// must outlive the surface. The surface is in an error state for a bitmap
/// that cairo cannot take (more than kMaxCairoSide a side).
TCairoSurface SurfaceOver(TBitmap32& bitmap);
/// The same for a bitmap that is only read (textures, images).
TCairoSurface SurfaceOver(const TBitmap32& bitmap);
/// A surface over the pixels of `area` only (within the bitmap's bounds).
TCairoSurface SurfaceOver(TBitmap32& bitmap, const TRectI& area);
TCairoSurface SurfaceOver(const TBitmap32& bitmap, const TRectI& area);

}  // namespace slabrip
