// TResultsModePage: the Results mode: the reports in an embedded browser
// with back, forward, refresh, home, stop, print and mail, and an address
// box with its history.
#pragma once

#include <QPrinter>
#include <memory>

#include "ui/mode_page.h"

class QComboBox;
class QToolButton;
class QWebEngineView;

namespace trelvar::ui {

class TResultsModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TResultsModePage(TfrmMainW& main);

  void Opened() override;
  void Storing() override;

  // Shows a local file or an address; the address goes to the top of the
  // history. `refresh` reloads a page that is shown already.
  void Navigate(const QString& file_or_address, bool refresh);
  // The address shown in the address box.
  QString Address() const;

  // The commands without a browser of their own.
  void Home();
  void Print();
  // Zips the folder of the page shown into "reports.zip" there and mails it
  // to the default recipient of the options.
  void Mail();

  QComboBox& AddressBox() { return *cbxAddress_; }
  // Null until the page is first shown (the browser starts then).
  QWebEngineView* Browser() const { return browser_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void EnsureBrowser();
  void AddressEntered();
  void RememberAddress(const QString& address);

  QComboBox* cbxAddress_ = nullptr;
  QToolButton* btnBack_ = nullptr;
  QToolButton* btnForward_ = nullptr;
  QToolButton* btnRefresh_ = nullptr;
  QToolButton* btnHome_ = nullptr;
  QToolButton* btnStop_ = nullptr;
  QToolButton* btnPrint_ = nullptr;
  QToolButton* btnMail_ = nullptr;
  QWebEngineView* browser_ = nullptr;
  std::unique_ptr<QPrinter> printer_;
  QString pending_;
  QString home_;
};

}  // namespace trelvar::ui
