// TfrmAbout: the about box (program name, version, folders). Modal.
#pragma once

#include <QDialog>

namespace trelvar::ui {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  // `data_folder` is shown so that users find their settings.
  explicit TfrmAbout(const QString& data_folder, QWidget* parent = nullptr);
};

}  // namespace trelvar::ui
