// Image files decoded to premultiplied ARGB: every format, layout and failure path.
#include "raster/image_decode.h"

#include <gtest/gtest.h>
#include <array>
#include <cmath>
#include <cstdlib>

#include <png.h>
#include <tiffio.h>

#include "support/pixel_checks.h"
#include "support/temp_dir.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"
#include "tools/image_files.h"

namespace slabrip {
namespace {

using test::Channel;
using TBytes = std::vector<std::uint8_t>;
using TPixels = std::vector<TColor32>;

// The decoded pixels, or none with the reason in `problem`.
TPixels Pixels(const TBytes& file, std::string* problem = nullptr, std::int64_t maxPixels = 1 << 24) {
  const auto bitmap = DecodeImageFile(file, maxPixels, problem);
  return bitmap ? TPixels(bitmap->Pixels(), bitmap->Pixels() + bitmap->PixelCount()) : TPixels{};
}

// Opaque colours that differ in every channel and across the picture.
TBitmap32 Photo(int width, int height) {
  TBitmap32 bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.Row(y)[x] = 0xFF000000u | static_cast<TColor32>(4 * x) << 16 |
                         static_cast<TColor32>(128 + 100 * std::sin(0.1 * (x + y))) << 8 |
                         static_cast<TColor32>(250 - 5 * y);
  return bitmap;
}
TPixels PixelsOf(const TBitmap32& b) { return TPixels(b.Pixels(), b.Pixels() + b.PixelCount()); }
TBytes RgbSamples(const TBitmap32& bitmap) {
  TBytes samples;
  for (const TColor32 p : PixelsOf(bitmap))
    samples.insert(samples.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                   static_cast<std::uint8_t>(p)});
  return samples;
}
void AppendPng(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<TBytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

// A PNG of rows already packed for the colour type and depth.
TBytes Png(int width, int height, int colourType, int depth, const TBytes& rows, int interlace = 0,
           const std::vector<png_color>& palette = {}, const TBytes& alphas = {},
           const png_color_16* transparent = nullptr) {
  TBytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendPng, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
               colourType, interlace, 0, 0);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!alphas.empty() || transparent)
    png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), transparent);
  png_write_info(png, info);
  const std::size_t stride = rows.size() / static_cast<std::size_t>(height);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) png_write_row(png, &rows[y * stride]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A quality-100 JPEG of raw samples; `stored` is the colour space inside the file.
TBytes Jpeg(int width, int height, TJpegColour in, TJpegColour stored, bool adobe, const TBytes& samples,
            bool progressive = false) {
  return EncodeJpeg(width, height, in, samples,
                    {.Quality = 100, .Stored = stored, .AdobeMarker = adobe, .Progressive = progressive});
}

struct TTiffLayout {
  std::uint16_t Photometric = PHOTOMETRIC_RGB;
  std::uint16_t Samples = 3;
  std::uint16_t Orientation = ORIENTATION_TOPLEFT;
  bool UnassociatedAlpha = false;
  bool BigEndian = false;
  bool Tiled = false;  // one tile of 16 x 16
};

// A TIFF of 8-bit contiguous samples, written by libtiff into a file and read back.
TBytes Tiff(int width, int height, const TTiffLayout& layout, TBytes samples) {
  const test::TTempDir dir;
  TIFF* tiff = TIFFOpen(dir.File("t.tif").c_str(), layout.BigEndian ? "wb" : "wl");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.Samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.Photometric);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, layout.Orientation);
  const std::uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
  if (layout.UnassociatedAlpha) TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &alpha);
  if (layout.Tiled) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
    TIFFWriteTile(tiff, samples.data(), 0, 0, 0, 0);
  }
  for (std::uint32_t y = 0; !layout.Tiled && y < static_cast<std::uint32_t>(height); ++y)
    TIFFWriteScanline(tiff, &samples[y * static_cast<std::size_t>(width) * layout.Samples], y, 0);
  TIFFClose(tiff);
  const std::string text = test::ReadFile(dir.File("t.tif"));
  return TBytes(text.begin(), text.end());
}

