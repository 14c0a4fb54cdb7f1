// prnview: reads printer data back, prints its job settings and raster
// geometry, and draws every plane and a proof of the inks on white.
//
// Rows go straight from the reader into the PNG writers, so a job of any
// length needs the memory of one row; the pictures are renamed into place
// only once the whole stream has decoded.
#include <CLI/CLI.hpp>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>

#include "base/version.h"
#include "hpraster/printer_data.h"
#include "raster/png_writer.h"

namespace {

using namespace slabrip;

// Plane names in the order slabrip declares its planes; file-safe, so light inks are lower-case with an l.
constexpr std::array<const char*, 6> kPlaneNames = {"K", "C", "M", "Y", "lc", "lm"};
constexpr std::array<const char*, 6> kInkNames = {"black",  "cyan",       "magenta",
                                                  "yellow", "light cyan", "light magenta"};

// libpng's default limit on both dimensions of a picture it writes.
constexpr int kMaxPictureSide = 1'000'000;

std::string PlaneName(std::size_t plane) {
  return plane < kPlaneNames.size() ? kPlaneNames[plane] : "p" + std::to_string(plane + 1);
}

// Per plane and level, how much of each of red, green and blue the ink lets through, out of 255.
using TInkFilters = std::vector<std::array<std::array<int, 3>, 4>>;

TInkFilters InkFilters(std::size_t planes) {
  // Process inks as they look printed; light inks are the same at about 40 % strength.
  constexpr std::array<std::array<double, 3>, 4> kInks = {
      {{35, 31, 32}, {0, 174, 239}, {236, 0, 140}, {255, 242, 0}}};
  TInkFilters filters(std::min<std::size_t>(planes, 6));
  for (std::size_t p = 0; p < filters.size(); ++p)
    for (int level = 0; level < 4; ++level)
      for (int c = 0; c < 3; ++c) {
        const double strength = (p < 4 ? 1.0 : 0.4) * level / 3;
        const double ink = kInks[p < 4 ? p : p - 3][static_cast<std::size_t>(c)];
        filters[p][static_cast<std::size_t>(level)][static_cast<std::size_t>(c)] =
            static_cast<int>(std::lround(255 - strength * (255 - ink)));
      }
  return filters;
}

class TPictures {
 public:
  TPictures(const std::string& folder, const TRasterGeometry& raster)
      : Width_(static_cast<std::size_t>(raster.Width)),
        Filters_(InkFilters(raster.Planes.size())),
        Grey_(Width_),
        Mix_(Width_),
        Proof_(Width_) {
    for (std::size_t p = 0; p < raster.Planes.size(); ++p)
      Planes_.push_back(
          std::make_unique<TPngFile>(folder + "/plane-" + std::to_string(p + 1) + "-" + PlaneName(p) + ".png",
                                     raster.Width, raster.Height, TPngWriter::TKind::kGrey16));
    ProofFile_ = std::make_unique<TPngFile>(folder + "/proof.png", raster.Width, raster.Height,
                                            TPngWriter::TKind::kRgba);
  }

  // `plane` gives a decoded plane row; an empty span stands for a row the raster did not send.
  template <typename TPlaneOf>
  void Row(const TPlaneOf& plane) {
    std::fill(Mix_.begin(), Mix_.end(), std::array<int, 3>{255, 255, 255});
    for (std::size_t p = 0; p < Planes_.size(); ++p) {
      const std::span<const std::uint8_t> bytes = plane(p);
      for (std::size_t x = 0; x < Width_; ++x) {
        const int level = bytes.empty() ? 0 : PixelLevel(bytes, x);
        Grey_[x] = static_cast<std::uint16_t>((255 - 85 * level) * 257);
        if (p < Filters_.size())
          for (std::size_t c = 0; c < 3; ++c)
            Mix_[x][c] = (Mix_[x][c] * Filters_[p][static_cast<std::size_t>(level)][c] + 127) / 255;
      }
      Planes_[p]->WriteRow(Grey_.data());
    }
    for (std::size_t x = 0; x < Width_; ++x)
      Proof_[x] = 0xFF000000u | static_cast<TColor32>(Mix_[x][0]) << 16 |
                  static_cast<TColor32>(Mix_[x][1]) << 8 | static_cast<TColor32>(Mix_[x][2]);
    ProofFile_->WriteRow(Proof_.data());
  }

