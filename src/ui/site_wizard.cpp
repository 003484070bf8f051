#include "ui/site_wizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWizardPage>

#include "base/run_control.h"
#include "base/text_helpers.h"
#include "config/gui_settings.h"
#include "config/translator.h"
#include "logread/format_recognition.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/controls.h"

namespace trelvar::ui {

namespace {

QWizardPage* Page(QWidget* parent, const QString& title, const QString& subtitle) {
  auto* page = new QWizardPage(parent);
  page->setTitle(title);
  page->setSubTitle(subtitle);
  return page;
}

}  // namespace

TfrmSiteWizard::TfrmSiteWizard(TfrmMainW& main, QWidget* parent) : QWizard(parent), main_(main) {
  setObjectName(QStringLiteral("frmSiteWizard"));
  setWindowTitle(Tr(2165, "New site wizard"));
  setWizardStyle(QWizard::ModernStyle);
  setOption(QWizard::HaveHelpButton, true);
  // The wizard's own buttons speak the user's language too.
  setButtonText(QWizard::BackButton, Tr(2400, "< &Back"));
  setButtonText(QWizard::NextButton, Tr(2401, "&Next >"));
  setButtonText(QWizard::FinishButton, Tr(2402, "&Finish"));
  setButtonText(QWizard::CancelButton, Tr(2403, "Cancel"));
  setButtonText(QWizard::HelpButton, Tr(2404, "&Help"));
  TWS& sites = *main_.Context().sites;

  // Name.
  QWizardPage* name_page = Page(this, Tr(2166, "Name of the site"),
                                Tr(2167, "Give the site a name you will know it by, such as its address."));
  edtName_ = NamedEdit(name_page, "edtName");
  std::string suggestion = Translate(404, "New Site");
  for (int n = 1;; ++n)
    if (sites.GetSiteIndex(suggestion + " " + std::to_string(n)) < 0) {
      suggestion += " " + std::to_string(n);
      break;
    }
  edtName_->setText(Q(suggestion));
  edtName_->selectAll();
  chkShowWizard_ = new QCheckBox(Tr(2168, "Use this wizard when a new site is created"), name_page);
  chkShowWizard_->setObjectName(QStringLiteral("chkShowWizard"));
  chkShowWizard_->setChecked(main_.Gui().ask_show_site_wizard);
  auto* name_form = new QFormLayout(name_page);
  name_form->addRow(FormLabel(name_page, "lblName", Tr(2111, "&Name:"), edtName_), edtName_);
  name_form->addItem(new QSpacerItem(0, 16));
  name_form->addRow(chkShowWizard_);

  // Log files.
  QWizardPage* log_page = Page(this, Tr(2169, "Log files"),
                               Tr(2170, "Say where the site's log files lie and which format they have. "
                                        "Recognize reads the first lines of a log file and finds its format."));
  edtLogPath_ = NamedEdit(log_page, "edtLogPath",
                     Tr(2116, "A log file, a folder, or a mask such as /var/log/apache2/access.log*; "
                              "several paths separated by \";\""));
  auto* btnLogPath = new QPushButton(QStringLiteral("…"), log_page);
  btnLogPath->setObjectName(QStringLiteral("btnLogPath"));
  btnLogPath->setToolTip(Tr(2117, "Choose a log file or a folder"));
  btnLogPath->setFixedWidth(36);
  auto* log_row = new QHBoxLayout;
  log_row->addWidget(edtLogPath_, 1);
  log_row->addWidget(btnLogPath);
  cbxFormat_ = new QComboBox(log_page);
  cbxFormat_->setObjectName(QStringLiteral("cbxFormat"));
  cbxFormat_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  auto* btnRecognize = new QPushButton(Tr(2113, "Re&cognize"), log_page);
  btnRecognize->setObjectName(QStringLiteral("btnRecognize"));
  btnRecognize->setToolTip(Tr(2114, "Recognize the log format of the file in the log path"));
  auto* format_row = new QHBoxLayout;
  format_row->addWidget(cbxFormat_, 1);
  format_row->addWidget(btnRecognize);
  auto* log_form = new QFormLayout(log_page);
  log_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  log_form->addRow(FormLabel(log_page, "lblLogPath", Tr(2115, "&Log path:"), edtLogPath_), log_row);
  log_form->addRow(FormLabel(log_page, "lblFormat", Tr(2112, "&Format:"), cbxFormat_), format_row);
  FillFormats("MS IIS 5.0");

  // Reports.
  QWizardPage* out_page = Page(this, Tr(2171, "Reports"),
                               Tr(2172, "Say in which folder the report pages are written. A relative "
                                        "folder lies in the data folder."));
  edtOutputDir_ = NamedEdit(out_page, "edtOutputDir");
  edtOutputDir_->setText(QStringLiteral("zeb_out"));
  auto* btnOutputDir = new QPushButton(QStringLiteral("…"), out_page);
  btnOutputDir->setObjectName(QStringLiteral("btnOutputDir"));
  btnOutputDir->setToolTip(Tr(2121, "Choose the output folder"));
  btnOutputDir->setFixedWidth(36);
  auto* out_row = new QHBoxLayout;
  out_row->addWidget(edtOutputDir_, 1);
  out_row->addWidget(btnOutputDir);
  auto* out_form = new QFormLayout(out_page);
  out_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  out_form->addRow(FormLabel(out_page, "lblOutputDir", Tr(2120, "&Output folder:"), edtOutputDir_), out_row);

  // FTP.
  QWizardPage* ftp_page = Page(this, Tr(2173, "FTP download"),
                               Tr(2174, "Optional: the server from which the log files are downloaded."));
  chkUseFtp_ = new QCheckBox(Tr(2175, "&Download the logs from an FTP server"), ftp_page);
  chkUseFtp_->setObjectName(QStringLiteral("chkUseFtp"));
  auto* ftp_fields = new QWidget(ftp_page);
  edtHost_ = NamedEdit(ftp_fields, "edtHost", Tr(2161, "Name or address of the FTP server"));
  edtPort_ = new QSpinBox(ftp_fields);
  edtPort_->setObjectName(QStringLiteral("edtPort"));
  edtPort_->setRange(1, 65535);
  edtPort_->setValue(21);
  edtUser_ = NamedEdit(ftp_fields, "edtUser");
  edtPassword_ = NamedEdit(ftp_fields, "edtPassword");
  edtPassword_->setEchoMode(QLineEdit::Password);
  edtRemotePath_ = NamedEdit(ftp_fields, "edtRemotePath",
                        Tr(2138, "A file, a folder ending in \"/\", or a mask such as /logs/ex*.log"));
  edtRemotePath_->setText(QStringLiteral("/"));
  chkPassive_ = new QCheckBox(Tr(2135, "Passive mode"), ftp_fields);
  chkPassive_->setObjectName(QStringLiteral("chkPassive"));
  chkPassive_->setChecked(true);
  auto* ftp_form = new QFormLayout(ftp_fields);
  ftp_form->setContentsMargins(0, 0, 0, 0);
  ftp_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  ftp_form->addRow(FormLabel(ftp_fields, "lblHost", Tr(2131, "FTP &host:"), edtHost_), edtHost_);
  ftp_form->addRow(FormLabel(ftp_fields, "lblPort", Tr(2132, "&Port:"), edtPort_), edtPort_);
  ftp_form->addRow(FormLabel(ftp_fields, "lblUser", Tr(2133, "&User name:"), edtUser_), edtUser_);
  ftp_form->addRow(FormLabel(ftp_fields, "lblPassword", Tr(2134, "Pass&word:"), edtPassword_), edtPassword_);
  ftp_form->addRow(FormLabel(ftp_fields, "lblRemotePath", Tr(2137, "Remote log &path:"), edtRemotePath_),
                   edtRemotePath_);
  ftp_form->addRow(QString(), chkPassive_);
  ftp_fields->setEnabled(false);
  auto* ftp_layout = new QVBoxLayout(ftp_page);
  ftp_layout->addWidget(chkUseFtp_);
  ftp_layout->addWidget(ftp_fields);
  ftp_layout->addStretch(1);

  name_page_ = addPage(name_page);
  addPage(log_page);
  addPage(out_page);
  addPage(ftp_page);
  setMinimumSize(560, 420);

  connect(chkUseFtp_, &QCheckBox::toggled, ftp_fields, &QWidget::setEnabled);
  connect(btnRecognize, &QPushButton::clicked, this, [this] { main_.Guarded([this] { RecognizeFormat(); }); });
  connect(btnLogPath, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, Tr(2162, "Log file"), edtLogPath_->text());
    if (file.isEmpty()) return;
    edtLogPath_->setText(file);
    if (!main_.Gui().ask_for_recognize_format) return;
    bool dont_ask = false;
    TQuestion question;
    question.text = Translate(2151, "Do you want to recognize the log format of this file?");
    question.dont_ask_again = &dont_ask;
    const bool yes = RunControl().Ask(question);
    if (dont_ask) main_.Gui().ask_for_recognize_format = false;
    if (yes) main_.Guarded([this] { RecognizeFormat(); });
  });
  connect(btnOutputDir, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, Tr(2158, "Output folder"), edtOutputDir_->text());
    if (!dir.isEmpty()) edtOutputDir_->setText(dir + QLatin1Char('/'));
  });
  connect(this, &QWizard::helpRequested, this, [this] { main_.ShowHelp("sites.htm"); });
}

