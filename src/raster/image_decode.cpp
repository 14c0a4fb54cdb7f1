// Image files decoded from memory: JPEG, PNG and TIFF here, BMP and GIF beside.
#include "raster/image_decode.h"
#include "raster/image_decode_p.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

#include <fmt/format.h>
#include <jerror.h>  // libjpeg's message codes
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace slabrip {

namespace image_decoding {

bool SizeAccepted(std::uint64_t width, std::uint64_t height, std::int64_t maxPixels, std::string& problem) {
  if (width == 0 || height == 0) {
    problem = fmt::format("image size {} x {} is not positive", width, height);
    return false;
  }
  const auto cap = static_cast<std::uint64_t>(
      std::clamp<std::int64_t>(maxPixels, 0, static_cast<std::int64_t>(TBitmap32::kMaxPixels)));
  if (width > cap || height > cap || width * height > cap) {
    problem = fmt::format("image of {} x {} pixels is larger than the {} pixels allowed", width, height, cap);
    return false;
  }
  return true;
}

std::optional<TBitmap32> NewBitmap(std::uint64_t width, std::uint64_t height, std::string& problem) {
  try {
    return TBitmap32(static_cast<int>(width), static_cast<int>(height));
  } catch (const std::bad_alloc&) {
    problem = fmt::format("not enough memory for an image of {} x {} pixels", width, height);
    return std::nullopt;
  }
}

}  // namespace image_decoding

namespace {

using namespace image_decoding;

// ---- JPEG ----
//
// libjpeg reports errors through error_exit, which must not return: ours
// longjmps back to the setjmp of the phase that called into libjpeg. Those
// phase functions hold nothing with a destructor; the decoder state lives in
// the caller, which destroys it on every path.

struct TJpegErrors {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  std::array<char, JMSG_LENGTH_MAX> Message;
  bool Truncated;
};

struct TJpegDecoder {
  jpeg_decompress_struct Info{};
  TJpegErrors Errors{};

  TJpegDecoder() = default;
  TJpegDecoder(const TJpegDecoder&) = delete;
  TJpegDecoder& operator=(const TJpegDecoder&) = delete;
  // Also right when creation failed: without a memory manager there is nothing to free.
  ~TJpegDecoder() { jpeg_destroy_decompress(&Info); }
};

[[noreturn]] void JpegFail(j_common_ptr info) {
  auto* errors = static_cast<TJpegErrors*>(info->client_data);
  info->err->format_message(info, errors->Message.data());
  std::longjmp(errors->Jump, 1);
}

// Warnings are silent, except that data ending before the image does fails
// the image rather than leaving its rest grey.
void JpegMessage(j_common_ptr info, int level) {
  const int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) {
    static_cast<TJpegErrors*>(info->client_data)->Truncated = true;
    JpegFail(info);
  }
}

bool JpegReadHeader(TJpegDecoder& d, TBytes bytes) {
  if (setjmp(d.Errors.Jump)) return false;
  d.Info.err = jpeg_std_error(&d.Errors.Manager);
  d.Errors.Manager.error_exit = JpegFail;
  d.Errors.Manager.emit_message = JpegMessage;
  d.Info.client_data = &d.Errors;  // creation keeps it, and may already fail
  jpeg_create_decompress(&d.Info);
  jpeg_mem_src(&d.Info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&d.Info, TRUE);
  return true;
}

// Adobe's CMYK files (and every YCCK file, which libjpeg hands out in the
// same convention) store the channels inverted: 255 is no ink.
void ConvertJpegRow(const jpeg_decompress_struct& info, const JSAMPLE* in, TColor32* out) {
  const JDIMENSION width = info.output_width;
  switch (info.out_color_space) {
    case JCS_GRAYSCALE:
      for (JDIMENSION x = 0; x < width; ++x) out[x] = Opaque(in[x], in[x], in[x]);
      break;
    case JCS_RGB:
      for (JDIMENSION x = 0; x < width; ++x, in += 3) out[x] = Opaque(in[0], in[1], in[2]);
      break;
    default: {  // JCS_CMYK
      const std::uint32_t flip = info.saw_Adobe_marker ? 0 : 255;
      for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        // With c, m, y, k the un-inverted ink amounts: R = (255 - c)(255 - k) / 255, and so on.
        const std::uint32_t paper = flip ^ in[3];  // 255 - k
        out[x] = Opaque(MulDiv255(flip ^ in[0], paper), MulDiv255(flip ^ in[1], paper),
                        MulDiv255(flip ^ in[2], paper));
      }
    }
  }
}

