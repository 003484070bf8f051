#include "ui/main_mode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "config/gui_settings.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/tip_dialog.h"
#include "ui/window_host.h"
#include "ui/window_tasks.h"

namespace trelvar::ui {

namespace {

QComboBox* HistoryBox(QWidget* parent, const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  box->setMinimumContentsLength(30);
  return box;
}

QPushButton* BrowseButton(QWidget* parent, const char* name) {
  auto* b = new QPushButton(QStringLiteral("…"), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(Tr(2040, "Browse..."));
  b->setFixedWidth(36);
  return b;
}

void FillHistory(QComboBox& box, const std::vector<std::string>& list) {
  const QString typed = box.currentText();
  box.clear();
  for (const std::string& entry : list) box.addItem(Q(entry));
  box.setCurrentText(typed);
}

// The entry goes to the top of the history, once.
void Remember(std::vector<std::string>& list, const std::string& entry) {
  if (entry.empty()) return;
  list.erase(std::remove(list.begin(), list.end(), entry), list.end());
  list.insert(list.begin(), entry);
  if (list.size() > TGUISettings::kHistorySize) list.resize(TGUISettings::kHistorySize);
}

}  // namespace

TMainModePage::TMainModePage(TfrmMainW& main) : TModePage(main) {
  cbxSite_ = new QComboBox(this);
  cbxSite_->setObjectName(QStringLiteral("cbxSite"));
  cbxSite_->setMinimumContentsLength(28);
  btnAnalyze_ = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), Tr(2041, "&Analyze"), this);
  btnAnalyze_->setObjectName(QStringLiteral("btnAnalyze"));
  btnAnalyze_->setShortcut(QKeySequence(Qt::Key_F9));
  btnAnalyze_->setToolTip(Tr(2042, "Analyze the logs of the chosen site (F9)"));
  btnAnalyze_->setDefault(true);
  btnDownload_ =
      new QPushButton(style()->standardIcon(QStyle::SP_ArrowDown), Tr(2043, "&Download"), this);
  btnDownload_->setObjectName(QStringLiteral("btnDownload"));
  btnDownload_->setToolTip(Tr(2044, "Download the site's logs by FTP"));
  btnHelp_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton), Tr(2045, "Help"), this);
  btnHelp_->setObjectName(QStringLiteral("btnHelp"));
  btnHelp_->setShortcut(QKeySequence::HelpContents);

  auto* site_row = new QHBoxLayout;
  QLabel* site_label = FormLabel(this, "lblSite", Tr(2046, "&Site:"), cbxSite_);
  site_row->addWidget(site_label);
  site_row->addWidget(cbxSite_, 1);
  site_row->addSpacing(12);
  site_row->addWidget(btnAnalyze_);
  site_row->addWidget(btnDownload_);
  site_row->addStretch(1);
  site_row->addWidget(btnHelp_);

  chkShowAdvOpts_ = new QCheckBox(Tr(2047, "Show advanced options"), this);
  chkShowAdvOpts_->setObjectName(QStringLiteral("chkShowAdvOpts"));

  pnlAdvanced_ = new QGroupBox(Tr(2048, "Advanced options"), this);
  pnlAdvanced_->setObjectName(QStringLiteral("pnlAdvanced"));
  cbxLogPath_ = HistoryBox(pnlAdvanced_, "cbxLogPath");
  cbxOutputDir_ = HistoryBox(pnlAdvanced_, "cbxOutputDir");
  cbxReportFile_ = HistoryBox(pnlAdvanced_, "cbxReportFile");
  QPushButton* btnLogPath = BrowseButton(pnlAdvanced_, "btnLogPath");
  QPushButton* btnOutputDir = BrowseButton(pnlAdvanced_, "btnOutputDir");
  QPushButton* btnReportFile = BrowseButton(pnlAdvanced_, "btnReportFile");
  auto row = [this](QComboBox* box, QPushButton* button) {
    auto* r = new QHBoxLayout;
    r->addWidget(box, 1);
    r->addWidget(button);
    return r;
  };
  cbxPeriod_ = new QComboBox(pnlAdvanced_);
  cbxPeriod_->setObjectName(QStringLiteral("cbxPeriod"));
  cbxPeriod_->addItems({Tr(2049, "All time"), Tr(2050, "Between"), Tr(2051, "For last")});
  edtPeriodFrom_ = new QDateTimeEdit(pnlAdvanced_);
  edtPeriodFrom_->setObjectName(QStringLiteral("edtPeriodFrom"));
  edtPeriodFrom_->setCalendarPopup(true);
  edtPeriodFrom_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
  edtPeriodTo_ = new QDateTimeEdit(pnlAdvanced_);
  edtPeriodTo_->setObjectName(QStringLiteral("edtPeriodTo"));
  edtPeriodTo_->setCalendarPopup(true);
  edtPeriodTo_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
  edtPeriodLast_ = new QSpinBox(pnlAdvanced_);
  edtPeriodLast_->setObjectName(QStringLiteral("edtPeriodLast"));
  edtPeriodLast_->setRange(1, 100000);
  cbxPeriodUnit_ = new QComboBox(pnlAdvanced_);
  cbxPeriodUnit_->setObjectName(QStringLiteral("cbxPeriodUnit"));
  cbxPeriodUnit_->addItems({Tr(2052, "Hours"), Tr(2053, "Days"), Tr(2054, "Months"), Tr(2055, "Years")});
  // Creation: all time, the units on days.
  cbxPeriod_->setCurrentIndex(0);
  cbxPeriodUnit_->setCurrentIndex(1);
  const QDateTime today(QDate::currentDate(), QTime(0, 0));
  edtPeriodFrom_->setDateTime(today.addDays(-30));
  edtPeriodTo_->setDateTime(today);
  edtPeriodLast_->setValue(30);

  auto* period_row = new QHBoxLayout;
  period_row->addWidget(cbxPeriod_);
  period_row->addWidget(edtPeriodFrom_);
  period_row->addWidget(edtPeriodTo_);
  period_row->addWidget(edtPeriodLast_);
  period_row->addWidget(cbxPeriodUnit_);
  period_row->addStretch(1);

  auto* form = new QFormLayout(pnlAdvanced_);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  auto label = [this](const char* name, const QString& text, QWidget* buddy) {
    return FormLabel(pnlAdvanced_, name, text, buddy);
  };
  form->addRow(label("lblLogPath", Tr(2056, "&Log path:"), cbxLogPath_), row(cbxLogPath_, btnLogPath));
  form->addRow(label("lblOutputDir", Tr(2057, "&Output folder:"), cbxOutputDir_),
               row(cbxOutputDir_, btnOutputDir));
  form->addRow(label("lblReportFile", Tr(2058, "&Report file:"), cbxReportFile_),
               row(cbxReportFile_, btnReportFile));
  form->addRow(label("lblPeriod", Tr(2059, "&Period:"), cbxPeriod_), period_row);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addLayout(site_row);
  layout->addWidget(chkShowAdvOpts_);
  layout->addWidget(pnlAdvanced_);
  layout->addStretch(1);

  connect(cbxSite_, &QComboBox::currentIndexChanged, this, &TMainModePage::SiteChosen);
  connect(btnAnalyze_, &QPushButton::clicked, this, &TMainModePage::Analyze);
  connect(btnDownload_, &QPushButton::clicked, this, &TMainModePage::Download);
  connect(btnHelp_, &QPushButton::clicked, this, [this] { main_.ShowHelp("index.htm"); });
  connect(chkShowAdvOpts_, &QCheckBox::toggled, this, &TMainModePage::AdvancedToggled);
  connect(cbxPeriod_, &QComboBox::currentIndexChanged, this, &TMainModePage::PeriodChosen);
  connect(btnLogPath, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, Tr(2060, "Log file"), cbxLogPath_->currentText());
    if (!file.isEmpty()) cbxLogPath_->setCurrentText(file);
  });
  connect(btnOutputDir, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, Tr(2061, "Output folder"),
                                                          cbxOutputDir_->currentText());
    if (!dir.isEmpty()) cbxOutputDir_->setCurrentText(dir + QLatin1Char('/'));
  });
  connect(btnReportFile, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, Tr(2062, "Report file"),
                                                      cbxReportFile_->currentText(),
                                                      QStringLiteral("*.ini"));
    if (!file.isEmpty()) cbxReportFile_->setCurrentText(file);
  });
  AdvancedToggled(false);
  PeriodChosen(0);
}

