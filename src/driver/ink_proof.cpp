#include "driver/ink_proof.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "base/usable_cores.h"
#include "driver/row_pipeline.h"
#include "engine/rip_engine.h"
#include "hpraster/hp_raster_job.h"
#include "proof/render_files.h"
#include "proof/soft_proof.h"
#include "separation/ink_row.h"

namespace slabrip {

namespace {

using TLaneSums = std::array<std::uint64_t, 8>;

// The ink values of one picture row's printer pixels, summed per column.
class TProofRow {
 public:
  TProofRow(const TInkRowEx& ink, int printerWidth, int width)
      : Bits_(ink.TwoBit ? 2u : 1u),
        Points_(LevelTables(ink.TwoBit).Point),
        Sums_(static_cast<std::size_t>(width)),
        Counts_(static_cast<std::size_t>(width)),
        ColumnOf_(static_cast<std::size_t>(printerWidth)) {
    for (std::size_t x = 0; x < ColumnOf_.size(); ++x)
      ColumnOf_[x] = static_cast<std::int32_t>(x * static_cast<std::size_t>(width) / ColumnOf_.size());
    const std::size_t perByte = 8 / Bits_;
    for (std::size_t k = 0; k * perByte + perByte <= ColumnOf_.size(); ++k)
      if (ColumnOf_[k * perByte] == ColumnOf_[k * perByte + perByte - 1]) OneColumn_.push_back(k);
    OneColumn_.push_back(SIZE_MAX);
    for (unsigned byte = 0; byte < 256; ++byte)
      for (unsigned j = 0; j < perByte; ++j)
        ByteInk_[byte] += static_cast<std::uint64_t>(Points_[Level(byte, j)]);
    for (int i = 0; const TRef<TInkChannelEx> channel = ink.OutputChannel(i); ++i)
      Lanes_.push_back(channel->Index);
  }

  void Add(const std::uint8_t* planes, std::size_t planeBytes) {
    const std::size_t perByte = 8 / Bits_, width = ColumnOf_.size();
    for (std::size_t plane = 0; plane < Lanes_.size(); ++plane) {
      const std::uint8_t* bytes = planes + plane * planeBytes;
      const std::size_t lane = Lanes_[plane];
      const std::size_t* whole = OneColumn_.data();
      for (std::size_t k = 0; k < planeBytes; ++k) {
        const bool oneColumn = *whole == k;
        whole += oneColumn ? 1 : 0;
        // Level 0 is no ink: blank bytes add nothing.
        if (bytes[k] == 0) continue;
        const std::size_t first = k * perByte;
        if (oneColumn) {
          Sums_[static_cast<std::size_t>(ColumnOf_[first])][lane] += ByteInk_[bytes[k]];
          continue;
        }
        for (std::size_t j = 0; j < perByte && first + j < width; ++j)
          Sums_[static_cast<std::size_t>(ColumnOf_[first + j])][lane] +=
              static_cast<std::uint64_t>(Points_[Level(bytes[k], j)]);
      }
    }
    for (const std::int32_t column : ColumnOf_) ++Counts_[static_cast<std::size_t>(column)];
  }

  // The picture row from the sums, which start again.
  void Finish(TColor32* out, TSoftProof& proof) {
    for (std::size_t x = 0; x < Sums_.size(); ++x) {
      TInkVector inks{};
      if (Counts_[x] > 0)
        for (std::size_t lane = 0; lane < 8; ++lane)
          inks.Lane[lane] = static_cast<std::int16_t>(Sums_[x][lane] / Counts_[x]);
      out[x] = proof.Colour(inks);
    }
    std::ranges::fill(Sums_, TLaneSums{});
    std::ranges::fill(Counts_, 0);
  }

 private:
  // The level of pixel j of a packed byte, the first pixel highest.
  unsigned Level(unsigned byte, std::size_t j) const {
    return byte >> (8 - Bits_ * (j + 1)) & ((1u << Bits_) - 1);
  }

  const unsigned Bits_;
  const std::array<std::int32_t, 4> Points_;
  std::vector<TLaneSums> Sums_;
  std::vector<std::uint64_t> Counts_;
  std::vector<std::int32_t> ColumnOf_;  // picture column of each printer column
  std::vector<std::size_t> Lanes_;      // ink lane of each plane
  std::vector<std::size_t> OneColumn_;  // the bytes whose pixels all fall in one column, then SIZE_MAX
  std::array<std::uint64_t, 256> ByteInk_{};  // the ink values of a byte's pixels, added
};

}  // namespace

std::optional<TBitmap32> MakeInkProof(TRipEngine& engine, int width, int threads,
                                      const TProofProgress& progress) {
  const TRipSlab& slab = *engine.Slab();
  TInkRowEx& ink = *engine.InkRow();
  // The print's plane order, so that the ink estimate lists the inks as a print does.
  THPRasterJob::ConfigurePlanes(ink);
  const std::int64_t printerWidth = std::max(slab.RipWidth, 1), printerHeight = std::max(slab.RipHeight, 1);
  const int pictureWidth = static_cast<int>(std::clamp<std::int64_t>(width, 1, printerWidth));
  const int pictureHeight = static_cast<int>(
      std::max<std::int64_t>(1, (printerHeight * pictureWidth + printerWidth / 2) / printerWidth));
  TBitmap32 picture(pictureWidth, pictureHeight);
  TProofRow sums(ink, slab.RipWidth, pictureWidth);
  TSoftProof proof;
  const int planes = ink.ChannelCount();
  TRowPipeline rows(engine, slab.RipHeight, planes, threads);
  const auto planeBytes = static_cast<std::size_t>(ink.RowBytes());
  const auto pictureRowOf = [&](std::int64_t row) {
    return static_cast<int>(row * pictureHeight / printerHeight);
  };
  TRowPipeline::TRow row;
  int pictureRow = 0;
  while (rows.Next(row)) {
    if (pictureRowOf(row.PrinterRow) != pictureRow) {
      sums.Finish(picture.Row(pictureRow), proof);
      pictureRow = pictureRowOf(row.PrinterRow);
      if (progress && !progress(static_cast<double>(row.PrinterRow) / static_cast<double>(printerHeight)))
        return std::nullopt;
    }
    sums.Add(row.Planes, planeBytes);
  }
  sums.Finish(picture.Row(pictureRow), proof);
  if (progress) progress(1);
  return picture;
}

std::optional<TSlabProof> MakeSlabProof(const TProofRequest& request, const TProofProgress& progress) {
  const TRef<TRipEngine> engine = EngineForSlab(request.Slab, request.IccFolder, request.BandRows);
  std::optional<TBitmap32> picture =
      MakeInkProof(*engine, request.Width, ThreadsOrCores(request.Threads), progress);
  if (!picture) return std::nullopt;
  const TRipSlab& slab = *engine->Slab();
  return TSlabProof{std::move(*picture),
                    InkReportOf(*engine->InkRow(), request.PrinterModelId, slab.XDPI, slab.YDpi)};
}

}  // namespace slabrip
