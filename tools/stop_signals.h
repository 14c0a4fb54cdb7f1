// SIGINT and SIGTERM as a descriptor, so a poll loop takes them between steps.
#pragma once

namespace slabrip {

class TStopSignals {
 public:
  /// Blocks both signals and ignores SIGPIPE; throws TError when the
  /// descriptor cannot be made.
  TStopSignals();
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  int Fd() const { return Fd_; }
  /// The signal that came, 0 when none is pending.
  int Take();

 private:
  int Fd_ = -1;
};

}  // namespace slabrip
