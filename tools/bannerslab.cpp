// bannerslab: writes a banner slab (the mural tiled over the media, or one
// benchmark artwork over it) for measuring rendering and printing at full size.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/version.h"
#include "tools/banner_slab.h"

int main(int argc, char** argv) {
  slabrip::TBannerSlab banner;
  std::string folder;
  CLI::App app{"bannerslab: a long slab of tiled artwork"};
  app.set_version_flag("--version", slabrip::VersionLine("bannerslab"));
  app.add_option("FOLDER", folder, "Existing folder to write into")->required()->check(CLI::ExistingDirectory);
  app.add_option("--profile", banner.Profile, "CMYK output ICC profile")->required()->check(CLI::ExistingFile);
  app.add_option("--width-mm", banner.WidthMm, "Media width")->capture_default_str()->check(CLI::Range(100, 5000));
  app.add_option("--length-mm", banner.LengthMm, "Media length")->capture_default_str()->check(CLI::Range(100, 100000));
  app.add_option("--render-dpi", banner.RenderDpi, "Render resolution")->capture_default_str()->check(CLI::Range(10, 1200));
  app.add_option("--dpi", banner.PrinterDpi, "Printer resolution")->capture_default_str()->check(CLI::Range(10, 2400));
  app.add_option("--printer", banner.Printer, "The printer description the slab names")
      ->capture_default_str();
  app.add_option("--kind", banner.Kind, "Artwork: mural (tiled), poster, photo, shapes or illustration")
      ->capture_default_str()
      ->check(CLI::IsMember(
          std::vector<std::string>(std::begin(slabrip::kBannerKinds), std::end(slabrip::kBannerKinds))));
  CLI11_PARSE(app, argc, argv);
  try {
    std::cout << slabrip::WriteBannerSlab(folder, banner) << '\n';
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
