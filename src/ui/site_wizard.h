// TfrmSiteWizard: the new-site wizard.
//
// Four pages ask for the site's name, its log path and format (with the
// file chooser and format recognition), its output folder and, optionally,
// its FTP access. Finishing creates the site in the registry (with the
// defaults of a new site for everything not asked), writes websites.ini
// and leaves the site's name in SiteName(). An empty or taken name is
// refused with a message and the wizard stays open; a failed save is
// written to the status pane and the site stays in the registry. Modal;
// main thread only.
#pragma once

#include <QWizard>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace trelvar {
class TLogFmts;
}

namespace trelvar::ui {

class TfrmMainW;

// The format of the log file at `path`, recognised with the catalogue's
// messages; an empty path or one with a mask is refused with the message
// that says so. "" when refused or not recognised. The site editor and the
// wizard share it.
std::string RecognizeSiteLog(TLogFmts& formats, const std::string& path);

class TfrmSiteWizard : public QWizard {
  Q_OBJECT

 public:
  TfrmSiteWizard(TfrmMainW& main, QWidget* parent = nullptr);

  // Creates the site from the fields; false (with a message) when the name
  // is refused. Finish calls it.
  bool CreateSite();
  // The name of the created site, "" before.
  const std::string& SiteName() const { return created_; }
  // Recognizes the format of the log path's file and selects it; "" when
  // refused or not recognised.
  std::string RecognizeFormat();
  // The message that refuses `name`, "" when it may be used.
  std::string NameProblem(const std::string& name) const;

  QLineEdit& NameEdit() { return *edtName_; }
  QLineEdit& LogPathEdit() { return *edtLogPath_; }
  QComboBox& FormatBox() { return *cbxFormat_; }
  QLineEdit& OutputDirEdit() { return *edtOutputDir_; }
  QCheckBox& UseFtpBox() { return *chkUseFtp_; }
  QLineEdit& HostEdit() { return *edtHost_; }
  QSpinBox& PortEdit() { return *edtPort_; }
  QLineEdit& UserEdit() { return *edtUser_; }
  QLineEdit& PasswordEdit() { return *edtPassword_; }
  QLineEdit& RemotePathEdit() { return *edtRemotePath_; }
  QCheckBox& PassiveBox() { return *chkPassive_; }

  void accept() override;
  bool validateCurrentPage() override;

 private:
  void FillFormats(const std::string& select);

  TfrmMainW& main_;
  std::string created_;
  QLineEdit* edtName_ = nullptr;
  QCheckBox* chkShowWizard_ = nullptr;
  QLineEdit* edtLogPath_ = nullptr;
  QComboBox* cbxFormat_ = nullptr;
  QLineEdit* edtOutputDir_ = nullptr;
  QCheckBox* chkUseFtp_ = nullptr;
  QLineEdit* edtHost_ = nullptr;
  QSpinBox* edtPort_ = nullptr;
  QLineEdit* edtUser_ = nullptr;
  QLineEdit* edtPassword_ = nullptr;
  QLineEdit* edtRemotePath_ = nullptr;
  QCheckBox* chkPassive_ = nullptr;
  int name_page_ = -1;
};

}  // namespace trelvar::ui
