// Where printer data goes: a print file, or a CUPS queue as a raw job.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace slabrip {

/// One open destination for printer data.
class TOutputSink {
 public:
  virtual ~TOutputSink() = default;
  /// Writes all bytes; returns how many went.
  virtual std::size_t Write(const std::uint8_t* bytes, std::size_t count) = 0;
  /// Ends the output (the file is put in place, the job submitted); false on failure.
  virtual bool Close() = 0;
};

/// The printer output channel: counts the bytes, remembers failure, routes by ToFile.
class TOutputChannel {
 public:
  /// Nothing open; OutputFailed until an open succeeds.
  TOutputChannel();
  /// Discards a print file still open and cancels a job still open.
  ~TOutputChannel();

  /// Opens a print file, replacing one of that name when closed; false for an
  /// empty path or a file that cannot be made (Error() says why). ToFile stays true.
  bool OpenFileOutput(const std::string& path);
  /// Opens a raw job on the queue at `printerIndex` in the queue list (-1: the
  /// default queue) named `documentName`; false when there is no such queue
  /// or CUPS refuses the job.
  bool OpenPrinterOutput(int printerIndex, const std::string& documentName);
  /// Routes by ToFile; false when nothing is open or the bytes did not all go.
  bool WriteOutput(const std::uint8_t* bytes, std::size_t count);
  /// Puts the print file in place; a failure sets OutputFailed and Error().
  void CloseFileOutput();
  /// Submits the job; a failure sets OutputFailed and Error().
  void ClosePrinterOutput();

  /// The queue whose name equals `name` ignoring case, else the first whose
  /// name contains `name` (case-sensitive), else -1 (also for an empty name);
  /// in the order of QueueNames().
  int FindPrinterIndex(const std::string& name) const;
  /// The queue's device URI (its "port"), or empty.
  std::string GetPrinterPort(const std::string& printer) const;
  /// Points the queue at the port as a device URI (Windows port names are
  /// translated), with `lpadmin`, not waiting for it; "prn:" is never set and
  /// ports with no meaning here are left alone, as are queues CUPS does not
  /// know. Returns a note for the operator when the port is left alone for a
  /// reason other than "prn:", else empty.
  std::string SetPrinterPort(const std::string& printer, const std::string& port);
  /// The CUPS queue names in a stable order; empty when the server cannot be reached.
  std::vector<std::string> QueueNames() const;

  bool OutputFailed = true;
  std::int64_t OutputBytes = 0;
  bool ToFile = false;
  /// Why the last open, write or close failed.
  const std::string& Error() const { return Error_; }

 private:
  std::unique_ptr<TOutputSink> File_;
  std::unique_ptr<TOutputSink> Printer_;
  std::string Error_;
};

/// A Windows port name as a CUPS device URI: IP_a.b.c.d and a.b.c.d[:port]
/// become socket://a.b.c.d:port (9100 when none), a URI stays; empty for a
/// name with no meaning here (USB001, LPT1:, COM1:, FILE: ...).
std::string DeviceUriForPort(std::string_view port);

}  // namespace slabrip
