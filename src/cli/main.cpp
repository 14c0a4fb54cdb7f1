// slabrip: the command-line front end.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/sys_paths.h"
#include "cli/info_command.h"

int main(int argc, char** argv) {
  CLI::App app{"slabrip: raster image processor and driver for HP Latex printers"};
  app.require_subcommand(1);

  const slabrip::TSysPaths paths(slabrip::TSysEnvironment::FromProcess());
  std::string iccFolder = paths.Path(slabrip::TSysPaths::kIccFolder);
  app.add_option("--icc-dir", iccFolder, "Folder of ICC profiles and table files")->capture_default_str();

  std::string slabPath;
  CLI::App* info = app.add_subcommand("info", "Show a slab's sizes, jobs and placements");
  info->add_option("SLAB", slabPath, "The .RipSlab file")->required();

  CLI11_PARSE(app, argc, argv);
  try {
    if (info->parsed()) return slabrip::RunInfo(slabPath, iccFolder, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
