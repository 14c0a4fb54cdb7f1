#include "separation/dither_kernel.h"

#include <cstdlib>
#include <string_view>

namespace slabrip {

const TDitherKernel& ChosenDitherKernel() {
  static const TDitherKernel chosen = [] {
    const char* noSimd = std::getenv("SLABRIP_NOSIMD");
    if (noSimd != nullptr && std::string_view(noSimd) == "1")
      return TDitherKernel{"scalar", RunDitherJobScalar};
    return TDitherKernel{"sse2", RunDitherJobSse2};
  }();
  return chosen;
}

}  // namespace slabrip
