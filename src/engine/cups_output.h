// CUPS queues as the printers: the queue list, their ports (device URIs) and
// raw jobs that printer data streams into.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output_sink.h"

namespace slabrip {

/// The CUPS queue names in a stable order; empty when the server cannot be reached.
std::vector<std::string> QueueNames();

/// The queue whose name equals `name` ignoring case, else the first whose
/// name contains `name` (case-sensitive), else -1 (also for an empty name);
/// in the order of QueueNames().
int FindPrinterIndex(const std::string& name);

/// The queue's device URI (its "port"), or empty.
std::string GetPrinterPort(const std::string& printer);

/// Points the queue at the port as a device URI (Windows port names are
/// translated), with `lpadmin`, not waiting for it; "prn:" is never set and
/// ports with no meaning here are left alone, as are queues CUPS does not
/// know. Returns a note for the operator when the port is left alone for a
/// reason other than "prn:", else empty.
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
