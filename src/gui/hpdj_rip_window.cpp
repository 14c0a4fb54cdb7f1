#include "gui/hpdj_rip_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/preview_box.h"
#include "gui/proof_page.h"

namespace slabrip {
namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }
std::string FromQt(const QString& text) { return text.toStdString(); }

// Sets a line edit's text only when it differs, so the caret stays put while typing.
void SetText(QLineEdit* edit, const std::string& text) {
  const QString value = ToQt(text);
  if (edit->text() != value) edit->setText(value);
}

// The arrow cursor over a box that opens while a print shows the busy cursor.
class TNormalCursor {
 public:
  TNormalCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~TNormalCursor() { QApplication::restoreOverrideCursor(); }
  TNormalCursor(const TNormalCursor&) = delete;
  TNormalCursor& operator=(const TNormalCursor&) = delete;
};

QToolButton* SmallButton(const QString& text, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  return button;
}

// A file-name edit with its browse button in one box, enabled as one.
QWidget* FileNameEdit(QLineEdit*& edit, QToolButton*& browse, QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  edit = new QLineEdit(box);
  browse = SmallButton(QStringLiteral("..."), box);
  layout->addWidget(edit, 1);
  layout->addWidget(browse);
  return box;
}

}  // namespace

THPDJRipFr2::THPDJRipFr2(TDriverEnvironment environment, QWidget* parent) : QWidget(parent) {
  setWindowTitle(QString::fromLatin1(TDriverView::kTitle));

  W_.Preview = new TPreviewBox(environment.PreviewWidth, environment.PreviewHeight, this);
  W_.Tabs = new QTabWidget(this);
  W_.Tabs->addTab(BuildPrintSettingsPage(), QStringLiteral("Print Settings"));
  W_.Tabs->addTab(BuildMediaSettingsPage(), QStringLiteral("Media Settings"));
  W_.Tabs->addTab(BuildXmlPage(), QStringLiteral("XML"));
  W_.Proof = new TProofPage;
  W_.Tabs->addTab(W_.Proof, QStringLiteral("Proof"));
  W_.Tabs->setCurrentIndex(0);

  W_.Progress = new QProgressBar(this);
  W_.Progress->setRange(0, 100);
  W_.Progress->setValue(0);
  W_.Progress->setTextVisible(false);
  W_.PrintNow = new QPushButton(QStringLiteral("Print Now"), this);
  W_.PrintNow->setDefault(true);
  W_.Abort = new QCheckBox(QStringLiteral("Abort"), this);
  W_.Abort->setVisible(false);

  auto* commands = new QHBoxLayout;
  commands->addWidget(W_.Abort);
  commands->addStretch(1);
  commands->addWidget(W_.PrintNow);

  auto* right = new QVBoxLayout;
  right->addWidget(W_.Tabs, 1);
  right->addWidget(W_.Progress);
  right->addLayout(commands);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(W_.Preview, 0, Qt::AlignTop);
  layout->addLayout(right, 1);

  Driver_ = std::make_unique<TDriver>(std::move(environment), *this);
  ConnectControls();
  Refresh();
}

THPDJRipFr2::~THPDJRipFr2() {
  SetBusyCursor(false);
  // The driver reports its end while the widgets still exist.
  Driver_.reset();
}

QWidget* THPDJRipFr2::BuildPrintSettingsPage() {
  auto* page = new QWidget;

  auto* source = new QGroupBox(QStringLiteral("Source File"), page);
  auto* sourceLayout = new QVBoxLayout(source);
  sourceLayout->addWidget(FileNameEdit(W_.SlabFile, W_.SlabFileBrowse, source));
  auto* information = new QHBoxLayout;
  information->addWidget(new QLabel(QStringLiteral("Job Information"), source));
  W_.Reload = new QToolButton(source);
  W_.Reload->setAutoRaise(true);
  W_.Reload->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  W_.Reload->setToolTip(QStringLiteral("Reload"));
  information->addWidget(W_.Reload);
  W_.JobInformation = new QLabel(source);
  information->addWidget(W_.JobInformation, 1);
  sourceLayout->addLayout(information);
  W_.Problems = new QLabel(source);
  W_.Problems->setWordWrap(true);
  W_.Problems->setStyleSheet(QStringLiteral("color: #b00000"));
  W_.Problems->setVisible(false);
  sourceLayout->addWidget(W_.Problems);

  auto* mode = new QGroupBox(QStringLiteral("Print Mode"), page);
  auto* modeLayout = new QFormLayout(mode);
  W_.Resolution = new QLabel(mode);
  modeLayout->addRow(QStringLiteral("Resolution"), W_.Resolution);
  W_.InkLevel = new QComboBox(mode);
  W_.InkLevel->addItems({QStringLiteral("Low"), QStringLiteral("High")});
  modeLayout->addRow(QStringLiteral("Ink Level"), W_.InkLevel);
  W_.Direction = new QComboBox(mode);
  W_.Direction->addItems({QStringLiteral("Bidir"), QStringLiteral("Unidir")});
  modeLayout->addRow(QStringLiteral("Direction"), W_.Direction);
  W_.Passes = new QComboBox(mode);
  W_.Passes->setEditable(true);
  W_.Passes->setInsertPolicy(QComboBox::NoInsert);
  W_.Passes->addItems({QStringLiteral("4"), QStringLiteral("6"), QStringLiteral("8"), QStringLiteral("10"),
                       QStringLiteral("12"), QStringLiteral("16"), QStringLiteral("18")});
  modeLayout->addRow(QStringLiteral("Passes"), W_.Passes);

  auto* options = new QGroupBox(QStringLiteral("Options"), page);
  auto* optionsLayout = new QVBoxLayout(options);
  W_.TestOutput = new QCheckBox(QStringLiteral("Test Output"), options);
  optionsLayout->addWidget(W_.TestOutput);
  QToolButton* browse = nullptr;
  W_.TestOutputBox = FileNameEdit(W_.TestOutputFile, browse, options);
  connect(browse, &QToolButton::clicked, this, [this] { BrowseTestOutputFile(); });
  optionsLayout->addWidget(W_.TestOutputBox);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(source);
  layout->addWidget(mode);
  layout->addWidget(options);
  layout->addStretch(1);
  return page;
}

