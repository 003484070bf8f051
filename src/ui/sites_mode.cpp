#include "ui/sites_mode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/run_control.h"
#include "base/text_helpers.h"
#include "config/gui_settings.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/main_mode.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/site_wizard.h"
#include "ui/tip_dialog.h"
#include "ui/window_tasks.h"
#include "ui/controls.h"

namespace trelvar::ui {

namespace {

constexpr int kParamColumn = 0;
constexpr int kConditionColumn = 1;
constexpr int kValueColumn = 2;
constexpr int kActionColumn = 3;
constexpr int kActionValueColumn = 4;
constexpr int kParamCount = 19;

// The conditions in the order the editor offers them: those with a display
// name first; the value-file-once condition has none and shows its name in
// files.
constexpr TFilterCondition kConditionOrder[] = {
    TFilterCondition::Includes,       TFilterCondition::NotIncludes,
    TFilterCondition::Equals,         TFilterCondition::NotEquals,
    TFilterCondition::IncludedIn,     TFilterCondition::NotIncludedIn,
    TFilterCondition::IncludedInFile, TFilterCondition::NotIncludedInFile,
    TFilterCondition::IncludedInFileOnce};

QString ConditionText(TFilterCondition c) {
  const std::string display = ConditionDisplayName(c);
  return Q(display.empty() ? ConditionName(c) : display);
}

// A line edit with a browse button on its right, as one widget (so that a
// form row can be hidden as a whole).
QWidget* WithButton(QWidget* parent, QLineEdit* edit, QAbstractButton* button) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  edit->setParent(box);
  button->setParent(box);
  row->addWidget(edit, 1);
  row->addWidget(button);
  return box;
}

QPushButton* BrowseButton(QWidget* parent, const char* name, const QString& hint) {
  auto* b = new QPushButton(QStringLiteral("…"), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(hint);
  b->setFixedWidth(36);
  return b;
}

// The first free name of the form "name (copy)", "name (copy 2)", ...
std::string CopyName(const TWS& sites, const std::string& name) {
  const std::string base = FormatText(Translate(2155, "%1 (copy)"), {name});
  if (sites.GetSiteIndex(base) < 0) return base;
  for (int n = 2;; ++n) {
    std::string candidate = base;
    if (!candidate.empty() && candidate.back() == ')')
      candidate.insert(candidate.size() - 1, " " + std::to_string(n));
    else
      candidate += " " + std::to_string(n);
    if (sites.GetSiteIndex(candidate) < 0) return candidate;
  }
}

}  // namespace

TSitesModePage::TSitesModePage(TfrmMainW& main) : TModePage(main) {
  auto* left = new QWidget(this);
  lstSites_ = new QListWidget(left);
  lstSites_->setObjectName(QStringLiteral("lstSites"));
  lstSites_->setDragDropMode(QAbstractItemView::InternalMove);
  lstSites_->setDefaultDropAction(Qt::MoveAction);
  lstSites_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstSites_->setMinimumWidth(180);
  lstSites_->setToolTip(Tr(2156, "Drag a site to change the order of the list"));

  btnNewSite_ = new QPushButton(style()->standardIcon(QStyle::SP_FileIcon), Tr(2100, "&New site"), left);
  btnNewSite_->setObjectName(QStringLiteral("btnNewSite"));
  btnNewSite_->setToolTip(Tr(2101, "Create a new site (Ctrl+N)"));
  btnNewSite_->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
  btnRemoveSite_ =
      new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), Tr(2102, "&Remove"), left);
  btnRemoveSite_->setObjectName(QStringLiteral("btnRemoveSite"));
  btnRemoveSite_->setToolTip(Tr(2103, "Remove the chosen site"));
  btnDuplicateSite_ = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogNewFolder),
                                      Tr(2104, "D&uplicate"), left);
  btnDuplicateSite_->setObjectName(QStringLiteral("btnDuplicateSite"));
  btnDuplicateSite_->setToolTip(Tr(2105, "Make a copy of the chosen site"));
  btnHelp_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton), Tr(2106, "Help"), left);
  btnHelp_->setObjectName(QStringLiteral("btnSiteHelp"));

  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->addWidget(btnNewSite_);
  left_layout->addWidget(lstSites_, 1);
  auto* list_buttons = new QHBoxLayout;
  list_buttons->addWidget(btnRemoveSite_);
  list_buttons->addWidget(btnDuplicateSite_);
  left_layout->addLayout(list_buttons);

  editor_ = new QWidget(this);
  BuildEditor(editor_);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(left);
  splitter->addWidget(editor_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  splitter->setSizes({220, 780});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter, 1);

  connect(btnNewSite_, &QPushButton::clicked, this, [this] { NewSite(); });
  connect(btnRemoveSite_, &QPushButton::clicked, this, [this] { RemoveSite(); });
  connect(btnDuplicateSite_, &QPushButton::clicked, this, [this] { DuplicateSite(); });
  connect(btnHelp_, &QPushButton::clicked, this, [this] { main_.ShowHelp("sites.htm"); });
  connect(lstSites_, &QListWidget::currentRowChanged, this, [this] { ListChanged(); });
  // A drop moves the item in the list model; the registry follows once the
  // drop is over.
  auto order_changed = [this] {
    if (!filling_) QTimer::singleShot(0, this, [this] { ListOrderChanged(); });
  };
  connect(lstSites_->model(), &QAbstractItemModel::rowsMoved, this, order_changed);
  connect(lstSites_->model(), &QAbstractItemModel::rowsInserted, this, order_changed);
  AdvancedToggled(false);
  UpdateButtons();
}

