#include "ui/reports_mode.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/text_helpers.h"
#include "config/translator.h"
#include "reports/report_base.h"
#include "reports/report_params.h"
#include "reports/report_set.h"
#include "reports/report_types.h"
#include "reports/run_context.h"
#include "sites/conditions.h"
#include "ui/categories_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/window_host.h"

namespace trelvar::ui {

namespace {

// The conditions as the filter table shows them, in code order.
QString ConditionCaption(int code) {
  switch (code) {
    case 0: return Tr(2230, "includes");
    case 1: return Tr(2231, "does not include");
    case 2: return Tr(2232, "equals");
    case 3: return Tr(2233, "does not equal");
    case 4: return Tr(2234, "includes a line of the file");
    case 5: return Tr(2235, "includes no line of the file");
    case 6: return Tr(2236, "includes a line of the file, each line once");
    case 7: return Tr(2237, "is part of");
    case 8: return Tr(2238, "is not part of");
    default: return {};
  }
}

QString ParamText(ReportParam param) {
  const std::string caption = ParamCaption(param);
  return caption.empty() ? Q(ParamKey(param)) : Q(caption);
}

QComboBox* ParamBox(QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QStringLiteral("cbxReportFilterParam"));
  for (size_t i = 0; i < kParamCount; ++i)
    box->addItem(ParamText(ParamAt(i)), Q(ParamKey(ParamAt(i))));
  return box;
}

QComboBox* ConditionBox(QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QStringLiteral("cbxReportFilterCondition"));
  for (int i = 0; i < kConditionCount; ++i)
    box->addItem(ConditionCaption(i), Q(ConditionName(static_cast<TFilterCondition>(i))));
  return box;
}

// The entry whose data is `value`; an unknown value is added as itself, so
// that it is shown and kept as it was.
void Choose(QComboBox& box, const QString& value) {
  int at = box.findData(value);
  if (at < 0) {
    box.addItem(value, value);
    at = box.count() - 1;
  }
  box.setCurrentIndex(at);
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

}  // namespace

