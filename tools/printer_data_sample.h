// Printer-data streams built by code, for the reader's tests, fuzz seeds and
// prnview's end-to-end test; laid out as the printer-data document gives them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hpraster/printer_data.h"

namespace slabrip {

/// PackBits: runs of three or more equal bytes as repeats, the rest as literals.
std::string PackBits(std::span<const std::uint8_t> bytes);

/// Appends the parts of a stream in order; Bytes() is the stream so far.
class TPrnSampleWriter {
 public:
  /// UEL, `@PJL JOB NAME`, one SET line per setting, `@PJL ENTER LANGUAGE=RTL`.
  void JobHeader(std::string_view name, const std::vector<TPjlSetting>& settings);
  /// ESC E up to ESC *r1A, every plane at `resolution` with four levels.
  void RasterStart(int resolution, int width, int height, int planes);
  /// One row from decoded planes; trailing zero bytes are dropped before packing.
  void Row(const std::vector<std::vector<std::uint8_t>>& planes);
  /// ESC *rC.
  void RasterEnd();
  /// ESC E, UEL, `@PJL EOJ NAME`, UEL.
  void JobEnd(std::string_view name);

  const std::string& Bytes() const { return Bytes_; }

 private:
  std::string Bytes_;
};

/// The level the sample job puts at pixel (x, y) of `plane`: ramps, blocks,
/// a band, empty margins, and nothing at all on the sixth plane.
int SampleLevel(int plane, int x, int y, int width, int height);

/// A whole job of SampleLevel planes; `rows` below `height` ends its raster early.
std::string SamplePrinterData(int width, int height, int rows, int planes);

}  // namespace slabrip