void TSitesModePage::BuildEditor(QWidget* editor) {
  chkShowAdvOpts_ = new QCheckBox(Tr(2107, "Show advanced options"), editor);
  chkShowAdvOpts_->setObjectName(QStringLiteral("chkShowAdvOpts"));
  pnlSiteTabs_ = new QTabWidget(editor);
  pnlSiteTabs_->setObjectName(QStringLiteral("pnlSiteTabs"));
  pnlSiteTabs_->addTab(BuildGeneralTab(), Tr(2108, "General"));
  pnlSiteTabs_->addTab(BuildFtpTab(), Tr(2109, "FTP and e-mail"));
  pnlSiteTabs_->addTab(BuildFiltersTab(), Tr(2110, "Filters"));
  auto* layout = new QVBoxLayout(editor);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  top->addWidget(chkShowAdvOpts_);
  top->addStretch(1);
  top->addWidget(btnHelp_);
  layout->addLayout(top);
  layout->addWidget(pnlSiteTabs_, 1);
  connect(chkShowAdvOpts_, &QCheckBox::toggled, this, [this](bool on) { AdvancedToggled(on); });
}

QWidget* TSitesModePage::BuildGeneralTab() {
  auto* tab = new QWidget;
  auto* form = new QFormLayout(tab);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);

  edtName_ = NamedEdit(tab, "edtSiteName", Tr(2157, "The name the site is known by; each site has its own"));
  form->addRow(FormLabel(tab, "lblSiteName", Tr(2111, "&Name:"), edtName_), edtName_);

  cbxFormat_ = new QComboBox(tab);
  cbxFormat_->setObjectName(QStringLiteral("cbxSiteFormat"));
  cbxFormat_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  btnRecognize_ = new QPushButton(Tr(2113, "Re&cognize"), tab);
  btnRecognize_->setObjectName(QStringLiteral("btnRecognize"));
  btnRecognize_->setToolTip(Tr(2114, "Recognize the log format of the file in the log path"));
  auto* format_box = new QWidget(tab);
  auto* format_row = new QHBoxLayout(format_box);
  format_row->setContentsMargins(0, 0, 0, 0);
  cbxFormat_->setParent(format_box);
  btnRecognize_->setParent(format_box);
  format_row->addWidget(cbxFormat_, 1);
  format_row->addWidget(btnRecognize_);
  form->addRow(FormLabel(tab, "lblSiteFormat", Tr(2112, "&Format:"), cbxFormat_), format_box);

  edtLogPath_ = NamedEdit(tab, "edtSiteLogPath",
                     Tr(2116, "A log file, a folder, or a mask such as /var/log/apache2/access.log*; "
                              "several paths separated by \";\""));
  auto* log_button = new QToolButton(tab);
  log_button->setObjectName(QStringLiteral("btnSiteLogPath"));
  log_button->setText(QStringLiteral("…"));
  log_button->setToolTip(Tr(2117, "Choose a log file or a folder"));
  log_button->setPopupMode(QToolButton::InstantPopup);
  log_button->setFixedWidth(36);
  auto* log_menu = new QMenu(log_button);
  QAction* mniLogFile = log_menu->addAction(Tr(2118, "Log &file..."));
  mniLogFile->setObjectName(QStringLiteral("mniSiteLogFile"));
  QAction* mniLogFolder = log_menu->addAction(Tr(2119, "Log f&older..."));
  mniLogFolder->setObjectName(QStringLiteral("mniSiteLogFolder"));
  log_button->setMenu(log_menu);
  form->addRow(FormLabel(tab, "lblSiteLogPath", Tr(2115, "&Log path:"), edtLogPath_),
               WithButton(tab, edtLogPath_, log_button));

  edtOutputDir_ = NamedEdit(tab, "edtSiteOutputDir",
                       Tr(2122, "Folder of the report pages; a relative path lies in the data folder"));
  QPushButton* out_button = BrowseButton(tab, "btnSiteOutputDir", Tr(2121, "Choose the output folder"));
  form->addRow(FormLabel(tab, "lblSiteOutputDir", Tr(2120, "&Output folder:"), edtOutputDir_),
               WithButton(tab, edtOutputDir_, out_button));

  // The advanced rows.
  edtOutputUri_ = NamedEdit(tab, "edtSiteOutputUri",
                       Tr(2124, "Web path of the output folder, used when the program answers as "
                                "a CGI program"));
  form->addRow(FormLabel(tab, "lblSiteOutputUri", Tr(2123, "Output &address:"), edtOutputUri_),
               edtOutputUri_);
  edtReportFile_ = NamedEdit(tab, "edtSiteReportFile",
                        Tr(2126, "File of report definitions; empty: the default report set"));
  QPushButton* rep_button = BrowseButton(tab, "btnSiteReportFile", Tr(2127, "Choose the report file"));
  QWidget* report_row = WithButton(tab, edtReportFile_, rep_button);
  form->addRow(FormLabel(tab, "lblSiteReportFile", Tr(2125, "&Report file:"), edtReportFile_),
               report_row);
  cbxAppType_ = new QComboBox(tab);
  cbxAppType_->setObjectName(QStringLiteral("cbxSiteAppType"));
  cbxAppType_->addItem(Tr(2129, "Windowed or console program"), 1);
  cbxAppType_->addItem(Tr(2130, "CGI program"), 0);
  form->addRow(FormLabel(tab, "lblSiteAppType", Tr(2128, "Application &type:"), cbxAppType_),
               cbxAppType_);
  advanced_rows_[0] = edtOutputUri_;
  advanced_rows_[1] = report_row;
  advanced_rows_[2] = cbxAppType_;

  Bind(edtLogPath_, &TWebSite::log_path);
  Bind(edtOutputDir_, &TWebSite::output_folder);
  Bind(edtOutputUri_, &TWebSite::output_uri);
  Bind(edtReportFile_, &TWebSite::report_file);
  connect(edtName_, &QLineEdit::editingFinished, this, [this] { ApplyName(); });
  connect(cbxFormat_, &QComboBox::currentIndexChanged, this, [this] {
    TWebSite* site = EditedSite();
    if (filling_ || site == nullptr || cbxFormat_->currentIndex() < 0) return;
    site->format = S(cbxFormat_->currentText());
    dirty_ = true;
  });
  connect(cbxAppType_, &QComboBox::currentIndexChanged, this, [this] {
    TWebSite* site = EditedSite();
    if (filling_ || site == nullptr) return;
    site->app_type = static_cast<uint8_t>(cbxAppType_->currentData().toInt());
    dirty_ = true;
  });
  connect(btnRecognize_, &QPushButton::clicked, this, [this] { main_.Guarded([this] { RecognizeFormat(); }); });
  connect(mniLogFile, &QAction::triggered, this, [this] { ChooseLogFile(); });
  connect(mniLogFolder, &QAction::triggered, this, [this] { ChooseLogFolder(); });
  connect(out_button, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, Tr(2158, "Output folder"),
                                                          edtOutputDir_->text());
    if (dir.isEmpty()) return;
    edtOutputDir_->setText(dir + QLatin1Char('/'));
    emit edtOutputDir_->textEdited(edtOutputDir_->text());
  });
  connect(rep_button, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, Tr(2159, "Report file"),
                                                      edtReportFile_->text(), QStringLiteral("*.ini"));
    if (file.isEmpty()) return;
    edtReportFile_->setText(file);
    emit edtReportFile_->textEdited(file);
  });
  return tab;
}

