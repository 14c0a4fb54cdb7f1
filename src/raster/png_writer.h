// PNG files written row by row, so a large raster never needs to be whole in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/file_paths.h"
#include "raster/bitmap32.h"

namespace slabrip {

/// Writes an RGBA (from premultiplied ARGB rows) or 16-bit grey PNG to a
/// byte sink. Throws TError when libpng reports an error. The sink may
/// throw: libpng is left without unwinding through it, and the call that
/// wrote rethrows the sink's exception; the writer is unusable after it.
class TPngWriter {
 public:
  using TSink = std::function<void(const std::uint8_t* data, std::size_t size)>;
  enum class TKind { kRgba, kGrey16 };

  TPngWriter(int width, int height, TKind kind, TSink sink);
  ~TPngWriter();
  TPngWriter(const TPngWriter&) = delete;
  TPngWriter& operator=(const TPngWriter&) = delete;

  /// The next row of premultiplied pixels (kRgba).
  void WriteRow(const TColor32* row);
  /// The next row of 16-bit values (kGrey16).
  void WriteRow(const std::uint16_t* row);
  /// Ends the file after the last row.
  void Finish();

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

/// A PNG file written row by row into a temporary file beside `path` and
/// renamed over it by Commit, so that a failed or abandoned picture never
/// leaves a partial file. Throws TError naming the file when the temporary
/// file cannot be made or written.
class TPngFile {
 public:
  TPngFile(const std::string& path, int width, int height, TPngWriter::TKind kind);

  /// The next row, as TPngWriter::WriteRow takes it.
  template <typename TPixel>
  void WriteRow(const TPixel* row) {
    Png_.WriteRow(row);
  }
  /// Ends the PNG and puts the file in place.
  void Commit();

 private:
  // Declared before the writer, which writes its header through the sink as it is made.
  TAtomicFileWriter File_;
  std::string Pending_;  // bytes not yet written, so the file is written in large pieces
  TPngWriter Png_;
};

/// A whole bitmap as an RGBA PNG in memory.
std::vector<std::uint8_t> EncodePng(const TBitmap32& bitmap);

}  // namespace slabrip
