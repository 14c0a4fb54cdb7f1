#include "cli/xml_command.h"

#include <fmt/ostream.h>

#include "base/file_paths.h"
#include "cli/load_slab.h"
#include "driver/printer_model.h"
#include "hpraster/hp_raster_job.h"

namespace slabrip {

int RunXml(const TXmlOptions& options, std::ostream& out, std::ostream& err) {
  const TRef<TRipSlab> slab = LoadSlabOrReport(options.Slab, err);
  if (!slab) return 1;
  THPDJLIB library;
  LoadRasterLibrary(library, options.LibraryFolder);

  THPJobSettings settings = options.Settings;
  if (settings.PrinterModelId.empty()) {
    const std::string description = PrinterDescriptionFile(options.DriversFolder, slab->Printer);
    if (!FileExists(description)) {
      fmt::print(err, "Unable to find driver\n{}\n", description);
      return 1;
    }
    settings.PrinterModelId = ReadPrinterModelId(description);
    if (settings.PrinterModelId.empty()) {
      fmt::print(err, "{}: no HPPrinterID in section HPDJ\n", description);
      return 1;
    }
  }
  HPDRLGL_PrinterInfo info;
  if (!QueryPrinterInfo(library, settings.PrinterModelId, info)) {
    fmt::print(err, "The HP raster library does not know the printer model \"{}\"\n", settings.PrinterModelId);
    return 1;
  }
  THPRasterJob job(library, settings, nullptr);
  job.SetSlab(slab);
  out << job.ViewXmlText();
  return 0;
}

}  // namespace slabrip
