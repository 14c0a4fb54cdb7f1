#include "raster/jpeg_writer.h"

#include <cstdio>  // jpeglib.h uses FILE without including it

#include <jpeglib.h>

#include "base/errors.h"

namespace slabrip {

std::vector<std::uint8_t> EncodeJpeg(const TBitmap32& bitmap, int quality) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width());
  cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.Width()) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const TColor32* p = bitmap.Row(static_cast<int>(cinfo.next_scanline));
    for (std::size_t x = 0; x < static_cast<std::size_t>(bitmap.Width()); ++x) {
      row[3 * x] = static_cast<std::uint8_t>(p[x] >> 16);
      row[3 * x + 1] = static_cast<std::uint8_t>(p[x] >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(p[x]);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace slabrip