QWidget* TSitesModePage::BuildFtpTab() {
  auto* tab = new QWidget;
  auto* form = new QFormLayout(tab);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  edtRemoteHost_ = NamedEdit(tab, "edtSiteRemoteHost", Tr(2161, "Name or address of the FTP server"));
  form->addRow(FormLabel(tab, "lblSiteRemoteHost", Tr(2131, "FTP &host:"), edtRemoteHost_),
               edtRemoteHost_);
  edtRemotePort_ = new QSpinBox(tab);
  edtRemotePort_->setObjectName(QStringLiteral("edtSiteRemotePort"));
  edtRemotePort_->setRange(1, 65535);
  edtRemotePort_->setValue(21);
  form->addRow(FormLabel(tab, "lblSiteRemotePort", Tr(2132, "&Port:"), edtRemotePort_), edtRemotePort_);
  edtUserName_ = NamedEdit(tab, "edtSiteUserName");
  form->addRow(FormLabel(tab, "lblSiteUserName", Tr(2133, "&User name:"), edtUserName_), edtUserName_);
  edtPassword_ = NamedEdit(tab, "edtSitePassword");
  edtPassword_->setEchoMode(QLineEdit::Password);
  form->addRow(FormLabel(tab, "lblSitePassword", Tr(2134, "Pass&word:"), edtPassword_), edtPassword_);
  chkPassiveMode_ = new QCheckBox(Tr(2135, "Passive mode"), tab);
  chkPassiveMode_->setObjectName(QStringLiteral("chkSitePassiveMode"));
  chkPassiveMode_->setToolTip(Tr(2136, "Use passive FTP data connections (needed behind most firewalls)"));
  form->addRow(QString(), chkPassiveMode_);
  edtRemoteLogPath_ = NamedEdit(tab, "edtSiteRemoteLogPath",
                           Tr(2138, "A file, a folder ending in \"/\", or a mask such as /logs/ex*.log"));
  form->addRow(FormLabel(tab, "lblSiteRemoteLogPath", Tr(2137, "Remote log &path:"), edtRemoteLogPath_),
               edtRemoteLogPath_);
  edtEmail_ = NamedEdit(tab, "edtSiteEmail", Tr(2140, "Recipient of the mailed reports"));
  form->addRow(FormLabel(tab, "lblSiteEmail", Tr(2139, "&E-mail:"), edtEmail_), edtEmail_);

  Bind(edtRemoteHost_, &TWebSite::remote_host);
  Bind(edtUserName_, &TWebSite::user_name);
  Bind(edtPassword_, &TWebSite::password);
  Bind(edtRemoteLogPath_, &TWebSite::remote_log_path);
  Bind(edtEmail_, &TWebSite::email);
  connect(edtRemotePort_, &QSpinBox::valueChanged, this, [this](int port) {
    TWebSite* site = EditedSite();
    if (filling_ || site == nullptr) return;
    site->remote_port = std::to_string(port);
    dirty_ = true;
  });
  connect(chkPassiveMode_, &QCheckBox::toggled, this, [this](bool on) {
    TWebSite* site = EditedSite();
    if (filling_ || site == nullptr) return;
    site->passive_mode = on;
    dirty_ = true;
  });
  return tab;
}