void TfrmSiteWizard::FillFormats(const std::string& select) {
  cbxFormat_->clear();
  for (const std::string& name : main_.Context().formats->Names()) cbxFormat_->addItem(Q(name));
  const int index = cbxFormat_->findText(Q(select), Qt::MatchExactly | Qt::MatchCaseSensitive);
  cbxFormat_->setCurrentIndex(index >= 0 ? index : (cbxFormat_->count() > 0 ? 0 : -1));
}

std::string TfrmSiteWizard::NameProblem(const std::string& name) const {
  if (name.empty()) return Translate(2153, "A site needs a name.");
  if (main_.Context().sites->GetSiteIndex(name) >= 0)
    return FormatText(Translate(2154, "There is already a site named \"%1\"."), {name});
  return {};
}

std::string RecognizeSiteLog(TLogFmts& formats, const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) {
    RunControl().ShowMessage(Translate(226,
                                       "To recognize log format, please, specify full path to concrete "
                                       "log file.\r\nThe recognision cannot be applied to path with mask."));
    return {};
  }
  return RecognizeLogFile(formats, path, true, false);
}

std::string TfrmSiteWizard::RecognizeFormat() {
  const std::string name =
      RecognizeSiteLog(*main_.Context().formats, Trim(S(edtLogPath_->text())));
  if (!name.empty()) FillFormats(name);
  return name;
}

