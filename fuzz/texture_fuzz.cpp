// Fuzzes the texture body: strings, header, pixel descriptors and the three images.
#include <cstdint>

#include "base/errors.h"
#include "document/data_stream.h"
#include "document/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  TMemoryByteStream bytes(std::vector<std::uint8_t>(data, data + size));
  TDataStream stream(bytes);
  try {
    (void)ReadFileTexture(stream);
  } catch (const TError&) {
    // a string past the end raises the stream's assertion
  }
  return 0;
}