QWidget* TSitesModePage::BuildFiltersTab() {
  auto* tab = new QWidget;
  grdFilters_ = new QTableWidget(0, 5, tab);
  grdFilters_->setObjectName(QStringLiteral("grdSiteFilters"));
  grdFilters_->setHorizontalHeaderLabels({Tr(2141, "Parameter"), Tr(2142, "Condition"), Tr(2143, "Value"),
                                          Tr(2144, "Action"), Tr(2145, "Action value")});
  grdFilters_->horizontalHeader()->setStretchLastSection(true);
  grdFilters_->horizontalHeader()->setSectionResizeMode(kValueColumn, QHeaderView::Stretch);
  grdFilters_->verticalHeader()->setVisible(false);
  grdFilters_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdFilters_->setSelectionMode(QAbstractItemView::SingleSelection);
  btnAddFilter_ = new QPushButton(Tr(2146, "&Add filter"), tab);
  btnAddFilter_->setObjectName(QStringLiteral("btnAddFilter"));
  btnDeleteFilter_ = new QPushButton(Tr(2147, "&Delete filter"), tab);
  btnDeleteFilter_->setObjectName(QStringLiteral("btnDeleteFilter"));
  auto* help = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton), Tr(2106, "Help"), tab);
  help->setObjectName(QStringLiteral("btnSiteFilterHelp"));
  auto* hint = new QLabel(Tr(2148, "Filters run from top to bottom on every log line. In an action "
                                   "value, <href>, <agent> ... stand for the line's fields."),
                          tab);
  hint->setObjectName(QStringLiteral("lblSiteFilterHint"));
  hint->setWordWrap(true);
  hint->setTextFormat(Qt::PlainText);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnAddFilter_);
  buttons->addWidget(btnDeleteFilter_);
  buttons->addStretch(1);
  buttons->addWidget(help);
  auto* layout = new QVBoxLayout(tab);
  layout->addWidget(hint);
  layout->addWidget(grdFilters_, 1);
  layout->addLayout(buttons);

  connect(btnAddFilter_, &QPushButton::clicked, this, [this] { main_.Guarded([this] { AddFilterRow(); }); });
  connect(btnDeleteFilter_, &QPushButton::clicked, this,
          [this] { main_.Guarded([this] { DeleteFilterRow(); }); });
  connect(help, &QPushButton::clicked, this, [this] { main_.ShowHelp("sitefilters.htm"); });
  connect(grdFilters_, &QTableWidget::cellChanged, this,
          [this](int row, int column) { FilterCellChanged(row, column); });
  return tab;
}

