// What only a window (or a terminal) can do for the driver: boxes,
// questions, repainting, events, closing. Each front end implements it.
#pragma once

#include <optional>
#include <string>

namespace slabrip {

class TDriverUi {
 public:
  virtual ~TDriverUi() = default;

  /// An information box with an OK button ("Unable to find driver", ...).
  virtual void ShowMessage(const std::string& text) = 0;
  /// The application's error box: an error raised by a handler.
  virtual void ShowError(const std::string& text) = 0;
  /// A Yes/No question; true for Yes.
  virtual bool Confirm(const std::string& question) = 0;
  /// The input box; nothing when cancelled.
  virtual std::optional<std::string> InputBox(const std::string& title, const std::string& prompt) = 0;
  /// Handles pending user input (the Abort box, the tabs) during a print.
  virtual void ProcessEvents() = 0;
  /// The driver's view changed: captions, labels, enabling, progress, preview, media list.
  virtual void Refresh() = 0;
  /// Closes the window; the program ends when the event loop returns.
  virtual void Close() = 0;
};

}  // namespace slabrip
