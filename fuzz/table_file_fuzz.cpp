// Fuzzes the QICC table-file reader: header, offsets and zlib streams.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/errors.h"
#include "colour/icc_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    std::string pattern = "/tmp/slabrip-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern + "/table.qicc";
  }();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  slabrip::TIcc33 file;
  try {
    file.Load(path);
  } catch (const slabrip::TError&) {
    return 0;
  }
  (void)file.MainTable();
  (void)file.SecondTable();
  return 0;
}