void JpegDecodeRows(jpeg_decompress_struct& info, TBitmap32& bitmap, JSAMPLE* row) {
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    const auto y = static_cast<int>(info.output_scanline);
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&info, rows, 1);  // the memory source never suspends: a row always comes
    ConvertJpegRow(info, row, bitmap.Row(y));
  }
}

bool JpegReadRows(TJpegDecoder& d, TBitmap32& bitmap, JSAMPLE* row) {
  if (setjmp(d.Errors.Jump)) return false;
  JpegDecodeRows(d.Info, bitmap, row);
  return true;
}

// A sequential or DC scan with Huffman codes spends at least one bit on each
// 8 x 8 block of its components, and some component has such a scan, so a
// file shorter than that cannot hold the image: refused before the
// whole-image buffers are allocated. (Arithmetic coding has no such floor.)
bool JpegDataCanHoldImage(const jpeg_decompress_struct& info, std::size_t size) {
  if (info.arith_code) return true;
  std::uint64_t fewestBlocks = UINT64_MAX;
  for (int i = 0; i < info.num_components; ++i) {
    const jpeg_component_info& c = info.comp_info[i];
    fewestBlocks =
        std::min<std::uint64_t>(fewestBlocks, std::uint64_t{c.width_in_blocks} * c.height_in_blocks);
  }
  return fewestBlocks / 8 <= size;
}

std::optional<TBitmap32> DecodeJpeg(TBytes bytes, std::int64_t maxPixels, std::string& problem) {
  TJpegDecoder d;
  const auto failed = [&] {
    problem = d.Errors.Truncated ? "truncated JPEG data"
                                 : fmt::format("corrupt JPEG data: {}", d.Errors.Message.data());
    return std::nullopt;
  };
  if (!JpegReadHeader(d, bytes)) return failed();
  jpeg_decompress_struct& info = d.Info;
  if (!SizeAccepted(info.image_width, info.image_height, maxPixels, problem)) return std::nullopt;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE: info.out_color_space = JCS_GRAYSCALE; break;
    case JCS_YCbCr:
    case JCS_RGB: info.out_color_space = JCS_RGB; break;
    case JCS_CMYK:
    case JCS_YCCK: info.out_color_space = JCS_CMYK; break;
    default:
      problem = fmt::format("JPEG with {} colour components in no known colour space", info.num_components);
      return std::nullopt;
  }
  if (!JpegDataCanHoldImage(info, bytes.size())) {
    problem = fmt::format("JPEG data of {} bytes is too short for {} x {} pixels", bytes.size(),
                          info.image_width, info.image_height);
    return std::nullopt;
  }
  auto bitmap = NewBitmap(info.image_width, info.image_height, problem);
  if (!bitmap) return std::nullopt;
  std::vector<JSAMPLE> row(std::size_t{info.image_width} * 4);
  if (!JpegReadRows(d, *bitmap, row.data())) return failed();
  return bitmap;
}

// ---- PNG ----
//
// libpng reports errors the same way: our error function longjmps to the
// setjmp of the phase that is running. Reading goes through a memory source.

struct TPngSource {
  TBytes Bytes;
  std::size_t Position;
  bool Truncated;
  std::array<char, 200> Message;
};

