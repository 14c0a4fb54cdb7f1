// Fuzzes the reading of progress reports, as the host reads them off its
// socket: any bytes are refused or read back to the very same record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "driver/host_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using slabrip::TProgressRecord;
  const auto record = TProgressRecord::Decode(std::span<const std::uint8_t>(data, size));
  if (!record) return 0;
  // Every byte counts: anything a reader accepts must be written back unchanged.
  const auto bytes = record->Encode();
  if (size != bytes.size() || std::memcmp(bytes.data(), data, size) != 0) std::abort();
  return 0;
}
