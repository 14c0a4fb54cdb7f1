// Writes the image decoder fuzzer's seeds into a folder: a PNG, a JPEG, a CMYK JPEG, a TIFF,
// three kinds of BMP and a GIF.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <tiffio.h>

#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"
#include "seed_files.h"
#include "tools/image_files.h"

namespace {

using namespace slabrip;
using seeds::Photo;
using seeds::TBytes;
using seeds::WriteFile;

// C, M, Y, K samples of the photo, stored inverted with Adobe's marker as Photoshop writes them.
TBytes AdobeCmykJpeg(const TBitmap32& photo) {
  TBytes samples;
  samples.reserve(4 * photo.PixelCount());
  for (std::size_t i = 0; i < photo.PixelCount(); ++i) {
    const TColor32 p = photo.Pixels()[i];
    const unsigned r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    // Black takes the darkest share: 255 - k = the largest channel, and the
    // inverted inks 255 - c = r * 255 / (255 - k), and so on.
    const unsigned paper = std::max({r, g, b, 1u});
    for (const unsigned channel : {r, g, b})
      samples.push_back(static_cast<std::uint8_t>(channel * 255 / paper));
    samples.push_back(static_cast<std::uint8_t>(paper));
  }
  // libjpeg's defaults for CMYK samples: stored as CMYK, with the Adobe marker.
  TJpegOptions options;
  options.Quality = 85;
  return EncodeJpeg(photo.Width(), photo.Height(), TJpegColour::kCmyk, samples, options);
}

// An LZW-compressed RGB TIFF in strips of 8 rows.
bool WriteTiff(const std::string& path, const TBitmap32& photo) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, photo.Width());
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, photo.Height());
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
  TBytes row(3 * static_cast<std::size_t>(photo.Width()));
  bool ok = true;
  for (int y = 0; y < photo.Height(); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(photo.Width()); ++x)
      for (std::size_t c = 0; c < 3; ++c)
        row[3 * x + c] = static_cast<std::uint8_t>(photo.Row(y)[x] >> (16 - 8 * c));
    ok &= TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
  }
  TIFFClose(tiff);
  return ok;
}

// The photo in 64 colours (two bits a channel), for palette formats; `alpha` fades it out to the right.
TBitmap32 Posterised(const TBitmap32& photo, bool alpha) {
  TBitmap32 out(photo.Width(), photo.Height());
  for (int y = 0; y < photo.Height(); ++y)
    for (int x = 0; x < photo.Width(); ++x) {
      const TColor32 a = alpha ? static_cast<TColor32>(255 - 255 * x / photo.Width()) : 255;
      out.Row(y)[x] = a << 24 | (photo.Row(y)[x] & 0xC0C0C0);
    }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_image_seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const TBitmap32 photo = Photo(40, 24);
  bool ok = WriteFile(folder + "/photo.png", EncodePng(photo));
  ok &= WriteFile(folder + "/photo.jpg", EncodeJpeg(photo, 85));
  ok &= WriteFile(folder + "/cmyk.jpg", AdobeCmykJpeg(photo));
  ok &= WriteTiff(folder + "/photo.tif", photo);
  ok &= WriteFile(folder + "/photo.bmp", BmpFile(photo, TBmpLayout::kRgb24BottomUp));
  ok &= WriteFile(folder + "/rle8.bmp", BmpFile(Posterised(photo, false), TBmpLayout::kRle8));
  ok &= WriteFile(folder + "/alpha.bmp", BmpFile(Posterised(photo, true), TBmpLayout::kArgb32TopDown));
  ok &= WriteFile(folder + "/photo.gif", GifFile(Posterised(photo, false), true));
  if (!ok) std::fprintf(stderr, "make_image_seeds: cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
