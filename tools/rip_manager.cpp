// rip-manager: plays the host program that queued the slab (prints and
// answers the driver's progress reports), or, with --watch, spools a folder
// of slabs to slabrip.
#include <CLI/CLI.hpp>
#include <string>

#include "base/sys_paths.h"
#include "base/version.h"
#include "driver/host_channel.h"
#include "host_listener.h"
#include "host_mode.h"
#include "spooler.h"

using namespace slabrip;

namespace {

/// The folder the suite queues slabs in; empty, with the reason told, when there is none.
std::string PrintJobsFolder() {
  const TSysPaths paths(TSysEnvironment::FromProcess());
  if (paths.DataFolder().empty()) {
    Warn(
        "no print-jobs folder: the suite's data folder ($XDG_DATA_HOME/OrvenexCorp/Quillar) does not exist; "
        "name the folder to watch: --watch FOLDER");
    return {};
  }
  return paths.Path(TSysPaths::kPrintJobsFolder);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "rip-manager: plays the host program, printing the driver's progress reports and answering them; "
      "with --watch, prints the slabs queued in a folder"};
  app.set_version_flag("--version", VersionLine("rip-manager"));
  THostOptions host;
  std::int32_t hostNumber = 0;
  auto* socketOption = app.add_option("--socket", host.Socket, "Socket to listen on");
  auto* hostOption = app.add_option("--host", hostNumber,
                                    "Listen as the slab's own host N (rip-host-N) instead of the manager")
                         ->excludes(socketOption);
  auto* noReply = app.add_flag("--no-reply", host.NoReply, "Never answer, as a hung host");
  auto* replyDelay = app.add_option("--reply-delay-ms", host.ReplyDelayMs, "Answer this late")
                         ->check(CLI::Range(0, 3600000))
                         ->excludes(noReply);
  auto* count =
      app.add_option("--count", host.Count, "Exit after this many reports")->check(CLI::PositiveNumber);

  TSpoolOptions spool;
  auto* watch =
      app.add_option("--watch", spool.Folder,
                     "Print the slabs (*.RipSlab, RipStatus 1 to 4) queued in FOLDER one at a time, "
                     "oldest first (default: the suite's print-jobs folder)")
          ->expected(0, 1)
          ->excludes(socketOption, hostOption, noReply, replyDelay, count);
  const auto watchOption = [&](const std::string& name, std::string& value, const std::string& help) {
    app.add_option(name, value, help)->needs(watch);
  };
  watchOption("--log", spool.Log,
              "Log file (default $XDG_STATE_HOME/slabrip/rip-manager.log, ~/.local/state/...)");
  watchOption("--journal", spool.Journal,
              "What was started and how it ended, so that nothing prints twice "
              "(default $XDG_STATE_HOME/slabrip/rip-manager.journal)");
  watchOption("--slabrip", spool.Print.Slabrip, "The slabrip program (default: beside rip-manager)");
  std::string iccDir, driversDir, mediaSettings;
  watchOption("--icc-dir", iccDir, "Passed to slabrip");
  watchOption("--drivers-dir", driversDir, "Passed to slabrip");
  watchOption("--media-settings", mediaSettings, "Passed to slabrip");
  app.add_option("--settle-ms", spool.SettleMs,
                 "A slab is taken once it and its job files have not changed for this long")
      ->check(CLI::Range(0, 3600000))
      ->needs(watch);
  app.add_option("--rescan-ms", spool.RescanMs,
                 "Look at the folder this often (inotify misses network shares)")
      ->check(CLI::Range(10, 3600000))
      ->needs(watch);
  CLI11_PARSE(app, argc, argv);

  if (watch->count() == 0) {
    if (host.Socket.empty()) host.Socket = HostSocketPath(RuntimeFolder(), hostNumber);
    return RunHost(host);
  }
  if (spool.Folder.empty()) spool.Folder = PrintJobsFolder();
  if (spool.Folder.empty()) return 1;
  if (spool.Log.empty()) spool.Log = SpoolStateFile("rip-manager.log");
  if (spool.Journal.empty()) spool.Journal = SpoolStateFile("rip-manager.journal");
  if (spool.Print.Slabrip.empty()) spool.Print.Slabrip = ExecutableFolder() + "slabrip";
  for (const auto& [option, value] :
       {std::pair{"--icc-dir", iccDir}, {"--drivers-dir", driversDir}, {"--media-settings", mediaSettings}}) {
    if (!value.empty()) spool.Print.GlobalOptions.insert(spool.Print.GlobalOptions.end(), {option, value});
  }
  return RunSpooler(spool);
}
