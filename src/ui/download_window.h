// TfrmDownload: the window of an FTP log download.
//
// A modal window with the job's coloured status list (blue under way,
// green success, red error, black session events), a bar with the time
// left, the rate and the bytes received, and one button: Cancel while the
// job runs, Close after it. Cancel and Escape abort the running job;
// Escape also closes the window. Run() shows the window, runs the job on
// the main thread (its lines and progress arrive through the run control)
// and, in automatic mode, closes the window at the end. Main thread only.
#pragma once

#include <QDialog>

#include "base/run_control.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace trelvar {
class TFtpDownloadJob;
struct TDownloadResult;
}  // namespace trelvar

namespace trelvar::ui {

class TfrmDownload : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmDownload(QWidget* parent = nullptr);

  // Runs `job` in the window; `automatic` closes the window at the end.
  TDownloadResult Run(TFtpDownloadJob& job, bool automatic);

  void AddStatus(const QString& text, TStatusColour colour);
  void ShowTransfer(const TTransferProgress& progress);

  QListWidget& StatusList() { return *lstStatus_; }
  QPushButton& Button() { return *btnCancel_; }
  bool Running() const { return job_ != nullptr; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  void ButtonClicked();

  TFtpDownloadJob* job_ = nullptr;
  QListWidget* lstStatus_ = nullptr;
  QProgressBar* pbTransfer_ = nullptr;
  QLabel* lblTimeLeft_ = nullptr;
  QLabel* lblRate_ = nullptr;
  QLabel* lblReceived_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};

}  // namespace trelvar::ui
