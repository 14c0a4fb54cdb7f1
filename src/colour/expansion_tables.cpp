#include "colour/expansion_tables.h"

#include "base/rounding.h"

namespace slabrip {

TChannelTables StartupChannelTables() {
  TChannelTables tables{};
  for (std::size_t c = 0; c < 4; ++c)
    for (std::size_t i = 0; i < 256; ++i)
      tables[c][i].Lane[c] = static_cast<std::int16_t>(RoundHalfEven(static_cast<double>(i) * 32767 / 255));
  return tables;
}

}  // namespace slabrip
