#include "ui/progress_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "base/progress.h"
#include "config/translator.h"
#include "ui/qt_text.h"

namespace trelvar::ui {

namespace {

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

// The bar counts in int; large step counts are scaled down together.
int BarValue(int64_t value, int64_t maximum) {
  if (maximum <= INT_MAX) return static_cast<int>(std::clamp<int64_t>(value, 0, maximum));
  return static_cast<int>(static_cast<double>(std::clamp<int64_t>(value, 0, maximum)) /
                          static_cast<double>(maximum) * INT_MAX);
}

}  // namespace

TfrmProg::TfrmProg(TReporter reporter, QWidget* parent)
    : QDialog(parent), reporter_(std::move(reporter)) {
  setObjectName(QStringLiteral("frmProg"));
  setWindowTitle(Q(Translate(2001, "Progress")));
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                 Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
  setMinimumWidth(498);

  lblInfo_ = NewLabel(this, "lblInfo", Q(Translate(158, "Scanning log file  ...")));
  QFont bold = lblInfo_->font();
  bold.setBold(true);
  lblInfo_->setFont(bold);
  lblFileName_ = NewLabel(this, "lblFileName", Q(Translate(132, "none")));
  lblFileName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pbProgress_ = new QProgressBar(this);
  pbProgress_->setObjectName(QStringLiteral("pbProgress"));
  pbProgress_->setMinimumWidth(481);
  lblTimeLeftCaption_ = NewLabel(this, "lblTimeLeftCaption", Q(Translate(159, "Est. time left")));
  lblTimeLeft_ = NewLabel(this, "lblTimeLeft", Q(Translate(132, "none")));
  lblRateCaption_ = NewLabel(this, "lblRateCaption", Q(Translate(160, "Process rate")));
  lblRate_ = NewLabel(this, "lblRate", Q(Translate(132, "none")));
  lblUnit_ = NewLabel(this, "lblUnit", Q(Translate(161, "KBytes/sec")));
  btnCancel_ = new QPushButton(Q(Translate(156, "Cancel")), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  connect(btnCancel_, &QPushButton::clicked, this, &TfrmProg::Cancel);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(12);
  grid->addWidget(lblInfo_, 0, 0, 1, 3);
  grid->addWidget(lblFileName_, 1, 0, 1, 3);
  grid->addWidget(pbProgress_, 2, 0, 1, 3);
  grid->addWidget(lblTimeLeftCaption_, 3, 0);
  grid->addWidget(lblTimeLeft_, 3, 1, 1, 2);
  grid->addWidget(lblRateCaption_, 4, 0);
  grid->addWidget(lblRate_, 4, 1);
  grid->addWidget(lblUnit_, 4, 2);
  grid->setColumnStretch(2, 1);
  grid->addWidget(btnCancel_, 5, 0, 1, 3, Qt::AlignHCenter);

  tmrStep_ = new QTimer(this);
  tmrStep_->setObjectName(QStringLiteral("tmrStep"));
  tmrStep_->setInterval(static_cast<int>(trelvar::TfrmProg::kTickMilliseconds));
  connect(tmrStep_, &QTimer::timeout, this, &TfrmProg::StepTick);
  tmrStep_->start();
}

void TfrmProg::Mirror() {
  trelvar::TfrmProg* r = reporter_ ? reporter_() : nullptr;
  if (r == nullptr) {
    if (isVisible()) hide();
    return;
  }
  lblInfo_->setText(Q(r->InfoCaption()));
  lblFileName_->setText(r->FileName().empty() ? Q(Translate(132, "none")) : Q(r->FileName()));
  pbProgress_->setMaximum(BarValue(r->BarMaximum(), r->BarMaximum()));
  pbProgress_->setValue(BarValue(r->BarPosition(), r->BarMaximum()));
  if (!r->TimeLeftText().empty()) lblTimeLeft_->setText(Q(r->TimeLeftText()));
  if (!r->RateText().empty()) lblRate_->setText(Q(r->RateText()));
  lblUnit_->setVisible(r->UnitLabelVisible());
  if (r->Visible() && !isVisible()) show();
  if (!r->Visible() && isVisible()) hide();
}

void TfrmProg::SetHeading(const QString& text) {
  if (trelvar::TfrmProg* r = reporter_ ? reporter_() : nullptr)
    r->SetInfoCaption(text.toStdString());
  lblInfo_->setText(text);
}

void TfrmProg::StepTick() {
  trelvar::TfrmProg* r = reporter_ ? reporter_() : nullptr;
  if (r == nullptr || !r->TimerEnabled()) return;
  r->TimerTick();
  Mirror();
}

void TfrmProg::Cancel() {
  if (trelvar::TfrmProg* r = reporter_ ? reporter_() : nullptr) r->Cancel();
}

void TfrmProg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    Cancel();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Closing the window is a cancel; the operation hides it when it stops.
void TfrmProg::closeEvent(QCloseEvent* event) {
  Cancel();
  event->accept();
}

void TfrmProg::reject() { Cancel(); }

}  // namespace trelvar::ui
