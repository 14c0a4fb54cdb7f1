#include "cli/load_slab.h"

#include <fmt/ostream.h>

namespace slabrip {

TRef<TRipSlab> LoadSlabOrReport(const std::string& path, std::ostream& err) {
  auto slab = MakeRef<TRipSlab>();
  if (slab->LoadFromFile(path)) return slab;
  fmt::print(err, "Unable to open RIP File\n{}\n", path);
  for (const std::string& problem : slab->Problems()) fmt::print(err, "  {}\n", problem);
  return nullptr;
}

}  // namespace slabrip
