#include "base/errors.h"

#include <fmt/format.h>

namespace slabrip {

std::string AssertionText(std::string_view unit, int line) {
  return fmt::format("Assertion failure ({}, line {})", unit, line);
}

EAssertionFailure::EAssertionFailure(std::string_view unit, int line) : TError(AssertionText(unit, line)) {}

void AssertionFailure(std::string_view unit, int line) { throw EAssertionFailure(unit, line); }

}  // namespace slabrip
