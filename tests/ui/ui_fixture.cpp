#include "ui/ui_fixture.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QPushButton>

namespace trelvar::test {

std::string TWindowFixture::Status() const {
  std::string text;
  QListWidget& pane = main->StatusPane();
  for (int i = 0; i < pane.count(); ++i) text += pane.item(i)->text().toStdString() + "\n";
  return text;
}

std::unique_ptr<ui::TfrmMainW> OpenMainWindow(const std::string& data,
                                              const std::vector<std::string>& args) {
  qputenv("TRELVAR_DATA_DIR", QByteArray::fromStdString(data));
  auto main = std::make_unique<ui::TfrmMainW>(args);
  main->Open();
  main->CreateModes();
  return main;
}

void CloseDialog(QDialog& dialog) {
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    if (QAbstractButton* b = box->defaultButton() != nullptr
                                 ? static_cast<QAbstractButton*>(box->defaultButton())
                                 : box->escapeButton()) {
      b->click();
      return;
    }
  }
  dialog.reject();
}

void WithModalAnswers(const std::function<void()>& action,
                      const std::function<void(QDialog&)>& answer, std::vector<std::string>* seen) {
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(dialog); box != nullptr && seen != nullptr)
      seen->push_back(box->text().toStdString());
    answer(*dialog);
  });
  poll.start();
  action();
  poll.stop();
}

}  // namespace trelvar::test
