#include "cli/render_slab_command.h"

#include <algorithm>
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "base/errors.h"
#include "base/file_paths.h"
#include "colour/colour_spec.h"
#include "engine/rip_engine.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"

namespace slabrip {

namespace {

TPngWriter::TSink SinkOf(TAtomicFileWriter& file) {
  return [&file](const std::uint8_t* data, std::size_t size) {
    file.Write(std::string_view(reinterpret_cast<const char*>(data), size));
  };
}

// An output PNG beside its file, written row by row and put in place at the end.
struct TPngFile {
  TPngFile(const std::string& path, int width, int height, TPngWriter::TKind kind)
      : File(path), Writer(width, height, kind, SinkOf(File)) {}
  void Finish() {
    Writer.Finish();
    File.Commit();
  }
  TAtomicFileWriter File;
  TPngWriter Writer;
};

// What the inks would look like on paper: light inks count a third of their
// dark ones, mixed by the ink model of named colours. Runs of one vector convert once.
class TSoftProof {
public:
  TColor32 Colour(const TInkVector& inks) {
    if (inks == Last_) return LastColour_;
    const auto share = [](std::int16_t dark, std::int16_t light) {
      return static_cast<float>(std::min(1.0, (dark + light / 3.0) / 32767.0));
    };
    const TRgbF rgb = Converter_.ToRGB(TUniColorSpec::Make(
        kModelCMYK, {share(inks.Lane[0], inks.Lane[4]), share(inks.Lane[1], inks.Lane[5]), share(inks.Lane[2], 0),
                     share(inks.Lane[3], 0)}));
    Last_ = inks;
    LastColour_ = 0xFF000000u | PackRGB(rgb);
    return LastColour_;
  }

private:
  TStandardColorConverter Converter_;
  TInkVector Last_{{-1}};
  TColor32 LastColour_ = 0;
};

// A small picture of the slab, as the suite keeps beside it for the driver
// window: every block of Factor x Factor pixels averaged, rows as they come.
class TPreviewShrinker {
public:
  static constexpr int kLongSide = 1000;

  TPreviewShrinker(int width, int height)
      : Factor((std::max(width, height) + kLongSide - 1) / kLongSide),
        Picture_((width + Factor - 1) / Factor, (height + Factor - 1) / Factor),
        Sums_(static_cast<std::size_t>(Picture_.Width()) * 3), Width_(width), Height_(height) {}

  void AddRow(int y, const TColor32* row) {
    for (int x = 0; x < Width_; ++x) {
      std::uint32_t* sum = &Sums_[static_cast<std::size_t>(x / Factor) * 3];
      sum[0] += row[x] >> 16 & 0xFF;
      sum[1] += row[x] >> 8 & 0xFF;
      sum[2] += row[x] & 0xFF;
    }
    if ((y + 1) % Factor != 0 && y + 1 != Height_) return;
    const int rows = y % Factor + 1;
    TColor32* out = Picture_.Row(y / Factor);
    for (int px = 0; px < Picture_.Width(); ++px) {
      const auto count = static_cast<std::uint32_t>(rows * std::min(Factor, Width_ - px * Factor));
      const std::uint32_t* sum = &Sums_[static_cast<std::size_t>(px) * 3];
      out[px] = 0xFF000000u | (sum[0] / count) << 16 | (sum[1] / count) << 8 | sum[2] / count;
    }
    std::fill(Sums_.begin(), Sums_.end(), 0);
  }
  const TBitmap32& Picture() const { return Picture_; }

  const int Factor;

private:
  TBitmap32 Picture_;
  std::vector<std::uint32_t> Sums_;
  int Width_, Height_;
};

}  // namespace

int RunRenderSlab(const TRenderSlabOptions& options, std::ostream& out, std::ostream& err) {
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = FolderForSlab(options.Icc, options.Slab, "ICC").Folder;
  try {
    if (!engine->LoadSlab(options.Slab)) throw TError("Unable to open RIP File");
    if (!engine->PrepareInkManager()) throw TError(engine->Message());
    engine->PrepareSpotInks();
    engine->PrepareBuffers(options.BandRows);
    const TRipSlab& slab = *engine->Slab();
    const int width = slab.RenderWidth, height = slab.RenderHeight;
    std::unique_ptr<TPngFile> image, spots, inks;
    if (!options.Output.empty()) image = std::make_unique<TPngFile>(options.Output, width, height, TPngWriter::TKind::kRgba);
    if (!options.SpotMapOutput.empty())
      spots = std::make_unique<TPngFile>(options.SpotMapOutput, width, height, TPngWriter::TKind::kGrey16);
    if (!options.InksOutput.empty())
      inks = std::make_unique<TPngFile>(options.InksOutput, width, height, TPngWriter::TKind::kRgba);
    std::unique_ptr<TPreviewShrinker> preview;
    if (!options.PreviewOutput.empty()) preview = std::make_unique<TPreviewShrinker>(width, height);
    TSoftProof proof;
    std::vector<TColor32> proofRow(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
      engine->PrepareRow(y);
      const int bandRow = y - engine->BandTop();
      if (image) image->Writer.WriteRow(engine->Band().Row(bandRow));
      if (preview) preview->AddRow(y, engine->Band().Row(bandRow));
      if (spots) spots->Writer.WriteRow(engine->SpotMap().Row(bandRow));
      if (inks) {
        const TInkVector* row = engine->InkRow()->Input();
        for (std::size_t x = 0; x < proofRow.size(); ++x) proofRow[x] = proof.Colour(row[x]);
        inks->Writer.WriteRow(proofRow.data());
      }
    }
    if (image) image->Finish();
    if (spots) spots->Finish();
    if (inks) inks->Finish();
    if (preview) {
      const std::vector<std::uint8_t> jpeg = EncodeJpeg(preview->Picture(), 90);
      WriteFileAtomically(options.PreviewOutput, std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
    }
    fmt::print(out, "{}: {} x {} pixels in {} bands\n", options.Slab, width, height, engine->BandsDrawn());
  } catch (const TError& e) {
    fmt::print(err, "{}: {}\n", options.Slab, e.what());
    return 1;
  }
  return 0;
}

}  // namespace slabrip
