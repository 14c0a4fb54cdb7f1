// The per-pixel colour lookups of the RIP against Little CMS on the same pixels.
//
// Two 4096 x 4096 inputs: a photographic one (smooth gradients with noise,
// few equal neighbours) and flat sign artwork (long runs of a few colours on
// white). Each benchmark converts the whole image row by row into a reused
// row buffer, as the engine does.
#include <benchmark/benchmark.h>
#include <lcms2.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "base/rounding.h"
#include "colour/colour_lookup.h"
#include "colour/colour_lut33.h"
#include "colour/icc_table.h"

namespace {

using namespace slabrip;

constexpr int kSide = 4096;
constexpr const char* kCmykProfile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

TColor32 Rgb(int r, int g, int b) {
  return 0xFF000000u | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 |
         static_cast<TColor32>(b);
}

std::vector<TColor32> Photographic() {
  std::vector<TColor32> image(std::size_t{kSide} * kSide);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const auto channel = [&](double v) {
        return static_cast<int>(std::clamp(v + noise(random), 0.0, 255.0));
      };
      const double u = x / double{kSide}, v = y / double{kSide};
      image[std::size_t{kSide} * static_cast<std::size_t>(y) + static_cast<std::size_t>(x)] =
          Rgb(channel(255 * u), channel(128 + 120 * std::sin(6 * u + 3 * v)), channel(255 * (1 - v)));
    }
  return image;
}

std::vector<TColor32> FlatArtwork() {
  std::vector<TColor32> image(std::size_t{kSide} * kSide, 0xFFFFFFFF);
  const TColor32 palette[] = {Rgb(200, 16, 46), Rgb(0, 51, 160), Rgb(255, 205, 0), Rgb(20, 20, 20)};
  for (int y = 0; y < kSide; ++y) {
    TColor32* row = &image[std::size_t{kSide} * static_cast<std::size_t>(y)];
    // Lettering bars and panels: runs of hundreds of pixels.
    for (int block = 0; block < 8; ++block) {
      if ((y / 256 + block) % 3 == 0) continue;
      const TColor32 c = palette[(y / 128 + block) % 4];
      std::fill(row + block * 512 + 40, row + block * 512 + 470, c);
    }
  }
  return image;
}

const std::vector<TColor32>& Input(int which) {
  static const std::vector<TColor32> photo = Photographic();
  static const std::vector<TColor32> flat = FlatArtwork();
  return which == 0 ? photo : flat;
}

// Little CMS: 8-bit BGRA (our memory layout) to 8-bit CMYK with default flags.
class TLcms {
 public:
  TLcms() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE cmyk = cmsOpenProfileFromFile(kCmykProfile, "r");
    if (cmyk != nullptr)
      Transform = cmsCreateTransform(srgb, TYPE_BGRA_8, cmyk, TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
    cmsCloseProfile(srgb);
    if (cmyk != nullptr) cmsCloseProfile(cmyk);
  }
  ~TLcms() {
    if (Transform != nullptr) cmsDeleteTransform(Transform);
  }
  TLcms(const TLcms&) = delete;
  TLcms& operator=(const TLcms&) = delete;
  cmsHTRANSFORM Transform = nullptr;
};

TLcms& Lcms() {
  static TLcms lcms;
  return lcms;
}

// A realistic four-ink table: the same transform sampled at the 33-grid nodes.
TColorLut33Obj& InkTable() {
  static TColorLut33Obj table = [] {
    TColorLut33Obj t;
    t.CmykOutput = true;
    t.BuildWithCallback([](std::span<TColor32, TColorLut33Obj::kEntryCount> grid) {
      if (Lcms().Transform == nullptr) return;
      std::vector<TColor32> nodes(grid.begin(), grid.end());
      nodes.back() = 0xFFFFFFFF;
      cmsDoTransform(Lcms().Transform, nodes.data(), grid.data(), static_cast<cmsUInt32Number>(nodes.size()));
    });
    return t;
  }();
  return table;
}

// Stand-in expansion tables: each ink byte to its own 16-bit lane.
struct TExpansion {
  TExpansion() {
    for (std::size_t c = 0; c < 4; ++c)
      for (std::size_t i = 0; i < 256; ++i)
        Table[c][i].Lane[c] = static_cast<std::int16_t>(RoundHalfEven(static_cast<double>(i) * 32767 / 255));
  }
  TInkVector Table[4][256];
};

inline void OrInto(TInkVector& out, const TInkVector& a, const TInkVector& b, const TInkVector& c,
                   const TInkVector& d) {
  std::uint64_t w[2], x[2], y[2], z[2];
  std::memcpy(w, &a, 16);
  std::memcpy(x, &b, 16);
  std::memcpy(y, &c, 16);
  std::memcpy(z, &d, 16);
  const std::uint64_t r[2] = {w[0] | x[0] | y[0] | z[0], w[1] | x[1] | y[1] | z[1]};
  std::memcpy(&out, r, 16);
}