// The declared size rewritten: PNG's header (and its checksum), JPEG's frame
// header, or one inline value of a little-endian TIFF's first directory.
TBytes Put(TBytes bytes, std::size_t at, std::uint32_t value, int width, bool bigEndian = true) {
  for (int i = 0; i < width; ++i)
    bytes[at + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(value >> 8 * (bigEndian ? width - 1 - i : i));
  return bytes;
}
TBytes WithPngSize(const TBytes& png, std::uint32_t width, std::uint32_t height) {
  TBytes out = Put(Put(png, 16, width, 4), 20, height, 4);
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 12; i < 29; ++i) {
    crc ^= out[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return Put(out, 29, ~crc, 4);
}
TBytes WithJpegSize(const TBytes& jpeg, std::uint16_t width, std::uint16_t height) {
  std::size_t sof = 2;
  while (!(jpeg[sof] == 0xFF && (jpeg[sof + 1] == 0xC0 || jpeg[sof + 1] == 0xC2))) ++sof;
  return Put(Put(jpeg, sof + 5, height, 2), sof + 7, width, 2);
}
TBytes WithTiffTag(const TBytes& tiff, std::uint16_t tag, std::uint32_t value) {
  std::size_t entry = tiff[4] + std::size_t{tiff[5]} * 256 + 2;  // small files: the offset fits in two bytes
  while (tiff[entry] + tiff[entry + 1] * 256 != tag) entry += 12;
  return Put(tiff, entry + 8, value, tiff[entry + 2] == TIFF_SHORT ? 2 : 4, false);
}

// Small files of every format, for the failure tests.
std::vector<std::pair<std::string, TBytes>> Samples() {
  const TBitmap32 photo = Photo(16, 16);
  TTiffLayout tiled;
  tiled.Tiled = true;
  return {{"png", EncodePng(photo)},
          {"jpeg", EncodeJpeg(photo, 80)},
          {"progressive jpeg",
           Jpeg(16, 16, TJpegColour::kRgb, TJpegColour::kYCbCr, false, RgbSamples(photo), true)},
          {"tiff", Tiff(16, 16, {}, RgbSamples(photo))},
          {"tiled tiff", Tiff(16, 16, tiled, RgbSamples(photo))},
          {"bmp", BmpFile(photo, TBmpLayout::kRgb24BottomUp)}};
}

TEST(ImageFormats, MagicBytesChooseTheDecoder) {
  const std::pair<TBytes, TImageFormat> cases[] = {
      {{0xFF, 0xD8, 0xFF, 0xE0}, TImageFormat::kJpeg},
      {{0xFF, 0xD8}, TImageFormat::kUnknown},
      {{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, TImageFormat::kPng},
      {{0x89, 'P', 'N', 'G', 13, 10, 26}, TImageFormat::kUnknown},
      {{'I', 'I', '*', 0}, TImageFormat::kTiff},
      {{'M', 'M', 0, '*'}, TImageFormat::kTiff},
      {{'I', 'I', 0, '*'}, TImageFormat::kUnknown},
      {{'B', 'M', 0, 0, 0, 0}, TImageFormat::kBmp},
      {{'G', 'I', 'F', '8', '9', 'a'}, TImageFormat::kGif},
      {{'G', 'I', 'F', '8', '8', 'a'}, TImageFormat::kUnknown}};
  for (const auto& [bytes, format] : cases) EXPECT_EQ(DetectImageFormat(bytes), format);
  std::string problem;
  EXPECT_TRUE(Pixels({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, &problem).empty());
  EXPECT_EQ(problem, "not a JPEG, PNG, TIFF, BMP or GIF file");
}

TEST(BmpAndGifDecoding, FilesWrittenByCodeGiveTheirPixels) {
  TBitmap32 picture(7, 10);  // runs of four colours, different in every row
  const TColor32 colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 7; ++x) picture.Row(y)[x] = colours[static_cast<std::size_t>((x / 3 + y) % 4)];
  for (const TBmpLayout layout : {TBmpLayout::kRgb24BottomUp, TBmpLayout::kRle8})
    EXPECT_EQ(Pixels(BmpFile(picture, layout)), PixelsOf(picture)) << static_cast<int>(layout);
  EXPECT_EQ(Pixels(GifFile(picture, true)), PixelsOf(picture));

  // Straight alpha in a 32-bit bit-field file comes out premultiplied; a GIF's transparent index is clear.
  picture.Row(0)[0] = 0x80FF8040;
  picture.Row(9)[6] = 0;
  TPixels expected = PixelsOf(picture);
  expected[0] = 0x80804020;
  EXPECT_EQ(Pixels(BmpFile(picture, TBmpLayout::kArgb32TopDown)), expected);
  picture.Row(0)[0] = colours[0];
  EXPECT_EQ(Pixels(GifFile(picture, false)), PixelsOf(picture));

  // Rows the file never reaches are refused, not left as they were allocated.
  const TBytes bmp = BmpFile(picture, TBmpLayout::kRgb24BottomUp);
  std::string problem;
  EXPECT_TRUE(Pixels(TBytes(bmp.begin(), bmp.end() - 24), &problem).empty());
  EXPECT_EQ(problem, "truncated BMP data");
}

TEST(PngDecoding, EveryLayoutBecomesArgb) {
  const TBitmap32 photo = Photo(13, 11);
  EXPECT_EQ(Pixels(EncodePng(photo)), PixelsOf(photo));
  EXPECT_EQ(Pixels(Png(13, 11, PNG_COLOR_TYPE_RGB, 8, RgbSamples(photo), PNG_INTERLACE_ADAM7)),
            PixelsOf(photo));
  EXPECT_EQ(Pixels(Png(3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 77, 255})),
            (TPixels{0xFF000000, 0xFF4D4D4D, 0xFFFFFFFF}));
  const TColor32 w = 0xFFFFFFFF, b = 0xFF000000;  // 1-bit grey 1011001110
  EXPECT_EQ(Pixels(Png(10, 1, PNG_COLOR_TYPE_GRAY, 1, {0xB3, 0x80})),
            (TPixels{w, b, w, w, b, b, w, w, w, b}));
  const png_color_16 transparent{0, 0, 0, 0, 50};
  EXPECT_EQ(Pixels(Png(2, 1, PNG_COLOR_TYPE_GRAY, 8, {50, 51}, 0, {}, {}, &transparent)),
            (TPixels{0, 0xFF333333}));
  EXPECT_EQ(Pixels(Png(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {200, 100})), TPixels{0x644E4E4E});
  // 4-bit palette with a half-transparent second entry.
  EXPECT_EQ(Pixels(Png(3, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x01, 0x20}, 0,
                       {{255, 0, 0}, {0, 0, 255}, {9, 8, 7}}, {255, 128})),
            (TPixels{0xFFFF0000, 0x80000080, 0xFF090807}));
  // 16 bits scale with rounding: 1000 / 257 = 3.9, 32896 / 257 = 128.
  EXPECT_EQ(Pixels(Png(1, 1, PNG_COLOR_TYPE_RGB, 16, {0xFF, 0xFF, 0x03, 0xE8, 0x80, 0x80})),
            TPixels{0xFFFF0480});
}

TEST(PngDecoding, EveryAlphaIsPremultipliedWithRounding) {
  TBytes rows;  // row a: colour values 0..255 at alpha a in red, inverted in green, 201 in blue
  for (int a = 0; a < 256; ++a)
    for (int c = 0; c < 256; ++c)
      rows.insert(rows.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(255 - c), 201,
                               static_cast<std::uint8_t>(a)});
  const TPixels pixels = Pixels(Png(256, 256, PNG_COLOR_TYPE_RGB_ALPHA, 8, rows));
  ASSERT_EQ(pixels.size(), 65536u);
  const auto times = [](int c, int a) { return static_cast<int>(std::lround(c * a / 255.0)); };
  for (int a = 0; a < 256; ++a)
    for (int c = 0; c < 256; ++c) {
      const TColor32 p = pixels[static_cast<std::size_t>(256 * a + c)];
      ASSERT_EQ(p, static_cast<TColor32>(a) << 24 |
                       static_cast<TColor32>(times(c, a) << 16 | times(255 - c, a) << 8 | times(201, a)))
          << c << " at alpha " << a;
    }
}

