// Failures inside the library carry the result code the entry point returns.
#pragma once

#include <cstdint>

#include "hpraster/hpldrlgl_abi.h"

namespace slabrip::hpldrlgl {

/// Thrown inside the library only; every entry point turns it into its code.
struct TFailure {
  std::int32_t Code;
};

[[noreturn]] inline void Fail(std::int32_t code) { throw TFailure{code}; }

}  // namespace slabrip::hpldrlgl
