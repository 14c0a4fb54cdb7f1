// slabrip: the command-line front end.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/sys_paths.h"
#include "cli/info_command.h"
#include "cli/render_command.h"
#include "cli/render_slab_command.h"
#include "cli/job_setting_options.h"
#include "cli/xml_command.h"

int main(int argc, char** argv) {
  CLI::App app{"slabrip: raster image processor and driver for HP Latex printers"};
  app.require_subcommand(1);

  const slabrip::TSysPaths paths(slabrip::TSysEnvironment::FromProcess());
  std::string iccFolder = paths.Path(slabrip::TSysPaths::kIccFolder);
  app.add_option("--icc-dir", iccFolder, "Folder of ICC profiles and table files")->capture_default_str();

  std::string driversFolder = paths.Path(slabrip::TSysPaths::kDriversFolder);
  app.add_option("--drivers-dir", driversFolder, "Folder of the printer description files (.qlPrinter)")
      ->capture_default_str();

  std::string slabPath;
  CLI::App* info = app.add_subcommand("info", "Show a slab's sizes, jobs and placements");
  info->add_option("SLAB", slabPath, "The .RipSlab file")->required();

  slabrip::TRenderDocumentOptions render;
  CLI::App* renderDocument =
      app.add_subcommand("render-document", "Draw one cmf document into a PNG at a resolution, band by band");
  renderDocument->add_option("DOCUMENT", render.Document, "The .cmf document")->required();
  renderDocument->add_option("--dpi", render.Dpi, "Pixels per inch")->capture_default_str();
  renderDocument->add_option("--out", render.Output, "PNG file to write")->required();
  renderDocument->add_option("--spot-map", render.SpotMapOutput,
                             "16-bit grey PNG of the spot channel of every pixel");
  renderDocument->add_option("--spot", render.SpotColours,
                             "Colour table index drawn as a spot ink (repeatable)");

  slabrip::TRenderSlabOptions renderSlab;
  CLI::App* renderCommand =
      app.add_subcommand("render", "Draw the slab as it prints (marks and corrections included) into a PNG");
  renderCommand->add_option("SLAB", renderSlab.Slab, "The .RipSlab file")->required();
  renderCommand->add_option("--out", renderSlab.Output, "PNG of the rendered colours")->required();
  renderCommand->add_option("--spot-map", renderSlab.SpotMapOutput, "16-bit grey PNG of the spot channels");
  renderCommand->add_option("--inks", renderSlab.InksOutput, "PNG soft proof of the ink values");

  slabrip::TXmlOptions xml;
  CLI::App* xmlCommand = app.add_subcommand("xml", "Show the HP job ticket, page and raster-format XML of a slab");
  xmlCommand->add_option("SLAB", xml.Slab, "The .RipSlab file")->required();
  slabrip::AddJobSettingOptions(*xmlCommand, xml.Settings);

  CLI11_PARSE(app, argc, argv);
  xml.DriversFolder = driversFolder;
  xml.LibraryFolder = slabrip::ExecutableFolder();
  renderSlab.IccFolder = iccFolder;
  try {
    if (info->parsed()) return slabrip::RunInfo(slabPath, iccFolder, std::cout, std::cerr);
    if (renderDocument->parsed()) return slabrip::RunRenderDocument(render, std::cout, std::cerr);
    if (renderCommand->parsed()) return slabrip::RunRenderSlab(renderSlab, std::cout, std::cerr);
    if (xmlCommand->parsed()) return slabrip::RunXml(xml, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
