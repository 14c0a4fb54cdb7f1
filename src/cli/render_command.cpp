#include "cli/render_command.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <vector>

#include "base/errors.h"
#include "base/file_paths.h"
#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "raster/png_writer.h"
#include "render/document_raster.h"

namespace slabrip {

namespace {

TPngWriter::TSink SinkOf(TAtomicFileWriter& file) {
  return [&file](const std::uint8_t* data, std::size_t size) {
    file.Write(std::string_view(reinterpret_cast<const char*>(data), size));
  };
}

}  // namespace

int RunRenderDocument(const TRenderDocumentOptions& options, std::ostream& out, std::ostream& err) {
  if (!(options.Dpi >= 1 && options.Dpi <= 4800)) {
    fmt::print(err, "--dpi must lie between 1 and 4800\n");
    return 2;
  }
  try {
    std::string problem;
    TFileByteStream file(options.Document, false);
    const TRef<TcmfFile> document = TcmfWriter::ReadDocument(file, TBM32CacheManager::Shared(), &problem);
    if (!document) throw TError(problem);
    std::vector<std::int32_t> spotChannels(document->Colours.size(), -1);
    for (std::size_t i = 0; i < options.SpotColours.size(); ++i) {
      const auto index = static_cast<std::size_t>(options.SpotColours[i]);
      if (index < spotChannels.size()) spotChannels[index] = static_cast<std::int32_t>(i) + 2;
    }
    const TRasterSize size = DocumentRasterSize(*document, options.Dpi);
    TAtomicFileWriter image(options.Output);
    TPngWriter png(size.Width, size.Height, TPngWriter::TKind::kRgba, SinkOf(image));
    std::unique_ptr<TAtomicFileWriter> spots;
    std::unique_ptr<TPngWriter> spotPng;
    if (!options.SpotMapOutput.empty()) {
      spots = std::make_unique<TAtomicFileWriter>(options.SpotMapOutput);
      spotPng =
          std::make_unique<TPngWriter>(size.Width, size.Height, TPngWriter::TKind::kGrey16, SinkOf(*spots));
    }
    RasterizeDocument(
        *document, options.Dpi,
        [&](const TColor32* pixels, const std::uint16_t* spotRow) {
          png.WriteRow(pixels);
          if (spotPng) spotPng->WriteRow(spotRow);
        },
        spotChannels);
    png.Finish();
    image.Commit();
    if (spotPng) {
      spotPng->Finish();
      spots->Commit();
    }
    fmt::print(out, "{}: {} x {} pixels at {} dpi\n", options.Output, size.Width, size.Height, options.Dpi);
  } catch (const TError& e) {
    fmt::print(err, "{}: {}\n", options.Document, e.what());
    return 1;
  }
  return 0;
}

}  // namespace slabrip