[[noreturn]] void PngFail(png_structp png, png_const_charp message) {
  auto* source = static_cast<TPngSource*>(png_get_error_ptr(png));
  std::snprintf(source->Message.data(), source->Message.size(), "%s", message);
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (length > source->Bytes.size() - source->Position) {
    source->Truncated = true;
    png_error(png, "truncated");
  }
  std::memcpy(out, source->Bytes.data() + source->Position, length);
  source->Position += length;
}

struct TPngDecoder {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  TPngSource Source{};

  TPngDecoder() = default;
  TPngDecoder(const TPngDecoder&) = delete;
  TPngDecoder& operator=(const TPngDecoder&) = delete;
  ~TPngDecoder() { png_destroy_read_struct(&Png, &Info, nullptr); }
};

bool PngReadHeader(TPngDecoder& d) {
  if (setjmp(png_jmpbuf(d.Png))) return false;
  png_set_read_fn(d.Png, &d.Source, PngRead);
  // Our own pixel cap is the limit, not libpng's default of a million per side.
  png_set_user_limits(d.Png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_read_info(d.Png, d.Info);
  return true;
}

// Every layout becomes 8-bit R, G, B, A: palettes and low bit depths expanded,
// transparency chunks turned into alpha, 16 bits scaled with rounding, grey
// copied into the three colours, a missing alpha filled with 255.
void PngDecodeRows(png_structp png, png_infop info, TBitmap32& bitmap) {
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // A layout the transforms did not foresee would overrun the bitmap's rows.
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(bitmap.Stride()))
    png_error(png, "unexpected row layout");
  // Rows are read as bytes R, G, B, A into the bitmap's own memory, then
  // turned into premultiplied words in place.
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < bitmap.Height(); ++y)
      png_read_row(png, reinterpret_cast<png_bytep>(bitmap.Row(y)), nullptr);
  for (int y = 0; y < bitmap.Height(); ++y) {
    TColor32* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      std::array<std::uint8_t, 4> rgba;
      std::memcpy(rgba.data(), &row[x], 4);
      row[x] = Premultiplied(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
  }
}

bool PngReadRows(TPngDecoder& d, TBitmap32& bitmap) {
  if (setjmp(png_jmpbuf(d.Png))) return false;
  PngDecodeRows(d.Png, d.Info, bitmap);
  return true;
}

// Deflate expands at most 1032-fold; a file that could not hold the image's
// pixel bits even so is refused before the image is allocated.
constexpr std::uint64_t kDeflateMaxRatio = 1032;

std::optional<TBitmap32> DecodePng(TBytes bytes, std::int64_t maxPixels, std::string& problem) {
  TPngDecoder d;
  d.Source.Bytes = bytes;
  const auto failed = [&] {
    problem = d.Source.Truncated ? "truncated PNG data"
                                 : fmt::format("corrupt PNG data: {}", d.Source.Message.data());
    return std::nullopt;
  };
  d.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d.Source, PngFail, PngWarning);
  if (d.Png) d.Info = png_create_info_struct(d.Png);
  if (!d.Png || !d.Info) {
    problem = "not enough memory to read a PNG file";
    return std::nullopt;
  }
  if (!PngReadHeader(d)) return failed();
  const png_uint_32 width = png_get_image_width(d.Png, d.Info);
  const png_uint_32 height = png_get_image_height(d.Png, d.Info);
  if (!SizeAccepted(width, height, maxPixels, problem)) return std::nullopt;
  const std::uint64_t bitsPerPixel =
      std::uint64_t{png_get_bit_depth(d.Png, d.Info)} * png_get_channels(d.Png, d.Info);
  if ((std::uint64_t{width} * height * bitsPerPixel / 8) / kDeflateMaxRatio > bytes.size()) {
    problem =
        fmt::format("PNG data of {} bytes is too short for {} x {} pixels", bytes.size(), width, height);
    return std::nullopt;
  }
  auto bitmap = NewBitmap(width, height, problem);
  if (!bitmap) return std::nullopt;
  if (!PngReadRows(d, *bitmap)) return failed();
  return bitmap;
}

