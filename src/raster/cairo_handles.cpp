#include "raster/cairo_handles.h"

namespace slabrip {

TCairoSurface SurfaceOver(TBitmap32& bitmap) { return SurfaceOver(bitmap, bitmap.Bounds()); }

TCairoSurface SurfaceOver(const TBitmap32& bitmap) { return SurfaceOver(bitmap, bitmap.Bounds()); }

TCairoSurface SurfaceOver(TBitmap32& bitmap, const TRectI& area) {
  auto* first = reinterpret_cast<unsigned char*>(bitmap.Row(area.MinY) + area.MinX);
  return TCairoSurface(cairo_image_surface_create_for_data(first, CAIRO_FORMAT_ARGB32, area.MaxX - area.MinX,
                                                           area.MaxY - area.MinY, bitmap.Stride()));
}

TCairoSurface SurfaceOver(const TBitmap32& bitmap, const TRectI& area) {
  // cairo takes a writable pointer, but a source surface is never written.
  return SurfaceOver(const_cast<TBitmap32&>(bitmap), area);
}

}  // namespace slabrip