void TSitesModePage::Bind(QLineEdit* edit, std::string TWebSite::*field) {
  connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
    TWebSite* site = EditedSite();
    if (filling_ || site == nullptr) return;
    (*site).*field = S(text);
    dirty_ = true;
  });
}

TWebSite* TSitesModePage::EditedSite() {
  if (edited_.empty() || !main_.IsOpen() || main_.Context().sites == nullptr) return nullptr;
  return main_.Context().sites->GetSiteByName(edited_);
}

void TSitesModePage::Opened() {
  chkShowAdvOpts_->setChecked(main_.Gui().show_site_adv_opts);
  AdvancedToggled(chkShowAdvOpts_->isChecked());
  dirty_ = false;
  const TWS& sites = *main_.Context().sites;
  std::string select = edited_;
  if (sites.GetSiteIndex(select) < 0)
    select = sites.Current() != nullptr ? sites.Current()->name : std::string();
  edited_.clear();
  FillFormats("");
  FillList(select);
}

void TSitesModePage::Leaving() {
  if (!main_.IsOpen()) return;
  ApplyName();
  SaveSites();
  SyncMainSiteList();
}

void TSitesModePage::Storing() {
  main_.Gui().show_site_adv_opts = chkShowAdvOpts_->isChecked();
  ApplyName();
  SaveSites();
}

bool TSitesModePage::SaveSites() {
  if (!dirty_ || !main_.IsOpen()) return true;
  const bool ok = main_.Guarded([this] { main_.Context().sites->SaveToFile(); });
  if (ok) dirty_ = false;
  return ok;
}

void TSitesModePage::FillList(const std::string& select_name) {
  const TWS& sites = *main_.Context().sites;
  filling_ = true;
  lstSites_->clear();
  for (size_t i = 0; i < sites.Count(); ++i) {
    auto* item = new QListWidgetItem(Q(sites.Site(i).name), lstSites_);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
  }
  int row = sites.GetSiteIndex(select_name);
  if (row < 0 && sites.Count() > 0) row = 0;
  lstSites_->setCurrentRow(row);
  edited_ = row >= 0 ? sites.Site(static_cast<size_t>(row)).name : std::string();
  filling_ = false;
  ShowSite();
  UpdateButtons();
}

void TSitesModePage::FillFormats(const std::string& select) {
  const bool was_filling = filling_;
  filling_ = true;
  cbxFormat_->clear();
  for (const std::string& name : main_.Context().formats->Names()) cbxFormat_->addItem(Q(name));
  if (!select.empty()) {
    int index = cbxFormat_->findText(Q(select), Qt::MatchExactly | Qt::MatchCaseSensitive);
    // A format the catalogue does not know stays the site's until changed.
    if (index < 0) {
      cbxFormat_->addItem(Q(select));
      index = cbxFormat_->count() - 1;
    }
    cbxFormat_->setCurrentIndex(index);
  } else {
    cbxFormat_->setCurrentIndex(-1);
  }
  filling_ = was_filling;
}

void TSitesModePage::ShowSite() {
  TWebSite* site = EditedSite();
  filling_ = true;
  editor_->setEnabled(site != nullptr);
  const TWebSite blank;
  const TWebSite& s = site != nullptr ? *site : blank;
  edtName_->setText(Q(s.name));
  FillFormats(s.format);
  edtLogPath_->setText(Q(s.log_path));
  edtOutputDir_->setText(Q(s.output_folder));
  edtOutputUri_->setText(Q(s.output_uri));
  edtReportFile_->setText(Q(s.report_file));
  cbxAppType_->setCurrentIndex(s.app_type == 0 ? 1 : 0);
  edtRemoteHost_->setText(Q(s.remote_host));
  edtRemotePort_->setValue(std::clamp(StrToIntDef(Trim(s.remote_port), 21), 1, 65535));
  edtUserName_->setText(Q(s.user_name));
  edtPassword_->setText(Q(s.password));
  chkPassiveMode_->setChecked(s.passive_mode);
  edtRemoteLogPath_->setText(Q(s.remote_log_path));
  edtEmail_->setText(Q(s.email));
  filling_ = false;
  ShowFilters();
}

