#include "tools/image_files.h"

#include <cstdio>  // jpeglib.h uses FILE without including it

#include <jpeglib.h>
#include <png.h>

#include "base/errors.h"

namespace slabrip {

namespace {

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const TBitmap32& bitmap) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) throw TError("cannot start a PNG file");
  // libpng reports errors by longjmp; nothing here owns resources across it but png/info.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw TError("cannot write a PNG file");
  }
  png_set_write_fn(png, &out, AppendPng, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()), static_cast<png_uint_32>(bitmap.Height()),
               8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);  // our pixels are B, G, R, A in memory
  for (int y = 0; y < bitmap.Height(); ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(bitmap.Row(y)));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

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
