// CUPS queues as the printers: the queue list, their ports (device URIs) and
// raw jobs that printer data streams into.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output_sink.h"

namespace slabrip {

/// A CUPS destination as `slabrip printers` lists it.
struct TQueueInfo {
  std::string Name;
  std::string Description;  // printer-info
  std::string DeviceUri;
  bool IsDefault = false;
};

/// The CUPS server libcups talks to, as the operator would name it.
std::string CupsServerName();

/// The CUPS queues in a stable order; empty when the server cannot be reached.
std::vector<TQueueInfo> Queues();
std::vector<std::string> QueueNames();

/// How a printer name led to a queue, for the operator.
struct TQueueMatch {
  int Index = -1;   // in `queues`, -1 when nothing matched
  std::string How;  // "by name", "by description", ...
};

/// A Windows printer name against the queues, each rule over all queues
/// before the next: the name ignoring case, the description ignoring case,
/// the name with blanks and the other characters a CUPS name cannot hold as
/// underscores ignoring case, and last the first name containing it
/// (case-sensitive). Nothing matches an empty name.
TQueueMatch MatchQueue(const std::vector<TQueueInfo>& queues, const std::string& name);

/// MatchQueue over the server's queues; the index in QueueNames() or -1.
int FindPrinterIndex(const std::string& name);

/// The queue's device URI (its "port"), or empty.
std::string GetPrinterPort(const std::string& printer);

/// Points the queue at the port as a device URI (Windows port names are
/// translated) with `lpadmin`, waiting (bounded) for it so the job goes to the
/// new device; "prn:" is never set and ports with no meaning here are left
/// alone, as are queues CUPS does not know. Returns a note for the operator
/// when the port is left alone for a reason other than "prn:" or lpadmin
/// failed (with its words), else empty.
std::string SetPrinterPort(const std::string& printer, const std::string& port);

/// A raw job named `documentName` on the queue at `printerIndex` in
/// QueueNames() (-1: the default queue). The job is submitted on Commit and
/// cancelled when dropped before. Throws TError saying why when there is no
/// such queue or CUPS refuses the job.
std::unique_ptr<TOutputSink> OpenPrinterOutput(int printerIndex, const std::string& documentName);

/// A Windows port name as a CUPS device URI: IP_a.b.c.d and a.b.c.d[:port]
/// become socket://a.b.c.d:port (9100 when none), a URI stays; empty for a
/// name with no meaning here (USB001, LPT1:, COM1:, FILE: ...).
std::string DeviceUriForPort(std::string_view port);

}  // namespace slabrip
