// TfrmOptions: the options dialog (being built).
#pragma once

#include <QDialog>

namespace trelvar::ui {

class TfrmMainW;

class TfrmOptions : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOptions(TfrmMainW& main);
};

}  // namespace trelvar::ui
