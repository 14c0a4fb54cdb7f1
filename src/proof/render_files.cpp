#include "proof/render_files.h"

#include <memory>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/file_paths.h"
#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "engine/rip_engine.h"
#include "proof/soft_proof.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"
#include "render/document_raster.h"

namespace slabrip {

namespace {

// A PNG file when `path` names one, else nothing.
std::unique_ptr<TPngFile> PngFileOrNone(const std::string& path, int width, int height,
                                        TPngWriter::TKind kind) {
  return path.empty() ? nullptr : std::make_unique<TPngFile>(path, width, height, kind);
}

}  // namespace

TRenderedSlab RenderSlabFiles(const TRenderSlabOptions& options) {
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = FolderForSlab(options.Icc, options.Slab, "ICC").Folder;
  try {
    engine->PrepareForSlab(options.Slab, options.BandRows);
  } catch (const ESlabNotLoaded&) {
    throw TError("Unable to open RIP File");
  }
  const TRipSlab& slab = *engine->Slab();
  const int width = slab.RenderWidth, height = slab.RenderHeight;
  using enum TPngWriter::TKind;
  const std::unique_ptr<TPngFile> image = PngFileOrNone(options.Output, width, height, kRgba);
  const std::unique_ptr<TPngFile> spots = PngFileOrNone(options.SpotMapOutput, width, height, kGrey16);
  const std::unique_ptr<TPngFile> inks = PngFileOrNone(options.InksOutput, width, height, kRgba);
  std::unique_ptr<TPreviewShrinker> preview;
  if (!options.PreviewOutput.empty()) preview = std::make_unique<TPreviewShrinker>(width, height);
  TSoftProof proof;
  std::vector<TColor32> proofRow(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    engine->PrepareRow(y);
    const int bandRow = y - engine->BandTop();
    if (image) image->WriteRow(engine->Band().Row(bandRow));
    if (preview) preview->AddRow(y, engine->Band().Row(bandRow));
    if (spots) spots->WriteRow(engine->SpotMap().Row(bandRow));
    if (inks) {
      const TInkVector* row = engine->InkRow()->Input();
      for (std::size_t x = 0; x < proofRow.size(); ++x) proofRow[x] = proof.Colour(row[x]);
      inks->WriteRow(proofRow.data());
    }
  }
  if (image) image->Commit();
  if (spots) spots->Commit();
  if (inks) inks->Commit();
  if (preview) {
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(preview->Picture(), 90);
    WriteFileAtomically(options.PreviewOutput,
                        std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
  }
  return {width, height, engine->BandsDrawn()};
}

TPictureSize RenderDocumentFiles(const TRenderDocumentOptions& options) {
  TFileByteStream file(options.Document, false);
  const TRef<TcmfFile> document = TcmfWriter::ReadDocument(file, TBM32CacheManager::Shared());
  std::vector<std::int32_t> spotChannels(document->Colours.size(), -1);
  for (std::size_t i = 0; i < options.SpotColours.size(); ++i) {
    const auto index = static_cast<std::size_t>(options.SpotColours[i]);
    if (index < spotChannels.size()) spotChannels[index] = static_cast<std::int32_t>(i) + 2;
  }
  const TRasterSize size = DocumentRasterSize(*document, options.Dpi);
  TPngFile image(options.Output, size.Width, size.Height, TPngWriter::TKind::kRgba);
  const std::unique_ptr<TPngFile> spots =
      PngFileOrNone(options.SpotMapOutput, size.Width, size.Height, TPngWriter::TKind::kGrey16);
  RasterizeDocument(
      *document, options.Dpi,
      [&](const TColor32* pixels, const std::uint16_t* spotRow) {
        image.WriteRow(pixels);
        if (spots) spots->WriteRow(spotRow);
      },
      spotChannels);
  image.Commit();
  if (spots) spots->Commit();
  return {size.Width, size.Height};
}

}  // namespace slabrip
