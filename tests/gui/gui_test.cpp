// The driver window driven offscreen: what it shows, how edits reach the
// driver, the media page's buttons, loading the demo slab and printing.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <limits>

#include "gui/hpdj_rip_window.h"
#include "gui/preview_box.h"

namespace slabrip {
namespace {

const QString kDemoSlab = QStringLiteral(SLABRIP_DEMO_DIR "/40E42ACCBAD66E1E.RipSlab");

// Answers the boxes from queues and records what they said; an unexpected
// question fails the test instead of blocking it.
class TTestWindow : public THPDJRipFr2 {
 public:
  using THPDJRipFr2::THPDJRipFr2;
  std::vector<std::string> Messages, Errors, Questions;
  std::deque<bool> Answers;
  std::deque<std::optional<std::string>> Inputs;

  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  bool Confirm(const std::string& question) override {
    Questions.push_back(question);
    if (Answers.empty()) return false;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::optional<std::string> InputBox(const std::string& /*title*/, const std::string& prompt) override {
    Questions.push_back(prompt);
    if (Inputs.empty()) return std::nullopt;
    std::optional<std::string> answer = Inputs.front();
    Inputs.pop_front();
    return answer;
  }
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace

class TGuiTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir_;

  QString File(const QString& name) const { return Dir_->filePath(name); }

  TDriverEnvironment Environment() const {
    TDriverEnvironment env;
    env.IccFolder = SLABRIP_DEMO_ICC_DIR "/";
    env.DriversFolder = SLABRIP_DEMO_DRIVERS_DIR "/";
    env.PrintJobsFolder = Dir_->path().toStdString() + "/";
    env.LibraryFolder = SLABRIP_LIBRARY_DIR "/";
    env.MediaSettingsFile = File(QStringLiteral("media.ini")).toStdString();
    env.RuntimeFolder = Dir_->path().toStdString();
    return env;
  }

  // The demo with its documents in the temporary folder, [Info] keys replaced:
  // a small render keeps a print short.
  QString CopyDemo(const QMap<QString, QString>& info) const {
    const QDir demo(QStringLiteral(SLABRIP_DEMO_DIR));
    for (const QString& name : demo.entryList(QDir::Files)) QFile::copy(demo.filePath(name), File(name));
    const QString slab = File(QFileInfo(kDemoSlab).fileName());
    QString text = QString::fromUtf8(ReadAll(slab));
    for (auto it = info.begin(); it != info.end(); ++it)
      text.replace(QRegularExpression(QStringLiteral("(?m)^%1=[^\r\n]*").arg(it.key())), it.key() + '=' + it.value());
    WriteAll(slab, text.toUtf8());
    return slab;
  }

  QString CopySmallDemo() const {
    return CopyDemo({{QStringLiteral("RenderWidth"), QStringLiteral("320")},
                     {QStringLiteral("RenderHeight"), QStringLiteral("120")},
                     {QStringLiteral("RipWidth"), QStringLiteral("640")},
                     {QStringLiteral("RipHeight"), QStringLiteral("240")}});
  }

 private slots:
  void init() {
    Dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(Dir_->isValid());
  }
  void cleanup() { Dir_.reset(); }

  void initialState() {
    TTestWindow window(Environment());
    window.Start({});
    window.show();
    const auto& w = window.Widgets();
    QCOMPARE(window.windowTitle(), QStringLiteral("slabrip"));
    QCOMPARE(w.Tabs->tabText(0), QStringLiteral("Print Settings"));
    QCOMPARE(w.Tabs->tabText(1), QStringLiteral("Media Settings"));
    QCOMPARE(w.Tabs->tabText(2), QStringLiteral("XML"));
    QCOMPARE(w.Tabs->currentIndex(), 0);
    QStringList groups;
    for (const QGroupBox* group : window.findChildren<QGroupBox*>()) groups << group->title();
    groups.sort();
    QCOMPARE(groups, (QStringList{"Media ", "Options", "Print Mode", "Source File"}));

    QCOMPARE(w.JobInformation->text(), QStringLiteral("No Job Loaded.."));
    QCOMPARE(w.Resolution->text(), QStringLiteral("300 DPI"));
    QCOMPARE(Items(w.InkLevel), (QStringList{"Low", "High"}));
    QCOMPARE(w.InkLevel->currentText(), QStringLiteral("Low"));
    QCOMPARE(Items(w.Direction), (QStringList{"Bidir", "Unidir"}));
    QCOMPARE(w.Direction->currentText(), QStringLiteral("Bidir"));
    QCOMPARE(Items(w.Passes), (QStringList{"4", "6", "8", "10", "12", "16", "18"}));
    QVERIFY(w.Passes->isEditable());
    QCOMPARE(w.Passes->currentText(), QStringLiteral("10"));
    QVERIFY(!w.TestOutput->isChecked());
    QVERIFY(!w.TestOutputFile->isEnabled());
    QCOMPARE(w.TestOutputFile->text(), File(QStringLiteral("hptest.prn")));

    QCOMPARE(w.Preview->size(), QSize(385, 505));
    QCOMPARE(w.Progress->maximum(), 100);
    QCOMPARE(w.Progress->value(), 0);
    QVERIFY(w.PrintNow->isVisible());
    QCOMPARE(w.PrintNow->text(), QStringLiteral("Print Now"));
    QVERIFY(!w.Abort->isVisible());
    QVERIFY(window.Errors.empty() && window.Messages.empty());
  }

  void mediaPageInitialState() {
    TTestWindow window(Environment());
    window.Start({});
    window.show();
    const auto& w = window.Widgets();
    w.Tabs->setCurrentIndex(1);
    QApplication::processEvents();
    QCOMPARE(w.MediaTypeId->text(), QStringLiteral("10070"));
    QCOMPARE(Items(w.Media), QStringList{"HP_RIP_CUSTOM_MEDIA"});
    QCOMPARE(w.Media->currentIndex(), 0);
    QCOMPARE(w.Media->objectName(), QStringLiteral("comboMediaPS"));
    QCOMPARE(w.Cutter->text(), QStringLiteral("Cutter"));
    QVERIFY(!w.Cutter->isChecked());
    QCOMPARE(w.UpdateMedia->text(), QStringLiteral("Update"));
    QCOMPARE(w.AddMedia->text(), QStringLiteral("+"));
    QCOMPARE(w.DeleteMedia->text(), QStringLiteral("-"));

    const QStringList labels{"Input Tension  (Nm)",   "Advance Factor (mm/M)", "Vacuum (mmH20)",
                             "Dry Temp (Deg C)",      "Cure Temp (Deg C)",     "Dry Warmup (Deg C)",
                             "Cure Warmup (Deg C)",   "Dry CoolDown (Deg C)",  "Cure CoolDown (Deg C)",
                             "Dry Power Min (Watts)", "Heat Air Flow (%)"};
    const std::array<double, 11> values{15, 0, 30, 55, 70, 50, 40, 30, 20, 200, 75};
    for (int i = 0; i < 11; ++i) {
      const auto k = static_cast<std::size_t>(i);
      QCOMPARE(w.MediaValueLabels[k]->text(), labels[i]);
      QVERIFY(w.MediaValueLabels[k]->alignment() & Qt::AlignRight);
      const QDoubleSpinBox* spin = w.MediaValues[k];
      QCOMPARE(spin->value(), values[k]);
      QCOMPARE(spin->decimals(), 2);
      QCOMPARE(spin->singleStep(), 1.0);
      QCOMPARE(spin->minimum(), std::numeric_limits<double>::lowest());
      QCOMPARE(spin->maximum(), std::numeric_limits<double>::max());
      // Each label sits on the row of its own box.
      QVERIFY(std::abs(w.MediaValueLabels[k]->geometry().center().y() - spin->geometry().center().y()) < 4);
    }
    // One line, between the vacuum and the dry temperature.
    const auto lines = w.Tabs->widget(1)->findChildren<QFrame*>(Qt::FindDirectChildrenOnly);
    int separators = 0;
    for (const QFrame* frame : lines) {
      if (frame->frameShape() != QFrame::HLine) continue;
      ++separators;
      QVERIFY(frame->geometry().top() >= w.MediaValues[2]->geometry().bottom());
      QVERIFY(frame->geometry().bottom() <= w.MediaValues[3]->geometry().top());
    }
    QCOMPARE(separators, 1);
  }

  void editsReachTheDriverAndBack() {
    TTestWindow window(Environment());
    window.Start({});
    const auto& w = window.Widgets();
    const TDriverControls& c = window.Driver().Controls;

    w.TestOutput->click();
    QVERIFY(w.TestOutputFile->isEnabled());
    QVERIFY(c.TestOutput);
    w.TestOutput->click();
    QVERIFY(!w.TestOutputFile->isEnabled());
    QVERIFY(!c.TestOutput);

    w.TestOutputFile->setText(QStringLiteral("/tmp/x.prn"));
    w.SlabFile->setText(QStringLiteral("/tmp/a b.RipSlab"));
    w.InkLevel->setCurrentIndex(1);
    w.Direction->setCurrentIndex(1);
    w.Passes->setEditText(QStringLiteral("7"));
    w.MediaTypeId->setText(QStringLiteral("10080"));
    w.Cutter->setChecked(true);
    w.Abort->setChecked(true);
    for (std::size_t i = 0; i < 11; ++i) w.MediaValues[i]->setValue(100.0 + static_cast<double>(i));
    QCOMPARE(c.TestOutputFile, std::string("/tmp/x.prn"));
    QCOMPARE(c.SlabFile, std::string("/tmp/a b.RipSlab"));
    QVERIFY(c.Job.HighInkLevel);
    QVERIFY(c.Job.Unidirectional);
    QCOMPARE(c.Job.Passes, std::string("7"));
    QCOMPARE(c.Job.MediaTypeId, std::string("10080"));
    QVERIFY(c.Job.Cutter);
    QVERIFY(c.Abort);
    QCOMPARE(c.Job.Media.InputTension, 100.0);
    QCOMPARE(c.Job.Media.Vacuum, 102.0);
    QCOMPARE(c.Job.Media.DryCoolDown, 107.0);
    QCOMPARE(c.Job.Media.HeatAirFlow, 110.0);

    // What the driver sets shows after a refresh, without being echoed back.
    window.Driver().Controls.Job.Media.CureTemp = 61.25;
    window.Driver().Controls.Job.Passes = "16";
    window.Refresh();
    QCOMPARE(w.MediaValues[4]->value(), 61.25);
    QCOMPARE(w.Passes->currentText(), QStringLiteral("16"));
    QCOMPARE(c.Job.Media.CureTemp, 61.25);
  }

  void addMedia() {
    const QString ini = File(QStringLiteral("media.ini"));
    WriteAll(ini, "[Canvas]\r\nInputTension=10\r\n[Banner]\r\nInputTension=20\r\n");
    TTestWindow window(Environment());
    window.Start({});
    const auto& w = window.Widgets();
    QCOMPARE(Items(w.Media), (QStringList{"Canvas", "Banner"}));
    QCOMPARE(w.Media->currentText(), QStringLiteral("Canvas"));
    QCOMPARE(w.MediaValues[0]->value(), 10.0);

    window.Inputs = {std::string("banner")};
    w.AddMedia->click();
    QCOMPARE(window.Errors, std::vector<std::string>{"The selected media name already exists!\nbanner"});
    QCOMPARE(Items(w.Media), (QStringList{"Canvas", "Banner"}));
    QCOMPARE(w.Media->currentText(), QStringLiteral("Canvas"));

    window.Inputs = {std::nullopt};
    w.AddMedia->click();
    QCOMPARE(w.Media->count(), 2);

    window.Inputs = {std::string("Mesh")};
    w.AddMedia->click();
    QCOMPARE(Items(w.Media), (QStringList{"Canvas", "Banner", "Mesh"}));
    QCOMPARE(w.Media->currentText(), QStringLiteral("Mesh"));
    QCOMPARE(window.Driver().Controls.Job.MediaName, std::string("Mesh"));
    QCOMPARE(w.MediaValues[0]->value(), 10.0);
    QCOMPARE(window.Errors.size(), std::size_t{1});
    QVERIFY(!ReadAll(ini).contains("Mesh"));
  }

  void updateMediaAsksFirst() {
    const QString ini = File(QStringLiteral("media.ini"));
    const QByteArray before = "[Canvas]\r\nInputTension=10\r\n";
    WriteAll(ini, before);
    TTestWindow window(Environment());
    window.Start({});
    const auto& w = window.Widgets();
    w.MediaValues[0]->setValue(12.5);

    window.Answers = {false};
    w.UpdateMedia->click();
    QCOMPARE(window.Questions, std::vector<std::string>{"Update this media?"});
    QCOMPARE(ReadAll(ini), before);

    window.Answers = {true};
    w.UpdateMedia->click();
    QVERIFY(ReadAll(ini).contains("InputTension=12.5"));
    QVERIFY(window.Errors.empty());
  }

  void deleteLastOfThreeSelectsNewLast() {
    const QString ini = File(QStringLiteral("media.ini"));
    WriteAll(ini, "[A]\r\nDryTemp=51\r\n[B]\r\nDryTemp=52\r\nCureTemp=72\r\n[C]\r\nDryTemp=53\r\nCureTemp=73\r\n");
    TTestWindow window(Environment());
    window.Start({});
    const auto& w = window.Widgets();
    QCOMPARE(w.MediaValues[3]->value(), 51.0);

    // Picking a name applies its values.
    w.Media->setCurrentIndex(2);
    emit w.Media->activated(2);
    QCOMPARE(w.MediaValues[3]->value(), 53.0);
    QCOMPARE(w.MediaValues[4]->value(), 73.0);

    w.DeleteMedia->click();
    QCOMPARE(Items(w.Media), (QStringList{"A", "B"}));
    QCOMPARE(w.Media->currentText(), QStringLiteral("B"));
    QCOMPARE(w.MediaValues[3]->value(), 52.0);
    QCOMPARE(w.MediaValues[4]->value(), 72.0);
    QCOMPARE(window.Driver().Controls.Job.MediaName, std::string("B"));
    QVERIFY(!ReadAll(ini).contains("[C]"));
    QVERIFY(window.Questions.empty());
  }

  void loadsTheDemoSlab() {
    TTestWindow window(Environment());
    window.Start({kDemoSlab.toStdString()});
    const auto& w = window.Widgets();
    QCOMPARE(window.Errors, std::vector<std::string>{});
    QCOMPARE(window.Messages, std::vector<std::string>{});
    QCOMPARE(w.JobInformation->text(), QStringLiteral("12602 x 7087 pixels"));
    QCOMPARE(window.windowTitle(), QStringLiteral("HP_Latex_570"));
    QCOMPARE(w.Resolution->text(), QStringLiteral("300 dpi"));
    QCOMPARE(w.SlabFile->text(), kDemoSlab);
    QVERIFY(w.PrintNow->isEnabled());

    w.ViewXml->click();
    const QString xml = w.Xml->toPlainText();
    QVERIFY2(xml.startsWith(QStringLiteral("numPixelsInRow\t12602\nnumRows\t7087\n")), qPrintable(xml.left(80)));
    QVERIFY(xml.contains(QStringLiteral("JobInfoXML")));

    // Reload takes the path from the box.
    w.SlabFile->setText(File(QStringLiteral("missing.RipSlab")));
    w.Reload->click();
    QCOMPARE(window.Errors.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(window.Errors[0]).startsWith(QStringLiteral("Unable to open RIP File")));
    QVERIFY(!w.PrintNow->isEnabled());
  }

  void previewShowsTheSlabPicture() {
    const QString slab = CopySmallDemo();
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(QColor(255, 0, 0));
    QVERIFY(picture.save(QFileInfo(slab).path() + '/' + QFileInfo(slab).completeBaseName() + ".jpg"));
    TTestWindow window(Environment());
    window.Start({slab.toStdString()});
    const QImage shown = window.Widgets().Preview->grab().toImage();
    const QColor centre = shown.pixelColor(shown.rect().center());
    QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60, qPrintable(centre.name()));
    const QColor corner = shown.pixelColor(20, 20);
    QVERIFY2(corner.red() == corner.blue() && corner.red() > 200, qPrintable(corner.name()));
  }

