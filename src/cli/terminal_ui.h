// The driver on a terminal: messages on stderr, a progress bar (or plain
// lines when stderr is not a terminal), Ctrl-C as "Abort". `slabrip send`
// shows its progress through it too.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <ostream>

#include "driver/driver_ui.h"

namespace slabrip {

class TDriver;

class TTerminalUi : public TDriverUi {
 public:
  /// Blocks SIGINT for the process so that Ctrl-C is picked up between rows
  /// instead of killing the print half-way; restored on destruction.
  TTerminalUi(std::ostream& err, bool interactive, bool answerYes = false);
  ~TTerminalUi() override;
  TTerminalUi(const TTerminalUi&) = delete;
  TTerminalUi& operator=(const TTerminalUi&) = delete;

  void Attach(TDriver& driver) { Driver_ = &driver; }

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  /// No one to ask: the question is shown and answered as the command line
  /// said (No unless told Yes).
  bool Confirm(const std::string& question) override;
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt) override;
  /// Turns a pending Ctrl-C into a ticked "Abort".
  void ProcessEvents() override;
  void Refresh() override;
  void Close() override { Closed_ = true; }

  /// The bar at `done` (0 to 1) of the job with `bytes` sent, `counts` before the figures.
  void ShowProgress(double done, std::int64_t bytes, const std::string& counts);
  /// The bar at `done` with `counts` and the time left, for work that sends no bytes.
  void ShowProgress(double done, const std::string& counts);
  /// Ends the bar's line, so that what follows starts on a line of its own.
  void EndProgress();

  bool Closed() const { return Closed_; }
  int ErrorCount() const { return Errors_; }
  bool Interrupted() const { return Interrupted_; }

 private:
  std::ostream& Err_;
  bool Interactive_;
  bool AnswerYes_;
  TDriver* Driver_ = nullptr;
  sigset_t OldMask_{};
  bool Closed_ = false;
  bool Interrupted_ = false;
  int Errors_ = 0;
  bool BarShown_ = false;
  std::int32_t LastReportedRow_ = -1;
  std::chrono::steady_clock::time_point Start_ = std::chrono::steady_clock::now();
};

}  // namespace slabrip
