// The release every program reports with --version; CMake's project version.
#pragma once

#include <string>

namespace slabrip {

inline constexpr const char* kVersion = SLABRIP_VERSION;

/// "PROGRAM (slabrip) 1.2.3", as --version prints it.
inline std::string VersionLine(const std::string& program) { return program + " (slabrip) " + kVersion; }

}  // namespace slabrip
