// The "Proof" page: the loaded slab as its dithered inks lay down, made in
// the background with a progress bar and Cancel, and the ink it takes.
#pragma once

#include <QWidget>
#include <memory>
#include <thread>

#include "driver/ink_proof.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace slabrip {

class TProofPage : public QWidget {
  Q_OBJECT

 public:
  struct TWidgets {
    QPushButton* Proof = nullptr;
    QPushButton* Cancel = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* Status = nullptr;
    QLabel* Picture = nullptr;
    QLabel* Inks = nullptr;  // the ink estimate beside the picture
  };

  /// The width of the proofs the page asks for, in pixels.
  static constexpr int kWidth = 800;

  explicit TProofPage(QWidget* parent = nullptr);
  ~TProofPage() override;
  TProofPage(const TProofPage&) = delete;
  TProofPage& operator=(const TProofPage&) = delete;

  /// Makes the proof on a thread of its own; one under way is cancelled first.
  void Start(TProofRequest request);
  /// Stops a proof under way and waits for its thread, so that nothing else
  /// loads or prints while it runs.
  void Cancel();
  /// Drops the proof shown: it was of another slab.
  void Clear();
  bool Busy() const { return Worker_.joinable(); }
  const TWidgets& Widgets() const { return W_; }

 signals:
  /// The Proof button: the window answers with Start.
  void ProofRequested();

 private:
  struct TResult;
  void Show(const TResult& result);
  void SetBusy(bool busy);

  TWidgets W_;
  std::jthread Worker_;
  int Run_ = 0;  // the proof whose messages count; older ones are dropped
};

}  // namespace slabrip
