#include "ui/download_window.h"

#include <QApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "automation/ftp_download.h"
#include "config/translator.h"
#include "ui/qt_text.h"

namespace trelvar::ui {

namespace {

QColor ColourOf(TStatusColour colour) {
  switch (colour) {
    case TStatusColour::Blue: return QColor(0x1f, 0x4e, 0xc8);
    case TStatusColour::Green: return QColor(0x1b, 0x7f, 0x2a);
    case TStatusColour::Red: return QColor(0xc6, 0x1c, 0x1c);
    case TStatusColour::Black: break;
  }
  return QApplication::palette().color(QPalette::Text);
}

QString CancelText() { return Q(Translate(156, "Cancel")); }
QString CloseText() { return Q(Translate(2002, "Close")); }

}  // namespace

TfrmDownload::TfrmDownload(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmDownload"));
  setWindowTitle(Q(Translate(2003, "Downloading log files")));
  setModal(true);
  resize(560, 380);

  lstStatus_ = new QListWidget(this);
  lstStatus_->setObjectName(QStringLiteral("lstStatus"));
  lstStatus_->setSelectionMode(QAbstractItemView::NoSelection);
  pbTransfer_ = new QProgressBar(this);
  pbTransfer_->setObjectName(QStringLiteral("pbTransfer"));
  pbTransfer_->setRange(0, 1000);
  pbTransfer_->setValue(0);
  lblTimeLeft_ = new QLabel(this);
  lblTimeLeft_->setObjectName(QStringLiteral("lblTimeLeft"));
  lblRate_ = new QLabel(this);
  lblRate_->setObjectName(QStringLiteral("lblRate"));
  lblReceived_ = new QLabel(this);
  lblReceived_->setObjectName(QStringLiteral("lblReceived"));
  btnCancel_ = new QPushButton(CloseText(), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  connect(btnCancel_, &QPushButton::clicked, this, &TfrmDownload::ButtonClicked);

  auto* facts = new QFormLayout;
  auto* time_left = new QLabel(Q(Translate(159, "Est. time left")), this);
  time_left->setObjectName(QStringLiteral("lblTimeLeftCaption"));
  auto* rate = new QLabel(Q(Translate(160, "Process rate")), this);
  rate->setObjectName(QStringLiteral("lblRateCaption"));
  auto* received = new QLabel(Q(Translate(2004, "Received")), this);
  received->setObjectName(QStringLiteral("lblReceivedCaption"));
  facts->addRow(time_left, lblTimeLeft_);
  facts->addRow(rate, lblRate_);
  facts->addRow(received, lblReceived_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lstStatus_, 1);
  layout->addWidget(pbTransfer_);
  layout->addLayout(facts);
  layout->addWidget(btnCancel_, 0, Qt::AlignRight);
}

TDownloadResult TfrmDownload::Run(TFtpDownloadJob& job, bool automatic) {
  lstStatus_->clear();
  pbTransfer_->setValue(0);
  lblTimeLeft_->clear();
  lblRate_->clear();
  lblReceived_->clear();
  btnCancel_->setText(CancelText());
  job_ = &job;
  show();
  raise();
  TDownloadResult result;
  try {
    result = job.Run();
  } catch (...) {
    job_ = nullptr;
    btnCancel_->setText(CloseText());
    throw;
  }
  job_ = nullptr;
  btnCancel_->setText(CloseText());
  if (automatic) hide();
  return result;
}

void TfrmDownload::AddStatus(const QString& text, TStatusColour colour) {
  auto* item = new QListWidgetItem(text, lstStatus_);
  item->setForeground(ColourOf(colour));
  lstStatus_->scrollToBottom();
}

void TfrmDownload::ShowTransfer(const TTransferProgress& progress) {
  const int64_t range = std::max<int64_t>(progress.range, 1);
  pbTransfer_->setValue(static_cast<int>(std::clamp<int64_t>(progress.position, 0, range) * 1000 / range));
  lblTimeLeft_->setText(Q(progress.time_left));
  lblRate_->setText(Q(progress.rate));
  lblReceived_->setText(Q(progress.received));
}

void TfrmDownload::ButtonClicked() {
  if (job_ != nullptr)
    job_->Cancel();
  else
    hide();
}

// Escape aborts the job and closes the window.
void TfrmDownload::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    if (job_ != nullptr) job_->Cancel();
    hide();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmDownload::reject() {
  if (job_ != nullptr) job_->Cancel();
  hide();
}

}  // namespace trelvar::ui
