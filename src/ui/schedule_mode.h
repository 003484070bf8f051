// TScheduleModePage: the Schedule mode: the list of scheduled tasks (the
// site or "All sites", what the task does when, its last run) with New and
// Delete, and an editor for the selected task: its site, how often it
// repeats (every day, every week on a weekday, every month on a day), the
// time of day and the Download, Analyze and Send mail boxes.
//
// The page edits the main window's schedule in memory: every change goes
// into the task at once. The main window saves the schedule when it goes;
// the page saves it too when another mode is chosen, so that a crash later
// does not lose the edits. Rows of the list are the schedule's tasks in
// order. Main thread only.
#pragma once

#include <cstddef>

#include "ui/mode_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimeEdit;

namespace trelvar {
struct TScheduleItem;
}

namespace trelvar::ui {

class TScheduleModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TScheduleModePage(TfrmMainW& main);

  void Opened() override;
  void Entered() override;
  void Leaving() override;

  // Rebuilds the task list and the site choice, and selects the selected
  // task again (or the first). A task run by the schedule shows its new
  // last run after it.
  void Refresh();

  // The commands. DeleteTask asks first.
  void NewTask();
  void DeleteTask();

  // The selected row, -1 without one.
  int SelectedTask() const;
  void SelectTask(int row);

  QTableWidget& TaskList() { return *grdTasks_; }
  QComboBox& SiteBox() { return *cbxTaskSite_; }
  QComboBox& PeriodBox() { return *cbxTaskPeriod_; }
  QComboBox& WeekdayBox() { return *cbxTaskWeekday_; }
  QSpinBox& MonthDayBox() { return *edtTaskMonthDay_; }
  QTimeEdit& TimeBox() { return *edtTaskTime_; }
  QCheckBox& DownloadBox() { return *chkTaskDownload_; }
  QCheckBox& AnalyzeBox() { return *chkTaskAnalyze_; }
  QCheckBox& SendMailBox() { return *chkTaskSendMail_; }

 private:
  void FillSites();
  void FillRow(int row);
  void ShowTask();
  void ShowDayControls();
  // The selected task, or null.
  TScheduleItem* Task();
  // Applies `edit` to the selected task and shows its new row.
  template <typename Edit>
  void EditTask(Edit edit);

  void SiteChosen(int index);
  void PeriodChosen(int index);
  void WeekdayChosen(int index);
  void MonthDayChosen(int value);
  void TimeChosen();

  QTableWidget* grdTasks_ = nullptr;
  QPushButton* btnTaskNew_ = nullptr;
  QPushButton* btnTaskDelete_ = nullptr;
  QPushButton* btnScheduleHelp_ = nullptr;
  QGroupBox* pnlTask_ = nullptr;
  QComboBox* cbxTaskSite_ = nullptr;
  QComboBox* cbxTaskPeriod_ = nullptr;
  QLabel* lblTaskWeekday_ = nullptr;
  QComboBox* cbxTaskWeekday_ = nullptr;
  QLabel* lblTaskMonthDay_ = nullptr;
  QSpinBox* edtTaskMonthDay_ = nullptr;
  QTimeEdit* edtTaskTime_ = nullptr;
  QCheckBox* chkTaskDownload_ = nullptr;
  QCheckBox* chkTaskAnalyze_ = nullptr;
  QCheckBox* chkTaskSendMail_ = nullptr;
  // Set while the page fills its controls, so that filling is no edit.
  bool filling_ = false;
};

}  // namespace trelvar::ui
