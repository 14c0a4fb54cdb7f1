// The driver window driven offscreen: what it shows, how edits reach the
// driver, the media page's buttons, loading the demo slab and printing.
#include <QtTest>
#include <QtWidgets>
#include <deque>
#include <limits>

#include "gui/hpdj_rip_window.h"
#include "gui/preview_box.h"
#include "gui/proof_page.h"

namespace slabrip {
namespace {

using TTexts = std::vector<std::string>;
const QString kDemoSlab = QStringLiteral(SLABRIP_DEMO_DIR "/40E42ACCBAD66E1E.RipSlab");

template <typename T>
T Next(std::deque<T>& answers, T none) {
  if (answers.empty()) return none;
  T answer = answers.front();
  answers.pop_front();
  return answer;
}

// Answers the boxes from queues and records what they said, so no modal box blocks.
class TTestWindow : public THPDJRipFr2 {
 public:
  using THPDJRipFr2::THPDJRipFr2;
  TTexts Messages, Errors, Questions;
  std::deque<bool> Answers;
  std::deque<std::optional<std::string>> Inputs;

  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  bool Confirm(const std::string& question) override {
    Questions.push_back(question);
    return Next(Answers, false);
  }
  std::optional<std::string> InputBox(const std::string& /*title*/, const std::string& prompt) override {
    Questions.push_back(prompt);
    return Next(Inputs, std::optional<std::string>());
  }
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace

class TGuiTest : public QObject {
  Q_OBJECT

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

  // The demo and its documents in the temporary folder, rendered small so a print is short.
  QString CopySmallDemo() const {
    const QDir demo(QStringLiteral(SLABRIP_DEMO_DIR));
    for (const QString& name : demo.entryList(QDir::Files)) QFile::copy(demo.filePath(name), File(name));
    const QString slab = File(QFileInfo(kDemoSlab).fileName());
    QString text = QString::fromUtf8(ReadAll(slab));
    for (const auto& [key, value] :
         {std::pair{"RenderWidth", 320}, {"RenderHeight", 120}, {"RipWidth", 640}, {"RipHeight", 240}})
      text.replace(QRegularExpression(QStringLiteral("(?m)^%1=\\d+").arg(key)),
                   QStringLiteral("%1=%2").arg(key).arg(value));
    WriteAll(slab, text.toUtf8());
    return slab;
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
    QStringList groups;
    for (const QGroupBox* group : window.findChildren<QGroupBox*>()) groups << group->title();
    groups.sort();
    QCOMPARE(groups, (QStringList{"Media ", "Options", "Print Mode", "Source File"}));
    const std::vector<std::pair<QString, const char*>> texts{{window.windowTitle(), "slabrip"},
                                                             {w.Tabs->tabText(0), "Print Settings"},
                                                             {w.Tabs->tabText(1), "Media Settings"},
                                                             {w.Tabs->tabText(2), "XML"},
                                                             {w.JobInformation->text(), "No Job Loaded.."},
                                                             {w.Resolution->text(), "300 DPI"},
                                                             {w.InkLevel->currentText(), "Low"},
                                                             {w.Direction->currentText(), "Bidir"},
                                                             {w.Passes->currentText(), "10"},
                                                             {w.PrintNow->text(), "Print Now"},
                                                             {w.MediaTypeId->text(), "10070"},
                                                             {w.Media->currentText(), "HP_RIP_CUSTOM_MEDIA"}};
    for (const auto& [shown, expected] : texts) QCOMPARE(shown, QString::fromUtf8(expected));
    QCOMPARE(Items(w.InkLevel), (QStringList{"Low", "High"}));
    QCOMPARE(Items(w.Direction), (QStringList{"Bidir", "Unidir"}));
    QCOMPARE(Items(w.Passes), (QStringList{"4", "6", "8", "10", "12", "16", "18"}));
    QCOMPARE(Items(w.Media), QStringList{"HP_RIP_CUSTOM_MEDIA"});
    QVERIFY(w.Passes->isEditable() && !w.Media->isEditable());
    QCOMPARE(w.Tabs->currentIndex(), 0);
    QCOMPARE(w.TestOutputFile->text(), File(QStringLiteral("hptest.prn")));
    QVERIFY(!w.TestOutput->isChecked() && !w.TestOutputFile->isEnabled() && !w.Cutter->isChecked());
    QCOMPARE(w.Preview->size(), QSize(385, 505));
    QVERIFY(w.Progress->maximum() == 100 && w.Progress->value() == 0);
    QVERIFY(w.PrintNow->isVisible() && !w.Abort->isVisible());
    QVERIFY(window.Errors.empty() && window.Messages.empty());

    const QStringList labels{"Input Tension  (Nm)",   "Advance Factor (mm/M)", "Vacuum (mmH20)",
                             "Dry Temp (Deg C)",      "Cure Temp (Deg C)",     "Dry Warmup (Deg C)",
                             "Cure Warmup (Deg C)",   "Dry CoolDown (Deg C)",  "Cure CoolDown (Deg C)",
                             "Dry Power Min (Watts)", "Heat Air Flow (%)"};
    const std::array<double, 11> values{15, 0, 30, 55, 70, 50, 40, 30, 20, 200, 75};
    constexpr double kMax = std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < 11; ++i) {
      const QDoubleSpinBox* spin = w.MediaValues[i];
      QCOMPARE(w.MediaValueLabels[i]->text(), labels[static_cast<int>(i)]);
      QVERIFY(w.MediaValueLabels[i]->alignment() & Qt::AlignRight);
      QCOMPARE(spin->value(), values[i]);
      QVERIFY(spin->decimals() == 2 && spin->singleStep() == 1.0 && spin->minimum() == -kMax &&
              spin->maximum() == kMax);
    }
    // One line, between the vacuum and the dry temperature.
    w.Tabs->setCurrentIndex(1);
    QApplication::processEvents();
    QStringList lines;
    for (const QFrame* frame : w.Tabs->widget(1)->findChildren<QFrame*>(Qt::FindDirectChildrenOnly))
      if (frame->frameShape() == QFrame::HLine)
        lines << QStringLiteral("%1 %2")
                     .arg(frame->y() > w.MediaValues[2]->y())
                     .arg(frame->y() < w.MediaValues[3]->y());
    QCOMPARE(lines, QStringList{"1 1"});
  }

