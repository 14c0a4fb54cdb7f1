#include "raster/png_writer.h"

#include <png.h>
#include <algorithm>
#include <csetjmp>
#include <vector>

#include "base/errors.h"

namespace slabrip {

struct TPngWriter::TState {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  TSink Sink;
  TKind Kind = TKind::kRgba;
  std::vector<std::uint8_t> Row;
  bool Finished = false;
};

namespace {

void WriteToSink(png_structp png, png_bytep data, png_size_t length) {
  static_cast<TPngWriter::TSink*>(png_get_io_ptr(png))->operator()(data, length);
}

void FlushNothing(png_structp) {}
void IgnoreWarning(png_structp, png_const_charp) {}

}  // namespace

// libpng reports errors by longjmp to the setjmp in each call below, which
// then throws from our own frame; the sink itself must not throw.
#define SLABRIP_PNG_GUARD(state) \
  if (setjmp(png_jmpbuf((state).Png))) throw TError("cannot write the PNG")

TPngWriter::TPngWriter(int width, int height, TKind kind, TSink sink) : State_(std::make_unique<TState>()) {
  State_->Sink = std::move(sink);
  State_->Kind = kind;
  State_->Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  if (State_->Png) State_->Info = png_create_info_struct(State_->Png);
  if (!State_->Png || !State_->Info) throw TError("PNG: out of memory");
  State_->Row.resize(static_cast<std::size_t>(width) * (kind == TKind::kRgba ? 4 : 2));
  SLABRIP_PNG_GUARD(*State_);
  png_set_write_fn(State_->Png, &State_->Sink, WriteToSink, FlushNothing);
  png_set_IHDR(State_->Png, State_->Info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               kind == TKind::kRgba ? 8 : 16,
               kind == TKind::kRgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(State_->Png, 6);
  png_write_info(State_->Png, State_->Info);
}

TPngWriter::~TPngWriter() { png_destroy_write_struct(&State_->Png, &State_->Info); }

void TPngWriter::WriteRow(const TColor32* row) {
  std::uint8_t* out = State_->Row.data();
  for (std::size_t x = 0; x < State_->Row.size() / 4; ++x) {
    const TColor32 p = row[x];
    const unsigned a = p >> 24;
    // Premultiplied to straight colour, rounded.
    const auto straight = [a](unsigned c) {
      return static_cast<std::uint8_t>(a == 0 ? 0 : std::min(255u, (c * 255 + a / 2) / a));
    };
    out[4 * x] = straight(p >> 16 & 255);
    out[4 * x + 1] = straight(p >> 8 & 255);
    out[4 * x + 2] = straight(p & 255);
    out[4 * x + 3] = static_cast<std::uint8_t>(a);
  }
  SLABRIP_PNG_GUARD(*State_);
  png_write_row(State_->Png, out);
}

void TPngWriter::WriteRow(const std::uint16_t* row) {
  std::uint8_t* out = State_->Row.data();
  for (std::size_t x = 0; x < State_->Row.size() / 2; ++x) {
    out[2 * x] = static_cast<std::uint8_t>(row[x] >> 8);  // PNG is big-endian
    out[2 * x + 1] = static_cast<std::uint8_t>(row[x]);
  }
  SLABRIP_PNG_GUARD(*State_);
  png_write_row(State_->Png, out);
}

void TPngWriter::Finish() {
  if (State_->Finished) return;
  State_->Finished = true;
  SLABRIP_PNG_GUARD(*State_);
  png_write_end(State_->Png, State_->Info);
}

std::vector<std::uint8_t> EncodePng(const TBitmap32& bitmap) {
  std::vector<std::uint8_t> bytes;
  TPngWriter writer(
      bitmap.Width(), bitmap.Height(), TPngWriter::TKind::kRgba,
      [&](const std::uint8_t* data, std::size_t size) { bytes.insert(bytes.end(), data, data + size); });
  for (int y = 0; y < bitmap.Height(); ++y) writer.WriteRow(bitmap.Row(y));
  writer.Finish();
  return bytes;
}

}  // namespace slabrip
