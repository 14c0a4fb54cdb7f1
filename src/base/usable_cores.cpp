#include "base/usable_cores.h"

#include <sched.h>

#include <algorithm>

namespace slabrip {

int UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(CPU_COUNT(&set), 1);
}

}  // namespace slabrip
