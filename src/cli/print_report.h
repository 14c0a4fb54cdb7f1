// What `slabrip print --report FILE.json` and `slabrip estimate --report` write.
#pragma once

#include <string>

namespace slabrip {

struct TPrintOutcome;
class TRipSlab;

/// When a run began and ended, local time as "yyyy-mm-dd hh:nn:ss".
struct TRunTimes {
  std::string Started;
  std::string Finished;
};

/// The run as JSON: the slab's id, job name and file, the times, the rows and
/// bytes, where the data went, whether it printed (and why not), and the ink
/// use of a run that sent every row.
std::string PrintReportJson(const TRipSlab& slab, const TPrintOutcome& run, const TRunTimes& times,
                            bool estimate);

}  // namespace slabrip
