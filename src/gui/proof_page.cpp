#include "gui/proof_page.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <exception>

#include "gui/preview_box.h"

namespace slabrip {

struct TProofPage::TResult {
  std::optional<TSlabProof> Proof;  // nothing when cancelled or failed
  std::string Error;
};

TProofPage::TProofPage(QWidget* parent) : QWidget(parent) {
  W_.Proof = new QPushButton(QStringLiteral("Proof"), this);
  W_.Cancel = new QPushButton(QStringLiteral("Cancel"), this);
  W_.Progress = new QProgressBar(this);
  W_.Progress->setRange(0, 1000);
  W_.Progress->setTextVisible(false);
  W_.Status = new QLabel(this);
  W_.Picture = new QLabel;
  W_.Picture->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(W_.Picture);
  scroll->setWidgetResizable(true);
  W_.Inks = new QLabel(this);
  W_.Inks->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  W_.Inks->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  W_.Inks->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* commands = new QHBoxLayout;
  commands->addWidget(W_.Proof);
  commands->addWidget(W_.Progress, 1);
  commands->addWidget(W_.Cancel);
  auto* shown = new QHBoxLayout;
  shown->addWidget(scroll, 1);
  shown->addWidget(W_.Inks);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(commands);
  layout->addWidget(W_.Status);
  layout->addLayout(shown, 1);
  SetBusy(false);

  connect(W_.Proof, &QPushButton::clicked, this, &TProofPage::ProofRequested);
  connect(W_.Cancel, &QPushButton::clicked, this, [this] {
    Cancel();
    W_.Status->setText(QStringLiteral("Cancelled."));
  });
}

TProofPage::~TProofPage() { Cancel(); }

void TProofPage::Start(TProofRequest request) {
  Cancel();
  const int run = ++Run_;
  SetBusy(true);
  W_.Progress->setValue(0);
  W_.Status->setText(QStringLiteral("Making the proof..."));
  Worker_ = std::jthread([this, run, request = std::move(request)](const std::stop_token& stop) {
    auto result = std::make_shared<TResult>();
    int shown = -1;
    try {
      result->Proof = MakeSlabProof(request, [&](double done) {
        const int permille = static_cast<int>(done * 1000);
        if (permille != shown) {
          shown = permille;
          QMetaObject::invokeMethod(
              this,
              [this, run, permille] {
                if (run == Run_) W_.Progress->setValue(permille);
              },
              Qt::QueuedConnection);
        }
        return !stop.stop_requested();
      });
    } catch (const std::exception& e) {
      result->Error = e.what();
    }
    QMetaObject::invokeMethod(
        this,
        [this, run, result] {
          if (run != Run_) return;
          Worker_.join();
          SetBusy(false);
          Show(*result);
        },
        Qt::QueuedConnection);
  });
}

void TProofPage::Cancel() {
  if (!Worker_.joinable()) return;
  // Messages still queued from this proof are dropped by their number.
  ++Run_;
  Worker_.request_stop();
  Worker_.join();
  SetBusy(false);
}

void TProofPage::Clear() {
  Cancel();
  W_.Picture->clear();
  W_.Inks->clear();
  W_.Status->clear();
  W_.Progress->setValue(0);
}

void TProofPage::Show(const TResult& result) {
  if (!result.Error.empty()) {
    W_.Status->setText(QString::fromStdString(result.Error));
    return;
  }
  if (!result.Proof) return;
  const TBitmap32& picture = result.Proof->Picture;
  W_.Picture->setPixmap(QPixmap::fromImage(ToQImage(picture)));
  W_.Inks->setText(result.Proof->Inks.Inks.empty()
                       ? QString()
                       : QString::fromStdString(FormatInkReport(result.Proof->Inks)));
  W_.Status->setText(QStringLiteral("%1 x %2 pixels, as the dithered inks lay down")
                         .arg(picture.Width())
                         .arg(picture.Height()));
}

void TProofPage::SetBusy(bool busy) {
  W_.Proof->setEnabled(!busy);
  W_.Cancel->setEnabled(busy);
}

}  // namespace slabrip