  void editsReachTheDriverAndBack() {
    TTestWindow window(Environment());
    window.Start({});
    const auto& w = window.Widgets();
    const TDriverControls& c = window.Driver().Controls;
    w.TestOutput->click();
    QVERIFY(w.TestOutputFile->isEnabled() && c.TestOutput);
    w.TestOutput->click();
    QVERIFY(!w.TestOutputFile->isEnabled() && !c.TestOutput);

    w.TestOutputFile->setText(QStringLiteral("/tmp/x.prn"));
    w.SlabFile->setText(QStringLiteral("/tmp/a b.RipSlab"));
    w.Passes->setEditText(QStringLiteral("7"));
    w.MediaTypeId->setText(QStringLiteral("10080"));
    for (QComboBox* combo : {w.InkLevel, w.Direction}) combo->setCurrentIndex(1);
    w.Cutter->setChecked(true);
    for (std::size_t i = 0; i < 11; ++i) w.MediaValues[i]->setValue(100.0 + static_cast<double>(i));
    QCOMPARE(QString::fromStdString(c.TestOutputFile + "|" + c.SlabFile + "|" + c.Job.Passes + "|" +
                                    c.Job.MediaTypeId),
             QStringLiteral("/tmp/x.prn|/tmp/a b.RipSlab|7|10080"));
    QVERIFY(c.Job.HighInkLevel && c.Job.Unidirectional && c.Job.Cutter);
    const THPMediaValues& m = c.Job.Media;
    QCOMPARE((std::array{m.InputTension, m.Vacuum, m.DryTemp, m.DryCoolDown, m.HeatAirFlow}),
             (std::array{100.0, 102.0, 103.0, 107.0, 110.0}));

    // What the driver sets shows after a refresh; the job takes a value as its box shows it.
    window.Driver().Controls.Job.Media.CureTemp = 61.257;
    window.Driver().Controls.Job.Passes = "16";
    window.Refresh();
    QVERIFY(w.MediaValues[4]->value() == 61.26 && c.Job.Media.CureTemp == 61.26);
    QCOMPARE(w.Passes->currentText(), QStringLiteral("16"));
  }

