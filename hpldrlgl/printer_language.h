// The PJL lines and HP RTL commands of the printer data (docs/printer-data.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "xml_documents.h"

namespace slabrip::hpldrlgl {

/// Ends the raster graphics.
inline constexpr std::string_view kRasterEnd = "\x1B*rC";

/// UEL and the PJL job lines taken from the ticket.
std::string JobHeader(const TJobTicket& ticket);
/// The page size lines and the switch to RTL.
std::string PageHeader(const TPageInfo& page);
/// Reset, resolution, plane configuration, size, compression, start.
std::string RasterHeader(std::int32_t resolution, int planes, std::int32_t width, std::int32_t height);
/// Reset, UEL, the end-of-job line and the closing UEL.
std::string JobTrailer(std::string_view jobTitle);

/// Longest text TransferCommand writes.
inline constexpr std::size_t kMaxTransferCommand = 16;
/// "ESC *b#V", or "ESC *b#W" for the plane that ends the row, into `out`;
/// returns its length.
std::size_t TransferCommand(std::size_t count, bool endsRow, char* out);

}  // namespace slabrip::hpldrlgl