// Calls convert(row pointer) for every row of the image.
template <class TConvert>
void EachRow(const std::vector<TColor32>& image, TConvert&& convert) {
  for (std::size_t y = 0; y < kSide; ++y) convert(&image[std::size_t{kSide} * y]);
}

void SetPixels(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * std::int64_t{kSide} * kSide);
  state.SetLabel(state.range(0) == 0 ? "photographic" : "flat artwork");
}

void BM_LookupFourInkExpand(benchmark::State& state) {
  const auto& image = Input(static_cast<int>(state.range(0)));
  static const TExpansion expansion;
  TColourLookup lookup;
  lookup.MakeCurrent(InkTable());
  std::vector<TColor32> inks(kSide);
  std::vector<TInkVector> row(kSide);
  for (auto _ : state)
    EachRow(image, [&](const TColor32* in) {
      lookup.InvalidateCache(in[0]);
      lookup.FourInkRow(in, kSide, inks.data());
      for (std::size_t x = 0; x < kSide; ++x) {
        const TColor32 c = inks[x];
        OrInto(row[x], expansion.Table[0][c & 255], expansion.Table[1][c >> 8 & 255],
               expansion.Table[2][c >> 16 & 255], expansion.Table[3][c >> 24]);
      }
      benchmark::DoNotOptimize(row.data());
    });
  SetPixels(state);
}
BENCHMARK(BM_LookupFourInkExpand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LookupEightInk(benchmark::State& state) {
  const auto& image = Input(static_cast<int>(state.range(0)));
  TColourLookup lookup;
  lookup.MakeCurrent(InkTable());
  lookup.CopyCurrentToSecond();
  std::vector<TInkVector> row(kSide);
  for (auto _ : state)
    EachRow(image, [&](const TColor32* in) {
      lookup.InvalidateCache(in[0]);
      lookup.EightInkRow(in, kSide, row.data());
      benchmark::DoNotOptimize(row.data());
    });
  SetPixels(state);
}
BENCHMARK(BM_LookupEightInk)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ConvertPixels(benchmark::State& state) {
  const auto& image = Input(static_cast<int>(state.range(0)));
  std::vector<TColor32> row(kSide);
  for (auto _ : state)
    EachRow(image, [&](const TColor32* in) {
      std::memcpy(row.data(), in, kSide * 4);
      InkTable().ConvertPixels(row.data(), row.size());
      benchmark::DoNotOptimize(row.data());
    });
  SetPixels(state);
}
BENCHMARK(BM_ConvertPixels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LittleCms(benchmark::State& state) {
  if (Lcms().Transform == nullptr) {
    state.SkipWithError("no CMYK profile (libgs-common)");
    return;
  }
  const auto& image = Input(static_cast<int>(state.range(0)));
  std::vector<TColor32> row(kSide);
  for (auto _ : state)
    EachRow(image, [&](const TColor32* in) {
      cmsDoTransform(Lcms().Transform, in, row.data(), kSide);
      benchmark::DoNotOptimize(row.data());
    });
  SetPixels(state);
}
BENCHMARK(BM_LittleCms)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The ink manager's table from a profile: 35,937 node colours through Little CMS.
void BM_BuildTableFromProfile(benchmark::State& state) {
  TLcmsProfile srgb(cmsCreate_sRGBProfile());
  TLcmsProfile cmyk(cmsOpenProfileFromFile(kCmykProfile, "r"));
  if (!cmyk) {
    state.SkipWithError("no CMYK profile (libgs-common)");
    return;
  }
  TLcmsTransform transform(cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, cmyk.get(), TYPE_CMYK_DBL,
                                              INTENT_PERCEPTUAL, cmsFLAGS_NOOPTIMIZE));
  for (auto _ : state) benchmark::DoNotOptimize(BuildTableFromProfile(transform.get(), 280));
}
BENCHMARK(BM_BuildTableFromProfile)->Unit(benchmark::kMillisecond);

// Reading a table file with both tables.
void BM_LoadTableFile(benchmark::State& state) {
  const std::string path = std::filesystem::temp_directory_path() / "slabrip-bench.qicc";
  const std::vector<TColor32> main(InkTable().Grid().begin(), InkTable().Grid().end());
  std::ofstream(path, std::ios::binary) << EncodeTableFile(main, &main);
  for (auto _ : state) {
    TIcc33 file;
    file.Load(path);
    benchmark::DoNotOptimize(file.MainTable());
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadTableFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