TReportsModePage::TReportsModePage(TfrmMainW& main) : TModePage(main) {
  auto button = [this](const char* name, const QString& text, QStyle::StandardPixmap icon) {
    auto* b = new QPushButton(style()->standardIcon(icon), text, this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  btnAdd_ = button("btnAddReport", Tr(2200, "&Add..."), QStyle::SP_FileDialogNewFolder);
  btnAdd_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  btnAdd_->setToolTip(Tr(2201, "Add a new report of a chosen type (Ctrl+N)"));
  btnDelete_ = button("btnDeleteReport", Tr(2202, "&Delete"), QStyle::SP_TrashIcon);
  btnDelete_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
  btnDelete_->setToolTip(Tr(2203, "Delete the chosen report (Ctrl+Del)"));
  btnDuplicate_ = button("btnDuplicateReport", Tr(2204, "D&uplicate"), QStyle::SP_FileLinkIcon);
  btnDuplicate_->setToolTip(Tr(2205, "Add a copy of the chosen report"));
  btnCategories_ =
      button("btnReportCategories", Tr(2206, "&Categories..."), QStyle::SP_DirIcon);
  btnCategories_->setToolTip(Tr(2207, "Add, rename, delete and order the report categories"));
  btnHelp_ = button("btnReportsHelp", Tr(2208, "Help"), QStyle::SP_DialogHelpButton);
  btnHelp_->setShortcut(QKeySequence::HelpContents);

  auto* commands = new QHBoxLayout;
  for (QPushButton* b : {btnAdd_, btnDelete_, btnDuplicate_}) commands->addWidget(b);
  commands->addSpacing(12);
  commands->addWidget(btnCategories_);
  commands->addStretch(1);
  commands->addWidget(btnHelp_);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName(QStringLiteral("splReports"));
  lstReports_ = new QListWidget(splitter);
  lstReports_->setObjectName(QStringLiteral("lstReports"));
  lstReports_->setToolTip(Tr(2209, "The reports in the order of the list page; drag a report "
                                   "to move it"));
  lstReports_->setDragDropMode(QAbstractItemView::InternalMove);
  lstReports_->setDefaultDropAction(Qt::MoveAction);
  lstReports_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstReports_->setMinimumWidth(200);

  pnlEditor_ = new QWidget(splitter);
  edtName_ = new QLineEdit(pnlEditor_);
  edtName_->setObjectName(QStringLiteral("edtReportName"));
  edtName_->setToolTip(Tr(2210, "The name of the report, its heading on the pages"));
  lblTypeName_ = new QLabel(pnlEditor_);
  lblTypeName_->setObjectName(QStringLiteral("lblReportTypeName"));
  lblTypeName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cbxCategory_ = new QComboBox(pnlEditor_);
  cbxCategory_->setObjectName(QStringLiteral("cbxReportCategory"));
  cbxCategory_->setToolTip(Tr(2211, "The category that holds the report in the list page's tree"));
  cbxCategory_->setSizeAdjustPolicy(QComboBox::AdjustToContents);

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  auto label = [this](const char* name, const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, pnlEditor_);
    l->setObjectName(QString::fromLatin1(name));
    l->setBuddy(buddy);
    return l;
  };
  form->addRow(label("lblReportName", Tr(2212, "&Name:"), edtName_), edtName_);
  form->addRow(label("lblReportType", Tr(2213, "Type:"), nullptr), lblTypeName_);
  form->addRow(label("lblReportCategory", Tr(2214, "Cate&gory:"), cbxCategory_), cbxCategory_);

  pnlPages_ = new QTabWidget(pnlEditor_);
  pnlPages_->setObjectName(QStringLiteral("pnlReportPages"));

  grdParams_ = new QTableWidget(0, 2, pnlPages_);
  grdParams_->setObjectName(QStringLiteral("grdReportParams"));
  grdParams_->setHorizontalHeaderLabels({Tr(2215, "Parameter"), Tr(2216, "Value")});
  grdParams_->horizontalHeader()->setStretchLastSection(true);
  grdParams_->verticalHeader()->hide();
  grdParams_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
  grdParams_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdParams_->setToolTip(
      Tr(2217, "The report's own settings as its definition lines hold them; see Help"));
  pnlPages_->addTab(grdParams_, Tr(2218, "Parameters"));

  auto* filters = new QWidget(pnlPages_);
  grdFilters_ = new QTableWidget(0, 3, filters);
  grdFilters_->setObjectName(QStringLiteral("grdReportFilters"));
  grdFilters_->setHorizontalHeaderLabels(
      {Tr(2215, "Parameter"), Tr(2220, "Condition"), Tr(2216, "Value")});
  grdFilters_->horizontalHeader()->setStretchLastSection(true);
  grdFilters_->verticalHeader()->hide();
  grdFilters_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 14);
  grdFilters_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdFilters_->setToolTip(Tr(2222, "The report counts only the lines that pass every filter"));
  btnAddFilter_ = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogNewFolder),
                                  Tr(2223, "Add &filter"), filters);
  btnAddFilter_->setObjectName(QStringLiteral("btnAddReportFilter"));
  btnDeleteFilter_ = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon),
                                     Tr(2224, "Delete f&ilter"), filters);
  btnDeleteFilter_->setObjectName(QStringLiteral("btnDeleteReportFilter"));
  auto* btnFiltersHelp = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton),
                                         Tr(2225, "Filters help"), filters);
  btnFiltersHelp->setObjectName(QStringLiteral("btnReportFiltersHelp"));
  auto* filter_buttons = new QHBoxLayout;
  filter_buttons->addWidget(btnAddFilter_);
  filter_buttons->addWidget(btnDeleteFilter_);
  filter_buttons->addStretch(1);
  filter_buttons->addWidget(btnFiltersHelp);
  auto* filter_layout = new QVBoxLayout(filters);
  filter_layout->addWidget(grdFilters_, 1);
  filter_layout->addLayout(filter_buttons);
  pnlPages_->addTab(filters, Tr(2226, "Filters"));

  edtRemarks_ = new QPlainTextEdit(pnlPages_);
  edtRemarks_->setObjectName(QStringLiteral("edtReportRemarks"));
  edtRemarks_->setToolTip(Tr(2227, "Text shown above the report's table, one paragraph"));
  pnlPages_->addTab(edtRemarks_, Tr(2228, "Remarks"));

  lblNote_ = new QLabel(pnlEditor_);
  lblNote_->setObjectName(QStringLiteral("lblReportNote"));
  lblNote_->setWordWrap(true);
  lblNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblNote_->hide();

  auto* editor = new QVBoxLayout(pnlEditor_);
  editor->setContentsMargins(8, 0, 0, 0);
  editor->addLayout(form);
  editor->addWidget(pnlPages_, 1);
  editor->addWidget(lblNote_);
  splitter->addWidget(lstReports_);
  splitter->addWidget(pnlEditor_);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 5);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addLayout(commands);
  layout->addWidget(splitter, 1);

  connect(btnAdd_, &QPushButton::clicked, this, &TReportsModePage::AddClick);
  connect(btnDelete_, &QPushButton::clicked, this, &TReportsModePage::DeleteClick);
  connect(btnDuplicate_, &QPushButton::clicked, this,
          [this] { main_.Guarded([this] { DuplicateReport(current_); }); });
  connect(btnCategories_, &QPushButton::clicked, this, &TReportsModePage::ShowCategories);
  connect(btnHelp_, &QPushButton::clicked, this, [this] { main_.ShowHelp("reports.htm"); });
  connect(btnFiltersHelp, &QPushButton::clicked, this, [this] { main_.ShowHelp("filters.htm"); });
  connect(btnAddFilter_, &QPushButton::clicked, this, [this] { main_.Guarded([this] { AddFilter(); }); });
  connect(btnDeleteFilter_, &QPushButton::clicked, this,
          [this] { main_.Guarded([this] { DeleteFilter(grdFilters_->currentRow()); }); });
  connect(lstReports_, &QListWidget::currentRowChanged, this, &TReportsModePage::RowChosen);
  connect(lstReports_->model(), &QAbstractItemModel::rowsMoved, this,
          [this](const QModelIndex&, int start, int, const QModelIndex&, int destination) {
            RowsMoved(start, destination);
          });
  auto apply = [this] {
    if (!filling_) main_.Guarded([this] { ApplyEditor(); });
  };
  connect(edtName_, &QLineEdit::editingFinished, this, apply);
  connect(cbxCategory_, &QComboBox::activated, this, apply);
  connect(edtRemarks_, &QPlainTextEdit::textChanged, this, apply);
  connect(grdParams_, &QTableWidget::cellChanged, this, apply);
  connect(grdFilters_, &QTableWidget::cellChanged, this, apply);
  EnableEditor();
}

