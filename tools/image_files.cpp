#include "tools/image_files.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace slabrip {

namespace {

using TBytes = std::vector<std::uint8_t>;

void Put16(TBytes& out, std::uint32_t v) {
  out.insert(out.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
}
void Put32(TBytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Index of every colour in order of first appearance.
std::map<TColor32, std::uint8_t> Palette(const TBitmap32& picture, std::size_t limit) {
  std::map<TColor32, std::uint8_t> palette;
  for (std::size_t i = 0; i < picture.PixelCount(); ++i) {
    const TColor32 p = picture.Pixels()[i];
    if (p >> 24 == 0 || palette.count(p)) continue;
    if (palette.size() == limit) throw std::invalid_argument("too many colours for a palette");
    palette.emplace(p, static_cast<std::uint8_t>(palette.size()));
  }
  return palette;
}

}  // namespace

std::vector<std::uint8_t> BmpFile(const TBitmap32& picture, TBmpLayout layout) {
  const int width = picture.Width(), height = picture.Height();
  TBytes pixels;
  std::map<TColor32, std::uint8_t> palette;
  if (layout == TBmpLayout::kRle8) {
    palette = Palette(picture, 256);
    for (int y = height - 1; y >= 0; --y) {
      const TColor32* row = picture.Row(y);
      for (int x = 0; x < width;) {
        int run = 1;
        while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
        pixels.insert(pixels.end(), {static_cast<std::uint8_t>(run), palette.at(row[x])});
        x += run;
      }
      pixels.insert(pixels.end(), {0, 0});  // end of line
    }
    pixels.insert(pixels.end(), {0, 1});  // end of bitmap
  } else {
    const bool alpha = layout == TBmpLayout::kArgb32TopDown;
    for (int i = 0; i < height; ++i) {
      const TColor32* row = picture.Row(alpha ? i : height - 1 - i);
      for (int x = 0; x < width; ++x) {
        if (alpha) {
          Put32(pixels, row[x]);
        } else {
          pixels.insert(pixels.end(), {static_cast<std::uint8_t>(row[x]), static_cast<std::uint8_t>(row[x] >> 8),
                                       static_cast<std::uint8_t>(row[x] >> 16)});
        }
      }
      while (pixels.size() % 4 != 0) pixels.push_back(0);  // rows end on four bytes
    }
  }
  const std::uint32_t infoSize = layout == TBmpLayout::kArgb32TopDown ? 108 : 40;
  const auto paletteBytes = static_cast<std::uint32_t>(4 * palette.size());
  const std::uint32_t offset = 14 + infoSize + paletteBytes;
  TBytes out = {'B', 'M'};
  Put32(out, offset + static_cast<std::uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, infoSize);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(layout == TBmpLayout::kArgb32TopDown ? -height : height));
  Put16(out, 1);
  Put16(out, layout == TBmpLayout::kRle8 ? 8 : layout == TBmpLayout::kRgb24BottomUp ? 24 : 32);
  Put32(out, layout == TBmpLayout::kRle8 ? 1 : layout == TBmpLayout::kRgb24BottomUp ? 0 : 3);
  Put32(out, static_cast<std::uint32_t>(pixels.size()));
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, static_cast<std::uint32_t>(palette.size()));
  Put32(out, 0);
  if (layout == TBmpLayout::kArgb32TopDown) {
    for (const std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Put32(out, mask);
    out.resize(14 + infoSize, 0);  // colour space and gamma: not used
  }
  std::vector<TColor32> colours(palette.size());
  for (const auto& [colour, index] : palette) colours[index] = colour;
  for (const TColor32 c : colours) Put32(out, c & 0xFFFFFF);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

std::vector<std::uint8_t> GifFile(const TBitmap32& picture, bool interlaced) {
  const auto palette = Palette(picture, 255);
  const int transparent = static_cast<int>(palette.size());
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (const auto& [colour, index] : palette)
    map->Colors[index] = {static_cast<GifByteType>(colour >> 16), static_cast<GifByteType>(colour >> 8),
                          static_cast<GifByteType>(colour)};
  TBytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* data, int n) {
    auto* bytes = static_cast<TBytes*>(g->UserData);
    bytes->insert(bytes->end(), data, data + n);
    return n;
  }, &error);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, picture.Width(), picture.Height(), 8, 0, map);
  GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparent};
  std::array<GifByteType, 4> extension{};
  EGifGCBToExtension(&control, extension.data());
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension.data());
  EGifPutImageDesc(gif, 0, 0, picture.Width(), picture.Height(), interlaced, nullptr);
  std::vector<int> rows;
  constexpr std::array<int, 4> kStart = {0, 4, 2, 1}, kStep = {8, 8, 4, 2};
  for (std::size_t pass = 0; pass < (interlaced ? 4u : 1u); ++pass)
    for (int y = interlaced ? kStart[pass] : 0; y < picture.Height(); y += interlaced ? kStep[pass] : 1)
      rows.push_back(y);
  std::vector<GifPixelType> line(static_cast<std::size_t>(picture.Width()));
  for (const int y : rows) {
    for (std::size_t x = 0; x < line.size(); ++x) {
      const TColor32 p = picture.Row(y)[x];
      line[x] = p >> 24 == 0 ? static_cast<GifPixelType>(transparent) : palette.at(p);
    }
    EGifPutLine(gif, line.data(), picture.Width());
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

}  // namespace slabrip
