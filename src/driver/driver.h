// The driver window's state and operations, with no toolkit in them: start-up
// and slab loading, the printer model, the media page, the print run and its
// progress reports. The window (Qt) and the command line drive the same object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/sys_paths.h"
#include "driver/driver_ui.h"
#include "driver/host_channel.h"
#include "driver/ink_proof.h"
#include "driver/media_settings.h"
#include "driver/print_run.h"
#include "engine/rip_engine.h"
#include "hpraster/hp_raster_job.h"
#include "raster/bitmap32.h"

namespace slabrip {

/// Where the driver finds its folders and files; from the suite's folders in
/// the programs, set by hand in tests.
struct TDriverEnvironment {
  /// The ICC and drivers folders from the options or the suite's data folder,
  /// with where they came from; empty ones are looked for beside each slab.
  std::string IccFolder;
  std::string IccFrom;
  std::string DriversFolder;
  std::string DriversFrom;
  std::string PrintJobsFolder;    // empty when the suite has none: test output goes beside the slab
  std::string DataFolder;         // where print files the slab names under the suite's data folder go
  std::string LibraryFolder;      // where libhpldrlgl.so is: the program's own folder
  std::string MediaSettingsFile;  // see MediaSettingsPath
  std::string RuntimeFolder;      // where the host's socket is
  int PreviewWidth = 385;         // the paint box
  int PreviewHeight = 505;

  /// The suite's folders that exist, the program's own folder, the media settings file
  /// (`mediaSettings` when not empty) and the runtime folder of this process.
  static TDriverEnvironment FromProcess(const std::string& mediaSettings = "");
};

/// The controls the operator sets, with their initial states.
struct TDriverControls {
  std::string SlabFile;
  THPJobSettings Job;  // ink level, direction, passes, media type id, cutter, media name and values
  bool TestOutput = false;
  std::string TestOutputFile;  // hptest.prn in the print-jobs folder, else beside the slab
  std::string KeepFile;        // a copy of the printer data, empty for none
  std::int32_t BandRows = 0;   // rows per band, 0 for the engine's rule (a diagnostic of the command line)
  int Threads = 0;             // print threads, 0 for the cores the process may use
  bool Estimate = false;       // "Print Now" makes the printer data and drops it (see TPrintOptions)
};

/// What the window shows besides the controls.
struct TDriverView {
  static constexpr const char* kTitle = "slabrip";
  std::string Caption = kTitle;
  std::string JobInformation = "No Job Loaded..";
  /// What the loaded slab would print other than laid out; "Print Now" asks first.
  std::vector<std::string> Problems;
  std::string Resolution = "300 DPI";
  bool PrintNowEnabled = true;
  bool Printing = false;  // "Print Now" hidden, "Abort" shown, busy cursor, where the output goes locked
  bool AbortRequested = false;
  int ProgressPosition = 0;
  int ProgressMaximum = 100;
  std::int64_t PrintedBytes = 0;
  TBitmap32 Preview;
  TRectI PreviewRect{0, 0, 1, 1};
};

class TDriver : private TPrintListener {
 public:
  /// Creates the engine and the raster library object (nothing loaded).
  TDriver(TDriverEnvironment environment, TDriverUi& ui);
  /// Sends the final progress report and releases the engine.
  ~TDriver() override;
  TDriver(const TDriver&) = delete;
  TDriver& operator=(const TDriver&) = delete;

  // Start-up and slab loading.
  /// The command-line arguments joined with blanks name the slab; loads it
  /// when it exists, draws the preview, loads the media list. Errors go to
  /// the error box and end the start-up there.
  void StartupLoad(const std::vector<std::string>& arguments);
  /// Loads a slab into the engine and refreshes the view; throws "Unable to
  /// open RIP File" when the engine cannot load it; false when its inks
  /// cannot be prepared (the reason is shown).
  bool LoadSlabFile(const std::string& path);
  /// The reload button.
  void Reload();
  void DrawPreview(const std::string& slabPath);
  /// Loads the raster library when needed, reads the printer model id of
  /// `printer` from its description file and asks the library about it.
  void LoadPrinterModel(const std::string& printer);
  bool QueryPrinterModel();
  void ShowResolution();

  // The media page.
  void ApplyMedia(const std::string& name);
  /// "Update": asks "Update this media?" and saves on Yes.
  void UpdateMedia();
  /// "+": asks for a name; a listed name is refused with an error box.
  void AddMedia();
  /// "-": deletes the selected media without asking.
  void DeleteMedia();

  // The print run.
  /// "Print Now": prints the slab once with the controls as they are, shows
  /// why when it did not print, and closes the window. With problems found
  /// when the slab loaded it asks first, and does nothing on No.
  void PrintNow();
  /// "Abort": the print stops before its next render row.
  void RequestAbort();
  /// The ICC and drivers folders the loaded slab uses.
  const TFolderChoice& IccFolder() const { return Icc_; }
  /// What the proof of the loaded slab needs, `width` pixels wide at most.
  TProofRequest ProofRequest(int width) const;
  const TFolderChoice& DriversFolder() const { return Drivers_; }
  /// What the last "Print Now" did.
  const TPrintOutcome& LastPrint() const { return LastPrint_; }

  /// The "View XML" page's text.
  std::string ViewXml();

  TDriverControls Controls;
  const TDriverView& View() const { return View_; }
  const TMediaList& Media() const { return Media_; }
  const TRef<TRipSlab>& Slab() const { return Slab_; }
  const std::string& PrinterModelId() const { return Controls.Job.PrinterModelId; }
  const HPDRLGL_PrinterInfo& PrinterInfo() const { return PrinterInfo_; }

 private:
  void ProcessEvents() override;
  void Progress(const TPrintProgress& progress) override;
  void Note(const std::string& text) override;

  TDriverEnvironment Env_;
  TFolderChoice Icc_;
  TFolderChoice Drivers_;
  TDriverUi& Ui_;
  TDriverView View_;
  TRef<TRipEngine> Engine_;
  THPDJLIB Library_;
  TRef<TRipSlab> Slab_;
  TMediaList Media_;
  THostChannel Host_;
  HPDRLGL_PrinterInfo PrinterInfo_{};
  TPrintRun* Printing_ = nullptr;  // the print under way
  TPrintOutcome LastPrint_;
};

}  // namespace slabrip