void TMainModePage::Opened() {
  TRunContext& ctx = main_.Context();
  filling_ = true;
  cbxSite_->clear();
  for (size_t i = 0; i < ctx.sites->Count(); ++i) cbxSite_->addItem(Q(ctx.sites->Site(i).name));
  const TWebSite* current = ctx.sites->Current();
  cbxSite_->setCurrentIndex(current != nullptr ? ctx.sites->GetSiteIndex(current->name) : 0);
  filling_ = false;

  const TGUISettings& gui = main_.Gui();
  chkShowAdvOpts_->setChecked(gui.show_main_adv_opts);
  AdvancedToggled(gui.show_main_adv_opts);
  FillHistories();

  const TMainSettings& s = *ctx.settings;
  const int type = static_cast<int>(s.analyze_period_type);
  cbxPeriod_->setCurrentIndex(type >= 0 && type <= 2 ? type : 0);
  const QDateTime from = ToQDateTime(s.analyze_period_from);
  const QDateTime to = ToQDateTime(s.analyze_period_to);
  if (from.isValid()) edtPeriodFrom_->setDateTime(from);
  if (to.isValid()) edtPeriodTo_->setDateTime(to);
  edtPeriodLast_->setValue(s.analyze_period_last);
  cbxPeriodUnit_->setCurrentIndex(std::clamp(s.analyze_period_measure, 0, 3));
}

