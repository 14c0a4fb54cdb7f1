#include "cli/terminal_ui.h"

#include <fmt/ostream.h>

#include <algorithm>

#include "driver/driver.h"

namespace slabrip {
namespace {

std::string Duration(double seconds) {
  const auto s = static_cast<long>(std::max(0.0, seconds));
  return fmt::format("{}:{:02}:{:02}", s / 3600, s / 60 % 60, s % 60);
}

}  // namespace

TTerminalUi::TTerminalUi(std::ostream& err, bool interactive, bool answerYes)
    : Err_(err), Interactive_(interactive), AnswerYes_(answerYes) {
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  sigaddset(&interrupt, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &interrupt, &OldMask_);
}

TTerminalUi::~TTerminalUi() {
  EndProgress();
  pthread_sigmask(SIG_SETMASK, &OldMask_, nullptr);
}

void TTerminalUi::ShowMessage(const std::string& text) {
  EndProgress();
  fmt::print(Err_, "{}\n", text);
}

void TTerminalUi::EndProgress() {
  if (BarShown_) Err_ << '\n';
  BarShown_ = false;
}

void TTerminalUi::ShowError(const std::string& text) {
  ++Errors_;
  ShowMessage("error: " + text);
}

bool TTerminalUi::Confirm(const std::string& question) {
  ShowMessage(fmt::format("{} {}", question, AnswerYes_ ? "Yes (--force)" : "No (--force prints anyway)"));
  return AnswerYes_;
}

std::optional<std::string> TTerminalUi::InputBox(const std::string&, const std::string&) { return std::nullopt; }

void TTerminalUi::ProcessEvents() {
  sigset_t pending;
  sigpending(&pending);
  if (!sigismember(&pending, SIGINT) && !sigismember(&pending, SIGTERM)) return;
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  sigaddset(&interrupt, SIGTERM);
  int signal = 0;
  sigwait(&interrupt, &signal);
  Interrupted_ = true;
  if (Driver_ != nullptr) Driver_->RequestAbort();
}

void TTerminalUi::Refresh() {
  if (Driver_ == nullptr || !Driver_->View().Printing) return;
  const TDriverView& view = Driver_->View();
  if (view.ProgressPosition == LastReportedRow_) return;
  LastReportedRow_ = view.ProgressPosition;
  ShowProgress(
      view.ProgressMaximum > 0 ? static_cast<double>(view.ProgressPosition) / view.ProgressMaximum : 0,
      view.PrintedBytes, fmt::format("rows {}/{}", view.ProgressPosition, view.ProgressMaximum));
}

void TTerminalUi::ShowProgress(double done, std::int64_t bytes, const std::string& counts) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start_).count();
  const double megabytes = static_cast<double>(bytes) / 1024 / 1024;
  ShowProgress(done, fmt::format("{}  {:.2f} MB  {:.2f} MB/s", counts, megabytes,
                                 seconds > 0 ? megabytes / seconds : 0.0));
}

void TTerminalUi::ShowProgress(double done, const std::string& counts) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start_).count();
  const std::string figures =
      fmt::format("{}  left {}", counts, Duration(done > 0 ? seconds * (1 - done) / done : 0));
  if (!Interactive_) {
    fmt::print(Err_, "{}\n", figures);
    return;
  }
  constexpr int kBarWidth = 30;
  const int filled = static_cast<int>(done * kBarWidth);
  fmt::print(Err_, "\r[{}{}] {:3.0f}%  {}\x1b[K", std::string(static_cast<std::size_t>(filled), '#'),
             std::string(static_cast<std::size_t>(kBarWidth - filled), '.'), done * 100, figures);
  Err_.flush();
  BarShown_ = true;
}

}  // namespace slabrip
