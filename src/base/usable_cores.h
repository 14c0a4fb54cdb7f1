// How many threads the work may use by default.
#pragma once

namespace slabrip {

/// The cores this process may run on (at least 1).
int UsableCores();

/// `threads` when given (above 0), else UsableCores().
inline int ThreadsOrCores(int threads) { return threads > 0 ? threads : UsableCores(); }

}  // namespace slabrip