void TSitesModePage::ShowFilters() {
  TWebSite* site = EditedSite();
  filling_ = true;
  grdFilters_->setRowCount(0);
  const int count = site != nullptr ? static_cast<int>(site->filters.size()) : 0;
  grdFilters_->setRowCount(count);
  for (int row = 0; row < count; ++row) {
    const TSiteFilter& f = site->filters[static_cast<size_t>(row)];
    auto* param = new QComboBox;
    for (int code = 1; code <= kParamCount; ++code)
      param->addItem(Q(SiteParamKey(static_cast<uint8_t>(code))), code);
    param->setCurrentIndex(param->findData(static_cast<int>(f.parameter)));
    auto* condition = new QComboBox;
    for (TFilterCondition c : kConditionOrder) condition->addItem(ConditionText(c), static_cast<int>(c));
    condition->setCurrentIndex(condition->findData(static_cast<int>(f.condition)));
    auto* action = new QComboBox;
    for (int code = 0; code < kSiteFilterActionCount; ++code)
      action->addItem(Q(SiteActionKey(static_cast<TFilterAction>(code))), code);
    action->setCurrentIndex(action->findData(static_cast<int>(f.action)));
    grdFilters_->setCellWidget(row, kParamColumn, param);
    grdFilters_->setCellWidget(row, kConditionColumn, condition);
    grdFilters_->setCellWidget(row, kActionColumn, action);
    grdFilters_->setItem(row, kValueColumn, new QTableWidgetItem(Q(f.value)));
    grdFilters_->setItem(row, kActionValueColumn, new QTableWidgetItem(Q(f.action_value)));
    for (QComboBox* box : {param, condition, action})
      connect(box, &QComboBox::currentIndexChanged, this, [this, row] { FilterComboChanged(row); });
  }
  grdFilters_->resizeColumnToContents(kParamColumn);
  grdFilters_->resizeColumnToContents(kConditionColumn);
  grdFilters_->resizeColumnToContents(kActionColumn);
  filling_ = false;
  UpdateButtons();
}

void TSitesModePage::FilterCellChanged(int row, int column) {
  TWebSite* site = EditedSite();
  if (filling_ || site == nullptr || row < 0 || static_cast<size_t>(row) >= site->filters.size()) return;
  const QTableWidgetItem* item = grdFilters_->item(row, column);
  if (item == nullptr) return;
  TSiteFilter& f = site->filters[static_cast<size_t>(row)];
  if (column == kValueColumn) f.value = S(item->text());
  if (column == kActionValueColumn) f.action_value = S(item->text());
  dirty_ = true;
}

void TSitesModePage::FilterComboChanged(int row) {
  TWebSite* site = EditedSite();
  if (filling_ || site == nullptr || row < 0 || static_cast<size_t>(row) >= site->filters.size()) return;
  auto data = [this, row](int column) {
    auto* box = qobject_cast<QComboBox*>(grdFilters_->cellWidget(row, column));
    return box != nullptr ? box->currentData().toInt() : -1;
  };
  TSiteFilter& f = site->filters[static_cast<size_t>(row)];
  const int param = data(kParamColumn), condition = data(kConditionColumn), action = data(kActionColumn);
  if (param > 0) {
    f.parameter = static_cast<uint8_t>(param);
    f.line_field = SiteParamLineField(f.parameter);
  }
  if (condition >= 0) f.condition = static_cast<TFilterCondition>(condition);
  if (action >= 0) f.action = static_cast<TFilterAction>(action);
  dirty_ = true;
}

void TSitesModePage::AddFilterRow() {
  if (EditedSite() == nullptr) return;
  main_.Context().sites->AddFilter(edited_, "href", ConditionDisplayName(TFilterCondition::Includes), "",
                                   "assign", "");
  dirty_ = true;
  ShowFilters();
  const int last = grdFilters_->rowCount() - 1;
  grdFilters_->setCurrentCell(last, kValueColumn);
  grdFilters_->editItem(grdFilters_->item(last, kValueColumn));
}

