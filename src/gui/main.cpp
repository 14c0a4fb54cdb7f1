// slabrip-gui: the driver window. The design suite starts it with the slab's path.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QPixmap>
#include <algorithm>
#include <csignal>
#include <iostream>
#include <string_view>

#include "base/version.h"
#include "gui/hpdj_rip_window.h"

namespace {

// The screenshot runs without anyone to press a button: boxes go to stderr.
class TUnattendedWindow : public slabrip::THPDJRipFr2 {
 public:
  using THPDJRipFr2::THPDJRipFr2;
  void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }
  bool Confirm(const std::string& question) override {
    std::cerr << question << " No\n";
    return false;
  }
  std::optional<std::string> InputBox(const std::string& /*title*/, const std::string& /*prompt*/) override {
    return std::nullopt;
  }
};

std::string WithTrailingSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"slabrip-gui: the driver window for HP Latex printers"};
  app.set_version_flag("--version", slabrip::VersionLine("slabrip-gui"));
  const slabrip::TDriverEnvironment defaults = slabrip::TDriverEnvironment::FromProcess();
  std::string iccFolder, driversFolder;
  app.add_option("--icc-dir", iccFolder, "Folder of ICC profiles and table files")
      ->default_str(defaults.IccFolder.empty() ? "ICC beside the slab" : defaults.IccFolder);
  app.add_option("--drivers-dir", driversFolder, "Folder of the printer description files (.qlPrinter)")
      ->default_str(defaults.DriversFolder.empty() ? "Drivers beside the slab" : defaults.DriversFolder);
  std::string mediaSettings;
  app.add_option("--media-settings", mediaSettings, "The HP media settings file")
      ->default_str(defaults.MediaSettingsFile);
  std::string screenshot;
  app.add_option("--screenshot", screenshot, "Save a picture of the window after start-up and quit")
      ->group("");
  std::vector<std::string> slabParts;
  app.add_option("SLAB", slabParts, "The .RipSlab file; further parts are joined with blanks");
  // The help and the version need no display; otherwise Qt takes its own options (-platform, ...) out of argv
  // first.
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  if (std::ranges::any_of(arguments,
                          [](std::string_view a) { return a == "--help" || a == "-h" || a == "--version"; }))
    CLI11_PARSE(app, argc, argv);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("slabrip-gui"));
  CLI11_PARSE(app, argc, argv);

  // A file-size limit must fail the write that crosses it, so the print can say so, not kill the program.
  std::signal(SIGXFSZ, SIG_IGN);
  slabrip::TDriverEnvironment env = slabrip::TDriverEnvironment::FromProcess(mediaSettings);
  if (!iccFolder.empty()) {
    env.IccFolder = WithTrailingSlash(iccFolder);
    env.IccFrom = "--icc-dir";
  }
  if (!driversFolder.empty()) {
    env.DriversFolder = WithTrailingSlash(driversFolder);
    env.DriversFrom = "--drivers-dir";
  }

  try {
    if (!screenshot.empty()) {
      TUnattendedWindow window(env);
      window.Start(slabParts);
      window.show();
      QApplication::processEvents();
      if (!window.grab().save(QString::fromStdString(screenshot))) {
        std::cerr << "Unable to write " << screenshot << '\n';
        return 1;
      }
      return 0;
    }
    slabrip::THPDJRipFr2 window(env);
    window.Start(slabParts);
    window.show();
    return QApplication::exec();
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
