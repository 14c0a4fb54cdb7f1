#include "driver/driver.h"

#include <fmt/format.h>

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/sys_paths.h"
#include "driver/preview.h"
#include "engine/preflight.h"
#include "driver/printer_model.h"

namespace slabrip {
namespace {

// Runs `step` and shows what it raised in the error box: the window's
// handlers end there and the window stays usable.
template <typename Step>
void Handle(TDriverUi& ui, Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    ui.ShowError(e.what());
  }
}

}  // namespace

TDriverEnvironment TDriverEnvironment::FromProcess(const std::string& mediaSettings) {
  const TSysPaths paths(TSysEnvironment::FromProcess());
  TDriverEnvironment env;
  env.IccFolder = paths.ExistingPath(TSysPaths::kIccFolder);
  if (!env.IccFolder.empty()) env.IccFrom = paths.DataFolderFrom();
  env.DriversFolder = paths.ExistingPath(TSysPaths::kDriversFolder);
  if (!env.DriversFolder.empty()) env.DriversFrom = paths.DataFolderFrom();
  env.PrintJobsFolder = paths.ExistingPath(TSysPaths::kPrintJobsFolder);
  env.DataFolder = paths.DataFolder();
  env.LibraryFolder = ExecutableFolder();
  env.MediaSettingsFile = MediaSettingsPath(mediaSettings);
  env.RuntimeFolder = slabrip::RuntimeFolder();
  return env;
}

TDriver::TDriver(TDriverEnvironment environment, TDriverUi& ui)
    : Env_(std::move(environment)),
      Icc_{Env_.IccFolder, Env_.IccFrom},
      Drivers_{Env_.DriversFolder, Env_.DriversFrom},
      Ui_(ui),
      Engine_(MakeRef<TRipEngine>()),
      Media_(Env_.MediaSettingsFile),
      Host_(Env_.RuntimeFolder) {
  Engine_->IccFolder = Env_.IccFolder;
  if (!Env_.PrintJobsFolder.empty()) Controls.TestOutputFile = Env_.PrintJobsFolder + "hptest.prn";
  View_.Preview.SetSize(Env_.PreviewWidth, Env_.PreviewHeight);
  View_.Preview.Fill(0xFFFFFFFF);
}

TDriver::~TDriver() {
  if (Slab_ && Host_.Find(Slab_->CustomHostHwnd))
    Host_.Send(ProgressRecordOf(*Slab_, TProgressRecord::kFinished));
}

void TDriver::StartupLoad(const std::vector<std::string>& arguments) {
  std::string path;
  for (const std::string& argument : arguments) path += (path.empty() ? "" : " ") + argument;
  Handle(Ui_, [&] {
    if (!path.empty() && FileExists(path)) {
      Controls.SlabFile = path;
      if (!LoadSlabFile(path)) Ui_.ShowMessage("unable to open file\n" + path);
    }
    DrawPreview(path);
    Media_.LoadMediaList();
    ApplyMedia(Media_.SelectedName());
  });
  Ui_.Refresh();
}

bool TDriver::LoadSlabFile(const std::string& path) {
  View_.PrintNowEnabled = false;
  View_.Problems.clear();
  // A slab folder copied whole brings its own ICC and Drivers folders.
  Icc_ = FolderForSlab({Env_.IccFolder, Env_.IccFrom}, path, "ICC");
  Drivers_ = FolderForSlab({Env_.DriversFolder, Env_.DriversFrom}, path, "Drivers");
  Engine_->IccFolder = Icc_.Folder;
  if (Controls.TestOutputFile.empty()) Controls.TestOutputFile = LocalFileForSlab("hptest.prn", "", path);
  DrawPreview(Controls.SlabFile);
  // The slab shows as loaded, its resolution too, also when its preparation fails.
  const auto showSlab = [this] {
    Slab_ = Engine_->Slab();
    ShowResolution();
  };
  try {
    Engine_->PrepareForSlab(path);
  } catch (const ESlabNotLoaded& e) {
    const std::string reason = e.what();
    throw TError("Unable to open RIP File\n" + path + (reason.empty() ? "" : "\n" + reason));
  } catch (const ENoColourTables& e) {
    showSlab();
    Ui_.ShowMessage(e.what());
    return false;
  } catch (const std::exception&) {
    showSlab();
    // A slab that loads stops first at an ICC folder given nowhere: say where one is looked for.
    if (Icc_.Folder.empty())
      throw TError("No ICC Path Set\n" + path +
                   ": no ICC folder: give --icc-dir, or put an ICC folder beside the slab");
    throw;
  }
  showSlab();
  View_.JobInformation = fmt::format("{} x {} pixels", Slab_->RipWidth, Slab_->RipHeight);
  View_.Problems = Preflight(*Engine_);
  LoadPrinterModel(Slab_->Printer);
  View_.PrintNowEnabled = true;
  return true;
}

void TDriver::Reload() {
  Handle(Ui_, [&] { LoadSlabFile(Controls.SlabFile); });
  Ui_.Refresh();
}

void TDriver::DrawPreview(const std::string& slabPath) {
  View_.PreviewRect = slabrip::DrawPreview(View_.Preview, slabPath);
  Ui_.Refresh();
}

