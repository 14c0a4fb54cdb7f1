// Error types: one exception base whose message is the text the user sees.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace slabrip {

/// Every error the program raises; what() is the operator-facing text.
class TError : public std::runtime_error {
 public:
  explicit TError(const std::string& message) : std::runtime_error(message) {}
};

/// An internal-consistency check failed; reads "Assertion failure (Unit, line N)".
class EAssertionFailure : public TError {
 public:
  EAssertionFailure(std::string_view unit, int line);
};

/// Raises EAssertionFailure for the given unit and line.
[[noreturn]] void AssertionFailure(std::string_view unit, int line);

/// The assertion text, also used where throwing is impossible (destructors).
std::string AssertionText(std::string_view unit, int line);

}  // namespace slabrip
