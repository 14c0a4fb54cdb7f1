// The slab's RipStatus: where its print goes, and how the driver left it.
#pragma once

#include <cstdint>

namespace slabrip {

/// Codes the host writes before the driver runs (1 to 4) and the driver writes
/// back (4, 7, 8). Other values are the host's own and are kept as read.
enum class TRipStatus : std::uint8_t {
  kNone = 0,
  kToFile = 1,     // the print file named by PrnFilename
  kToPrinter = 2,  // the printer queue named in the printer-data snapshot
  kToFileToo = 3,  // as 1; the host tells the two apart, the driver does not
  kPrinting = 4,   // written when printing begins; as 2 when read
  kPrinted = 7,    // every row went to the printer library and the output was put in place
  kStopped = 8,    // aborted, or failed after printing began
};

constexpr bool GoesToFile(TRipStatus status) {
  return status == TRipStatus::kToFile || status == TRipStatus::kToFileToo;
}

constexpr bool GoesToPrinter(TRipStatus status) {
  return status == TRipStatus::kToPrinter || status == TRipStatus::kPrinting;
}

constexpr int StatusCode(TRipStatus status) { return static_cast<int>(status); }

}  // namespace slabrip