QWidget* THPDJRipFr2::BuildMediaSettingsPage() {
  auto* page = new QWidget;

  auto* group = new QGroupBox(QStringLiteral("Media "), page);
  auto* groupLayout = new QGridLayout(group);
  groupLayout->addWidget(new QLabel(QStringLiteral("Media Type ID"), group), 0, 0);
  W_.MediaTypeId = new QLineEdit(group);
  groupLayout->addWidget(W_.MediaTypeId, 0, 1);
  W_.Cutter = new QCheckBox(QStringLiteral("Cutter"), group);
  groupLayout->addWidget(W_.Cutter, 0, 2, 1, 3);
  W_.Media = new QComboBox(group);
  W_.Media->setObjectName(QStringLiteral("comboMediaPS"));
  W_.Media->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  W_.Media->setMinimumContentsLength(16);
  groupLayout->addWidget(W_.Media, 1, 0, 1, 2);
  W_.UpdateMedia = SmallButton(QStringLiteral("Update"), group);
  W_.AddMedia = SmallButton(QStringLiteral("+"), group);
  W_.DeleteMedia = SmallButton(QStringLiteral("-"), group);
  groupLayout->addWidget(W_.UpdateMedia, 1, 2);
  groupLayout->addWidget(W_.AddMedia, 1, 3);
  groupLayout->addWidget(W_.DeleteMedia, 1, 4);

  auto* values = new QGridLayout;
  int row = 0;
  for (std::size_t i = 0; i < kMediaValues.size(); ++i) {
    const TMediaValue& value = kMediaValues[i];
    if (value.Value == &THPMediaValues::DryTemp) {
      // Tension, advance and vacuum handle the media; the rest are the heaters.
      auto* line = new QFrame(page);
      line->setFrameShape(QFrame::HLine);
      line->setFrameShadow(QFrame::Sunken);
      values->addWidget(line, row++, 0, 1, 2);
    }
    auto* label = new QLabel(
        QStringLiteral("%1 (%2)").arg(QLatin1String(value.Label), QLatin1String(value.Unit)), page);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* spin = new QDoubleSpinBox(page);
    spin->setDecimals(2);
    spin->setSingleStep(1);
    spin->setRange(value.Min, value.Max);
    // An unlimited range would size the box for 300 digits.
    spin->setFixedWidth(110);
    spin->setAlignment(Qt::AlignRight);
    label->setBuddy(spin);
    values->addWidget(label, row, 0);
    values->addWidget(spin, row++, 1);
    W_.MediaValueLabels[i] = label;
    W_.MediaValues[i] = spin;
  }
  values->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(group);
  layout->addLayout(values);
  layout->addStretch(1);
  return page;
}

QWidget* THPDJRipFr2::BuildXmlPage() {
  auto* page = new QWidget;
  W_.ViewXml = new QPushButton(QStringLiteral("View XML"), page);
  W_.Xml = new QPlainTextEdit(page);
  W_.Xml->setReadOnly(true);
  W_.Xml->setLineWrapMode(QPlainTextEdit::NoWrap);
  W_.Xml->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(W_.ViewXml, 0, Qt::AlignLeft);
  layout->addWidget(W_.Xml, 1);
  return page;
}

