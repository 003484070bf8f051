#include "ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/translator.h"

namespace trelvar::ui {

TfrmAbout::TfrmAbout(const QString& data_folder, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QString::fromStdString(Translate(2032, "About Trelvar")));
  auto* name = new QLabel(QStringLiteral("Trelvar %1").arg(QStringLiteral(TRELVAR_VERSION)), this);
  name->setObjectName(QStringLiteral("lblProduct"));
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  auto* what = new QLabel(
      QString::fromStdString(Translate(2033, "Web server log analyzer: HTML reports with tables, "
                                             "charts and CSV files from your access logs.")),
      this);
  what->setObjectName(QStringLiteral("lblDescription"));
  what->setWordWrap(true);
  auto* where =
      new QLabel(QString::fromStdString(Translate(2034, "Data folder:")) + " " + data_folder, this);
  where->setObjectName(QStringLiteral("lblDataFolder"));
  where->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOk"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 14);
  layout->setSpacing(10);
  layout->addWidget(name);
  layout->addWidget(what);
  layout->addWidget(where);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

}  // namespace trelvar::ui
