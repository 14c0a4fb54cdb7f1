#include "hpraster/hp_library.h"

#include "base/errors.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace slabrip {
namespace {

template <typename Entry>
void Resolve(void* module, const char* name, Entry& entry) {
  // dlsym hands back an object pointer; POSIX guarantees it converts to a function pointer.
  entry = reinterpret_cast<Entry>(dlsym(module, name));
}

}  // namespace

THPDJLIB::~THPDJLIB() { Unload(); }

void THPDJLIB::Unload() {
  if (Module_ != nullptr) dlclose(Module_);
  Module_ = nullptr;
  static_cast<THPDJEntries&>(*this) = THPDJEntries{};
}

void THPDJLIB::Load(const std::string& path) {
  Unload();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) throw TError(path + ": no such file");
  Module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (Module_ == nullptr) {
    const char* text = dlerror();
    throw TError(text != nullptr ? std::string(text) : path + ": the library does not load");
  }
#define SLABRIP_HPDRLGL_RESOLVE(name) Resolve(Module_, "HPDRLGL_" #name, name);
  SLABRIP_HPDRLGL_ENTRIES(SLABRIP_HPDRLGL_RESOLVE)
#undef SLABRIP_HPDRLGL_RESOLVE
  if (QueryLibraryInfo == nullptr) {
    Unload();
    throw TError(path + ": not an HP raster library (HPDRLGL_QueryLibraryInfo missing)");
  }
}

bool QueryPrinterInfo(const THPDJEntries& library, const std::string& modelId, HPDRLGL_PrinterInfo& info) {
  info = HPDRLGL_PrinterInfo{};
  info.size = HPDRLGL_PRINTER_INFO_SIZE;
  info.field1052 = 0;
  info.field1056 = 0;
  return library.QueryPrinterInfo != nullptr && library.QueryPrinterInfo(modelId.c_str(), &info, 0) == 0;
}

}  // namespace slabrip
