#include "raster/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <cstdlib>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "base/errors.h"

namespace slabrip {

namespace {

// libjpeg's error handler, ending in a jump back to the call instead of exit().
struct TJpegErrors {
  jpeg_error_mgr Manager{};
  std::jmp_buf Jump{};
  char Message[JMSG_LENGTH_MAX] = {};
};

void JumpBack(j_common_ptr info) {
  auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
  info->err->format_message(info, errors->Message);
  std::longjmp(errors->Jump, 1);
}

J_COLOR_SPACE SpaceOf(TJpegColour colour) {
  switch (colour) {
    case TJpegColour::kGrey: return JCS_GRAYSCALE;
    case TJpegColour::kRgb: return JCS_RGB;
    case TJpegColour::kYCbCr: return JCS_YCbCr;
    case TJpegColour::kCmyk: return JCS_CMYK;
    case TJpegColour::kYcck: return JCS_YCCK;
  }
  return JCS_UNKNOWN;
}

int ComponentsOf(TJpegColour colour) {
  switch (colour) {
    case TJpegColour::kGrey: return 1;
    case TJpegColour::kCmyk:
    case TJpegColour::kYcck: return 4;
    default: return 3;
  }
}

// The compressor and its memory destination, released however the encoding ends.
struct TCompressor {
  TCompressor() {
    Info.err = jpeg_std_error(&Errors.Manager);
    Errors.Manager.error_exit = JumpBack;
  }
  ~TCompressor() {
    jpeg_destroy_compress(&Info);
    std::free(Buffer);
  }
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;

  jpeg_compress_struct Info{};
  TJpegErrors Errors;
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(int width, int height, TJpegColour colour,
                                     std::span<const std::uint8_t> samples, const TJpegOptions& options) {
  const auto components = static_cast<std::size_t>(ComponentsOf(colour));
  const std::size_t stride = static_cast<std::size_t>(width) * components;
  if (width < 1 || height < 1 || samples.size() < stride * static_cast<std::size_t>(height))
    throw TError("JPEG: too few samples for the picture");
  // Kept on the heap: nothing between the setjmp and a jump back may change on the stack.
  const auto jpeg = std::make_unique<TCompressor>();
  jpeg_compress_struct& info = jpeg->Info;
  if (setjmp(jpeg->Errors.Jump)) throw TError(std::string("JPEG: ") + jpeg->Errors.Message);
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &jpeg->Buffer, &jpeg->Size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = static_cast<int>(components);
  info.in_color_space = SpaceOf(colour);
  jpeg_set_defaults(&info);
  if (options.Stored) jpeg_set_colorspace(&info, SpaceOf(*options.Stored));
  if (options.AdobeMarker) info.write_Adobe_marker = *options.AdobeMarker ? TRUE : FALSE;
  jpeg_set_quality(&info, options.Quality, TRUE);
  if (options.Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(&samples[info.next_scanline * stride]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return std::vector<std::uint8_t>(jpeg->Buffer, jpeg->Buffer + jpeg->Size);
}

std::vector<std::uint8_t> EncodeJpeg(const TBitmap32& bitmap, int quality) {
  std::vector<std::uint8_t> samples;
  samples.reserve(bitmap.PixelCount() * 3);
  for (std::size_t i = 0; i < bitmap.PixelCount(); ++i) {
    const TColor32 p = bitmap.Pixels()[i];
    samples.insert(samples.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                   static_cast<std::uint8_t>(p)});
  }
  TJpegOptions options;
  options.Quality = quality;
  return EncodeJpeg(bitmap.Width(), bitmap.Height(), TJpegColour::kRgb, samples, options);
}

}  // namespace slabrip
