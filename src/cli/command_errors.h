// How a command that failed says so: its reason on one line, exit code 1.
#pragma once

#include <fmt/ostream.h>

#include <ostream>
#include <string>

#include "base/errors.h"

namespace slabrip {

/// Runs `command`, which returns the exit code; a TError it throws is
/// written to `err`, after "SUBJECT: " when a subject is given, and gives 1.
template <typename TCommand>
int ReportErrors(std::ostream& err, const std::string& subject, TCommand&& command) {
  try {
    return command();
  } catch (const TError& e) {
    if (subject.empty())
      fmt::print(err, "{}\n", e.what());
    else
      fmt::print(err, "{}: {}\n", subject, e.what());
    return 1;
  }
}

}  // namespace slabrip