TEST(JpegDecoding, ColourAndGreyStayWithinTheCompressionError) {
  const TBitmap32 photo = Photo(64, 48);
  for (const bool progressive : {false, true}) {
    const TPixels decoded =
        Pixels(Jpeg(64, 48, TJpegColour::kRgb, TJpegColour::kYCbCr, false, RgbSamples(photo), progressive));
    ASSERT_EQ(decoded.size(), photo.PixelCount());
    int worst = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i)
      for (int shift : {24, 16, 8, 0})
        worst = std::max(worst, std::abs(Channel(decoded[i], shift) - Channel(photo.Pixels()[i], shift)));
    EXPECT_LE(worst, 10) << progressive;  // chroma is subsampled 2 x 2
  }
  EXPECT_EQ(Pixels(Jpeg(8, 8, TJpegColour::kGrey, TJpegColour::kGrey, false, TBytes(64, 90)))[27],
            0xFF5A5A5Au);
}

TEST(JpegDecoding, CmykWithAndWithoutTheAdobeInversionGivesTheSameRgb) {
  // Flat blocks of 16 x 16 (YCCK subsamples two channels): inks c, m, y, k and the RGB they print as.
  const std::uint8_t inks[4][4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 0, 128}, {51, 102, 153, 64}};
  const int rgb[4][3] = {{255, 255, 255}, {0, 255, 255}, {127, 127, 127}, {153, 115, 76}};
  using enum TJpegColour;
  for (const auto& [stored, adobe] : {std::pair{kCmyk, false}, {kCmyk, true}, {kYcck, true}}) {
    TBytes samples;  // Adobe's files store 255 - ink
    for (int i = 0; i < 16 * 64; ++i)
      for (const std::uint8_t ink : inks[i % 64 / 16])
        samples.push_back(adobe ? static_cast<std::uint8_t>(255 - ink) : ink);
    std::string problem;
    const TPixels decoded = Pixels(Jpeg(64, 16, kCmyk, stored, adobe, samples), &problem);
    ASSERT_EQ(decoded.size(), 1024u) << problem;
    for (std::size_t block = 0; block < 4; ++block) {
      const TColor32 p = decoded[8 * 64 + 16 * block + 8];
      EXPECT_EQ(Channel(p, 24), 255);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(Channel(p, 16 - 8 * k), rgb[block][k], 3) << block << adobe;
    }
  }
}

