// TfrmProg (window): the progress window of the windowed application.
//
// A small always-on-top dialog that shows what the run's progress reporter
// (the core's TfrmProg of the run context) knows: the operation's caption,
// the current file, the bar, the time left and the rate. Its step timer
// gives the reporter its once-a-second tick; Cancel, Escape and closing the
// window ask the reporter to cancel (the operation stops itself at its next
// check). The window shows and hides itself as the reporter says; Mirror
// copies the reporter's state, and the host calls it whenever pending
// events run. Main thread only.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace trelvar {
class TfrmProg;
}

namespace trelvar::ui {

class TfrmProg : public QDialog {
  Q_OBJECT

 public:
  // `reporter` gives the run's reporter, or null while there is none (it
  // is created again by each Open).
  using TReporter = std::function<trelvar::TfrmProg*()>;
  TfrmProg(TReporter reporter, QWidget* parent = nullptr);

  // Copies the reporter's state into the controls and shows or hides the
  // window as the reporter says.
  void Mirror();
  // A step heading of a long operation ("Creating tables...").
  void SetHeading(const QString& text);

  QLabel& InfoLabel() { return *lblInfo_; }
  QLabel& FileLabel() { return *lblFileName_; }
  QLabel& TimeLeftLabel() { return *lblTimeLeft_; }
  QLabel& RateLabel() { return *lblRate_; }
  QProgressBar& Bar() { return *pbProgress_; }
  QPushButton& CancelButton() { return *btnCancel_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Cancel();
  void StepTick();

  TReporter reporter_;
  QLabel* lblInfo_ = nullptr;
  QLabel* lblFileName_ = nullptr;
  QProgressBar* pbProgress_ = nullptr;
  QLabel* lblTimeLeftCaption_ = nullptr;
  QLabel* lblTimeLeft_ = nullptr;
  QLabel* lblRateCaption_ = nullptr;
  QLabel* lblRate_ = nullptr;
  QLabel* lblUnit_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
  QTimer* tmrStep_ = nullptr;
};

}  // namespace trelvar::ui
