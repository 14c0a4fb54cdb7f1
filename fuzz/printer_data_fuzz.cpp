// Fuzzes the printer-data reader on arbitrary bytes.
//
// Every row handed out must be whole; a stream that decodes is written again
// by the sample writer and must decode to the same rows; a failure must point
// inside the data.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "hpraster/printer_data.h"
#include "tools/printer_data_sample.h"

namespace {

using namespace slabrip;

// Re-encoding copies every row, so only small rasters go round.
constexpr std::uint64_t kMaxRoundTripPixels = std::uint64_t{1} << 20;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Reads the ends of every plane even when the rows are too large to copy.
volatile std::uint8_t gTouched;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::vector<std::vector<std::uint8_t>>> rows;
  std::size_t count = 0;
  bool keep = true;
  TPrinterData decoded;
  try {
    decoded = ReadPrinterData({data, size}, [&](int, std::span<const std::span<const std::uint8_t>> planes) {
      Check(!planes.empty() && !planes[0].empty());
      if (keep && ++count * planes[0].size() * 4 > kMaxRoundTripPixels) {
        keep = false;
        rows.clear();
      }
      for (const auto plane : planes) {
        Check(plane.size() == planes[0].size());
        gTouched = static_cast<std::uint8_t>(plane.front() ^ plane.back());
      }
      if (!keep) return;
      auto& copy = rows.emplace_back();
      for (const auto plane : planes) copy.emplace_back(plane.begin(), plane.end());
    });
  } catch (const TPrinterDataError& e) {
    Check(e.Offset() <= size);
    return 0;
  }
  if (!decoded.Raster) return 0;
  const TRasterGeometry& raster = *decoded.Raster;
  Check(decoded.Rows <= raster.Height && static_cast<std::size_t>(decoded.Rows) == count);
  if (!keep) return 0;

  TPrnSampleWriter writer;
  writer.JobHeader("again", {});
  writer.RasterStart(raster.Resolution, raster.Width, raster.Height, static_cast<int>(raster.Planes.size()));
  for (const auto& row : rows) writer.Row(row);
  writer.RasterEnd();
  writer.JobEnd("again");
  std::size_t index = 0;
  const std::string& again = writer.Bytes();
  ReadPrinterData({reinterpret_cast<const std::uint8_t*>(again.data()), again.size()},
                  [&](int row, std::span<const std::span<const std::uint8_t>> planes) {
                    Check(static_cast<std::size_t>(row) == index++);
                    for (std::size_t p = 0; p < planes.size(); ++p)
                      Check(std::equal(planes[p].begin(), planes[p].end(), rows[index - 1][p].begin(),
                                       rows[index - 1][p].end()));
                  });
  Check(index == rows.size());
  return 0;
}
