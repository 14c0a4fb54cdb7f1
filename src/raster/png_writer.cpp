#include "raster/png_writer.h"

#include <png.h>
#include <algorithm>
#include <csetjmp>
#include <exception>
#include <vector>

#include "base/errors.h"
#include "base/file_paths.h"

namespace slabrip {

namespace {

// The sink as libpng calls it, with what it threw.
struct TSinkCall {
  TPngWriter::TSink Sink;
  std::exception_ptr Failure;
};

// Nothing may unwind through libpng: what the sink throws is kept, and libpng
// is left by its own error jump, without the message it would print.
void WriteToSink(png_structp png, png_bytep data, png_size_t length) {
  auto& call = *static_cast<TSinkCall*>(png_get_io_ptr(png));
  try {
    call.Sink(data, length);
    return;
  } catch (...) {
    call.Failure = std::current_exception();
  }
  png_longjmp(png, 1);
}

void FlushNothing(png_structp) {}
void IgnoreWarning(png_structp, png_const_charp) {}

}  // namespace

struct TPngWriter::TState {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  TSinkCall Out;
  TKind Kind = TKind::kRgba;
  std::vector<std::uint8_t> Row;
  bool Finished = false;
  bool Failed = false;  // libpng gave up: it is not called again

  ~TState() { png_destroy_write_struct(&Png, &Info); }
  [[noreturn]] void Raise() const {
    if (Out.Failure) std::rethrow_exception(Out.Failure);
    throw TError("cannot write the PNG");
  }
};

// libpng reports errors by longjmp to the setjmp in each call below, which
// then throws from our own frame: the sink's error, or else libpng's.
#define SLABRIP_PNG_GUARD(state)         \
  if ((state).Failed) (state).Raise();   \
  if (setjmp(png_jmpbuf((state).Png))) { \
    (state).Failed = true;               \
    (state).Raise();                     \
  }

TPngWriter::TPngWriter(int width, int height, TKind kind, TSink sink) : State_(std::make_unique<TState>()) {
  State_->Out.Sink = std::move(sink);
  State_->Kind = kind;
  State_->Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  if (State_->Png) State_->Info = png_create_info_struct(State_->Png);
  if (!State_->Png || !State_->Info) throw TError("PNG: out of memory");
  State_->Row.resize(static_cast<std::size_t>(width) * (kind == TKind::kRgba ? 4 : 2));
  SLABRIP_PNG_GUARD(*State_);
  png_set_write_fn(State_->Png, &State_->Out, WriteToSink, FlushNothing);
  png_set_IHDR(State_->Png, State_->Info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               kind == TKind::kRgba ? 8 : 16,
               kind == TKind::kRgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(State_->Png, 6);
  png_write_info(State_->Png, State_->Info);
}

TPngWriter::~TPngWriter() = default;

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
  SLABRIP_PNG_GUARD(*State_);
  png_write_end(State_->Png, State_->Info);
  State_->Finished = true;
}

// The writer's sink collects this much before it writes to the file.
constexpr std::size_t kPngFileChunk = std::size_t{1} << 16;

TPngFile::TPngFile(const std::string& path, int width, int height, TPngWriter::TKind kind)
    : File_(path), Png_(width, height, kind, [this](const std::uint8_t* data, std::size_t size) {
        Pending_.append(reinterpret_cast<const char*>(data), size);
        if (Pending_.size() >= kPngFileChunk) {
          File_.Write(Pending_);
          Pending_.clear();
        }
      }) {}

void TPngFile::Commit() {
  Png_.Finish();
  File_.Write(Pending_);
  Pending_.clear();
  File_.Commit();
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