bool TfrmSiteWizard::validateCurrentPage() {
  if (currentId() == name_page_) {
    const std::string problem = NameProblem(Trim(S(edtName_->text())));
    if (!problem.empty()) {
      RunControl().ShowMessage(problem);
      return false;
    }
  }
  return QWizard::validateCurrentPage();
}

bool TfrmSiteWizard::CreateSite() {
  const std::string name = Trim(S(edtName_->text()));
  const std::string problem = NameProblem(name);
  if (!problem.empty()) {
    RunControl().ShowMessage(problem);
    return false;
  }
  TWS& sites = *main_.Context().sites;
  // The defaults of a new site, then what the wizard asked.
  TWebSite& site = *sites.GetSiteByName(sites.AddNewSite());
  site.name = name;
  site.log_path = Trim(S(edtLogPath_->text()));
  if (cbxFormat_->currentIndex() >= 0) site.format = S(cbxFormat_->currentText());
  const std::string output = Trim(S(edtOutputDir_->text()));
  if (!output.empty()) site.output_folder = output;
  if (chkUseFtp_->isChecked()) {
    site.remote_host = Trim(S(edtHost_->text()));
    site.remote_port = std::to_string(edtPort_->value());
    site.user_name = Trim(S(edtUser_->text()));
    site.password = S(edtPassword_->text());
    const std::string remote = Trim(S(edtRemotePath_->text()));
    site.remote_log_path = remote.empty() ? "/" : remote;
    site.passive_mode = chkPassive_->isChecked();
  }
  created_ = name;
  main_.Gui().ask_show_site_wizard = chkShowWizard_->isChecked();
  main_.Guarded([&] { sites.SaveToFile(); });
  return true;
}

void TfrmSiteWizard::accept() {
  if (CreateSite()) QWizard::accept();
}

}  // namespace trelvar::ui