  void printsTestOutputAndCloses() {
    const QString slab = CopySmallDemo();
    TTestWindow window(Environment());
    window.Start({slab.toStdString()});
    window.show();
    const auto& w = window.Widgets();
    QVERIFY(window.Errors.empty());
    const QString output = File(QStringLiteral("out.prn"));
    w.TestOutput->click();
    w.TestOutputFile->setText(output);

    // Seen from inside the print loop, which handles events between rows.
    bool seen = false, printNowShown = true, abortShown = false, busy = false;
    int maximum = 0;
    QTimer::singleShot(0, &window, [&] {
      seen = true;
      printNowShown = w.PrintNow->isVisible();
      abortShown = w.Abort->isVisible();
      busy = QApplication::overrideCursor() != nullptr;
      maximum = w.Progress->maximum();
    });
    w.PrintNow->click();
    QVERIFY(seen);
    QVERIFY(!printNowShown);
    QVERIFY(abortShown);
    QVERIFY(busy);
    QCOMPARE(maximum, 240);

    QCOMPARE(window.Errors, std::vector<std::string>{});
    QVERIFY(!window.isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(QFileInfo(output).size() > 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d mb$")).match(window.windowTitle()).hasMatch(),
             qPrintable(window.windowTitle()));
    QVERIFY(ReadAll(slab).contains("RipStatus=7"));
  }

  void abortStopsThePrint_data() {
    QTest::addColumn<bool>("byClosing");
    QTest::newRow("Abort ticked") << false;
    QTest::newRow("window closed") << true;
  }

  void abortStopsThePrint() {
    QFETCH(bool, byClosing);
    const QString slab = CopySmallDemo();
    TTestWindow window(Environment());
    window.Start({slab.toStdString()});
    window.show();
    const auto& w = window.Widgets();
    w.TestOutput->click();
    w.TestOutputFile->setText(File(QStringLiteral("out.prn")));
    bool stillOpen = false;
    QTimer::singleShot(0, &window, [&] {
      if (byClosing) {
        window.close();
        stillOpen = window.isVisible();
      } else {
        w.Abort->click();
      }
    });
    w.PrintNow->click();
    if (byClosing) QVERIFY(stillOpen);
    QVERIFY(!window.isVisible());
    const QByteArray status = ReadAll(slab);
    QVERIFY(status.contains("RipStatus=8"));
  }
};

}  // namespace slabrip

QTEST_MAIN(slabrip::TGuiTest)
#include "gui_test.moc"
