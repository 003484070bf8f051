// TfrmOptions: the options dialog over the main settings.
//
// Pages for the pages written, the analysis, the language and the mail
// account. The dialog shows the settings as they are; OK checks every
// number first (a bad one is named and nothing is stored), then stores the
// values into the main settings, switches the language and writes main.ini.
// Cancel changes nothing. Main thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace trelvar::ui {

class TfrmMainW;

class TfrmOptions : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOptions(TfrmMainW& main);

  // Checks and stores the values and writes main.ini; on a bad value
  // stores nothing and answers false with the reason in `error`.
  bool Store(QString& error);
  // OK: Store, or the reason in a message box and the dialog stays open.
  void accept() override;

  QTabWidget& Pages() { return *pnlPages_; }

 private:
  QCheckBox* Check(QWidget* parent, const char* name, const QString& text, const QString& hint,
                   bool value);
  QLineEdit* Edit(QWidget* parent, const char* name, const QString& hint, const QString& value);
  void Help();

  TfrmMainW& main_;
  QTabWidget* pnlPages_ = nullptr;
  // Pages written
  QCheckBox* chkShowNavigationBar_ = nullptr;
  QCheckBox* chkShowReportCategories_ = nullptr;
  QCheckBox* chkShowTimeRange_ = nullptr;
  QCheckBox* chkShowDeveloperInformation_ = nullptr;
  QCheckBox* chkCleanOutputFolder_ = nullptr;
  QCheckBox* chkAutoExportIntoExcel_ = nullptr;
  QCheckBox* chkShowResultsInBrowser_ = nullptr;
  QCheckBox* chkAutoStartBrowser_ = nullptr;
  // Analysis
  QCheckBox* chkReverseDNSLookup_ = nullptr;
  QLineEdit* edtDNSLookupThreads_ = nullptr;
  QCheckBox* chkApproximateAnalysis_ = nullptr;
  QLineEdit* edtApproximateTolerance_ = nullptr;
  QCheckBox* chkIncrementalAnalysis_ = nullptr;
  QCheckBox* chkAutoRecognizeLogFormat_ = nullptr;
  QCheckBox* chkCaseSensitiveURLs_ = nullptr;
  QLineEdit* edtTimeOffset_ = nullptr;
  QLineEdit* edtWebPageExtensions_ = nullptr;
  QLineEdit* edtVisPathExtensions_ = nullptr;
  // Language
  QComboBox* cbxLanguage_ = nullptr;
  // Mail
  QLineEdit* edtSmtpServer_ = nullptr;
  QLineEdit* edtSmtpPort_ = nullptr;
  QLineEdit* edtMailUserID_ = nullptr;
  QLineEdit* edtMailPassword_ = nullptr;
  QLineEdit* edtMailSender_ = nullptr;
  QLineEdit* edtMailDefReciever_ = nullptr;
  QLineEdit* edtMailSubject_ = nullptr;
  QPlainTextEdit* edtMailMessage_ = nullptr;
};

}  // namespace trelvar::ui
