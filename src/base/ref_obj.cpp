#include "base/ref_obj.h"

#include <cstdio>
#include <cstdlib>

#include "base/errors.h"

namespace slabrip {

TRefObj::~TRefObj() {
  // Reached with a count of -1 after the last release; anything else means
  // an owner still points here.
  if (Count_.load(std::memory_order_relaxed) >= 0) {
    std::fprintf(stderr, "%s\n", AssertionText("ReleaseObjClass", __LINE__).c_str());
    std::abort();
  }
}

}  // namespace slabrip
