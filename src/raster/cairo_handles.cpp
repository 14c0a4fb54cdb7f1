#include "raster/cairo_handles.h"

namespace slabrip {

TCairoSurface SurfaceOver(TBitmap32& bitmap) {
  return TCairoSurface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(bitmap.Pixels()),
                                                           CAIRO_FORMAT_ARGB32, bitmap.Width(), bitmap.Height(),
                                                           bitmap.Stride()));
}

TCairoSurface SurfaceOver(const TBitmap32& bitmap) {
  // cairo takes a writable pointer, but a source surface is never written.
  return SurfaceOver(const_cast<TBitmap32&>(bitmap));
}

}  // namespace slabrip
