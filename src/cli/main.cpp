// slabrip: the command-line front end.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>

#include "base/version.h"
#include "cli/info_command.h"
#include "cli/job_setting_options.h"
#include "cli/media_command.h"
#include "cli/print_command.h"
#include "cli/printers_command.h"
#include "cli/proof_command.h"
#include "cli/render_command.h"
#include "cli/render_slab_command.h"
#include "cli/send_command.h"
#include "driver/driver.h"

namespace {

void AddBandRowsOption(CLI::App& command, std::int32_t& rows) {
  command.add_option("--band-rows", rows, "Rows per rendered band (diagnostic; default: the engine's rule)")
      ->check(CLI::Range(1, 1 << 20));
}

void AddThreadsOption(CLI::App& command, int& threads, const std::string& what) {
  command.add_option("--threads", threads, what + " (default: the cores this process may use)")
      ->check(CLI::Range(1, 256));
}

// What print and estimate share: the slab, the run's options and the job settings.
void AddPrintOptions(CLI::App& command, slabrip::TPrintCommandOptions& options) {
  command.add_option("SLAB", options.Slab, "The .RipSlab file")->required();
  AddBandRowsOption(command, options.BandRows);
  AddThreadsOption(command, options.Threads,
                   "Threads for drawing and dithering; the printer data is the same for any number");
  command.add_flag("--force", options.Force,
                   "Go on even when the slab would not print as laid out (a job, document or image missing)");
  command.add_option("--report", options.Report,
                     "Write a JSON report: the slab, times, rows, bytes and the ink each ink takes");
  options.Settings.AddTo(command);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace slabrip;
  CLI::App app{"slabrip: raster image processor and driver for HP Latex printers"};
  app.set_version_flag("--version", slabrip::VersionLine("slabrip"));
  app.require_subcommand(1);

  std::string mediaSettings;
  app.add_option("--media-settings", mediaSettings,
                 "HP media settings file (default $SLABRIP_MEDIA_SETTINGS, else ~/.config/slabrip/slabrip.ini)");
  TDriverEnvironment env = TDriverEnvironment::FromProcess();
  app.add_option_function<std::string>(
      "--icc-dir",
      [&env](const std::string& folder) {
        env.IccFolder = folder;
        env.IccFrom = "--icc-dir";
      },
      "Folder of ICC profiles and table files (default: the suite's RIP/ICC, else ICC beside the slab)");
  app.add_option_function<std::string>(
      "--drivers-dir",
      [&env](const std::string& folder) {
        env.DriversFolder = folder;
        env.DriversFrom = "--drivers-dir";
      },
      "Folder of the printer description files, .qlPrinter (default: the suite's RIP/Drivers, else Drivers "
      "beside the slab)");

  std::string slabPath;
  CLI::App* info = app.add_subcommand("info", "Show a slab's sizes, jobs and placements");
  info->add_option("SLAB", slabPath, "The .RipSlab file")->required();

  TRenderDocumentOptions render;
  CLI::App* renderDocument =
      app.add_subcommand("render-document", "Draw one cmf document into a PNG at a resolution, band by band");
  renderDocument->add_option("DOCUMENT", render.Document, "The .cmf document")->required();
  renderDocument->add_option("--dpi", render.Dpi, "Pixels per inch")->capture_default_str();
  renderDocument->add_option("--out", render.Output, "PNG file to write")->required();
  renderDocument->add_option("--spot-map", render.SpotMapOutput,
                             "16-bit grey PNG of the spot channel of every pixel");
  renderDocument->add_option("--spot", render.SpotColours,
                             "Colour table index drawn as a spot ink (repeatable)");

  TRenderSlabOptions renderSlab;
  CLI::App* renderCommand =
      app.add_subcommand("render", "Draw the slab as it prints (marks and corrections included) into a PNG");
  renderCommand->add_option("SLAB", renderSlab.Slab, "The .RipSlab file")->required();
  renderCommand->add_option("--out", renderSlab.Output, "PNG of the rendered colours");
  renderCommand->add_option("--spot-map", renderSlab.SpotMapOutput, "16-bit grey PNG of the spot channels");
  renderCommand->add_option("--inks", renderSlab.InksOutput, "PNG soft proof of the ink values");
  AddBandRowsOption(*renderCommand, renderSlab.BandRows);
  AddThreadsOption(
      *renderCommand, renderSlab.Threads,
      "Threads: above one, drawing overlaps writing the files; the files are the same for any number");
  renderCommand->add_option("--preview", renderSlab.PreviewOutput,
                            "JPEG preview at most 1000 pixels long, as the driver window shows beside the slab");

  TPrintCommandOptions print;
  CLI::App* printCommand = app.add_subcommand(
      "print", "Print the slab (\"Print Now\"): to its print file or queue, or with --test-output into a file");
  AddPrintOptions(*printCommand, print);
  printCommand->add_option("--test-output", print.TestOutput, "Write the printer data into this .prn file");
  printCommand->add_option("--keep", print.Keep,
                           "Also keep the printer data in this .prn file, put in place once the job went "
                           "(for send)");

  TPrintCommandOptions estimate;
  estimate.Estimate = true;
  CLI::App* estimateCommand = app.add_subcommand(
      "estimate", "Make the slab's printer data as a print would, write nothing, and show the ink it takes");
  AddPrintOptions(*estimateCommand, estimate);

  TProofCommandOptions proof;
  CLI::App* proofCommand = app.add_subcommand(
      "proof", "Draw the slab as its dithered inks lay down into a PNG, shrunk to a width");
  proofCommand->add_option("SLAB", proof.Slab, "The .RipSlab file")->required();
  proofCommand->add_option("--out", proof.Output, "PNG file to write")->required();
  proofCommand->add_option("--width", proof.Width, "Pixels wide, at most the printer raster's")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  AddBandRowsOption(*proofCommand, proof.BandRows);
  AddThreadsOption(*proofCommand, proof.Threads,
                   "Threads for drawing and dithering; the proof is the same for any number");

  TSendCommandOptions send;
  CLI::App* sendCommand =
      app.add_subcommand("send", "Send printer data kept with print --keep to a CUPS queue again, raw");
  sendCommand->add_option("FILE", send.File, "The .prn file")->required();
  sendCommand->add_option("--queue", send.Queue,
                          "The queue, found as a slab's printer name finds it (default: the default queue)");

  TJobSettingOptions xmlSettings;
  CLI::App* xmlCommand = app.add_subcommand("xml", "Show the HP job ticket, page and raster-format XML of a slab");
  xmlCommand->add_option("SLAB", slabPath, "The .RipSlab file")->required();
  xmlSettings.AddTo(*xmlCommand);

  std::string printersSlab;
  CLI::App* printersCommand =
      app.add_subcommand("printers", "List the CUPS queues; with a slab, which one it prints to and why");
  printersCommand->add_option("SLAB", printersSlab, "A .RipSlab file");

  TMediaCommand media;
  CLI::App* mediaCommand = app.add_subcommand("media", "List, show, add, update or delete HP media settings");
  mediaCommand->add_option("ACTION", media.Action, "list, show, add, update or delete")
      ->required()
      ->check(CLI::IsMember({"list", "show", "add", "update", "delete"}));
  mediaCommand->add_option("NAME", media.Name, "Media name (all but list)");
  mediaCommand->add_option_function<std::vector<std::string>>(
      "--value",
      [&media](const std::vector<std::string>& pairs) {
        for (const std::string& pair : pairs) media.Values.push_back(ParseMediaValue(pair, "--value"));
      },
      "KEY=NUMBER for add and update (repeatable)");

  CLI11_PARSE(app, argc, argv);
  // A file-size limit must fail the write that crosses it, so the print can say so, not kill the program.
  std::signal(SIGXFSZ, SIG_IGN);
  if (renderCommand->parsed() && renderSlab.Output.empty() && renderSlab.SpotMapOutput.empty() &&
      renderSlab.InksOutput.empty() && renderSlab.PreviewOutput.empty()) {
    std::cerr << "render: nothing to write: give --out, --spot-map, --inks or --preview\n";
    return 2;
  }
  if (mediaCommand->parsed() && media.Action != "list" && media.Name.empty()) {
    std::cerr << "media " << media.Action << ": a media NAME is needed\n";
    return 2;
  }
  env.MediaSettingsFile = MediaSettingsPath(mediaSettings);
  renderSlab.Icc = {env.IccFolder, env.IccFrom};
  proof.Icc = renderSlab.Icc;
  try {
    if (info->parsed()) return RunInfo(slabPath, env, std::cout, std::cerr);
    if (printersCommand->parsed()) return RunPrinters(env, printersSlab, std::cout, std::cerr);
    if (renderDocument->parsed()) return RunRenderDocument(render, std::cout, std::cerr);
    if (renderCommand->parsed()) return RunRenderSlab(renderSlab, std::cout, std::cerr);
    if (printCommand->parsed()) return RunPrint(env, print, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    if (estimateCommand->parsed())
      return RunPrint(env, estimate, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    if (proofCommand->parsed()) return RunProof(proof, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    if (sendCommand->parsed()) return RunSend(send, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    if (xmlCommand->parsed()) return RunXml(env, slabPath, xmlSettings, std::cout, std::cerr);
    if (mediaCommand->parsed()) return RunMedia(env.MediaSettingsFile, media, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
