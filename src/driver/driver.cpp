#include "driver/driver.h"

#include <fmt/format.h>

#include "base/errors.h"
#include "base/ini_file.h"
#include "base/rounding.h"
#include "base/sys_paths.h"
#include "driver/preview.h"
#include "driver/printer_model.h"

namespace slabrip {
namespace {

using TClock = std::chrono::steady_clock;

// The print loop reports at most this often.
constexpr auto kReportInterval = std::chrono::seconds(1);

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
  env.IccFolder = paths.Path(TSysPaths::kIccFolder);
  env.PrintJobsFolder = paths.Path(TSysPaths::kPrintJobsFolder);
  env.DriversFolder = paths.Path(TSysPaths::kDriversFolder);
  env.LibraryFolder = ExecutableFolder();
  env.MediaSettingsFile = MediaSettingsPath(mediaSettings);
  env.RuntimeFolder = slabrip::RuntimeFolder();
  return env;
}

TDriver::TDriver(TDriverEnvironment environment, TDriverUi& ui)
    : Env_(std::move(environment)),
      Ui_(ui),
      Engine_(MakeRef<TRipEngine>()),
      Media_(Env_.MediaSettingsFile),
      Host_(Env_.RuntimeFolder) {
  Engine_->IccFolder = Env_.IccFolder;
  Engine_->PrintJobsFolder = Env_.PrintJobsFolder;
  Engine_->DriversFolder = Env_.DriversFolder;
  Controls.TestOutputFile = Env_.PrintJobsFolder + "hptest.prn";
  View_.Preview.SetSize(Env_.PreviewWidth, Env_.PreviewHeight);
  View_.Preview.Fill(0xFFFFFFFF);
}

TDriver::~TDriver() {
  try {
    ReportProgress(TProgressRecord::kFinished);
  } catch (...) {
    // Closing must not fail because the host or the view is gone.
  }
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
  const bool ok = Engine_->LoadSlab(path);
  DrawPreview(Controls.SlabFile);
  if (!ok) {
    const std::string& reason = Engine_->Message();
    throw TError("Unable to open RIP File\n" + path + (reason.empty() ? "" : "\n" + reason));
  }
  Engine_->TwoBitOutput = true;
  Engine_->Output.ToFile = true;
  Slab_ = Engine_->Slab();
  if (!Engine_->PrepareInkManager()) {
    Ui_.ShowMessage(Engine_->Message());
    return false;
  }
  Engine_->PrepareSpotInks();
  Engine_->PrepareBuffers();
  View_.JobInformation = fmt::format("{} x {} pixels", Slab_->RipWidth, Slab_->RipHeight);
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
  const std::string description = PrinterDescriptionFile(Env_.DriversFolder, printer);
  if (!FileExists(description)) {
    Ui_.ShowMessage("Unable to find driver\n" + description);
    return;
  }
  Controls.Job.PrinterModelId = ReadPrinterModelId(description);
  if (Controls.Job.PrinterModelId.empty()) return;
  QueryPrinterModel();
  ShowResolution();
}

bool TDriver::QueryPrinterModel() {
  if (Controls.Job.PrinterModelId.empty()) return false;
  if (!QueryPrinterInfo(Library_, Controls.Job.PrinterModelId, PrinterInfo_)) return false;
  View_.Caption = Controls.Job.PrinterModelId;
  return true;
}

void TDriver::ShowResolution() {
  if (Slab_ && Slab_->PrinterDataSnapshot) View_.Resolution = fmt::format("{:.0f} dpi", Slab_->XDPI);
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
  if (!name || name->empty()) return;
  if (!Media_.AddMedia(*name)) {
    Ui_.ShowError("The selected media name already exists!\n" + *name);
    return;
  }
  Controls.Job.MediaName = *name;
  Ui_.Refresh();
}

void TDriver::DeleteMedia() {
  Handle(Ui_, [&] { Media_.DeleteMedia(Controls.Job.MediaName, Controls.Job.Media); });
  Controls.Job.MediaName = Media_.SelectedName();
  Ui_.Refresh();
}

THPRasterJob& TDriver::RasterJob() {
  if (!RasterJob_) {
    RasterJob_ = std::make_unique<THPRasterJob>(
        Library_, Controls.Job, [this](const std::uint8_t* data, std::size_t count) { DeliverPrinterData(data, count); });
    RasterJob_->SetSlab(Slab_);
  }
  return *RasterJob_;
}

void TDriver::PrintNow() {
  if (!Slab_) return;
  View_.PrintNowEnabled = false;
  View_.Printing = true;
  Ui_.Refresh();
  RasterJob_.reset();
  std::string failure;
  try {
    if (OpenOutput() && RasterJob().StartHPJob()) RunPrint();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  View_.Printing = false;
  try {
    RasterJob().EndHPJob();
  } catch (const std::exception& e) {
    // The job could not be ended: the output stays open and so does the window.
    if (!failure.empty()) Ui_.ShowError(failure);
    Ui_.ShowError(e.what());
    Ui_.Refresh();
    return;
  }
  Handle(Ui_, [&] { FinishOutput(); });
  if (failure.empty() && RasterJob().DeliveryError()) {
    try {
      std::rethrow_exception(RasterJob().DeliveryError());
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  if (!failure.empty()) Ui_.ShowError(failure);
  Ui_.Close();
}

bool TDriver::OpenOutput() {
  if (!Slab_) return false;
  TOutputChannel& output = Engine_->Output;
  if (Controls.TestOutput) {
    TestOutput_ = std::make_unique<TAtomicFileWriter>(Controls.TestOutputFile);
    return true;
  }
  bool opened = false;
  if (Slab_->RipStatus == 2 || Slab_->RipStatus == 4) {
    std::string name, port;
    int index = -1;
    if (Slab_->PrinterDataSnapshot) {
      TqlInifile snapshot;
      snapshot.SetStrings(*Slab_->PrinterDataSnapshot);
      name = snapshot.ReadString("PrinterData", "CurrWinPrn", "");
      if (name.empty()) name = "OrvenexRIP";
      port = snapshot.ReadString("PrinterData", "CurrPort", "");
      if (port != "CustomPort") index = output.FindPrinterIndex(name);
      // The queue's port is a device URI; the slab names a Windows port.
      const std::string uri = DeviceUriForPort(port);
      if (index >= 0 && output.GetPrinterPort(name) != (uri.empty() ? port : uri)) {
        const std::string note = output.SetPrinterPort(name, port);
        if (!note.empty()) Ui_.ShowMessage(note);
      }
    }
    opened = output.OpenPrinterOutput(index, Slab_->Jobname);
  } else if (Slab_->RipStatus == 1 || Slab_->RipStatus == 3) {
    opened = !Slab_->PrnFilename.empty() && output.OpenFileOutput(Slab_->PrnFilename);
  }
  OutputOpen_ = opened;
  // Nothing printed must never look like success: say why.
  if (!opened && !output.Error().empty()) throw TError(output.Error());
  if (!opened) throw TError(fmt::format("Nothing to print to: the slab's RipStatus is {}", Slab_->RipStatus));
  return true;
}

void TDriver::RunPrint() {
  if (!Slab_ || !RasterJob_) return;
  Slab_->RipStatus = 4;
  Slab_->AbortRequested = false;
  Slab_->CurrPrnSize = 0;
  Slab_->SentPrnSize = 0;
  Slab_->RipCurrRow = 0;
  View_.ProgressPosition = 0;
  View_.ProgressMaximum = Slab_->RipHeight;
  std::exception_ptr failure;
  try {
    ReportProgress(TProgressRecord::kStarted);
    PrintRows();
  } catch (...) {
    failure = std::current_exception();
  }
  if (Slab_->AbortRequested) Slab_->RipStatus = 8;
  Ui_.ProcessEvents();
  ReportProgress(TProgressRecord::kFinished);
  Ui_.ProcessEvents();
  Slab_->SaveStatus();
  if (failure) std::rethrow_exception(failure);
}

std::pair<std::int32_t, std::int32_t> TDriver::PrinterRows(std::int32_t y, std::int32_t renderHeight,
                                                           std::int32_t ripHeight) {
  const double scale = static_cast<double>(ripHeight) / renderHeight;
  const auto first = static_cast<std::int32_t>(RoundHalfEven(scale * y));
  const auto next = static_cast<std::int32_t>(RoundHalfEven(scale * (static_cast<double>(y) + 1)));
  return {first, next - 1};
}

void TDriver::PrintRows() {
  TInkRowEx& row = *Engine_->InkRow();
  TRipSlab& slab = *Slab_;
  THPRasterJob::ConfigurePlanes(row);
  auto deadline = TClock::now() + kReportInterval;
  try {
    const std::int32_t renderHeight = slab.RenderHeight;
    std::int32_t y = 0;
    for (; y < renderHeight; ++y) {
      PollAbort();
      if (slab.AbortRequested) break;
      Engine_->PrepareRow(y);
      const auto [first, last] = PrinterRows(y, renderHeight, slab.RipHeight);
      for (std::int32_t j = first; j <= last; ++j) {
        row.ExpandDitherPack(j);
        slab.RipCurrRow = j;
        RasterJob_->SendRow(row);
      }
      if (TClock::now() > deadline) {
        slab.CurrPrnSize = Engine_->Output.OutputBytes;
        slab.SentPrnSize = slab.CurrPrnSize;
        ReportProgress(TProgressRecord::kRunning);
        deadline = TClock::now() + kReportInterval;
      }
    }
    if (y == renderHeight) {
      slab.RipCurrRow = slab.RipHeight;
      slab.RipStatus = 7;
    }
  } catch (...) {
    slab.CurrPrnSize = Engine_->Output.OutputBytes;
    throw;
  }
  slab.CurrPrnSize = Engine_->Output.OutputBytes;
}

void TDriver::PollAbort() {
  Ui_.ProcessEvents();
  if (Slab_->AbortRequested) Controls.Abort = true;
  if (Controls.Abort) Slab_->AbortRequested = true;
}

void TDriver::ReportProgress(std::uint8_t kind) {
  if (!Slab_) return;
  TRipSlab& slab = *Slab_;
  const bool hostFound = Host_.Find(slab.CustomHostHwnd);
  View_.ProgressPosition = slab.RipCurrRow;
  View_.Caption = fmt::format("{:.2f} mb", static_cast<double>(slab.CurrPrnSize) / 1024 / 1024);
  slab.UpdateProgress();
  CoverPreview(View_.Preview, View_.PreviewRect, slab.RipProgress);
  Ui_.Refresh();
  if (!hostFound) return;
  TProgressRecord record;
  record.SlabID = slab.SlabID;
  record.Kind = kind;
  record.RipStatus = slab.RipStatus;
  record.RipHeight = slab.RipHeight;
  record.RipCurrRow = slab.RipCurrRow;
  record.CurrPrnSize = slab.CurrPrnSize;
  record.SentPrnSize = slab.SentPrnSize;
  Host_.Send(record);
}

void TDriver::FinishOutput() {
  if (TestOutput_) {
    const std::unique_ptr<TAtomicFileWriter> file = std::move(TestOutput_);
    file->Commit();
    return;
  }
  TOutputChannel& output = Engine_->Output;
  if (output.ToFile)
    output.CloseFileOutput();
  else
    output.ClosePrinterOutput();
  if (std::exchange(OutputOpen_, false) && output.OutputFailed)
    throw TError(output.Error().empty() ? "The printer data could not be delivered" : output.Error());
}

void TDriver::DeliverPrinterData(const std::uint8_t* data, std::size_t count) {
  if (Controls.TestOutput || TestOutput_) {
    if (!TestOutput_) return;
    TestOutput_->Write(std::string_view(reinterpret_cast<const char*>(data), count));
    Engine_->Output.OutputBytes += static_cast<std::int64_t>(count);
    return;
  }
  TOutputChannel& output = Engine_->Output;
  if (!output.WriteOutput(data, count))
    throw TError(output.Error().empty() ? "The printer data could not be written" : output.Error());
}

std::string TDriver::ViewXml() {
  THPRasterJob job(Library_, Controls.Job, nullptr);
  job.SetSlab(Slab_);
  return job.ViewXmlText();
}

}  // namespace slabrip
