#include "tools/printer_data_sample.h"

#include <fmt/format.h>
#include <algorithm>
#include <cstdlib>

namespace slabrip {

namespace {

constexpr std::string_view kUel = "\x1b%-12345X";

}  // namespace

std::string PackBits(std::span<const std::uint8_t> bytes) {
  std::string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t run = 1;
    while (i + run < bytes.size() && run < 128 && bytes[i + run] == bytes[i]) ++run;
    if (run >= 3) {
      out += static_cast<char>(1 - static_cast<int>(run));
      out += static_cast<char>(bytes[i]);
      i += run;
      continue;
    }
    // A literal up to the next run of three.
    std::size_t end = i;
    while (end < bytes.size() && end - i < 128 &&
           !(end + 2 < bytes.size() && bytes[end] == bytes[end + 1] && bytes[end] == bytes[end + 2]))
      ++end;
    out += static_cast<char>(end - i - 1);
    out.append(reinterpret_cast<const char*>(bytes.data() + i), end - i);
    i = end;
  }
  return out;
}

void TPrnSampleWriter::JobHeader(std::string_view name, const std::vector<TPjlSetting>& settings) {
  Bytes_ += fmt::format("{}@PJL JOB NAME=\"{}\"\r\n", kUel, name);
  for (const TPjlSetting& setting : settings)
    Bytes_ += fmt::format("@PJL SET {}={}\r\n", setting.Key, setting.Value);
  Bytes_ += "@PJL ENTER LANGUAGE=RTL\r\n";
}

void TPrnSampleWriter::RasterStart(int resolution, int width, int height, int planes) {
  Bytes_ += fmt::format(
      "\x1b"
      "E\x1b*t{}R\x1b*g{}W",
      resolution, 2 + 6 * planes);
  Bytes_ += '\x02';
  Bytes_ += static_cast<char>(planes);
  for (int p = 0; p < planes; ++p)
    for (const int value : {resolution, resolution, 4}) {
      Bytes_ += static_cast<char>(value >> 8);
      Bytes_ += static_cast<char>(value & 0xFF);
    }
  Bytes_ += fmt::format("\x1b*r{}S\x1b*r{}T\x1b*b2M\x1b*r1A", width, height);
}

void TPrnSampleWriter::Row(const std::vector<std::vector<std::uint8_t>>& planes) {
  for (std::size_t p = 0; p < planes.size(); ++p) {
    std::span<const std::uint8_t> plane = planes[p];
    while (!plane.empty() && plane.back() == 0) plane = plane.first(plane.size() - 1);
    const std::string packed = PackBits(plane);
    Bytes_ += fmt::format("\x1b*b{}{}", packed.size(), p + 1 == planes.size() ? 'W' : 'V');
    Bytes_ += packed;
  }
}

void TPrnSampleWriter::RasterEnd() { Bytes_ += "\x1b*rC"; }

void TPrnSampleWriter::JobEnd(std::string_view name) {
  Bytes_ += fmt::format(
      "\x1b"
      "E{}@PJL EOJ NAME=\"{}\"\r\n{}",
      kUel, name, kUel);
}

int SampleLevel(int plane, int x, int y, int width, int height) {
  const int margin = std::max(1, width / 10);
  if (x < margin || x >= width - margin) return 0;
  switch (plane % 6) {
    case 0: return std::abs(x - y) < 3 ? 3 : 0;                         // a diagonal band
    case 1: return 4 * (x - margin) / std::max(1, width - 2 * margin);  // a ramp across
    case 2: return 4 * y / std::max(1, height) % 4;                     // a ramp down
    case 3: return (x / 8 + y / 8) % 2 == 0 ? 2 : 0;                    // blocks
    case 4: return (x * 7 + y * 13) % 4;                                // dither
    default: return 0;
  }
}

std::string SamplePrinterData(int width, int height, int rows, int planes) {
  const std::vector<TPjlSetting> settings = {{"PRINTERMODEL", "\"HP Latex 570\""},
                                             {"MEDIATYPEID", "\"12\""},
                                             {"PASSES", "10"},
                                             {"DIRECTION", "BIDIR"},
                                             {"RESOLUTION", "600"},
                                             {"PAGEWIDTH", std::to_string(width * 16)},
                                             {"PAGEHEIGHT", std::to_string(height * 16)}};
  TPrnSampleWriter writer;
  writer.JobHeader("Sample poster", settings);
  writer.RasterStart(600, width, height, planes);
  const auto planeBytes = static_cast<std::size_t>(width + 3) / 4;
  std::vector<std::vector<std::uint8_t>> row(static_cast<std::size_t>(planes));
  for (int y = 0; y < std::min(rows, height); ++y) {
    for (int p = 0; p < planes; ++p) {
      auto& bytes = row[static_cast<std::size_t>(p)];
      bytes.assign(planeBytes, 0);
      for (int x = 0; x < width; ++x)
        bytes[static_cast<std::size_t>(x / 4)] |=
            static_cast<std::uint8_t>(SampleLevel(p, x, y, width, height) << (6 - 2 * (x % 4)));
    }
    writer.Row(row);
  }
  writer.RasterEnd();
  writer.JobEnd("Sample poster");
  return writer.Bytes();
}

}  // namespace slabrip
