// prnsample: writes a sample printer-data job, for prnview's end-to-end test
// and the reader's fuzz seeds.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/file_paths.h"
#include "base/version.h"
#include "tools/printer_data_sample.h"

int main(int argc, char** argv) {
  using namespace slabrip;
  CLI::App app{"prnsample: a sample printer-data job built by code"};
  app.set_version_flag("--version", slabrip::VersionLine("prnsample"));
  std::string output;
  int width = 37, height = 24, planes = 6;
  int rows = -1;
  app.add_option("OUTPUT", output, "File to write")->required();
  app.add_option("--width", width, "Pixels")->check(CLI::Range(1, 4000));
  app.add_option("--height", height, "Rows")->check(CLI::Range(1, 4000));
  app.add_option("--rows", rows, "Rows sent before the raster ends; all when not given")
      ->check(CLI::Range(0, 4000));
  app.add_option("--planes", planes, "Planes")->check(CLI::Range(1, kPrnMaxPlanes));
  CLI11_PARSE(app, argc, argv);
  try {
    WriteFileAtomically(output, SamplePrinterData(width, height, rows < 0 ? height : rows, planes));
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
