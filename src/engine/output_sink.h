// Where printer data goes: one open destination that is put in place only
// once the whole job went into it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/errors.h"

namespace slabrip {

/// One open destination for printer data: a print file, a test-output file or
/// a job on a CUPS queue. Dropped without Commit it leaves what was there:
/// the old file stays, the queue prints nothing.
class TOutputSink {
 public:
  virtual ~TOutputSink() = default;
  /// Delivers all the bytes; throws TError naming the destination and the
  /// system's reason.
  virtual void Write(const std::uint8_t* bytes, std::size_t count) = 0;
  /// Puts the output in place: the file renamed over the old one, the job
  /// submitted. Throws TError as Write does.
  virtual void Commit() = 0;
  /// The bytes delivered so far.
  virtual std::int64_t BytesDelivered() const = 0;
  /// The destination as the operator knows it: the file's path, "queue NAME".
  virtual const std::string& Destination() const = 0;
};

/// Nowhere: the bytes are counted and dropped, for an estimate.
std::unique_ptr<TOutputSink> OpenNoOutput();

/// A print file (or test-output file) written beside `path` and renamed over
/// it on Commit. Throws TError naming the file when it cannot be made.
std::unique_ptr<TOutputSink> OpenFileOutput(const std::string& path);

/// Thrown by Commit when the output was put in place but its copy was not.
class TCopyError : public TError {
 public:
  using TError::TError;
};

/// `output` with every byte also written to `copy`. The copy is committed
/// only after the output, so a job that did not go never replaces an earlier
/// copy; its Destination and BytesDelivered are the output's.
std::unique_ptr<TOutputSink> TeeOutput(std::unique_ptr<TOutputSink> output,
                                       std::unique_ptr<TOutputSink> copy);

}  // namespace slabrip
