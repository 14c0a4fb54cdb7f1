#include "cli/render_slab_command.h"

#include <algorithm>
#include <fmt/format.h>
#include <fmt/ostream.h>

#include "base/errors.h"
#include "base/file_paths.h"
#include "colour/colour_spec.h"
#include "engine/rip_engine.h"
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

}  // namespace

int RunRenderSlab(const TRenderSlabOptions& options, std::ostream& out, std::ostream& err) {
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = options.IccFolder;
  try {
    if (!engine->LoadSlab(options.Slab)) throw TError("Unable to open RIP File");
    if (!engine->PrepareInkManager()) throw TError(engine->Message());
    engine->PrepareSpotInks();
    engine->PrepareBuffers();
    const TRipSlab& slab = *engine->Slab();
    const int width = slab.RenderWidth, height = slab.RenderHeight;
    TPngFile image(options.Output, width, height, TPngWriter::TKind::kRgba);
    std::unique_ptr<TPngFile> spots, inks;
    if (!options.SpotMapOutput.empty())
      spots = std::make_unique<TPngFile>(options.SpotMapOutput, width, height, TPngWriter::TKind::kGrey16);
    if (!options.InksOutput.empty())
      inks = std::make_unique<TPngFile>(options.InksOutput, width, height, TPngWriter::TKind::kRgba);
    TSoftProof proof;
    std::vector<TColor32> proofRow(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
      engine->PrepareRow(y);
      const int bandRow = y - engine->BandTop();
      image.Writer.WriteRow(engine->Band().Row(bandRow));
      if (spots) spots->Writer.WriteRow(engine->SpotMap().Row(bandRow));
      if (inks) {
        const TInkVector* row = engine->InkRow()->Input();
        for (std::size_t x = 0; x < proofRow.size(); ++x) proofRow[x] = proof.Colour(row[x]);
        inks->Writer.WriteRow(proofRow.data());
      }
    }
    image.Finish();
    if (spots) spots->Finish();
    if (inks) inks->Finish();
    fmt::print(out, "{}: {} x {} pixels in {} bands\n", options.Output, width, height, engine->BandsDrawn());
  } catch (const TError& e) {
    fmt::print(err, "{}: {}\n", options.Slab, e.what());
    return 1;
  }
  return 0;
}

}  // namespace slabrip