template <typename Step>
void THPDJRipFr2::Handle(Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

template <typename Edit>
void THPDJRipFr2::Collect(Edit&& edit) {
  if (!Refreshing_ && Driver_) edit(Driver_->Controls);
}

void THPDJRipFr2::ConnectControls() {
  connect(W_.SlabFile, &QLineEdit::textChanged, this,
          [this](const QString& text) { Collect([&](TDriverControls& c) { c.SlabFile = FromQt(text); }); });
  connect(W_.SlabFileBrowse, &QToolButton::clicked, this, [this] { BrowseSlabFile(); });
  connect(W_.Reload, &QToolButton::clicked, this, [this] {
    W_.Proof->Clear();
    Handle([&] { Driver_->Reload(); });
  });

  connect(W_.InkLevel, &QComboBox::currentIndexChanged, this,
          [this](int index) { Collect([&](TDriverControls& c) { c.Job.HighInkLevel = index == 1; }); });
  connect(W_.Direction, &QComboBox::currentIndexChanged, this,
          [this](int index) { Collect([&](TDriverControls& c) { c.Job.Unidirectional = index == 1; }); });
  connect(W_.Passes, &QComboBox::editTextChanged, this,
          [this](const QString& text) { Collect([&](TDriverControls& c) { c.Job.Passes = FromQt(text); }); });

  connect(W_.TestOutput, &QCheckBox::toggled, this, [this](bool on) {
    W_.TestOutputBox->setEnabled(on && !Driver_->View().Printing);
    Collect([&](TDriverControls& c) { c.TestOutput = on; });
  });
  connect(W_.TestOutputFile, &QLineEdit::textChanged, this, [this](const QString& text) {
    Collect([&](TDriverControls& c) { c.TestOutputFile = FromQt(text); });
  });
  connect(W_.Abort, &QCheckBox::toggled, this, [this](bool on) {
    if (on && !Refreshing_) Driver_->RequestAbort();
  });

  connect(W_.MediaTypeId, &QLineEdit::textChanged, this, [this](const QString& text) {
    Collect([&](TDriverControls& c) { c.Job.MediaTypeId = FromQt(text); });
  });
  connect(W_.Cutter, &QCheckBox::toggled, this,
          [this](bool on) { Collect([&](TDriverControls& c) { c.Job.Cutter = on; }); });
  for (std::size_t i = 0; i < W_.MediaValues.size(); ++i) {
    connect(W_.MediaValues[i], &QDoubleSpinBox::valueChanged, this, [this, i](double value) {
      Collect([&](TDriverControls& c) { c.Job.Media.*kMediaValues[i].Value = value; });
    });
  }
  // Only a name the operator picks applies its values; Refresh selects silently.
  connect(W_.Media, &QComboBox::activated, this, [this](int index) {
    const std::string name = FromQt(W_.Media->itemText(index));
    Collect([&](TDriverControls& c) { c.Job.MediaName = name; });
    Handle([&] { Driver_->ApplyMedia(name); });
  });
  connect(W_.UpdateMedia, &QToolButton::clicked, this, [this] { Handle([&] { Driver_->UpdateMedia(); }); });
  connect(W_.AddMedia, &QToolButton::clicked, this, [this] { Handle([&] { Driver_->AddMedia(); }); });
  connect(W_.DeleteMedia, &QToolButton::clicked, this, [this] { Handle([&] { Driver_->DeleteMedia(); }); });

  connect(W_.ViewXml, &QPushButton::clicked, this, [this] {
    W_.Xml->clear();
    Handle([&] { W_.Xml->setPlainText(ToQt(Driver_->ViewXml())); });
  });
  // A proof draws on an engine of its own; it stops before the print starts.
  connect(W_.PrintNow, &QPushButton::clicked, this, [this] {
    W_.Proof->Cancel();
    Handle([&] { Driver_->PrintNow(); });
  });
  connect(W_.Proof, &TProofPage::ProofRequested, this,
          [this] { W_.Proof->Start(Driver_->ProofRequest(TProofPage::kWidth)); });
}

void THPDJRipFr2::Start(const std::vector<std::string>& arguments) {
  Handle([&] { Driver_->StartupLoad(arguments); });
  Refresh();
}

void THPDJRipFr2::BrowseSlabFile() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Source File"), W_.SlabFile->text(),
                                                    QStringLiteral("RIP Slab (*.RipSlab);;All files (*.*)"));
  if (!path.isEmpty()) W_.SlabFile->setText(path);
}