// --- the shared objects --------------------------------------------------------

TRepParser* TReportsModePage::Set() const {
  if (!main_.IsOpen()) return nullptr;
  return main_.Context().report_set.get();
}

TCustomWReport* TReportsModePage::Current() const {
  TRepParser* set = Set();
  return set != nullptr ? set->GetReportByIndex(current_) : nullptr;
}

bool TReportsModePage::InSync() {
  TRepParser* set = Set();
  if (set == nullptr) return false;
  if (static_cast<int>(set->reports.size()) != lstReports_->count()) return false;
  TCustomWReport* r = Current();
  if (r != shown_report_) return false;
  return r == nullptr || TReportDefinition::Of(*r) == shown_;
}

void TReportsModePage::Opened() {
  dirty_ = false;
  current_ = -1;
  Refill();
}

void TReportsModePage::Entered() {
  // An analysis may have loaded another report file since the last visit.
  Refill();
}

void TReportsModePage::Leaving() {
  main_.Guarded([this] { ApplyEditor(); });
  SaveIfChanged();
}

void TReportsModePage::Storing() {
  main_.Guarded([this] { ApplyEditor(); });
  SaveIfChanged();
}

void TReportsModePage::SaveIfChanged() {
  if (!dirty_) return;
  main_.SaveReportSet();
  dirty_ = false;
}

