// TMainModePage: the Main mode: choose a site, analyse it or download its
// logs, and, under "Show advanced options", the log path, output folder
// and report file that replace the site's (with their histories) and the
// analysis period.
#pragma once

#include "automation/analysis_job.h"
#include "ui/mode_page.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QPushButton;
class QSpinBox;

namespace trelvar::ui {

class TMainModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TMainModePage(TfrmMainW& main);

  void Opened() override;
  void Storing() override;

  // The options of an analysis started from the window: the command line's,
  // with the boxes' overrides and, under the advanced options, the period.
  TJobOptions JobOptions() const;
  // The site chosen, "" without one.
  std::string SiteName() const;

  // The commands.
  void Analyze();
  void Download();

  QComboBox& SiteBox() { return *cbxSite_; }
  QCheckBox& AdvancedBox() { return *chkShowAdvOpts_; }
  QComboBox& LogPathBox() { return *cbxLogPath_; }
  QComboBox& OutputDirBox() { return *cbxOutputDir_; }
  QComboBox& ReportFileBox() { return *cbxReportFile_; }
  QComboBox& PeriodBox() { return *cbxPeriod_; }
  QDateTimeEdit& PeriodFrom() { return *edtPeriodFrom_; }
  QDateTimeEdit& PeriodTo() { return *edtPeriodTo_; }
  QSpinBox& PeriodCount() { return *edtPeriodLast_; }
  QComboBox& PeriodUnit() { return *cbxPeriodUnit_; }

 private:
  void SiteChosen(int index);
  void AdvancedToggled(bool on);
  void PeriodChosen(int index);
  void RememberOverrides();
  void FillHistories();

  QComboBox* cbxSite_ = nullptr;
  QPushButton* btnAnalyze_ = nullptr;
  QPushButton* btnDownload_ = nullptr;
  QPushButton* btnHelp_ = nullptr;
  QCheckBox* chkShowAdvOpts_ = nullptr;
  QGroupBox* pnlAdvanced_ = nullptr;
  QComboBox* cbxLogPath_ = nullptr;
  QComboBox* cbxOutputDir_ = nullptr;
  QComboBox* cbxReportFile_ = nullptr;
  QComboBox* cbxPeriod_ = nullptr;
  QDateTimeEdit* edtPeriodFrom_ = nullptr;
  QDateTimeEdit* edtPeriodTo_ = nullptr;
  QSpinBox* edtPeriodLast_ = nullptr;
  QComboBox* cbxPeriodUnit_ = nullptr;
  bool filling_ = false;
};

}  // namespace trelvar::ui
