#include <array>
#include <cstdint>
#include <string>

#include "hpraster/hp_raster_job.h"

namespace slabrip {

std::string HPErrorText(std::int32_t code) {
  static constexpr std::array<const char*, 28> kTexts = {
      "General error",
      "Invalid parameters",
      "Not enough memory",
      "Printer model not supported",
      "Raster format not supported for the selected print mode",
      "Media source not supported",
      "Print mode not supported",
      "A call to an entry point was issued but was not expected at this moment",
      "Configuration file is missing or invalid",
      "Callback function failed",
      "Margin type not supported",
      "RGB color mode not supported",
      "RGB color management type not supported",
      "Print area mode not supported",
      "Cutter not supported",
      "Dry time not supported",
      "Ink volume not supported",
      "RESERVED",
      "Accounting not supported",
      "Comments not supported",
      "RESERVED",
      "Copies not supported",
      "Extra passes not supported",
      "Gloss enhancer not supported",
      "Custom media types not supported",
      "Different page dimensions in the job not supported",
      "RESERVED",
      "Econo mode not supported",
  };
  if (code > -1 || code < -static_cast<std::int32_t>(kTexts.size())) return {};
  return kTexts[static_cast<std::size_t>(-code - 1)];
}

}  // namespace slabrip
