#include "driver/printer_model.h"

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/ini_file.h"

namespace slabrip {

std::string PrinterDescriptionFile(const std::string& driversFolder, const std::string& printer) {
  std::string folder = driversFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + ChangeFileExt(FileNamePart(printer), ".qlPrinter");
}

std::string ReadPrinterModelId(const std::string& descriptionFile) {
  return TqlInifile(descriptionFile).ReadString("HPDJ", "HPPrinterID", "");
}

void LoadRasterLibrary(THPDJLIB& library, const std::string& folder) {
  if (library.IsLoaded()) return;
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += kHPRasterLibraryFile;
  try {
    library.Load(path);
  } catch (const TError&) {
    throw TError("Cant find: " + path);
  }
}

}  // namespace slabrip