// --- the list ------------------------------------------------------------------

void TReportsModePage::Refill() {
  TRepParser* set = Set();
  filling_ = true;
  lstReports_->clear();
  const int count = set != nullptr ? static_cast<int>(set->reports.size()) : 0;
  for (int i = 0; i < count; ++i) {
    TCustomWReport& r = *set->reports[static_cast<size_t>(i)];
    auto* item = new QListWidgetItem(Q(r.report_name), lstReports_);
    item->setData(Qt::UserRole, i);
    item->setToolTip(Q(r.TypeCaption()));
  }
  if (current_ >= count) current_ = count - 1;
  if (current_ < 0 && count > 0) current_ = 0;
  lstReports_->setCurrentRow(current_);
  filling_ = false;
  FillEditor();
}

void TReportsModePage::SelectReport(int index) {
  if (index < 0 || index >= lstReports_->count()) return;
  lstReports_->setCurrentRow(index);
}

void TReportsModePage::RowChosen(int row) {
  if (filling_) return;
  QListWidgetItem* item = row >= 0 ? lstReports_->item(row) : nullptr;
  const int index = item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
  if (index == current_) return;
  main_.Guarded([this] { ApplyEditor(); });
  current_ = index;
  FillEditor();
}

void TReportsModePage::RowsMoved(int start, int destination) {
  if (filling_) return;
  // The list moved its item already; the set follows, and the items learn
  // their new places.
  const int to = destination > start ? destination - 1 : destination;
  if (!InSync()) {
    // The set changed under the list: it is shown again once the drop is over.
    QMetaObject::invokeMethod(this, [this] { Refill(); }, Qt::QueuedConnection);
    return;
  }
  main_.Guarded([&] {
    ApplyEditor();
    TRepParser& set = *Set();
    const std::string name = set.reports.at(static_cast<size_t>(start))->report_name;
    const std::string target = set.reports.at(static_cast<size_t>(to))->report_name;
    if (set.GetReportIndex(name) == start && set.GetReportIndex(target) == to) {
      set.MoveReport(name, target);
    } else {  // names that are not unique: by place
      auto r = std::move(set.reports[static_cast<size_t>(start)]);
      set.reports.erase(set.reports.begin() + start);
      set.reports.insert(set.reports.begin() + to, std::move(r));
    }
    dirty_ = true;
    if (current_ == start)
      current_ = to;
    else if (start < current_ && current_ <= to)
      --current_;
    else if (to <= current_ && current_ < start)
      ++current_;
  });
  for (int i = 0; i < lstReports_->count(); ++i) lstReports_->item(i)->setData(Qt::UserRole, i);
}

void TReportsModePage::MoveReport(int from, int to) {
  const int count = lstReports_->count();
  if (from < 0 || from >= count || to < 0 || to >= count || from == to) return;
  // The same way a drop goes: the list moves the row, the set follows.
  lstReports_->model()->moveRow(QModelIndex(), from, QModelIndex(), to > from ? to + 1 : to);
}

void TReportsModePage::AddClick() {
  QStringList captions;
  std::vector<std::string> keys;
  for (const TReportType& type : ReportTypes()) {
    captions << Q(type.caption());
    keys.push_back(type.key);
  }
  bool ok = false;
  const QString chosen =
      QInputDialog::getItem(this, Tr(2240, "New report"), Tr(2241, "Type of the new report:"),
                            captions, 0, false, &ok);
  if (!ok) return;
  const qsizetype at = captions.indexOf(chosen);
  if (at < 0) return;
  main_.Guarded([&] { AddReport(keys[static_cast<size_t>(at)]); });
}

void TReportsModePage::AddReport(const std::string& type_key) {
  TRepParser* set = Set();
  if (set == nullptr) return;
  if (!InSync()) Refill();
  ApplyEditor();
  if (type_key == "basic") {
    set->AddNewReport();
  } else {
    const TReportType* type = FindReportType(type_key);
    if (type == nullptr) return;
    set->AddReport(type->create(set->Context()));
  }
  dirty_ = true;
  current_ = static_cast<int>(set->reports.size()) - 1;
  Refill();
  edtName_->setFocus();
  edtName_->selectAll();
}