  void mediaButtons() {
    const QString ini = File(QStringLiteral("media.ini"));
    WriteAll(ini,
             "[A]\r\nDryTemp=51\r\n[B]\r\nDryTemp=52\r\nCureTemp=72\r\n[C]\r\nDryTemp=53\r\nCureTemp=73\r\n");
    TTestWindow window(Environment());
    window.Start({});
    const auto& w = window.Widgets();
    const auto shows = [&](const QStringList& items, const QString& selected, double dryTemp,
                           double cureTemp) {
      return Items(w.Media) == items && w.Media->currentText() == selected &&
             w.MediaValues[3]->value() == dryTemp && w.MediaValues[4]->value() == cureTemp &&
             window.Driver().Controls.Job.MediaName == selected.toStdString();
    };
    QVERIFY(shows({"A", "B", "C"}, "A", 51, 70));
    w.Media->setCurrentIndex(2);
    emit w.Media->activated(2);  // a pick applies the media's values
    QVERIFY(shows({"A", "B", "C"}, "C", 53, 73));

    // "-" on the last of three selects the new last and applies it, without asking.
    w.DeleteMedia->click();
    QVERIFY(shows({"A", "B"}, "B", 52, 72));
    QVERIFY(!ReadAll(ini).contains("[C]") && window.Questions.empty());

    // "+" refuses a listed name whatever its case; cancel does nothing.
    window.Inputs = {std::string("b"), std::nullopt, std::string("Mesh")};
    w.AddMedia->click();
    w.AddMedia->click();
    QCOMPARE(window.Errors, TTexts{"The selected media name already exists!\nb"});
    QVERIFY(shows({"A", "B"}, "B", 52, 72));
    w.AddMedia->click();
    QVERIFY(shows({"A", "B", "Mesh"}, "Mesh", 52, 72));

    // "Update" writes only after Yes.
    const QByteArray before = ReadAll(ini);
    QVERIFY(!before.contains("Mesh"));
    w.MediaValues[0]->setValue(12.5);
    window.Questions.clear();
    window.Answers = {false};
    w.UpdateMedia->click();
    QCOMPARE(window.Questions, TTexts{"Update this media?"});
    QCOMPARE(ReadAll(ini), before);
    window.Answers = {true};
    w.UpdateMedia->click();
    QVERIFY(ReadAll(ini).contains("[Mesh]\r\nInputTension=12.5"));
    QCOMPARE(window.Errors.size(), std::size_t{1});
  }

  void loadsTheDemoSlab() {
    TTestWindow window(Environment());
    window.Start({kDemoSlab.toStdString()});
    const auto& w = window.Widgets();
    QCOMPARE(window.Errors, TTexts{});
    QCOMPARE(window.Messages, TTexts{});
    QCOMPARE(w.JobInformation->text(), QStringLiteral("12602 x 7087 pixels"));
    QCOMPARE(window.windowTitle(), QStringLiteral("HP_Latex_570"));
    QCOMPARE(w.Resolution->text(), QStringLiteral("300 dpi"));
    QCOMPARE(w.SlabFile->text(), kDemoSlab);
    QVERIFY(w.PrintNow->isEnabled());

    w.ViewXml->click();
    const QString xml = w.Xml->toPlainText();
    QVERIFY2(xml.startsWith(QStringLiteral("numPixelsInRow\t12602\nnumRows\t7087\n")),
             qPrintable(xml.left(80)));
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
    QVERIFY(picture.save(File(QFileInfo(slab).completeBaseName() + ".jpg")));
    TTestWindow window(Environment());
    window.Start({slab.toStdString()});
    const QImage shown = window.Widgets().Preview->grab().toImage();
    const QColor centre = shown.pixelColor(shown.rect().center());
    QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60, qPrintable(centre.name()));
    const QColor margin = shown.pixelColor(20, 20);
    QVERIFY2(margin.red() == margin.blue() && margin.red() > 200, qPrintable(margin.name()));
  }

