// Makers of the controls that forms share: each is named where it is made,
// so that the language files can find it.
#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

namespace trelvar::ui {

// A label of a form row; its mnemonic focuses `buddy`.
QLabel* FormLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy);
// A one-line edit box, with `hint` as its tooltip when given.
QLineEdit* NamedEdit(QWidget* parent, const char* name, const QString& hint = {});

}  // namespace trelvar::ui