void TReportsModePage::DeleteClick() {
  TCustomWReport* r = Current();
  if (r == nullptr) return;
  const std::string question =
      FormatText(Translate(2242, "Delete the report \"%1\"?"), {r->report_name});
  if (!main_.Host().Ask({question, false, nullptr})) return;
  main_.Guarded([this] { DeleteReport(current_); });
}

void TReportsModePage::DeleteReport(int index) {
  TRepParser* set = Set();
  if (set == nullptr || set->GetReportByIndex(index) == nullptr) return;
  if (!InSync()) return Refill();
  if (index != current_) ApplyEditor();
  set->RemoveReportByIndex(index);
  dirty_ = true;
  if (current_ > index) --current_;  // the one after a deleted current_ takes its place
  Refill();
}

void TReportsModePage::DuplicateReport(int index) {
  TRepParser* set = Set();
  TCustomWReport* r = set != nullptr ? set->GetReportByIndex(index) : nullptr;
  if (r == nullptr) return;
  if (!InSync()) return Refill();
  ApplyEditor();
  std::unique_ptr<TCustomWReport> copy = r->Clone();
  // The copy is meant to sit beside its original in the list page's tree.
  copy->category_no = r->category_no;
  set->AddReport(std::move(copy));
  dirty_ = true;
  current_ = static_cast<int>(set->reports.size()) - 1;
  Refill();
}

