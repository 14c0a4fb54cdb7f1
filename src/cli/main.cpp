// slabrip: the command-line front end.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/info_command.h"

int main(int argc, char** argv) {
  CLI::App app{"slabrip: raster image processor and driver for HP Latex printers"};
  app.require_subcommand(1);

  std::string slabPath;
  CLI::App* info = app.add_subcommand("info", "Show a slab's sizes, jobs and placements");
  info->add_option("SLAB", slabPath, "The .RipSlab file")->required();

  CLI11_PARSE(app, argc, argv);
  try {
    if (info->parsed()) return slabrip::RunInfo(slabPath, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
