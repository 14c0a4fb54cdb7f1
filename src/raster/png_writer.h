// PNG files written row by row, so a large raster never needs to be whole in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "raster/bitmap32.h"

namespace slabrip {

/// Writes an RGBA (from premultiplied ARGB rows) or 16-bit grey PNG to a
/// byte sink. Throws TError when libpng reports an error.
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

/// A whole bitmap as an RGBA PNG in memory.
std::vector<std::uint8_t> EncodePng(const TBitmap32& bitmap);

}  // namespace slabrip