void TReportsModePage::ShowCategories() {
  if (Set() == nullptr) return;
  main_.Guarded([this] { ApplyEditor(); });
  TfrmCategories dialog(main_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  dirty_ = true;
  Refill();
}

// --- the editor ----------------------------------------------------------------

void TReportsModePage::EnableEditor() {
  const bool on = Current() != nullptr;
  pnlEditor_->setEnabled(on);
  btnDelete_->setEnabled(on);
  btnDuplicate_->setEnabled(on);
  btnAdd_->setEnabled(Set() != nullptr);
  btnCategories_->setEnabled(Set() != nullptr);
}

void TReportsModePage::FillCategories(int category_no) {
  TRepParser* set = Set();
  cbxCategory_->clear();
  const int count = set != nullptr ? static_cast<int>(set->categories.size()) : 0;
  for (int i = 0; i < count; ++i)
    cbxCategory_->addItem(Q(set->categories[static_cast<size_t>(i)].name), i);
  int at = cbxCategory_->findData(category_no);
  if (at < 0) {
    // A number that names no category is shown, and kept, as it is.
    cbxCategory_->addItem(Tr(2243, "(no category: %1)").arg(category_no), category_no);
    at = cbxCategory_->count() - 1;
  }
  cbxCategory_->setCurrentIndex(at);
}

void TReportsModePage::FillParams(const TReportDefinition& d) {
  const QSignalBlocker block(grdParams_);
  grdParams_->setRowCount(0);
  grdParams_->setRowCount(static_cast<int>(d.params.size()));
  for (size_t i = 0; i < d.params.size(); ++i) {
    grdParams_->setItem(static_cast<int>(i), 0, ReadOnlyItem(Q(d.params[i].key)));
    grdParams_->setItem(static_cast<int>(i), 1, new QTableWidgetItem(Q(d.params[i].value)));
  }
  grdParams_->resizeColumnToContents(0);
}

void TReportsModePage::AddFilterRow(const TFilterRow& f) {
  const int row = grdFilters_->rowCount();
  grdFilters_->insertRow(row);
  QComboBox* param = ParamBox(grdFilters_);
  Choose(*param, Q(f.param));
  QComboBox* condition = ConditionBox(grdFilters_);
  Choose(*condition, Q(f.condition));
  grdFilters_->setCellWidget(row, 0, param);
  grdFilters_->setCellWidget(row, 1, condition);
  grdFilters_->setItem(row, 2, new QTableWidgetItem(Q(f.value)));
  auto apply = [this] {
    if (!filling_) main_.Guarded([this] { ApplyEditor(); });
  };
  connect(param, &QComboBox::activated, this, apply);
  connect(condition, &QComboBox::activated, this, apply);
}

void TReportsModePage::FillFilters(const TReportDefinition& d) {
  const QSignalBlocker block(grdFilters_);
  grdFilters_->setRowCount(0);
  for (const TFilterRow& f : d.filters) AddFilterRow(f);
  grdFilters_->resizeColumnsToContents();
  grdFilters_->horizontalHeader()->setStretchLastSection(true);
}

void TReportsModePage::FillEditor() {
  filling_ = true;
  TCustomWReport* r = Current();
  const TReportDefinition d = r != nullptr ? TReportDefinition::Of(*r) : TReportDefinition{};
  shown_ = d;
  shown_report_ = r;
  edtName_->setText(Q(d.name));
  lblTypeName_->setText(r != nullptr ? Q(r->TypeCaption()) : QString());
  FillCategories(d.category_no);
  if (r == nullptr) cbxCategory_->clear();
  {
    const QSignalBlocker block(edtRemarks_);
    std::string remarks;
    for (size_t i = 0; i < d.remarks.size(); ++i) remarks += (i > 0 ? "\n" : "") + d.remarks[i];
    edtRemarks_->setPlainText(Q(remarks));
  }
  FillParams(d);
  FillFilters(d);
  pnlPages_->setTabEnabled(1, d.has_filters);
  SetNote({}, false);
  filling_ = false;
  EnableEditor();
}

TReportDefinition TReportsModePage::Compose() const {
  TReportDefinition d;
  if (Current() == nullptr) return d;
  const TReportDefinition& now = shown_;
  d.type_key = now.type_key;
  d.has_filters = now.has_filters;
  // What a definition line can hold, so that the comparisons below see
  // what the report would be given.
  d.name = OneLine(S(edtName_->text()));
  d.category_no = cbxCategory_->currentIndex() >= 0 ? cbxCategory_->currentData().toInt()
                                                    : now.category_no;
  for (int row = 0; row < grdParams_->rowCount(); ++row) {
    const QTableWidgetItem* key = grdParams_->item(row, 0);
    const QTableWidgetItem* value = grdParams_->item(row, 1);
    if (key == nullptr) continue;
    d.params.push_back({S(key->text()), value != nullptr ? OneLine(S(value->text())) : std::string()});
  }
  // The remarks as the report keeps them: empty lines around them go.
  std::string rest = Trim(S(edtRemarks_->toPlainText()));
  while (!Trim(rest).empty()) {
    const size_t end = rest.find('\n');
    d.remarks.push_back(rest.substr(0, end));
    if (end == std::string::npos) break;
    rest = rest.substr(end + 1);
  }
  if (d.has_filters)
    for (int row = 0; row < grdFilters_->rowCount(); ++row) {
      auto* param = qobject_cast<QComboBox*>(grdFilters_->cellWidget(row, 0));
      auto* condition = qobject_cast<QComboBox*>(grdFilters_->cellWidget(row, 1));
      const QTableWidgetItem* value = grdFilters_->item(row, 2);
      d.filters.push_back({param != nullptr ? S(param->currentData().toString()) : "none",
                           condition != nullptr ? S(condition->currentData().toString())
                                                : "includes",
                           value != nullptr ? OneLine(S(value->text())) : std::string()});
    }
  return d;
}

bool TReportsModePage::ApplyEditor() {
  TRepParser* set = Set();
  TCustomWReport* r = Current();
  if (set == nullptr || r == nullptr) return true;
  if (!InSync()) {
    // Another report set was loaded (an analysis): the editor's values
    // belong to none of its reports.
    Refill();
    SetNote(Tr(2248, "The report set was loaded again; the last change was not taken."), true);
    return false;
  }
  TReportDefinition d = Compose();
  const TReportDefinition& now = shown_;
  if (d == now) return true;

  QString refused;
  if (d.name != now.name) {
    int other = -1;
    for (int i = 0; i < static_cast<int>(set->reports.size()); ++i)
      if (i != current_ && SameText(set->reports[static_cast<size_t>(i)]->report_name, d.name))
        other = i;
    if (Trim(d.name).empty())
      refused = Tr(2244, "A report needs a name.");
    else if (other >= 0)
      refused = Tr(2245, "Another report is named \"%1\" already.").arg(Q(d.name));
    if (!refused.isEmpty()) {
      d.name = now.name;
      const QSignalBlocker block(edtName_);
      edtName_->setText(Q(now.name));
    }
  }
  if (d == now) {
    SetNote(refused, true);
    return false;
  }
  TAppliedReport made = MakeReport(d, set->Context());
  if (made.report == nullptr) {
    SetNote(Tr(2246, "Not taken: %1").arg(Q(made.error)), true);
    return false;
  }
  set->ReplaceReport(current_, std::move(made.report));
  shown_ = TReportDefinition::Of(*Current());
  shown_report_ = Current();
  dirty_ = true;
  if (QListWidgetItem* item = lstReports_->item(current_)) item->setText(Q(d.name));

  // What the report took otherwise is shown as it now stands.
  QStringList notes;
  if (!refused.isEmpty()) notes << refused;
  for (const TAppliedReport::TChange& c : made.changed)
    notes << Tr(2247, "\"%1\": the value \"%2\" was read as \"%3\".")
                 .arg(Q(c.key), Q(c.typed), Q(c.taken));
  if (!made.changed.empty()) {
    const TReportDefinition& taken = shown_;
    filling_ = true;
    if (taken.params.size() == static_cast<size_t>(grdParams_->rowCount())) {
      const QSignalBlocker block(grdParams_);
      for (size_t i = 0; i < taken.params.size(); ++i)
        if (QTableWidgetItem* value = grdParams_->item(static_cast<int>(i), 1))
          if (S(value->text()) != taken.params[i].value) value->setText(Q(taken.params[i].value));
    }
    if (taken.filters.size() == static_cast<size_t>(grdFilters_->rowCount()))
      for (size_t i = 0; i < taken.filters.size(); ++i) {
        const int row = static_cast<int>(i);
        if (auto* param = qobject_cast<QComboBox*>(grdFilters_->cellWidget(row, 0)))
          Choose(*param, Q(taken.filters[i].param));
        if (auto* condition = qobject_cast<QComboBox*>(grdFilters_->cellWidget(row, 1)))
          Choose(*condition, Q(taken.filters[i].condition));
      }
    filling_ = false;
  }
  SetNote(notes.join(QLatin1Char('\n')), !refused.isEmpty());
  return refused.isEmpty();
}

void TReportsModePage::AddFilter() {
  if (Current() == nullptr || !pnlPages_->isTabEnabled(1)) return;
  ApplyEditor();
  {
    const QSignalBlocker block(grdFilters_);
    AddFilterRow({ParamKey(ReportParam::kHref), ConditionName(TFilterCondition::Includes), ""});
  }
  ApplyEditor();
  pnlPages_->setCurrentIndex(1);
  const int row = grdFilters_->rowCount() - 1;
  grdFilters_->setCurrentCell(row, 2);
  if (grdFilters_->isVisible()) grdFilters_->editItem(grdFilters_->item(row, 2));
}

void TReportsModePage::DeleteFilter(int row) {
  if (row < 0 || row >= grdFilters_->rowCount()) return;
  ApplyEditor();
  {
    const QSignalBlocker block(grdFilters_);
    grdFilters_->removeRow(row);
  }
  ApplyEditor();
}

void TReportsModePage::SetNote(const QString& text, bool error) {
  lblNote_->setText(text);
  lblNote_->setStyleSheet(error ? QStringLiteral("QLabel { color: #c61c1c; }")
                                : QStringLiteral("QLabel { color: #7a5b00; }"));
  lblNote_->setVisible(!text.isEmpty());
}

QString TReportsModePage::Note() const { return lblNote_->text(); }

}  // namespace trelvar::ui
