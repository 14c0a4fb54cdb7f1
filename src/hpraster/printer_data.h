// Reader of the printer-data stream: a PJL job header, HP RTL raster rows
// compressed with PackBits, and the end of job.
//
// The reader pulls bytes from a source and hands out one decoded row at a
// time, so a job of any length decodes in the memory of one row. It trusts
// nothing in the stream: every number is bounded before it sizes anything,
// and any fault, including data cut short, throws TPrinterDataError with
// the byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/errors.h"

namespace slabrip {

/// Bounds on what a stream may declare, checked before anything is sized by it.
inline constexpr int kPrnMaxWidth = 1'000'000;
inline constexpr int kPrnMaxHeight = 10'000'000;
inline constexpr int kPrnMaxPlanes = 8;
inline constexpr std::size_t kPrnMaxLineBytes = 65'536;

/// A fault in the stream; what() reads "<problem> at byte N".
class TPrinterDataError : public TError {
 public:
  TPrinterDataError(const std::string& problem, std::uint64_t offset);
  const std::string& Problem() const { return Problem_; }
  std::uint64_t Offset() const { return Offset_; }

 private:
  std::string Problem_;
  std::uint64_t Offset_;
};

/// One `@PJL SET KEY=value` line, or `JOB NAME` for the job line; quotes removed.
struct TPjlSetting {
  std::string Key;
  std::string Value;
  bool operator==(const TPjlSetting&) const = default;
};

/// One plane of the configure-raster-data block.
struct TRasterPlane {
  int HorizontalDpi = 0;
  int VerticalDpi = 0;
  int Levels = 0;
  bool operator==(const TRasterPlane&) const = default;
};

/// The raster as its setup commands declare it.
struct TRasterGeometry {
  int Resolution = 0;  // ESC *t#R, dots per inch
  std::vector<TRasterPlane> Planes;
  int Width = 0;        // pixels
  int Height = 0;       // rows
  int Compression = 0;  // always 2 once read
  /// Bytes of one decoded plane row: four pixels a byte.
  std::size_t PlaneBytes() const { return (static_cast<std::size_t>(Width) + 3) / 4; }
};

/// Pulls the next bytes into `buffer`, returning how many; 0 means the end.
/// May throw TError for a read failure.
using TPrnSource = std::function<std::size_t(std::uint8_t* buffer, std::size_t capacity)>;

/// A source reading `file` on from where it stands; throws TError when a read fails.
TPrnSource FileSource(std::FILE* file);

class TPrinterDataReader {
 public:
  explicit TPrinterDataReader(TPrnSource source);
  ~TPrinterDataReader();
  TPrinterDataReader(const TPrinterDataReader&) = delete;
  TPrinterDataReader& operator=(const TPrinterDataReader&) = delete;

  /// Reads the job header and the raster setup, up to the first row. A job
  /// that ended before its raster started is read to its end here.
  void ReadHeader();

  /// The PJL settings in stream order.
  const std::vector<TPjlSetting>& Settings() const;
  /// Empty for a job that ended before its raster started.
  const std::optional<TRasterGeometry>& Raster() const;

  /// Decodes the next row into Plane(); false once the raster has ended, by
  /// which time the end of the job has been read and checked as well.
  bool NextRow();
  /// Rows decoded so far.
  int Rows() const;
  /// Plane `index` of the current row, PlaneBytes() long, zero-filled past
  /// what its transfer held.
  std::span<const std::uint8_t> Plane(int index) const;

  /// The NAME of `@PJL EOJ`, once the end of the job has been read.
  const std::optional<std::string>& EndOfJobName() const;

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

/// A stream read whole, for callers that have the bytes in memory.
struct TPrinterData {
  std::vector<TPjlSetting> Settings;
  std::optional<TRasterGeometry> Raster;
  int Rows = 0;
  std::optional<std::string> EndOfJobName;
};

/// Receives each decoded row: its index and its planes in plane order.
using TPrnRowVisitor = std::function<void(int row, std::span<const std::span<const std::uint8_t>> planes)>;

/// Reads the whole stream, passing each row to `visitor`; throws TPrinterDataError.
TPrinterData ReadPrinterData(std::span<const std::uint8_t> bytes, const TPrnRowVisitor& visitor = {});

/// Level 0 to 3 of pixel `x` in a decoded plane row.
inline int PixelLevel(std::span<const std::uint8_t> plane, std::size_t x) {
  return plane[x / 4] >> (6 - 2 * (x % 4)) & 3;
}

}  // namespace slabrip
