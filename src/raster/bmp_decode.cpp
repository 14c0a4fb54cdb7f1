// Windows bitmaps decoded with gdk-pixbuf's BMP loader, fed from memory.
//
// The loader reads every variant Windows writes: 1, 4, 8, 16, 24 and 32 bits,
// RLE4 and RLE8, bottom-up and top-down rows, bit fields with or without an
// alpha mask, and the old OS/2 header.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include <fmt/format.h>

#include "base/byte_order.h"
#include "raster/image_decode_p.h"

namespace slabrip::image_decoding {

namespace {

struct TBmpLoad {
  TBytes Bytes;
  std::int64_t MaxPixels = 0;
  std::string Refusal;      // the declared size was refused before the loader allocated
  std::int64_t RowsDone = 0;  // rows the loader filled
};

struct TGObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};

struct TGErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// Uncompressed rows take their full padded width in the file; a file too
// short for them cannot hold the image. Run-length data may end the picture
// early (the rest stays transparent), so only the pixel cap bounds it.
bool DataCanHoldRows(const TBmpLoad& load, std::uint64_t width, std::uint64_t height, std::string& problem) {
  const TBytes b = load.Bytes;
  const bool core = b.size() >= 18 && LoadLe<std::uint32_t>(&b[14]) == 12;
  if (b.size() < (core ? 26u : 34u)) return true;  // not so: the loader has read the headers by now
  const std::uint64_t bits = LoadLe<std::uint16_t>(&b[core ? 24 : 28]);
  const std::uint32_t compression = core ? 0 : LoadLe<std::uint32_t>(&b[30]);
  if (compression != 0 && compression != 3) return true;
  const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
  if (rowBytes * height <= b.size()) return true;
  problem = fmt::format("BMP data of {} bytes is too short for {} x {} pixels", b.size(), width, height);
  return false;
}

// gdk-pixbuf sizes buffers from the header-size field, the palette's colour
// count and, for uncompressed data, the data offset before it checks them
// (a negative colour count passes its check): all three are checked here
// first, so a few bad bytes cannot ask for gigabytes.
bool HeaderFieldsPlausible(TBytes b, std::string& problem) {
  if (b.size() < 18) {
    problem = "truncated BMP data";
    return false;
  }
  const std::uint32_t header = LoadLe<std::uint32_t>(&b[14]);
  const std::uint32_t offset = LoadLe<std::uint32_t>(&b[10]);
  constexpr std::uint32_t kKnownHeaders[] = {12, 40, 52, 56, 64, 108, 124};
  if (std::find(std::begin(kKnownHeaders), std::end(kKnownHeaders), header) == std::end(kKnownHeaders)) {
    problem = fmt::format("BMP header of {} bytes is of no known kind", header);
    return false;
  }
  if (header >= 40 && b.size() >= 50 && LoadLe<std::uint16_t>(&b[28]) <= 8 && LoadLe<std::uint32_t>(&b[46]) > 256) {
    problem = fmt::format("BMP palette of {} colours is more than 256", LoadLe<std::uint32_t>(&b[46]));
    return false;
  }
  if (offset > b.size()) {
    problem = fmt::format("BMP pixel data at offset {} lies past the end of the {} bytes", offset, b.size());
    return false;
  }
  return true;
}

void SizePrepared(GdkPixbufLoader* loader, gint width, gint height, gpointer data) {
  auto* load = static_cast<TBmpLoad*>(data);
  const auto w = static_cast<std::uint64_t>(std::max(width, 0));
  const auto h = static_cast<std::uint64_t>(std::max(height, 0));
  if (!SizeAccepted(w, h, load->MaxPixels, load->Refusal) || !DataCanHoldRows(*load, w, h, load->Refusal))
    gdk_pixbuf_loader_set_size(loader, 0, 0);  // a size of 0 stops the loader before it allocates
}

void AreaUpdated(GdkPixbufLoader*, gint, gint, gint, gint height, gpointer data) {
  static_cast<TBmpLoad*>(data)->RowsDone += height;
}

}  // namespace

std::optional<TBitmap32> DecodeBmp(TBytes bytes, std::int64_t maxPixels, std::string& problem) {
  if (!HeaderFieldsPlausible(bytes, problem)) return std::nullopt;
  TBmpLoad load;
  load.Bytes = bytes;
  load.MaxPixels = maxPixels;
  GError* rawError = nullptr;
  const std::unique_ptr<GdkPixbufLoader, TGObjectUnref> loader(gdk_pixbuf_loader_new_with_type("bmp", &rawError));
  std::unique_ptr<GError, TGErrorFree> error(rawError);
  if (!loader) {
    problem = fmt::format("BMP files cannot be read here: {}", error ? error->message : "no loader");
    return std::nullopt;
  }
  g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(SizePrepared), &load);
  g_signal_connect(loader.get(), "area-updated", G_CALLBACK(AreaUpdated), &load);
  // A failed write closes the loader itself; closing again does nothing.
  bool ok = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &rawError) != FALSE;
  if (ok) ok = gdk_pixbuf_loader_close(loader.get(), &rawError) != FALSE;
  else gdk_pixbuf_loader_close(loader.get(), nullptr);
  error.reset(rawError);
  if (!load.Refusal.empty()) {
    problem = load.Refusal;
    return std::nullopt;
  }
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
  if (!ok || !pixbuf) {
    problem = error ? fmt::format("corrupt BMP data: {}", error->message) : std::string("truncated BMP data");
    return std::nullopt;
  }
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  // Rows the data never reached hold whatever the allocation held.
  if (load.RowsDone < height || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || (channels != 3 && channels != 4)) {
    problem = "truncated BMP data";
    return std::nullopt;
  }
  auto bitmap = NewBitmap(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), problem);
  if (!bitmap) return std::nullopt;
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  const auto stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  for (int y = 0; y < height; ++y) {
    const guchar* in = pixels + static_cast<std::size_t>(y) * stride;
    TColor32* out = bitmap->Row(y);
    for (int x = 0; x < width; ++x, in += channels)
      out[x] = channels == 4 ? Premultiplied(in[0], in[1], in[2], in[3]) : Opaque(in[0], in[1], in[2]);
  }
  return bitmap;
}

}  // namespace slabrip::image_decoding