  void Commit() {
    for (auto& plane : Planes_) plane->Commit();
    ProofFile_->Commit();
  }

 private:
  std::size_t Width_;
  TInkFilters Filters_;
  std::vector<std::uint16_t> Grey_;
  std::vector<std::array<int, 3>> Mix_;  // red, green, blue of the proof row being mixed
  std::vector<TColor32> Proof_;
  std::vector<std::unique_ptr<TPngFile>> Planes_;
  std::unique_ptr<TPngFile> ProofFile_;
};

void PrintRaster(const TRasterGeometry& raster) {
  std::cout << "Raster: " << raster.Width << " x " << raster.Height << " pixels, " << raster.Resolution
            << " dpi, PackBits\n";
  std::cout << "Planes: " << raster.Planes.size() << '\n';
  for (std::size_t p = 0; p < raster.Planes.size(); ++p) {
    const TRasterPlane& plane = raster.Planes[p];
    std::cout << "  " << p + 1 << ' ' << PlaneName(p) << ' '
              << (p < kInkNames.size() ? kInkNames[p] : "extra") << ": " << plane.HorizontalDpi << " x "
              << plane.VerticalDpi << " dpi, " << plane.Levels << " levels\n";
  }
}

// Decodes the whole stream, writing the pictures into `folder` when it is not empty.
void View(std::FILE* file, const std::string& folder) {
  TPrinterDataReader reader(FileSource(file));
  reader.ReadHeader();
  for (const TPjlSetting& setting : reader.Settings())
    std::cout << setting.Key << '=' << setting.Value << '\n';
  if (!reader.Raster()) {
    std::cout << "Raster: none, the job ended before its raster started\n";
  } else {
    const TRasterGeometry& raster = *reader.Raster();
    PrintRaster(raster);
    std::unique_ptr<TPictures> pictures;
    if (!folder.empty()) {
      if (raster.Height > kMaxPictureSide)
        throw TError("the raster of " + std::to_string(raster.Height) + " rows is taller than the " +
                     std::to_string(kMaxPictureSide) +
                     " rows a picture may have; without --out the stream is only checked");
      std::filesystem::create_directories(folder);
      pictures = std::make_unique<TPictures>(folder, raster);
    }
    while (reader.NextRow())
      if (pictures) pictures->Row([&](std::size_t p) { return reader.Plane(static_cast<int>(p)); });
    std::cout << "Rows: " << reader.Rows() << " of " << raster.Height << '\n';
    if (pictures) {
      // Rows the raster did not send print as blank media.
      for (int y = reader.Rows(); y < raster.Height; ++y)
        pictures->Row([](std::size_t) { return std::span<const std::uint8_t>(); });
      pictures->Commit();
    }
  }
  std::cout << "End of job: " << reader.EndOfJobName().value_or("") << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"prnview: printer data back as plane pictures and an ink proof"};
  app.set_version_flag("--version", slabrip::VersionLine("prnview"));
  std::string input, folder;
  app.add_option("FILE", input, "Printer data, as the raster library hands it to the driver")->required();
  app.add_option("--out", folder,
                 "Folder for plane-N-NAME.png and proof.png; without it the stream is only checked");
  CLI11_PARSE(app, argc, argv);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(input.c_str(), "rb"), std::fclose);
  if (!file) {
    std::cerr << "prnview: " << input << ": cannot open: " << std::strerror(errno) << '\n';
    return 1;
  }
  try {
    View(file.get(), folder);
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "prnview: " << input << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}
