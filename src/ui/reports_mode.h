// TReportsModePage: the Reports mode: the report list of the current
// report set and the editor of one report.
//
// The list adds (of a chosen type), deletes, duplicates and reorders
// reports (drag and drop). The editor shows the chosen report's name, type,
// category, remarks, the parameter rows its definition writes, and its
// filters. Every edit goes to the report set at once: the report is made
// again from its edited definition (TReportDefinition), so a value the
// editor does not understand goes back as it was; a value the report does
// not take, or a definition it refuses, is said in the note under the
// editor and leaves the report as it was. The set is written to the
// default site's report file when the mode is left and when the settings
// are saved, if anything changed. The page keeps no report pointers across
// events: an analysis may load another set at any time. Main thread only.
#pragma once

#include <string>

#include "ui/mode_page.h"
#include "ui/report_definition.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace trelvar {
class TCustomWReport;
class TRepParser;
}  // namespace trelvar

namespace trelvar::ui {

class TReportsModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TReportsModePage(TfrmMainW& main);

  void Opened() override;
  void Entered() override;
  void Leaving() override;
  void Storing() override;

  // The commands (the buttons ask first where they should).
  // A new report of the type (its "type=" key), chosen in the list.
  void AddReport(const std::string& type_key);
  void DeleteReport(int index);
  void DuplicateReport(int index);
  // The report at `from` goes to the place `to` (list indices).
  void MoveReport(int from, int to);
  void SelectReport(int index);
  int SelectedReport() const { return current_; }
  void AddFilter();
  void DeleteFilter(int row);
  void ShowCategories();
  // The editor's values go to the chosen report; false when refused.
  bool ApplyEditor();
  // The list and the editor again from the report set.
  void Refill();
  // Something changed since the set was last written.
  bool Changed() const { return dirty_; }
  // The note under the editor (what was refused or taken otherwise).
  QString Note() const;

  QListWidget& ReportList() { return *lstReports_; }
  QLineEdit& NameEdit() { return *edtName_; }
  QComboBox& CategoryBox() { return *cbxCategory_; }
  QPlainTextEdit& RemarksEdit() { return *edtRemarks_; }
  QTableWidget& ParamTable() { return *grdParams_; }
  QTableWidget& FilterTable() { return *grdFilters_; }
  QLabel& TypeLabel() { return *lblTypeName_; }

 private:
  TRepParser* Set() const;
  TCustomWReport* Current() const;
  void FillCategories(int category_no);
  void FillEditor();
  void FillParams(const TReportDefinition& d);
  void FillFilters(const TReportDefinition& d);
  void AddFilterRow(const TFilterRow& f);
  TReportDefinition Compose() const;
  void SetNote(const QString& text, bool error);
  void RowChosen(int row);
  void RowsMoved(int start, int destination);
  void AddClick();
  void DeleteClick();
  void SaveIfChanged();
  void EnableEditor();
  // The list and the editor still show the set's reports as they are.
  bool InSync();

  QListWidget* lstReports_ = nullptr;
  QPushButton* btnAdd_ = nullptr;
  QPushButton* btnDelete_ = nullptr;
  QPushButton* btnDuplicate_ = nullptr;
  QPushButton* btnCategories_ = nullptr;
  QPushButton* btnHelp_ = nullptr;
  QWidget* pnlEditor_ = nullptr;
  QLineEdit* edtName_ = nullptr;
  QLabel* lblTypeName_ = nullptr;
  QComboBox* cbxCategory_ = nullptr;
  QTabWidget* pnlPages_ = nullptr;
  QTableWidget* grdParams_ = nullptr;
  QPlainTextEdit* edtRemarks_ = nullptr;
  QTableWidget* grdFilters_ = nullptr;
  QPushButton* btnAddFilter_ = nullptr;
  QPushButton* btnDeleteFilter_ = nullptr;
  QLabel* lblNote_ = nullptr;

  int current_ = -1;     // the report in the editor (index in the set)
  // What the editor was filled with, to tell the user's edits from a set
  // that changed underneath (never dereferenced).
  const TCustomWReport* shown_report_ = nullptr;
  TReportDefinition shown_;
  bool filling_ = false;  // the controls are being filled: no edits
  bool dirty_ = false;
};

}  // namespace trelvar::ui
