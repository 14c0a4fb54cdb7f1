// Fuzzes the mark command interpreter (a slab's AlignMarkCmd): layout on a
// frame, then the outlines drawn into a small band.
#include <cstdint>
#include <string_view>

#include "marks/print_marks.h"
#include "render/cmf_render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  const std::string_view command(reinterpret_cast<const char*>(data), size);
  auto marks = MakeRef<TPrintMarks>();
  marks->AddCommandMarks(TRectF{10, 10, 90, 60}, command);
  TBitmap32 band(64, 64);
  TWordMap spots(64, 64);
  band.Fill(0xFFFFFFFF);
  auto renderer = MakeRef<TcmfRender>();
  renderer->TargetBitmap = &band;
  renderer->SpotMap = &spots;
  marks->DrawMarks(renderer.Get(), TAffine{0, 0, 0.64f, 0, 0, 0.64f}, 1, 0);
  return 0;
}