void THPDJRipFr2::BrowseTestOutputFile() {
  QFileDialog dialog(this, QStringLiteral("Test Output"), W_.TestOutputFile->text(),
                     QString::fromLatin1(kTestOutputFilter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("prn"));
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    W_.TestOutputFile->setText(dialog.selectedFiles().constFirst());
}

void THPDJRipFr2::ShowMessage(const std::string& text) {
  const TNormalCursor cursor;
  QMessageBox::information(isVisible() ? this : nullptr, windowTitle(), ToQt(text));
}

void THPDJRipFr2::ShowError(const std::string& text) {
  const TNormalCursor cursor;
  QMessageBox::critical(isVisible() ? this : nullptr, windowTitle(), ToQt(text));
}

bool THPDJRipFr2::Confirm(const std::string& question) {
  const TNormalCursor cursor;
  return QMessageBox::question(isVisible() ? this : nullptr, windowTitle(), ToQt(question),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> THPDJRipFr2::InputBox(const std::string& title, const std::string& prompt) {
  const TNormalCursor cursor;
  bool ok = false;
  const QString text = QInputDialog::getText(isVisible() ? this : nullptr, ToQt(title), ToQt(prompt),
                                             QLineEdit::Normal, {}, &ok);
  if (!ok) return std::nullopt;
  return FromQt(text);
}

void THPDJRipFr2::ProcessEvents() { QCoreApplication::processEvents(); }

void THPDJRipFr2::Refresh() {
  if (!Driver_) return;
  const TDriverView& view = Driver_->View();
  const TDriverControls& c = Driver_->Controls;
  const TMediaList& media = Driver_->Media();
  Refreshing_ = true;

  setWindowTitle(ToQt(view.Caption));
  W_.Preview->SetBitmap(view.Preview);
  W_.JobInformation->setText(ToQt(view.JobInformation));
  QStringList problems;
  for (const std::string& problem : view.Problems) problems.append(ToQt(problem));
  W_.Problems->setText(problems.join(QLatin1Char('\n')));
  W_.Problems->setVisible(!problems.isEmpty());
  W_.Resolution->setText(ToQt(view.Resolution));
  W_.Progress->setRange(0, std::max(view.ProgressMaximum, 0));
  W_.Progress->setValue(view.ProgressPosition);
  W_.PrintNow->setEnabled(view.PrintNowEnabled && !view.Printing);
  if (!W_.Proof->Busy()) W_.Proof->Widgets().Proof->setEnabled(view.PrintNowEnabled && !view.Printing);
  W_.PrintNow->setVisible(!view.Printing);
  W_.Abort->setVisible(view.Printing);
  // Loading another slab in the middle of a print would pull it from under the run.
  W_.SlabFile->setEnabled(!view.Printing);
  W_.SlabFileBrowse->setEnabled(!view.Printing);
  W_.Reload->setEnabled(!view.Printing);
  // Where the printer data goes is fixed once the print begins.
  W_.TestOutput->setEnabled(!view.Printing);

  SetText(W_.SlabFile, c.SlabFile);
  W_.InkLevel->setCurrentIndex(c.Job.HighInkLevel ? 1 : 0);
  W_.Direction->setCurrentIndex(c.Job.Unidirectional ? 1 : 0);
  if (W_.Passes->currentText() != ToQt(c.Job.Passes)) W_.Passes->setEditText(ToQt(c.Job.Passes));
  W_.TestOutput->setChecked(c.TestOutput);
  W_.TestOutputBox->setEnabled(c.TestOutput && !view.Printing);
  SetText(W_.TestOutputFile, c.TestOutputFile);
  W_.Abort->setChecked(view.AbortRequested);
  SetText(W_.MediaTypeId, c.Job.MediaTypeId);
  W_.Cutter->setChecked(c.Job.Cutter);

  QStringList names;
  for (const std::string& name : media.Names()) names.append(ToQt(name));
  QStringList shown;
  for (int i = 0; i < W_.Media->count(); ++i) shown.append(W_.Media->itemText(i));
  if (shown != names) {
    W_.Media->clear();
    W_.Media->addItems(names);
  }
  W_.Media->setCurrentIndex(media.Selected());
  for (std::size_t i = 0; i < W_.MediaValues.size(); ++i) {
    // The box keeps two decimals; the job ticket takes the value as the box shows it.
    double& value = Driver_->Controls.Job.Media.*kMediaValues[i].Value;
    W_.MediaValues[i]->setValue(value);
    value = W_.MediaValues[i]->value();
  }

  SetBusyCursor(view.Printing);
  Refreshing_ = false;
}

void THPDJRipFr2::Close() {
  // The print has ended by now: show "Print Now" and the normal cursor again.
  Refresh();
  close();
}

void THPDJRipFr2::SetBusyCursor(bool busy) {
  if (busy == BusyCursor_) return;
  BusyCursor_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void THPDJRipFr2::closeEvent(QCloseEvent* event) {
  if (Driver_ && Driver_->View().Printing) {
    W_.Abort->setChecked(true);
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void THPDJRipFr2::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Centred_) return;
  Centred_ = true;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

}  // namespace slabrip
