// Which HP printer model a slab prints on, and the raster library that knows it.
#pragma once

#include <string>

#include "hpraster/hp_library.h"

namespace slabrip {

/// The printer description file of the slab's printer: the printer's file
/// name with the extension ".qlPrinter", in the drivers folder.
std::string PrinterDescriptionFile(const std::string& driversFolder, const std::string& printer);

/// Key HPPrinterID of section HPDJ; empty when the key is absent.
std::string ReadPrinterModelId(const std::string& descriptionFile);

/// Loads the raster library from `folder` unless one is loaded; throws
/// "Cant find: PATH" when it is missing or does not load.
void LoadRasterLibrary(THPDJLIB& library, const std::string& folder);

}  // namespace slabrip
