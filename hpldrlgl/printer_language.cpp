#include "printer_language.h"

#include <charconv>

#include "text_values.h"

namespace slabrip::hpldrlgl {
namespace {

constexpr std::string_view kUel = "\x1B%-12345X";
constexpr std::string_view kReset = "\033E";  // ESC E
constexpr std::string_view kEol = "\r\n";
// Each pixel is two bits.
constexpr int kIntensityLevels = 4;

void Line(std::string& out, std::string_view name, std::string_view value) {
  out.append("@PJL SET ").append(name).append("=").append(value).append(kEol);
}

void Line(std::string& out, std::string_view name, std::int64_t value) {
  out.append("@PJL SET ").append(name).append("=");
  AppendDecimal(out, value);
  out.append(kEol);
}

void QuotedLine(std::string& out, std::string_view name, std::string_view value) {
  Line(out, name, "\"" + QuoteSafe(value) + "\"");
}

// "ESC *<group><number><command>"
void Command(std::string& out, std::string_view group, std::int64_t number, char command) {
  out.append("\x1B*").append(group);
  AppendDecimal(out, number);
  out.push_back(command);
}

void PutBigEndian16(std::string& out, std::int32_t value) {
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
  out.push_back(static_cast<char>(value & 0xFF));
}

}  // namespace

std::string JobHeader(const TJobTicket& ticket) {
  std::string out(kUel);
  out.append("@PJL JOB NAME=\"").append(QuoteSafe(ticket.JobTitle)).append("\"").append(kEol);
  QuotedLine(out, "PRINTERMODEL", ticket.PrinterModel);
  QuotedLine(out, "MEDIATYPEID", ticket.MediaTypeId);
  QuotedLine(out, "MEDIANAME", ticket.MediaName);
  Line(out, "PASSES", ticket.Passes);
  Line(out, "DIRECTION", ticket.Unidirectional ? "UNIDIR" : "BIDIR");
  Line(out, "INKLEVEL", ticket.HighInkLevel ? "HIGH" : "LOW");
  Line(out, "RESOLUTION", ticket.Resolution);
  Line(out, "VERTRESOLUTION", ticket.Resolution);
  Line(out, kMediaFields[0].PjlName, ticket.Media[0]);
  Line(out, "NAVIGABLEBYOMAS", "OFF");
  Line(out, "CUTTER", ticket.Cutter ? "ON" : "OFF");
  for (std::size_t i = 1; i < kMediaFields.size(); ++i) Line(out, kMediaFields[i].PjlName, ticket.Media[i]);
  return out;
}

std::string PageHeader(const TPageInfo& page) {
  std::string out;
  Line(out, "PAGEWIDTH", page.Width);
  Line(out, "PAGEHEIGHT", page.Height);
  out.append("@PJL ENTER LANGUAGE=RTL").append(kEol);
  return out;
}

std::string RasterHeader(std::int32_t resolution, int planes, std::int32_t width, std::int32_t height) {
  std::string out(kReset);
  Command(out, "t", resolution, 'R');
  Command(out, "g", 2 + 6 * planes, 'W');
  out.push_back(2);
  out.push_back(static_cast<char>(planes));
  for (int plane = 0; plane < planes; ++plane) {
    PutBigEndian16(out, resolution);
    PutBigEndian16(out, resolution);
    PutBigEndian16(out, kIntensityLevels);
  }
  Command(out, "r", width, 'S');
  Command(out, "r", height, 'T');
  Command(out, "b", 2, 'M');
  Command(out, "r", 1, 'A');
  return out;
}

std::string JobTrailer(std::string_view jobTitle) {
  std::string out(kReset);
  out.append(kUel).append("@PJL EOJ NAME=\"").append(QuoteSafe(jobTitle)).append("\"").append(kEol);
  out.append(kUel);
  return out;
}

std::size_t TransferCommand(std::size_t count, bool endsRow, char* out) {
  char* p = out;
  *p++ = '\x1B';
  *p++ = '*';
  *p++ = 'b';
  p = std::to_chars(p, out + kMaxTransferCommand - 1, count).ptr;
  *p++ = endsRow ? 'W' : 'V';
  return static_cast<std::size_t>(p - out);
}

}  // namespace slabrip::hpldrlgl
