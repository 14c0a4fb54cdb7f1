// The first frame of a GIF file, decoded with giflib from memory.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <fmt/format.h>

#include "raster/image_decode_p.h"

namespace slabrip::image_decoding {

namespace {

struct TGifSource {
  TBytes Bytes;
  std::size_t Position = 0;
};

int GifRead(GifFileType* gif, GifByteType* out, int length) {
  auto* source = static_cast<TGifSource*>(gif->UserData);
  if (length <= 0) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length),
                                              source->Bytes.size() - source->Position);
  std::memcpy(out, source->Bytes.data() + source->Position, n);
  source->Position += n;
  return static_cast<int>(n);
}

struct TGifCloser {
  void operator()(GifFileType* gif) const {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  }
};

// A 12-bit LZW code stands for at most 4,096 pixels: a file too short to
// fill the screen even so is refused before the screen is allocated.
constexpr std::uint64_t kMaxPixelsPerLzwBit = 4096 / 12 + 1;

// Extensions up to the first image; the transparent index of the last
// graphic control block before it, or -1.
bool SkipToFirstImage(GifFileType* gif, int& transparent) {
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) return false;
    if (record == IMAGE_DESC_RECORD_TYPE) return true;
    if (record == TERMINATE_RECORD_TYPE) {
      gif->Error = D_GIF_ERR_NO_IMAG_DSCR;
      return false;
    }
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    GraphicsControlBlock control;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
      transparent = control.TransparentColor;
    while (block)
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
}

// Rows in the order the frame stores them: interlaced frames in four passes.
std::vector<int> StoredRowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  constexpr std::array<int, 4> kStart = {0, 4, 2, 1}, kStep = {8, 8, 4, 2};
  for (std::size_t pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

}  // namespace

std::optional<TBitmap32> DecodeGif(TBytes bytes, std::int64_t maxPixels, std::string& problem) {
  TGifSource source{bytes};
  int error = 0;
  const std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&source, GifRead, &error));
  const auto failed = [&](int code) {
    const char* text = GifErrorString(code);
    problem = source.Position == bytes.size() ? std::string("truncated GIF data")
                                              : fmt::format("corrupt GIF data: {}", text ? text : "unreadable");
    return std::nullopt;
  };
  if (!gif) return failed(error);
  int transparent = -1;
  if (!SkipToFirstImage(gif.get(), transparent) || DGifGetImageDesc(gif.get()) == GIF_ERROR)
    return failed(gif->Error);
  const GifImageDesc frame = gif->Image;
  if (!SizeAccepted(static_cast<std::uint64_t>(std::max(frame.Width, 0)),
                    static_cast<std::uint64_t>(std::max(frame.Height, 0)), maxPixels, problem))
    return std::nullopt;
  // The screen grows to hold a frame that reaches past it.
  const auto width = static_cast<std::uint64_t>(std::max(gif->SWidth, frame.Left + frame.Width));
  const auto height = static_cast<std::uint64_t>(std::max(gif->SHeight, frame.Top + frame.Height));
  if (!SizeAccepted(width, height, maxPixels, problem)) return std::nullopt;
  if (width * height > kMaxPixelsPerLzwBit * 8 * bytes.size()) {
    problem = fmt::format("GIF data of {} bytes is too short for {} x {} pixels", bytes.size(), width, height);
    return std::nullopt;
  }
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!map) {
    problem = "GIF frame without a colour table";
    return std::nullopt;
  }
  // Indices past the table print black; the transparent one is see-through.
  std::array<TColor32, 256> colours;
  colours.fill(0xFF000000u);
  for (int i = 0; i < std::min(map->ColorCount, 256); ++i)
    colours[static_cast<std::size_t>(i)] = Opaque(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
  if (transparent >= 0 && transparent < 256) colours[static_cast<std::size_t>(transparent)] = 0;

  auto bitmap = NewBitmap(width, height, problem);
  if (!bitmap) return std::nullopt;
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  for (const int y : StoredRowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) return failed(gif->Error);
    TColor32* row = bitmap->Row(frame.Top + y) + frame.Left;
    for (std::size_t x = 0; x < line.size(); ++x) row[x] = colours[line[x]];
  }
  return bitmap;
}

}  // namespace slabrip::image_decoding