void TDriver::LoadPrinterModel(const std::string& printer) {
  Controls.Job.PrinterModelId.clear();
  LoadRasterLibrary(Library_, Env_.LibraryFolder);
  const std::string description = PrinterDescriptionFile(Drivers_.Folder, printer);
  if (!FileExists(description)) {
    Ui_.ShowMessage("Unable to find driver\n" + description +
                    (Drivers_.Folder.empty()
                         ? "\nNo drivers folder: give --drivers-dir, or put a Drivers folder "
                           "beside the slab"
                         : ""));
    return;
  }
  Controls.Job.PrinterModelId = ReadPrinterModelId(description);
  if (Controls.Job.PrinterModelId.empty()) return;
  QueryPrinterModel();
}

bool TDriver::QueryPrinterModel() {
  if (Controls.Job.PrinterModelId.empty()) return false;
  if (!QueryPrinterInfo(Library_, Controls.Job.PrinterModelId, PrinterInfo_)) return false;
  View_.Caption = Controls.Job.PrinterModelId;
  return true;
}

void TDriver::ShowResolution() {
  // Every slab's own resolution: the label's first text, "300 DPI", is no slab's.
  if (Slab_) View_.Resolution = fmt::format("{:.0f} dpi", Slab_->XDPI);
}

void TDriver::ApplyMedia(const std::string& name) {
  Media_.ApplyMedia(name, Controls.Job.Media);
  if (Media_.Selected() >= 0) Controls.Job.MediaName = Media_.SelectedName();
  Ui_.Refresh();
}

void TDriver::UpdateMedia() {
  if (!Ui_.Confirm("Update this media?")) return;
  Handle(Ui_, [&] { Media_.SaveMedia(Controls.Job.MediaName, Controls.Job.Media); });
  Ui_.Refresh();
}

void TDriver::AddMedia() {
  const std::optional<std::string> name = Ui_.InputBox("Add New Media Preset", "Please enter new media name");
  if (!name) return;
  if (!Media_.AddMedia(*name)) {
    // A blank name is no name: nothing to say.
    if (Media_.IndexOf(*name) >= 0) Ui_.ShowError("The selected media name already exists!\n" + *name);
    return;
  }
  Controls.Job.MediaName = Media_.SelectedName();
  Ui_.Refresh();
}

void TDriver::DeleteMedia() {
  Handle(Ui_, [&] { Media_.DeleteMedia(Controls.Job.MediaName, Controls.Job.Media); });
  Controls.Job.MediaName = Media_.SelectedName();
  Ui_.Refresh();
}

void TDriver::PrintNow() {
  if (!Slab_) return;
  if (!View_.Problems.empty()) {
    std::string question = "The slab would not print as it is laid out:";
    for (const std::string& problem : View_.Problems) question += "\n- " + problem;
    if (!Ui_.Confirm(question + "\nPrint anyway?")) return;
  }
  View_.PrintNowEnabled = false;
  View_.Printing = true;
  View_.AbortRequested = false;
  View_.ProgressPosition = 0;
  View_.ProgressMaximum = Slab_->RipHeight;
  View_.PrintedBytes = 0;
  Ui_.Refresh();
  TPrintRun run(*Engine_, Library_, Host_,
                {.Job = Controls.Job,
                 .TestOutput = Controls.TestOutput,
                 .TestOutputFile = Controls.TestOutputFile,
                 .KeepFile = Controls.KeepFile,
                 .DataFolder = Env_.DataFolder,
                 .BandRows = Controls.BandRows,
                 .Threads = Controls.Threads,
                 .Estimate = Controls.Estimate},
                *this);
  Printing_ = &run;
  LastPrint_ = run.Run();
  Printing_ = nullptr;
  View_.Printing = false;
  if (!LastPrint_.Error.empty()) Ui_.ShowError(LastPrint_.Error);
  Ui_.Close();
}

void TDriver::RequestAbort() {
  if (Printing_ == nullptr) return;
  Printing_->RequestAbort();
  View_.AbortRequested = true;
}

void TDriver::ProcessEvents() { Ui_.ProcessEvents(); }

void TDriver::Progress(const TPrintProgress& progress) {
  View_.ProgressPosition = progress.RipCurrRow;
  View_.PrintedBytes = progress.Bytes;
  View_.Caption = fmt::format("{:.2f} mb", static_cast<double>(progress.Bytes) / 1024 / 1024);
  CoverPreview(View_.Preview, View_.PreviewRect, progress.Done);
  Ui_.Refresh();
}

void TDriver::Note(const std::string& text) { Ui_.ShowMessage(text); }

TProofRequest TDriver::ProofRequest(int width) const {
  return {.Slab = Controls.SlabFile,
          .IccFolder = Icc_.Folder,
          .PrinterModelId = Controls.Job.PrinterModelId,
          .BandRows = Controls.BandRows,
          .Threads = Controls.Threads,
          .Width = width};
}

std::string TDriver::ViewXml() {
  THPRasterJob job(Library_, Controls.Job, nullptr);
  job.SetSlab(Slab_);
  return job.ViewXmlText();
}

}  // namespace slabrip
