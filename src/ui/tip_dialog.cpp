#include "ui/tip_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "config/translator.h"

namespace trelvar::ui {

TfrmTip::TfrmTip(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTip"));
  setWindowTitle(QString::fromStdString(Translate(2030, "Tip")));
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(40, 40));
  lblTip_ = new QLabel(this);
  lblTip_->setObjectName(QStringLiteral("lblTip"));
  lblTip_->setWordWrap(true);
  lblTip_->setMinimumWidth(380);
  lblTip_->setTextFormat(Qt::PlainText);
  chkDontShow_ = new QCheckBox(QString::fromStdString(Translate(2031, "Dont show it again")), this);
  chkDontShow_->setObjectName(QStringLiteral("chkDontShow"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOk"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addSpacing(8);
  row->addWidget(lblTip_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(row);
  layout->addSpacing(12);
  layout->addWidget(chkDontShow_);
  layout->addWidget(buttons);
}

void TfrmTip::ShowTip(const QString& title, const QString& text, bool& dont_show_again) {
  setWindowTitle(title);
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lblTip_->setText(shown);
  chkDontShow_->setChecked(false);
  adjustSize();
  exec();
  dont_show_again = chkDontShow_->isChecked();
}

void TfrmTip::Offer(QWidget* parent, const QString& title, const QString& text, bool& shown) {
  if (!shown) return;
  TfrmTip tip(parent);
  bool dont_show_again = false;
  tip.ShowTip(title, text, dont_show_again);
  if (dont_show_again) shown = false;
}

}  // namespace trelvar::ui