void TMainModePage::FillHistories() {
  const TGUISettings& gui = main_.Gui();
  FillHistory(*cbxLogPath_, gui.recent_log_path);
  FillHistory(*cbxOutputDir_, gui.recent_output_dir);
  FillHistory(*cbxReportFile_, gui.recent_report_file);
}

void TMainModePage::Storing() {
  TMainSettings& s = *main_.Context().settings;
  s.analyze_period_type = static_cast<TPeriodType>(cbxPeriod_->currentIndex());
  s.analyze_period_from = FromQDateTime(edtPeriodFrom_->dateTime());
  s.analyze_period_to = FromQDateTime(edtPeriodTo_->dateTime());
  s.analyze_period_last = edtPeriodLast_->value();
  s.analyze_period_measure = cbxPeriodUnit_->currentIndex();
  main_.Gui().show_main_adv_opts = chkShowAdvOpts_->isChecked();
}

std::string TMainModePage::SiteName() const { return S(cbxSite_->currentText()); }

TJobOptions TMainModePage::JobOptions() const {
  TJobOptions options = main_.CmdLine().job;
  options.started_with_parameters = main_.CmdLine().has_parameters;
  if (!chkShowAdvOpts_->isChecked()) return options;
  auto take = [](const QComboBox& box, std::string& into) {
    const std::string text = S(box.currentText().trimmed());
    if (!text.empty()) into = text;
  };
  take(*cbxLogPath_, options.log_path);
  take(*cbxOutputDir_, options.output_folder);
  take(*cbxReportFile_, options.report_file);
  // A period on the command line stands above the window's.
  if (options.period.type == TPeriodType::None) {
    options.period.type = static_cast<TPeriodType>(cbxPeriod_->currentIndex());
    options.period.from = FromQDateTime(edtPeriodFrom_->dateTime());
    options.period.to = FromQDateTime(edtPeriodTo_->dateTime());
    options.period.count = edtPeriodLast_->value();
    options.period.unit = cbxPeriodUnit_->currentIndex();
  }
  return options;
}

void TMainModePage::RememberOverrides() {
  TGUISettings& gui = main_.Gui();
  Remember(gui.recent_log_path, S(cbxLogPath_->currentText().trimmed()));
  Remember(gui.recent_output_dir, S(cbxOutputDir_->currentText().trimmed()));
  Remember(gui.recent_report_file, S(cbxReportFile_->currentText().trimmed()));
  FillHistories();
}

void TMainModePage::Analyze() {
  if (!main_.IsOpen() || main_.Busy()) return;
  const std::string site = SiteName();
  if (site.empty()) {
    main_.Host().ShowMessage(Translate(2063, "There is no site to analyze. Create one in the Sites mode."));
    return;
  }
  TGUISettings& gui = main_.Gui();
  if (!main_.Context().settings->reverse_dns_lookup)
    TfrmTip::Offer(&main_, Tr(2030, "Tip"),
                   Tr(207, "Trelvar can look up the host names of your visitors (reverse DNS). The "
                           "reports of domains and hosts become richer, but an analysis takes "
                           "longer. You can switch it on in the options."),
                   gui.show_dns_lookup_warning_beta);
  if (chkShowAdvOpts_->isChecked()) RememberOverrides();
  RunAnalysis(main_, site, false);
}

void TMainModePage::Download() {
  if (!main_.IsOpen() || main_.Busy()) return;
  const std::string site = SiteName();
  if (site.empty()) return;
  RunDownload(main_, site, false);
}

void TMainModePage::SiteChosen(int index) {
  if (filling_ || !main_.IsOpen() || index < 0) return;
  main_.Context().sites->SelectSite(index);
}

void TMainModePage::AdvancedToggled(bool on) { pnlAdvanced_->setVisible(on); }

void TMainModePage::PeriodChosen(int index) {
  edtPeriodFrom_->setVisible(index == 1);
  edtPeriodTo_->setVisible(index == 1);
  edtPeriodLast_->setVisible(index == 2);
  cbxPeriodUnit_->setVisible(index == 2);
}

}  // namespace trelvar::ui