TEST(TiffDecoding, ByteOrdersOrientationCmykAndAlpha) {
  const TBitmap32 photo = Photo(7, 5);
  TTiffLayout layout;
  EXPECT_EQ(Pixels(Tiff(7, 5, layout, RgbSamples(photo))), PixelsOf(photo));
  layout.BigEndian = true;
  EXPECT_EQ(Pixels(Tiff(7, 5, layout, RgbSamples(photo))), PixelsOf(photo));
  layout.Orientation = ORIENTATION_BOTLEFT;  // rows stored bottom first
  const TPixels flipped = Pixels(Tiff(7, 5, layout, RgbSamples(photo)));
  ASSERT_EQ(flipped.size(), 35u);
  EXPECT_EQ(flipped[2], photo.Row(4)[2]);
  EXPECT_EQ(flipped[4 * 7 + 6], photo.Row(0)[6]);

  TTiffLayout cmyk;
  cmyk.Photometric = PHOTOMETRIC_SEPARATED;
  cmyk.Samples = 4;
  const TPixels printed = Pixels(Tiff(2, 1, cmyk, {0, 0, 0, 128, 51, 102, 153, 64}));
  ASSERT_EQ(printed.size(), 2u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(Channel(printed[0], 16 - 8 * k), 127, 1);
    EXPECT_NEAR(Channel(printed[1], 16 - 8 * k), (std::array{153, 115, 76})[static_cast<std::size_t>(k)], 1);
  }
  TTiffLayout alpha;
  alpha.Samples = 4;
  alpha.UnassociatedAlpha = true;
  EXPECT_EQ(Pixels(Tiff(2, 1, alpha, {255, 0, 100, 128, 10, 20, 30, 0})), (TPixels{0x80800032, 0}));
}

