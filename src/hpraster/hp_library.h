// Loads the HP raster library at run time and resolves its entry points.
#pragma once

#include <string>

#include "hpraster/hpldrlgl_abi.h"

namespace slabrip {

/// Every entry point, once: the members below and the names Load resolves.
#define SLABRIP_HPDRLGL_ENTRIES(X) \
  X(QueryLibraryInfo)              \
  X(QuerySupportedPrinters)        \
  X(QueryPrinterInfo)              \
  X(QueryPrinterInfoXML)           \
  X(JobStart)                      \
  X(PageStart)                     \
  X(RasterStart)                   \
  X(RasterRow)                     \
  X(RasterEnd)                     \
  X(PageEnd)                       \
  X(JobEnd)                        \
  X(JobAbort)                      \
  X(JobFlush)

/// One pointer per entry point; null when the library does not export it.
struct THPDJEntries {
#define SLABRIP_HPDRLGL_MEMBER(name) decltype(&HPDRLGL_##name) name = nullptr;
  SLABRIP_HPDRLGL_ENTRIES(SLABRIP_HPDRLGL_MEMBER)
#undef SLABRIP_HPDRLGL_MEMBER
};

/// The module handle and its entry points; unloads the module when destroyed.
class THPDJLIB : public THPDJEntries {
 public:
  THPDJLIB() = default;
  ~THPDJLIB();
  THPDJLIB(const THPDJLIB&) = delete;
  THPDJLIB& operator=(const THPDJLIB&) = delete;

  /// Loads the library and resolves every entry point by name. Throws TError
  /// saying why when no file is at `path`, it does not load (no module is
  /// kept then) or HPDRLGL_QueryLibraryInfo is missing.
  void Load(const std::string& path);
  bool IsLoaded() const { return Module_ != nullptr; }

 private:
  void Unload();

  void* Module_ = nullptr;
};

/// Asks the library about a printer model with a fresh record (zeroed, its
/// size set); false when the library rejects the model or lacks the call.
bool QueryPrinterInfo(const THPDJEntries& library, const std::string& modelId, HPDRLGL_PrinterInfo& info);

/// The library's file name, looked for in the program's own folder.
inline constexpr const char* kHPRasterLibraryFile = "libhpldrlgl.so";

}  // namespace slabrip
