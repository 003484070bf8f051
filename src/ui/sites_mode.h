// TSitesModePage: the Sites mode of the main window.
//
// The list of the registry's sites (new, remove, duplicate, reorder by
// drag and drop) and an editor of the chosen site: every field of its
// record, the FTP access, and its filter table. Edits go straight into the
// record; the registry is written (TWS::SaveToFile) when the user leaves a
// site, leaves the mode or the settings are saved, and at once after a
// site was added, removed, duplicated or moved. Errors of the core (a
// failed save) end in the status pane; the page stays usable. The page
// keeps no pointer into the registry across Opened(), which creates it
// again. Main thread only.
#pragma once

#include <string>

#include "ui/mode_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QToolButton;

namespace trelvar {
struct TWebSite;
}

namespace trelvar::ui {

class TSitesModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TSitesModePage(TfrmMainW& main);

  void Opened() override;
  void Leaving() override;
  void Storing() override;

  // The commands (the buttons call them).
  void NewSite();
  void RemoveSite();        // asks first
  void DuplicateSite();
  // Recognizes the format of the log path box's file; answers the format
  // found, "" when refused or not recognised.
  std::string RecognizeFormat();
  // What follows the log path chooser: the box takes `path`, then the tip
  // and the offer to recognise the file's format (when the GUI settings
  // want them).
  void LogPathChosen(const QString& path, bool is_file);
  // Writes the registry when something changed; false when the save failed
  // (the status pane says why).
  bool SaveSites();
  // The filter table's rows.
  void AddFilterRow();
  void DeleteFilterRow();

  // Selects the site at `row` of the list (leaving the one edited).
  void SelectRow(int row);
  // The site being edited, or null.
  TWebSite* EditedSite();

  QListWidget& SiteList() { return *lstSites_; }
  QCheckBox& AdvancedBox() { return *chkShowAdvOpts_; }
  QTableWidget& FilterTable() { return *grdFilters_; }
  QComboBox& FormatBox() { return *cbxFormat_; }

 private:
  void BuildEditor(QWidget* editor);
  QWidget* BuildGeneralTab();
  QWidget* BuildFtpTab();
  QWidget* BuildFiltersTab();
  void FillList(const std::string& select_name);
  void FillFormats(const std::string& select);
  void ShowSite();
  void ShowFilters();
  void ApplyName();
  void ListChanged();
  void ListOrderChanged();
  void AdvancedToggled(bool on);
  void FilterCellChanged(int row, int column);
  void FilterComboChanged(int row);
  void UpdateButtons();
  void SyncMainSiteList();
  void ChooseLogFile();
  void ChooseLogFolder();
  // Connects an edit so that typing sets a text field of the site.
  void Bind(QLineEdit* edit, std::string TWebSite::*field);
  void AfterCreation(const std::string& name);

  QListWidget* lstSites_ = nullptr;
  QPushButton* btnNewSite_ = nullptr;
  QPushButton* btnRemoveSite_ = nullptr;
  QPushButton* btnDuplicateSite_ = nullptr;
  QPushButton* btnHelp_ = nullptr;
  QCheckBox* chkShowAdvOpts_ = nullptr;
  QTabWidget* pnlSiteTabs_ = nullptr;
  QWidget* editor_ = nullptr;

  QLineEdit* edtName_ = nullptr;
  QComboBox* cbxFormat_ = nullptr;
  QPushButton* btnRecognize_ = nullptr;
  QLineEdit* edtLogPath_ = nullptr;
  QLineEdit* edtOutputDir_ = nullptr;
  QLineEdit* edtOutputUri_ = nullptr;
  QLineEdit* edtReportFile_ = nullptr;
  QComboBox* cbxAppType_ = nullptr;
  QLineEdit* edtEmail_ = nullptr;
  QWidget* advanced_rows_[4] = {};

  QLineEdit* edtRemoteHost_ = nullptr;
  QSpinBox* edtRemotePort_ = nullptr;
  QLineEdit* edtUserName_ = nullptr;
  QLineEdit* edtPassword_ = nullptr;
  QCheckBox* chkPassiveMode_ = nullptr;
  QLineEdit* edtRemoteLogPath_ = nullptr;

  QTableWidget* grdFilters_ = nullptr;
  QPushButton* btnAddFilter_ = nullptr;
  QPushButton* btnDeleteFilter_ = nullptr;

  // The name of the site in the editor ("" for none).
  std::string edited_;
  bool filling_ = false;
  bool dirty_ = false;
};

}  // namespace trelvar::ui