void TSitesModePage::DeleteFilterRow() {
  TWebSite* site = EditedSite();
  const int row = grdFilters_->currentRow();
  if (site == nullptr || row < 0 || static_cast<size_t>(row) >= site->filters.size()) return;
  TWS& sites = *main_.Context().sites;
  sites.RemoveFilter(static_cast<size_t>(sites.GetSiteIndex(edited_)), static_cast<size_t>(row));
  dirty_ = true;
  ShowFilters();
  if (grdFilters_->rowCount() > 0) grdFilters_->setCurrentCell(std::min(row, grdFilters_->rowCount() - 1), 0);
}

void TSitesModePage::ApplyName() {
  TWebSite* site = EditedSite();
  if (filling_ || site == nullptr) return;
  const std::string name = Trim(S(edtName_->text()));
  if (name == site->name) return;
  TWS& sites = *main_.Context().sites;
  std::string problem;
  if (name.empty())
    problem = Translate(2153, "A site needs a name.");
  else if (sites.GetSiteIndex(name) >= 0)
    problem = FormatText(Translate(2154, "There is already a site named \"%1\"."), {name});
  if (!problem.empty()) {
    filling_ = true;
    edtName_->setText(Q(site->name));
    filling_ = false;
    RunControl().ShowMessage(problem);
    return;
  }
  TMainSettings& settings = *main_.Context().settings;
  if (settings.default_site == site->name) settings.default_site = name;
  site->name = name;
  edited_ = name;
  dirty_ = true;
  filling_ = true;
  edtName_->setText(Q(name));
  if (QListWidgetItem* item = lstSites_->currentItem()) item->setText(Q(name));
  filling_ = false;
}

void TSitesModePage::ListChanged() {
  if (filling_ || !main_.IsOpen()) return;
  ApplyName();
  SaveSites();
  const int row = lstSites_->currentRow();
  const TWS& sites = *main_.Context().sites;
  edited_ = row >= 0 && static_cast<size_t>(row) < sites.Count() ? sites.Site(static_cast<size_t>(row)).name
                                                                 : std::string();
  ShowSite();
  UpdateButtons();
}

void TSitesModePage::SelectRow(int row) { lstSites_->setCurrentRow(row); }

void TSitesModePage::ListOrderChanged() {
  if (filling_ || !main_.IsOpen()) return;
  main_.Guarded([this] {
    TWS& sites = *main_.Context().sites;
    if (static_cast<size_t>(lstSites_->count()) != sites.Count()) {
      FillList(edited_);
      return;
    }
    bool moved = false;
    for (int i = 0; i < lstSites_->count(); ++i) {
      const std::string name = S(lstSites_->item(i)->text());
      const std::string there = sites.Site(static_cast<size_t>(i)).name;
      if (name == there) continue;
      sites.MoveSite(name, there);  // to position i
      moved = true;
    }
    if (!moved) return;
    dirty_ = true;
    SaveSites();
  });
}

void TSitesModePage::UpdateButtons() {
  const bool has = lstSites_->currentRow() >= 0;
  btnRemoveSite_->setEnabled(has);
  btnDuplicateSite_->setEnabled(has);
  btnDeleteFilter_->setEnabled(has && grdFilters_->rowCount() > 0);
}

void TSitesModePage::AdvancedToggled(bool on) {
  for (QWidget* row : advanced_rows_) {
    if (row == nullptr) continue;
    if (auto* form = qobject_cast<QFormLayout*>(row->parentWidget()->layout())) form->setRowVisible(row, on);
  }
  pnlSiteTabs_->setTabVisible(2, on);
}

void TSitesModePage::NewSite() {
  if (!main_.IsOpen()) return;
  ApplyName();
  SaveSites();
  std::string name;
  if (main_.Gui().ask_show_site_wizard) {
    TfrmSiteWizard wizard(main_, this);
    if (wizard.exec() != QDialog::Accepted) return;
    name = wizard.SiteName();
  } else {
    if (!main_.Guarded([&] { name = main_.Context().sites->AddNewSite(); })) return;
    dirty_ = true;
    SaveSites();
  }
  if (name.empty()) return;
  FillList(name);
  edtName_->setFocus();
  AfterCreation(name);
}