// ---- TIFF ----
//
// libtiff returns failures instead of jumping. Its messages go to handlers
// set per file through TIFFOpenOptions, so nothing reaches stderr and no
// process-wide handler is touched.

struct TTiffSource {
  TBytes Bytes;
  std::uint64_t Position;
  std::array<char, 256> Message;
};

tmsize_t TiffRead(thandle_t handle, void* out, tmsize_t size) {
  auto* source = static_cast<TTiffSource*>(handle);
  if (size < 0 || source->Position >= source->Bytes.size()) return 0;
  const auto count =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(size), source->Bytes.size() - source->Position);
  std::memcpy(out, source->Bytes.data() + source->Position, count);
  source->Position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* source = static_cast<TTiffSource*>(handle);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = source->Position;
  if (whence == SEEK_END) base = source->Bytes.size();
  // Offsets are unsigned here; a backward relative seek wraps, which the sum undoes.
  source->Position = base + offset;
  return source->Position;
}

int TiffClose(thandle_t) { return 0; }

toff_t TiffSize(thandle_t handle) { return static_cast<TTiffSource*>(handle)->Bytes.size(); }

// libtiff reads strips and tiles straight from the "mapped" bytes (it maps
// files read-only, so it never writes there). Reading them through TiffRead
// instead trips libtiff 4.5's check of uncompressed tile sizes.
int TiffMap(thandle_t handle, void** base, toff_t* size) {
  const TBytes bytes = static_cast<TTiffSource*>(handle)->Bytes;
  *base = const_cast<std::uint8_t*>(bytes.data());
  *size = bytes.size();
  return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

int TiffError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto* source = static_cast<TTiffSource*>(user);
  if (source->Message[0] == '\0') {  // the first error is the cause; later ones follow from it
    const int n = std::snprintf(source->Message.data(), source->Message.size(), "%s: ", module ? module : "");
    if (n >= 0 && static_cast<std::size_t>(n) < source->Message.size())
      std::vsnprintf(source->Message.data() + n, source->Message.size() - static_cast<std::size_t>(n), format,
                     args);
  }
  return 1;  // handled: libtiff calls no other handler
}

int TiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiffDeleter {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// Strip and tile buffers may exceed the image by the padding of tiles that
// reach past its edge, within this margin.
constexpr std::uint64_t kTiffBufferMargin = 16 << 20;

// No single buffer of libtiff's needs more than 16-bit samples of the
// largest image allowed, plus the margin.
tmsize_t TiffAllocationLimit(std::int64_t maxPixels) {
  const auto cap = std::clamp<std::int64_t>(maxPixels, 0, static_cast<std::int64_t>(TBitmap32::kMaxPixels));
  return static_cast<tmsize_t>(8 * static_cast<std::uint64_t>(cap) + kTiffBufferMargin);
}

// One stored byte stands for at most this many decoded bytes in the codecs
// libtiff reads (deflate stops at 1,032; a fax row costs at least a bit), so
// a small file cannot have a huge image allocated for it.
constexpr std::uint64_t kTiffMaxExpansion = 65536;

// Refuses, before the image is allocated, sizes the file's bytes cannot hold
// and strips or tiles far larger than the image they belong to.
bool TiffLayoutPlausible(TIFF* tiff, std::uint64_t pixels, std::size_t fileSize, std::string& problem) {
  std::uint16_t bits = 1;
  std::uint16_t samples = 1;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  // At least one sample of `bits` per pixel, whatever the layout or subsampling.
  if (pixels * bits / 8 > kTiffMaxExpansion * fileSize) {
    problem = fmt::format("TIFF data of {} bytes is too short for {} pixels", fileSize, pixels);
    return false;
  }
  const std::uint64_t unit = TIFFIsTiled(tiff) ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
  const std::uint64_t buffer = unit * (planar == PLANARCONFIG_SEPARATE ? samples : 1);
  if (buffer > pixels * samples * bits / 8 + kTiffBufferMargin) {
    problem = fmt::format("TIFF {} of {} bytes is far larger than its image",
                          TIFFIsTiled(tiff) ? "tile" : "strip", buffer);
    return false;
  }
  return true;
}

std::optional<TBitmap32> DecodeTiff(TBytes bytes, std::int64_t maxPixels, std::string& problem) {
  TTiffSource source{bytes, 0, {}};
  const auto failed = [&] {
    problem = fmt::format("corrupt TIFF data: {}", source.Message[0] ? source.Message.data() : "unreadable");
    return std::nullopt;
  };
  const std::unique_ptr<TIFFOpenOptions, TTiffDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) {
    problem = "not enough memory to read a TIFF file";
    return std::nullopt;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), TiffError, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), TiffWarning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), TiffAllocationLimit(maxPixels));
  const std::unique_ptr<TIFF, TTiffDeleter> tiff(TIFFClientOpenExt("image", "r", &source, TiffRead, TiffWrite,
                                                                   TiffSeek, TiffClose, TiffSize, TiffMap,
                                                                   TiffUnmap, options.get()));
  if (!tiff) return failed();
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
    width = height = 0;
  if (!SizeAccepted(width, height, maxPixels, problem) ||
      !TiffLayoutPlausible(tiff.get(), std::uint64_t{width} * height, bytes.size(), problem))
    return std::nullopt;
  auto bitmap = NewBitmap(width, height, problem);
  if (!bitmap) return std::nullopt;
  // libtiff's RGBA reader converts every layout it knows (CMYK included) and
  // premultiplies unassociated alpha; its words hold R in the low byte.
  if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, bitmap->Pixels(), ORIENTATION_TOPLEFT, 1))
    return failed();
  TColor32* p = bitmap->Pixels();
  for (std::size_t i = 0; i < bitmap->PixelCount(); ++i)
    p[i] = (p[i] & 0xFF00FF00u) | (p[i] & 0xFFu) << 16 | (p[i] >> 16 & 0xFFu);
  return bitmap;
}

}  // namespace

TImageFormat DetectImageFormat(std::span<const std::uint8_t> bytes) {
  const auto startsWith = [&](std::initializer_list<std::uint8_t> magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
  };
  if (startsWith({0xFF, 0xD8, 0xFF})) return TImageFormat::kJpeg;
  if (startsWith({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return TImageFormat::kPng;
  if (startsWith({'I', 'I', '*', 0}) || startsWith({'M', 'M', 0, '*'})) return TImageFormat::kTiff;
  if (startsWith({'G', 'I', 'F', '8', '7', 'a'}) || startsWith({'G', 'I', 'F', '8', '9', 'a'}))
    return TImageFormat::kGif;
  if (startsWith({'B', 'M'})) return TImageFormat::kBmp;
  return TImageFormat::kUnknown;
}

std::optional<TBitmap32> DecodeImageFile(std::span<const std::uint8_t> bytes, std::int64_t maxPixels,
                                         std::string* problem) {
  std::string why;
  std::optional<TBitmap32> bitmap;
  switch (DetectImageFormat(bytes)) {
    case TImageFormat::kJpeg: bitmap = DecodeJpeg(bytes, maxPixels, why); break;
    case TImageFormat::kPng: bitmap = DecodePng(bytes, maxPixels, why); break;
    case TImageFormat::kTiff: bitmap = DecodeTiff(bytes, maxPixels, why); break;
    case TImageFormat::kBmp: bitmap = DecodeBmp(bytes, maxPixels, why); break;
    case TImageFormat::kGif: bitmap = DecodeGif(bytes, maxPixels, why); break;
    case TImageFormat::kUnknown: why = "not a JPEG, PNG, TIFF, BMP or GIF file"; break;
  }
  if (!bitmap && problem) *problem = std::move(why);
  return bitmap;
}

}  // namespace slabrip
