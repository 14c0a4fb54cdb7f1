// The driver window: a thin Qt front end over TDriver, which holds all the
// window's logic. The widgets mirror TDriver::Controls (every edit is copied
// in at once) and show TDriver::View() whenever the driver asks to refresh.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace slabrip {

class TPreviewBox;
class TProofPage;

class THPDJRipFr2 : public QWidget, public TDriverUi {
  Q_OBJECT

 public:
  /// The test-output file box's dialog filter.
  static constexpr const char* kTestOutputFilter = "PRN File (*.prn);;All files (*.*)";

  /// The controls, reachable for tests and the screenshot.
  struct TWidgets {
    TPreviewBox* Preview = nullptr;
    QTabWidget* Tabs = nullptr;
    QLineEdit* SlabFile = nullptr;
    QToolButton* SlabFileBrowse = nullptr;
    QToolButton* Reload = nullptr;
    QLabel* JobInformation = nullptr;
    QLabel* Problems = nullptr;  // what the slab would print other than laid out
    QLabel* Resolution = nullptr;
    QComboBox* InkLevel = nullptr;
    QComboBox* Direction = nullptr;
    QComboBox* Passes = nullptr;
    QCheckBox* TestOutput = nullptr;
    QWidget* TestOutputBox = nullptr;  // the file edit and its browse button
    QLineEdit* TestOutputFile = nullptr;
    QLineEdit* MediaTypeId = nullptr;
    QComboBox* Media = nullptr;
    QCheckBox* Cutter = nullptr;
    QToolButton* UpdateMedia = nullptr;
    QToolButton* AddMedia = nullptr;
    QToolButton* DeleteMedia = nullptr;
    std::array<QDoubleSpinBox*, kMediaValues.size()> MediaValues{};  // in the order of kMediaValues
    std::array<QLabel*, kMediaValues.size()> MediaValueLabels{};
    QPushButton* ViewXml = nullptr;
    QPlainTextEdit* Xml = nullptr;
    TProofPage* Proof = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* PrintNow = nullptr;
    QCheckBox* Abort = nullptr;
  };

  /// Builds the widgets and the driver; nothing is loaded until Start.
  explicit THPDJRipFr2(TDriverEnvironment environment, QWidget* parent = nullptr);
  ~THPDJRipFr2() override;
  THPDJRipFr2(const THPDJRipFr2&) = delete;
  THPDJRipFr2& operator=(const THPDJRipFr2&) = delete;

  /// Start-up: the arguments name the slab (joined with blanks); loads it,
  /// draws the preview and loads the media list. Kept out of the constructor
  /// so that a derived window's boxes are already in place.
  void Start(const std::vector<std::string>& arguments);

  TDriver& Driver() { return *Driver_; }
  const TWidgets& Widgets() const { return W_; }

  // The boxes are modal Qt dialogs; a derived window may answer them itself.
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  bool Confirm(const std::string& question) override;
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt) override;
  void ProcessEvents() final;
  void Refresh() final;
  void Close() final;

 protected:
  /// Closing while a print runs ticks "Abort" instead: the print ends and
  /// closes the window itself.
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildPrintSettingsPage();
  QWidget* BuildMediaSettingsPage();
  QWidget* BuildXmlPage();
  void ConnectControls();
  void BrowseSlabFile();
  void BrowseTestOutputFile();
  void SetBusyCursor(bool busy);
  /// Runs a handler; what it raises goes to the error box.
  template <typename Step>
  void Handle(Step&& step);
  /// Copies a widget's edit into the driver's controls, unless Refresh is
  /// writing the widgets from them.
  template <typename Edit>
  void Collect(Edit&& edit);

  std::unique_ptr<TDriver> Driver_;
  TWidgets W_;
  bool Refreshing_ = false;
  bool BusyCursor_ = false;
  bool Centred_ = false;
};

}  // namespace slabrip
