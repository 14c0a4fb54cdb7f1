// The CUPS queues and where a slab prints, as `slabrip printers` shows them.
#pragma once

#include <ostream>
#include <string>

namespace slabrip {

/// The CUPS server, then its queues with their device URIs, descriptions and the default.
void WriteQueues(std::ostream& out);

/// One line: where the slab at `slabPath` prints and why (see SlabDestination).
/// False when it would go to a queue but CUPS names none. Throws TError
/// "Unable to open RIP File" with the path and the reasons when the slab
/// cannot be read, and "PATH: why" when its status names nothing to print to.
bool WriteSlabDestination(const std::string& slabPath, const std::string& dataFolder, std::ostream& out);

}  // namespace slabrip
