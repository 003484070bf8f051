// A main window over a fresh data folder, for the tests of the modes and
// dialogs: the sample main.ini and websites.ini, a gui.ini that shows no
// instruction tips, and the test's own reports.ini.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>

#include "test_support.h"
#include "ui/main_window.h"
#include "ui/ui_fixture.h"

namespace trelvar::ui::test {

class MainWindowTest : public ::testing::Test {
 protected:
  trelvar::test::TTempDir dir;
  std::unique_ptr<TfrmMainW> main;

  // Before Open: the test's report file.
  virtual std::string ReportsIni() const { return ""; }

  void SetUp() override {
    const std::string defaults = std::string(TRELVAR_SOURCE_DIR) + "/Default/";
    for (const char* name : {"main.ini", "websites.ini"})
      trelvar::test::WriteFile(dir / name, trelvar::test::ReadFile(defaults + name));
    trelvar::test::WriteFile(dir / "gui.ini", trelvar::test::kQuietGui);
    trelvar::test::WriteFile(dir / "reports.ini", ReportsIni());
    main = trelvar::test::OpenMainWindow(dir.path());
    ASSERT_TRUE(main->IsOpen());
  }
  void TearDown() override {
    main.reset();
    qunsetenv("TRELVAR_DATA_DIR");
  }

  std::string DataFile(const std::string& name) const {
    return trelvar::test::ReadFile(dir / name);
  }
};

// Answers the next modal message box with `button` and keeps its text.
inline void AnswerNextBox(QMessageBox::StandardButton button, QString* text = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, button, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr && ++*tries < 300) return;
    timer->stop();
    timer->deleteLater();
    if (box == nullptr) return;
    if (text != nullptr) *text = box->text();
    if (QAbstractButton* b = box->button(button)) b->click();
    else box->done(button);
  });
  timer->start();
}

}  // namespace trelvar::ui::test