TEST(DecodeFailures, EveryTruncationIsRefusedWithAReasonOrDecodesWhole) {
  for (const auto& [name, file] : Samples()) {
    const TPixels whole = Pixels(file);
    ASSERT_FALSE(whole.empty()) << name;
    std::size_t refused = 0;
    for (std::size_t length = 0; length < file.size(); ++length) {
      std::string problem;
      const TPixels cut =
          Pixels(TBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)), &problem);
      refused += cut.empty();
      EXPECT_TRUE(cut.empty() ? !problem.empty() : cut == whole) << name << " cut at " << length;
    }
    EXPECT_GE(refused, file.size() - 12) << name;  // only an end marker may go missing
  }
  std::string problem;
  for (const auto& [file, reason] : {std::pair{EncodePng(Photo(16, 16)), "truncated PNG data"},
                                     {EncodeJpeg(Photo(16, 16)), "truncated JPEG data"}}) {
    EXPECT_TRUE(Pixels(TBytes(file.begin(), file.end() - 40), &problem).empty());
    EXPECT_EQ(problem, reason);
  }
}

TEST(DecodeFailures, DamagedBytesAreRefusedWithTheLibrarysReason) {
  const auto samples = Samples();
  TBytes png = samples[0].second, jpeg = samples[1].second;
  png[45] ^= 0x55;  // inside the image data
  jpeg[3] = 0x02;   // a reserved marker code
  const TBytes tiff = WithTiffTag(samples[3].second, TIFFTAG_STRIPOFFSETS, 1 << 20);
  for (const auto& [file, prefix] :
       {std::pair{png, "corrupt PNG data: "}, {jpeg, "corrupt JPEG data: "}, {tiff, "corrupt TIFF data: "}}) {
    std::string problem;
    EXPECT_TRUE(Pixels(file, &problem).empty());
    EXPECT_EQ(problem.rfind(prefix, 0), 0u) << problem;
  }
}

TEST(DecodeSizes, TheCapAndNonPositiveSizesAreRefused) {
  for (const auto& [name, file] : Samples()) {
    std::string problem;
    EXPECT_EQ(Pixels(file, &problem, 256).size(), 256u) << name << problem;
    EXPECT_TRUE(Pixels(file, &problem, 255).empty()) << name;
    EXPECT_EQ(problem, "image of 16 x 16 pixels is larger than the 255 pixels allowed") << name;
  }
  const auto samples = Samples();
  for (const TBytes& empty : {WithPngSize(samples[0].second, 0, 16), WithJpegSize(samples[1].second, 16, 0),
                              WithTiffTag(samples[3].second, TIFFTAG_IMAGEWIDTH, 0)}) {
    std::string problem;
    EXPECT_TRUE(Pixels(empty, &problem).empty());
    EXPECT_FALSE(problem.empty());
  }
}

TEST(DecodeSizes, HugeDeclaredSizesOnLittleDataAreRefusedBeforeAllocating) {
  // 30000 x 30000 would take 3.6 GB, within the cap given here: only the data's size refuses it.
  const auto samples = Samples();
  for (const TBytes& huge :
       {WithPngSize(samples[0].second, 30000, 30000), WithJpegSize(samples[1].second, 30000, 30000),
        WithJpegSize(samples[2].second, 30000, 30000),
        WithTiffTag(WithTiffTag(samples[3].second, TIFFTAG_IMAGEWIDTH, 30000), TIFFTAG_IMAGELENGTH, 30000)}) {
    std::string problem;
    EXPECT_TRUE(Pixels(huge, &problem, std::int64_t{1} << 30).empty());
    EXPECT_NE(problem.find("is too short for"), std::string::npos) << problem;
  }
  std::string problem;  // a tile of 29984 x 29984 for a 16 x 16 image
  const TBytes tile =
      WithTiffTag(WithTiffTag(samples[4].second, TIFFTAG_TILEWIDTH, 29984), TIFFTAG_TILELENGTH, 29984);
  EXPECT_TRUE(Pixels(tile, &problem, std::int64_t{1} << 30).empty());
  EXPECT_NE(problem.find("far larger than its image"), std::string::npos) << problem;
}

}  // namespace
}  // namespace slabrip