  // The proof is made in the background: the window answers meanwhile, and
  // the picture and the ink estimate arrive when it is done; Cancel stops one.
  void proofShowsTheInksAndCancels() {
    const QString slab = CopySmallDemo();
    TTestWindow window(Environment());
    window.Start({slab.toStdString()});
    const TProofPage::TWidgets& proof = window.Widgets().Proof->Widgets();
    QVERIFY(proof.Proof->isEnabled());
    proof.Proof->click();
    QVERIFY(window.Widgets().Proof->Busy());
    QTRY_VERIFY_WITH_TIMEOUT(!window.Widgets().Proof->Busy(), 60000);
    QCOMPARE(proof.Status->text(), QStringLiteral("640 x 240 pixels, as the dithered inks lay down"));
    QCOMPARE(proof.Picture->pixmap().size(), QSize(640, 240));
    QVERIFY2(proof.Inks->text().contains(QStringLiteral("Light magenta")), qPrintable(proof.Inks->text()));
    QCOMPARE(proof.Progress->value(), 1000);

    proof.Proof->click();
    proof.Cancel->click();
    QVERIFY(!window.Widgets().Proof->Busy());
    QCOMPARE(proof.Status->text(), QStringLiteral("Cancelled."));
    QVERIFY(proof.Proof->isEnabled());
    QCOMPARE(window.Errors, TTexts{});
  }

  void printsTestOutputAndCloses_data() {
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("to the end") << QString() << QByteArray("RipStatus=7");
    QTest::newRow("Abort ticked") << QStringLiteral("abort") << QByteArray("RipStatus=8");
    QTest::newRow("window closed") << QStringLiteral("close") << QByteArray("RipStatus=8");
  }

  void printsTestOutputAndCloses() {
    QFETCH(QString, stop);
    QFETCH(QByteArray, status);
    const QString slab = CopySmallDemo(), output = File(QStringLiteral("out.prn"));
    TTestWindow window(Environment());
    window.Start({slab.toStdString()});
    window.show();
    const auto& w = window.Widgets();
    w.TestOutput->click();
    w.TestOutputFile->setText(output);
    // Seen from inside the print loop, which handles events between rows.
    bool printNowShown = true, abortShown = false, busy = false, openAfterClose = false, outputLocked = false;
    int maximum = 0;
    QTimer::singleShot(0, &window, [&] {
      printNowShown = w.PrintNow->isVisible();
      abortShown = w.Abort->isVisible();
      busy = QApplication::overrideCursor() != nullptr;
      outputLocked = !w.TestOutput->isEnabled() && !w.TestOutputFile->isEnabled();
      maximum = w.Progress->maximum();
      if (stop == "abort") w.Abort->click();
      if (stop == "close") openAfterClose = !window.close() && window.isVisible();
    });
    w.PrintNow->click();
    QVERIFY(!printNowShown && abortShown && busy && outputLocked);
    QCOMPARE(maximum, 240);
    QCOMPARE(openAfterClose, stop == "close");

    QCOMPARE(window.Errors, TTexts{});
    QVERIFY(!window.isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(ReadAll(slab).contains(status));
    if (!stop.isEmpty()) return;
    QVERIFY(QFileInfo(output).size() > 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d mb$")).match(window.windowTitle()).hasMatch(),
             qPrintable(window.windowTitle()));
  }
};

}  // namespace slabrip

QTEST_MAIN(slabrip::TGuiTest)
#include "gui_test.moc"
