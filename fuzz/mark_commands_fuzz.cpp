// Fuzzes the mark command interpreter (a slab's AlignMarkCmd): layout on a
// frame, then the outlines drawn into a small band.
#include <cstdint>
#include <string_view>

#include "fuzz_band.h"
#include "marks/print_marks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  const std::string_view command(reinterpret_cast<const char*>(data), size);
  auto marks = MakeRef<TPrintMarks>();
  marks->AddCommandMarks(TRectF{10, 10, 90, 60}, command);
  TFuzzBand band;
  marks->DrawMarks(band.Renderer.Get(), TAffine{0, 0, 0.64f, 0, 0, 0.64f}, 1, 0);
  return 0;
}
