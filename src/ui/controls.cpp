#include "ui/controls.h"

#include <QLabel>
#include <QLineEdit>

namespace trelvar::ui {

QLabel* FormLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setBuddy(buddy);
  return label;
}

QLineEdit* NamedEdit(QWidget* parent, const char* name, const QString& hint) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) edit->setToolTip(hint);
  return edit;
}

}  // namespace trelvar::ui
