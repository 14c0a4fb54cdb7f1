#include "proof/render_files.h"

#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/slot_ring.h"
#include "base/usable_cores.h"
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

// One render row as the files take it; only the parts some file wants are filled.
struct TRenderedRow {
  std::vector<TColor32> Colours;
  std::vector<std::uint16_t> Spots;
  std::vector<TColor32> Proof;
};

struct TRowTag {
  std::int32_t Y = -1;
};

// The picture files of one render, fed row by row in order.
class TRenderFiles {
 public:
  TRenderFiles(const TRenderSlabOptions& options, int width, int height) : Options_(options) {
    using enum TPngWriter::TKind;
    Image_ = PngFileOrNone(options.Output, width, height, kRgba);
    Spots_ = PngFileOrNone(options.SpotMapOutput, width, height, kGrey16);
    Inks_ = PngFileOrNone(options.InksOutput, width, height, kRgba);
    if (!options.PreviewOutput.empty()) Preview_ = std::make_unique<TPreviewShrinker>(width, height);
  }

  // The row of render row `y`, taken from the engine that just prepared it.
  void Draw(const TRipEngine& engine, std::int32_t y, TRenderedRow& row) {
    const int bandRow = y - engine.BandTop();
    const auto width = static_cast<std::size_t>(engine.Slab()->RenderWidth);
    if (Image_ || Preview_)
      row.Colours.assign(engine.Band().Row(bandRow), engine.Band().Row(bandRow) + width);
    if (Spots_) row.Spots.assign(engine.SpotMap().Row(bandRow), engine.SpotMap().Row(bandRow) + width);
    if (Inks_) {
      const TInkVector* inks = engine.InkRow()->Input();
      row.Proof.resize(width);
      for (std::size_t x = 0; x < width; ++x) row.Proof[x] = Proof_.Colour(inks[x]);
    }
  }

  void Write(std::int32_t y, const TRenderedRow& row) {
    if (Image_) Image_->WriteRow(row.Colours.data());
    if (Preview_) Preview_->AddRow(y, row.Colours.data());
    if (Spots_) Spots_->WriteRow(row.Spots.data());
    if (Inks_) Inks_->WriteRow(row.Proof.data());
  }

  void Commit() {
    if (Image_) Image_->Commit();
    if (Spots_) Spots_->Commit();
    if (Inks_) Inks_->Commit();
    if (Preview_) {
      const std::vector<std::uint8_t> jpeg = EncodeJpeg(Preview_->Picture(), 90);
      WriteFileAtomically(Options_.PreviewOutput,
                          std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
    }
  }

 private:
  const TRenderSlabOptions& Options_;
  std::unique_ptr<TPngFile> Image_, Spots_, Inks_;
  std::unique_ptr<TPreviewShrinker> Preview_;
  TSoftProof Proof_;  // used by the drawing thread only
};

// Draws on a thread of its own while the calling thread writes the files, so
// drawing and compressing overlap; the rows reach the files in order.
void RenderThreaded(TRipEngine& engine, TRenderFiles& files) {
  const std::int32_t height = engine.Slab()->RenderHeight;
  TSlotRing<TRenderedRow, TRowTag> rows(16, TRenderedRow{});
  std::jthread drawer([&] {
    try {
      for (std::int32_t y = 0; y < height; ++y) {
        TRenderedRow* slot = rows.Claim();
        if (slot == nullptr) return;
        engine.PrepareRow(y);
        files.Draw(engine, y, *slot);
        rows.Publish({y});
      }
      rows.Close();
    } catch (...) {
      rows.Close(std::current_exception());
    }
  });
  try {
    TRowTag tag;
    while (const TRenderedRow* row = rows.Take(tag)) {
      files.Write(tag.Y, *row);
      rows.Release();
    }
  } catch (...) {
    rows.Stop();
    throw;
  }
  if (const std::exception_ptr failure = rows.Failure()) std::rethrow_exception(failure);
}

}  // namespace

TRef<TRipEngine> EngineForSlab(const std::string& slab, const std::string& iccFolder, std::int32_t bandRows) {
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = iccFolder;
  try {
    engine->PrepareForSlab(slab, bandRows);
  } catch (const ESlabNotLoaded&) {
    throw TError("Unable to open RIP File");
  }
  return engine;
}

TRenderedSlab RenderSlabFiles(const TRenderSlabOptions& options) {
  const TRef<TRipEngine> engine =
      EngineForSlab(options.Slab, FolderForSlab(options.Icc, options.Slab, "ICC").Folder, options.BandRows);
  const TRipSlab& slab = *engine->Slab();
  TRenderFiles files(options, slab.RenderWidth, slab.RenderHeight);
  if (ThreadsOrCores(options.Threads) > 1) {
    RenderThreaded(*engine, files);
  } else {
    TRenderedRow row;
    for (std::int32_t y = 0; y < slab.RenderHeight; ++y) {
      engine->PrepareRow(y);
      files.Draw(*engine, y, row);
      files.Write(y, row);
    }
  }
  files.Commit();
  return {slab.RenderWidth, slab.RenderHeight, engine->BandsDrawn()};
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
