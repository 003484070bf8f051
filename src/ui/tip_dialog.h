// TfrmTip: the small dialog of an instruction tip, with a "Dont show it
// again" box. Modal; main thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace trelvar::ui {

class TfrmTip : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmTip(QWidget* parent = nullptr);

  // Shows `text` until OK; `dont_show_again` gets the box's state.
  void ShowTip(const QString& title, const QString& text, bool& dont_show_again);

  // Shows a tip while `shown` is on; ticking the box turns it off.
  static void Offer(QWidget* parent, const QString& title, const QString& text, bool& shown);

  QCheckBox& DontShowBox() { return *chkDontShow_; }

 private:
  QLabel* lblTip_ = nullptr;
  QCheckBox* chkDontShow_ = nullptr;
};

}  // namespace trelvar::ui