void TSitesModePage::AfterCreation(const std::string& name) {
  TGUISettings& gui = main_.Gui();
  if (!gui.ask_analyze_after_site_creation) return;
  bool dont_ask = false;
  TQuestion question;
  question.text = Translate(2150, "Do you want to analyze the new site now?");
  question.default_answer = false;
  question.dont_ask_again = &dont_ask;
  const bool yes = RunControl().Ask(question);
  if (dont_ask) gui.ask_analyze_after_site_creation = false;
  if (yes && !main_.Busy()) RunAnalysis(main_, name, false);
}

void TSitesModePage::RemoveSite() {
  if (EditedSite() == nullptr) return;
  TQuestion question;
  question.text = FormatText(Translate(2149, "Do you really want to remove the site \"%1\"?"), {edited_});
  question.default_answer = false;
  if (!RunControl().Ask(question)) return;
  const int row = lstSites_->currentRow();
  main_.Guarded([&] {
    TWS& sites = *main_.Context().sites;
    sites.DeleteSite(edited_);
    edited_.clear();
    dirty_ = true;
    SaveSites();
    const int next = std::min(row, static_cast<int>(sites.Count()) - 1);
    FillList(next >= 0 ? sites.Site(static_cast<size_t>(next)).name : std::string());
  });
}

void TSitesModePage::DuplicateSite() {
  TWebSite* site = EditedSite();
  if (site == nullptr) return;
  ApplyName();
  main_.Guarded([&] {
    TWS& sites = *main_.Context().sites;
    auto copy = std::make_unique<TWebSite>(*site);
    copy->name = CopyName(sites, site->name);
    const std::string name = copy->name;
    const int index = sites.GetSiteIndex(site->name);
    sites.AddSite(std::move(copy));
    // The copy goes right below its original.
    if (static_cast<size_t>(index) + 1 < sites.Count() - 1)
      sites.MoveSite(name, sites.Site(static_cast<size_t>(index) + 1).name);
    dirty_ = true;
    SaveSites();
    FillList(name);
  });
}

std::string TSitesModePage::RecognizeFormat() {
  TWebSite* site = EditedSite();
  if (site == nullptr) return {};
  const std::string name =
      RecognizeSiteLog(*main_.Context().formats, Trim(S(edtLogPath_->text())));
  if (name.empty()) return {};
  site = EditedSite();  // the message boxes let events run
  if (site == nullptr) return name;
  site->format = name;
  dirty_ = true;
  FillFormats(name);
  return name;
}

void TSitesModePage::ChooseLogFile() {
  const QString file = QFileDialog::getOpenFileName(this, Tr(2162, "Log file"), edtLogPath_->text());
  if (!file.isEmpty()) LogPathChosen(file, true);
}

void TSitesModePage::ChooseLogFolder() {
  const QString dir = QFileDialog::getExistingDirectory(this, Tr(2163, "Log folder"), edtLogPath_->text());
  if (!dir.isEmpty()) LogPathChosen(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'), false);
}

void TSitesModePage::LogPathChosen(const QString& path, bool is_file) {
  TWebSite* site = EditedSite();
  if (site == nullptr) return;
  edtLogPath_->setText(path);
  site->log_path = S(path);
  dirty_ = true;
  TGUISettings& gui = main_.Gui();
  TfrmTip::Offer(this, Tr(2164, "Log path"),
                 Tr(2152, "The log path may name one file, a folder (all its files are read) or a "
                          "mask such as access.log* or ex*.log. Several paths can be given, "
                          "separated by \";\". Files ending in .gz are read as well."),
                 gui.show_choose_log_path);
  if (!is_file || !gui.ask_for_recognize_format) return;
  bool dont_ask = false;
  TQuestion question;
  question.text = Translate(2151, "Do you want to recognize the log format of this file?");
  question.dont_ask_again = &dont_ask;
  const bool yes = RunControl().Ask(question);
  if (dont_ask) gui.ask_for_recognize_format = false;
  if (yes) main_.Guarded([this] { RecognizeFormat(); });
}

void TSitesModePage::SyncMainSiteList() {
  QComboBox& box = main_.MainPage().SiteBox();
  const TWS& sites = *main_.Context().sites;
  std::string keep = sites.Current() != nullptr ? sites.Current()->name : S(box.currentText());
  const QSignalBlocker block(box);
  box.clear();
  for (size_t i = 0; i < sites.Count(); ++i) box.addItem(Q(sites.Site(i).name));
  int index = sites.GetSiteIndex(keep);
  if (index < 0 && sites.Count() > 0) index = 0;
  box.setCurrentIndex(index);
  if (sites.Current() == nullptr && index >= 0) main_.Context().sites->SelectSite(index);
}

}  // namespace trelvar::ui
