// Rows per second through the stand-in HP raster library: 37,800 pixels,
// six planes of 9,450 bytes, as the RIP hands them over.
//
// The photo row is error-diffused smooth tone: levels change every few pixels
// and the light inks cover the highlights, so little repeats. The flat row is
// a sign: long runs of one level in the dark inks, empty light planes.
// "ratio" is printer data per input byte.
#include <benchmark/benchmark.h>

#include <fmt/format.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "hpraster/hpldrlgl_abi.h"

namespace {

constexpr int kWidth = 37800;
constexpr int kPlanes = 6;
constexpr std::size_t kPlaneBytes = (kWidth + 3) / 4;
constexpr int kRows = 64;  // distinct rows, sent in turn

using TRows = std::vector<std::vector<std::uint8_t>>;

std::int32_t Discard(const void*, std::uint32_t count, std::uintptr_t user) {
  *reinterpret_cast<std::uint64_t*>(user) += count;
  return 0;
}

// Error diffusion of a tone (0 .. 3) along the row into 2-bit levels.
void Diffuse(const std::vector<double>& tone, std::uint8_t* plane) {
  double error = 0;
  for (int x = 0; x < kWidth; ++x) {
    const double wanted = tone[static_cast<std::size_t>(x)] + error;
    const int level = std::clamp(static_cast<int>(std::lround(wanted)), 0, 3);
    error = wanted - level;
    std::uint8_t& byte = plane[x / 4];
    byte = static_cast<std::uint8_t>(byte | level << (6 - 2 * (x % 4)));
  }
}

TRows PhotoRows() {
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, 0.35);
  TRows rows;
  for (int y = 0; y < kRows; ++y) {
    std::vector<std::uint8_t> row(kPlanes * kPlaneBytes, 0);
    for (int plane = 0; plane < kPlanes; ++plane) {
      // Smooth tone with grain; the light inks take the light end only.
      std::vector<double> tone(kWidth);
      for (int x = 0; x < kWidth; ++x) {
        const double base = 1.5 + 1.4 * std::sin(x / (900.0 + 130 * plane) + y * 0.01 + plane);
        const double value = plane >= 4 ? std::max(0.0, 1.2 - base) : base;
        tone[static_cast<std::size_t>(x)] = std::clamp(value + noise(random), 0.0, 3.0);
      }
      Diffuse(tone, row.data() + static_cast<std::size_t>(plane) * kPlaneBytes);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

TRows FlatRows() {
  TRows rows;
  for (int y = 0; y < kRows; ++y) {
    std::vector<std::uint8_t> row(kPlanes * kPlaneBytes, 0);
    for (int plane = 0; plane < 4; ++plane)
      for (std::size_t i = 0; i < kPlaneBytes; ++i) {
        // Bands a few hundred bytes wide, shifted per plane and row, some empty.
        const std::size_t band = (i + static_cast<std::size_t>(y * 3 + plane * 500)) / 700;
        static constexpr std::uint8_t kLevels[] = {0x00, 0xFF, 0xAA, 0x00, 0x55};
        row[static_cast<std::size_t>(plane) * kPlaneBytes + i] = kLevels[band % 5];
      }
    rows.push_back(std::move(row));
  }
  return rows;
}

void SendRows(benchmark::State& state, const TRows& rows) {
  std::uint64_t delivered = 0;
  const std::string ticket = fmt::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><JobInfo><PrinterModel>HP_Latex_570</PrinterModel>\r"
      "<JobTitle>Sample</JobTitle>\r<PrinterDataProcCallback address=\"{:016X}\" userData=\"{:016X}\" />\r"
      "<MediaSource>AutoSelect</MediaSource>\r<MarginType method=\"Excluded\">Normal</MarginType>\r"
      "<PrintMode type=\"Halftone\">\r<MediaTypeId>10070</MediaTypeId>\r<PassesNumber>10</PassesNumber>"
      "<Direction>Bidir</Direction><InkLevel>Low</InkLevel><Bpp>2</Bpp><PrinterResolution>600</"
      "PrinterResolution>"
      "<VertResolution>600</VertResolution></PrintMode>\r<MediaManagement><InputTension>15</InputTension>"
      "<NavigableByOmas>false</NavigableByOmas><Cutter>false</Cutter><AdvanceFactor>0</AdvanceFactor>"
      "<Vacuum>30</Vacuum><DryTemp>55</DryTemp><CureTemp>70</CureTemp><DryWarmUpOffsetTemp>50</"
      "DryWarmUpOffsetTemp>"
      "<CureWarmUpOffsetTemp>40</CureWarmUpOffsetTemp><DryCoolDownOffsetTemp>30</DryCoolDownOffsetTemp>"
      "<CureCoolDownOffsetTemp>20</CureCoolDownOffsetTemp><DryPowerMin>200</DryPowerMin>"
      "<HeatAirFlow>75</HeatAirFlow><MediaName>Gloss</MediaName></MediaManagement></JobInfo>\r",
      reinterpret_cast<std::uintptr_t>(&Discard), reinterpret_cast<std::uintptr_t>(&delivered));
  std::string format = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><RasterFormat alignment=\"1\">";
  for (int order = 0; order < kPlanes; ++order)
    format += fmt::format("<Plane order=\"{}\" hres=\"600\" vres=\"600\" layout=\"{}\"/>", order,
                          std::string_view("KKCCMMYYccmm").substr(static_cast<std::size_t>(order) * 2, 2));
  format += "</RasterFormat>";
  HPDRLGL_JobHandle job = nullptr;
  std::int32_t result = HPDRLGL_JobStart(&job, ticket.c_str());
  if (result == 0)
    result = HPDRLGL_PageStart(job, "<PageInfo><Width>604800</Width><Height>9600</Height></PageInfo>");
  if (result == 0)
    result = HPDRLGL_RasterStart(job, format.c_str(), 0, 0, 0, kWidth, INT32_MAX, kWidth, INT32_MAX);
  if (result != 0) {
    state.SkipWithError(fmt::format("the job did not start: code {}", result).c_str());
    if (job != nullptr) HPDRLGL_JobAbort(job);
    return;
  }
  std::size_t next = 0;
  for (auto _ : state) {
    if (HPDRLGL_RasterRow(job, rows[next].data()) != 0) state.SkipWithError("row refused");
    next = (next + 1) % rows.size();
  }
  HPDRLGL_JobAbort(job);
  const auto input = static_cast<double>(state.iterations()) * kPlanes * kPlaneBytes;
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(input));
  state.counters["ratio"] = static_cast<double>(delivered) / input;
}

void BM_PhotoRow(benchmark::State& state) {
  static const TRows rows = PhotoRows();
  SendRows(state, rows);
}
BENCHMARK(BM_PhotoRow);

void BM_FlatRow(benchmark::State& state) {
  static const TRows rows = FlatRows();
  SendRows(state, rows);
}
BENCHMARK(BM_FlatRow);

}  // namespace

BENCHMARK_MAIN();
