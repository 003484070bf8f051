#include "ui/schedule_mode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "automation/schedule.h"
#include "base/run_control.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/window_host.h"

namespace trelvar::ui {

namespace {

constexpr int kSiteColumn = 0;
constexpr int kTaskColumn = 1;
constexpr int kLastRunColumn = 2;
constexpr int kMsPerDay = 86400000;

const QString kTimeFormat = QStringLiteral("HH:mm");

// The editor shows hours and minutes only: seconds (from a hand-edited
// file) stay in the task until the time is edited.
QTime TimeOfTask(const TScheduleItem& task) {
  const long long ms = std::llround(ScheduleTimeOfDay(task.time) * kMsPerDay);
  const QTime time =
      QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::clamp(ms, 0LL, kMsPerDay - 1LL)));
  return QTime(time.hour(), time.minute());
}

// The weekday names in the window's language, Monday first.
QStringList WeekdayNames() {
  return {Tr(2319, "Monday"),   Tr(2320, "Tuesday"), Tr(2321, "Wednesday"), Tr(2322, "Thursday"),
          Tr(2323, "Friday"),   Tr(2324, "Saturday"), Tr(2325, "Sunday")};
}

}  // namespace

TScheduleModePage::TScheduleModePage(TfrmMainW& main) : TModePage(main) {
  btnTaskNew_ = new QPushButton(style()->standardIcon(QStyle::SP_FileIcon), Tr(2300, "&New task"), this);
  btnTaskNew_->setObjectName(QStringLiteral("btnTaskNew"));
  btnTaskNew_->setToolTip(Tr(2301, "Add a scheduled task (Ins)"));
  btnTaskNew_->setShortcut(QKeySequence(Qt::Key_Insert));
  btnTaskDelete_ =
      new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), Tr(2302, "&Delete task"), this);
  btnTaskDelete_->setObjectName(QStringLiteral("btnTaskDelete"));
  btnTaskDelete_->setToolTip(Tr(2303, "Delete the selected task (Del)"));
  btnTaskDelete_->setShortcut(QKeySequence(QKeySequence::Delete));
  btnScheduleHelp_ =
      new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton), Tr(2304, "Help"), this);
  btnScheduleHelp_->setObjectName(QStringLiteral("btnScheduleHelp"));
  btnScheduleHelp_->setToolTip(Tr(2305, "Help on scheduled tasks (F1)"));
  btnScheduleHelp_->setShortcut(QKeySequence::HelpContents);

  auto* bar = new QHBoxLayout;
  bar->addWidget(btnTaskNew_);
  bar->addWidget(btnTaskDelete_);
  bar->addStretch(1);
  bar->addWidget(btnScheduleHelp_);

  grdTasks_ = new QTableWidget(0, 3, this);
  grdTasks_->setObjectName(QStringLiteral("grdTasks"));
  grdTasks_->setHorizontalHeaderLabels({Tr(2306, "Site"), Tr(2307, "Task"), Tr(2308, "Last run")});
  grdTasks_->setToolTip(
      Tr(2335, "The tasks are tested every second in this order; the first one due runs."));
  grdTasks_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdTasks_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdTasks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdTasks_->setAlternatingRowColors(true);
  grdTasks_->setWordWrap(false);
  grdTasks_->verticalHeader()->setVisible(false);
  grdTasks_->horizontalHeader()->setSectionResizeMode(kSiteColumn, QHeaderView::Interactive);
  grdTasks_->horizontalHeader()->setSectionResizeMode(kTaskColumn, QHeaderView::Stretch);
  grdTasks_->horizontalHeader()->setSectionResizeMode(kLastRunColumn, QHeaderView::ResizeToContents);
  grdTasks_->setColumnWidth(kSiteColumn, 160);

  pnlTask_ = new QGroupBox(Tr(2309, "Selected task"), this);
  pnlTask_->setObjectName(QStringLiteral("pnlTask"));
  cbxTaskSite_ = new QComboBox(pnlTask_);
  cbxTaskSite_->setObjectName(QStringLiteral("cbxTaskSite"));
  cbxTaskSite_->setToolTip(
      Tr(2311, "The site the task works on; All sites runs it for every site in turn"));
  cbxTaskSite_->setMinimumContentsLength(20);
  cbxTaskPeriod_ = new QComboBox(pnlTask_);
  cbxTaskPeriod_->setObjectName(QStringLiteral("cbxTaskPeriod"));
  // Item order is the order of TSchedulePeriod.
  cbxTaskPeriod_->addItems({Tr(2313, "Every day"), Tr(2314, "Every week"), Tr(2315, "Every month")});
  cbxTaskWeekday_ = new QComboBox(pnlTask_);
  cbxTaskWeekday_->setObjectName(QStringLiteral("cbxTaskWeekday"));
  cbxTaskWeekday_->addItems(WeekdayNames());
  edtTaskMonthDay_ = new QSpinBox(pnlTask_);
  edtTaskMonthDay_->setObjectName(QStringLiteral("edtTaskMonthDay"));
  edtTaskMonthDay_->setRange(1, 31);
  edtTaskMonthDay_->setToolTip(
      Tr(2318, "In a month without this day the task runs on the month's last day"));
  edtTaskTime_ = new QTimeEdit(pnlTask_);
  edtTaskTime_->setObjectName(QStringLiteral("edtTaskTime"));
  edtTaskTime_->setDisplayFormat(kTimeFormat);
  edtTaskTime_->setToolTip(Tr(2327, "The time of day from which the task runs (HH:mm)"));
  chkTaskDownload_ = new QCheckBox(Tr(2328, "D&ownload the logs by FTP"), pnlTask_);
  chkTaskDownload_->setObjectName(QStringLiteral("chkTaskDownload"));
  chkTaskDownload_->setToolTip(Tr(2331, "Fetch the new log files with the site's FTP settings first"));
  chkTaskAnalyze_ = new QCheckBox(Tr(2329, "Analy&ze the logs"), pnlTask_);
  chkTaskAnalyze_->setObjectName(QStringLiteral("chkTaskAnalyze"));
  chkTaskAnalyze_->setToolTip(Tr(2332, "Write the reports into the site's output folder"));
  chkTaskSendMail_ = new QCheckBox(Tr(2330, "Send the reports by &e-mail"), pnlTask_);
  chkTaskSendMail_->setObjectName(QStringLiteral("chkTaskSendMail"));
  chkTaskSendMail_->setToolTip(Tr(2333,
                                  "After the analysis, zip the reports and mail them to the site's "
                                  "e-mail address (or to the default recipient of the options)"));

  auto* form = new QFormLayout(pnlTask_);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  auto label = [this](const char* name, const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, pnlTask_);
    l->setObjectName(QString::fromLatin1(name));
    l->setBuddy(buddy);
    return l;
  };
  lblTaskWeekday_ = label("lblTaskWeekday", Tr(2316, "&Weekday:"), cbxTaskWeekday_);
  lblTaskMonthDay_ = label("lblTaskMonthDay", Tr(2317, "D&ay of the month:"), edtTaskMonthDay_);
  form->addRow(label("lblTaskSite", Tr(2310, "&Site:"), cbxTaskSite_), cbxTaskSite_);
  form->addRow(label("lblTaskPeriod", Tr(2312, "&Repeat:"), cbxTaskPeriod_), cbxTaskPeriod_);
  form->addRow(lblTaskWeekday_, cbxTaskWeekday_);
  form->addRow(lblTaskMonthDay_, edtTaskMonthDay_);
  form->addRow(label("lblTaskTime", Tr(2326, "&Time:"), edtTaskTime_), edtTaskTime_);
  form->addItem(new QSpacerItem(0, 8));
  form->addRow(chkTaskDownload_);
  form->addRow(chkTaskAnalyze_);
  form->addRow(chkTaskSendMail_);

  auto* editor = new QVBoxLayout;
  editor->addWidget(pnlTask_);
  editor->addStretch(1);
  auto* body = new QHBoxLayout;
  body->setSpacing(12);
  body->addWidget(grdTasks_, 3);
  body->addLayout(editor, 2);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addLayout(bar);
  layout->addLayout(body, 1);

  connect(btnTaskNew_, &QPushButton::clicked, this, [this] { main_.Guarded([this] { NewTask(); }); });
  connect(btnTaskDelete_, &QPushButton::clicked, this,
          [this] { main_.Guarded([this] { DeleteTask(); }); });
  connect(btnScheduleHelp_, &QPushButton::clicked, this, [this] { main_.ShowHelp("scheduling.htm"); });
  connect(grdTasks_, &QTableWidget::itemSelectionChanged, this, [this] {
    if (!filling_) ShowTask();
  });
  connect(cbxTaskSite_, &QComboBox::currentIndexChanged, this, &TScheduleModePage::SiteChosen);
  connect(cbxTaskPeriod_, &QComboBox::currentIndexChanged, this, &TScheduleModePage::PeriodChosen);
  connect(cbxTaskWeekday_, &QComboBox::currentIndexChanged, this, &TScheduleModePage::WeekdayChosen);
  connect(edtTaskMonthDay_, &QSpinBox::valueChanged, this, &TScheduleModePage::MonthDayChosen);
  connect(edtTaskTime_, &QTimeEdit::timeChanged, this, [this](QTime) { TimeChosen(); });
  connect(chkTaskDownload_, &QCheckBox::toggled, this,
          [this](bool on) { EditTask([on](TScheduleItem& t) { t.download = on; }); });
  connect(chkTaskAnalyze_, &QCheckBox::toggled, this,
          [this](bool on) { EditTask([on](TScheduleItem& t) { t.analyze = on; }); });
  connect(chkTaskSendMail_, &QCheckBox::toggled, this,
          [this](bool on) { EditTask([on](TScheduleItem& t) { t.sendmail = on; }); });

  ShowTask();
}

void TScheduleModePage::Opened() { Refresh(); }

void TScheduleModePage::Entered() {
  edtTaskTime_->setDisplayFormat(kTimeFormat);
  Refresh();
}

void TScheduleModePage::Leaving() {
  // The main window saves the schedule when it goes; saving here as well
  // keeps the edits should the program not end normally.
  main_.Guarded([this] { main_.Schedule().Save(); });
}

void TScheduleModePage::Refresh() {
  const int selected = SelectedTask();
  TSchedule& schedule = main_.Schedule();
  filling_ = true;
  FillSites();
  grdTasks_->setRowCount(static_cast<int>(schedule.Count()));
  for (int row = 0; row < grdTasks_->rowCount(); ++row) FillRow(row);
  filling_ = false;
  SelectTask(selected >= 0 ? std::min(selected, grdTasks_->rowCount() - 1) : 0);
}

// "All sites" first, then the registry's sites in order; a task's site that
// the registry no longer has is added when the task is shown.
void TScheduleModePage::FillSites() {
  const bool was_filling = filling_;
  filling_ = true;
  cbxTaskSite_->clear();
  cbxTaskSite_->addItem(Q(Translate(228, "All sites")), QString());
  if (main_.IsOpen() && main_.Context().sites != nullptr) {
    const TWS& sites = *main_.Context().sites;
    for (size_t i = 0; i < sites.Count(); ++i) {
      const QString name = Q(sites.Site(i).name);
      cbxTaskSite_->addItem(name, name);
    }
  }
  filling_ = was_filling;
}

void TScheduleModePage::FillRow(int row) {
  const TScheduleItem& task = main_.Schedule().Get(static_cast<size_t>(row));
  const QString texts[] = {Q(ScheduleSiteText(task)), Q(TSchedule::Describe(task)),
                           Q(ScheduleLastRunText(task))};
  for (int column = 0; column < 3; ++column) {
    QTableWidgetItem* item = grdTasks_->item(row, column);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      grdTasks_->setItem(row, column, item);
    }
    item->setText(texts[column]);
  }
}

int TScheduleModePage::SelectedTask() const {
  const QList<QTableWidgetItem*> items = grdTasks_->selectedItems();
  return items.isEmpty() ? -1 : items.front()->row();
}

void TScheduleModePage::SelectTask(int row) {
  if (row >= 0 && row < grdTasks_->rowCount()) {
    grdTasks_->setCurrentCell(row, kTaskColumn);
    grdTasks_->selectRow(row);
  } else {
    grdTasks_->clearSelection();
  }
  ShowTask();
}

TScheduleItem* TScheduleModePage::Task() {
  const int row = SelectedTask();
  if (row < 0 || static_cast<size_t>(row) >= main_.Schedule().Count()) return nullptr;
  return &main_.Schedule().Get(static_cast<size_t>(row));
}

void TScheduleModePage::ShowTask() {
  const TScheduleItem* task = Task();
  pnlTask_->setEnabled(task != nullptr);
  btnTaskDelete_->setEnabled(task != nullptr);
  const bool was_filling = filling_;
  filling_ = true;
  if (task != nullptr) {
    int site = cbxTaskSite_->findData(Q(task->name));
    if (site < 0) {
      // A site that was deleted or renamed: shown as it is, so that the
      // task does not silently change its site.
      cbxTaskSite_->addItem(Q(task->name), Q(task->name));
      site = cbxTaskSite_->count() - 1;
    }
    cbxTaskSite_->setCurrentIndex(site);
    cbxTaskPeriod_->setCurrentIndex(static_cast<int>(task->period));
    // A day out of range (a hand-edited file) shows no weekday and stays
    // as it is until the user picks one.
    cbxTaskWeekday_->setCurrentIndex(task->day >= 1 && task->day <= 7 ? task->day - 1 : -1);
    edtTaskMonthDay_->setValue(std::clamp(task->day, 1, 31));
    edtTaskTime_->setTime(TimeOfTask(*task));
    chkTaskDownload_->setChecked(task->download);
    chkTaskAnalyze_->setChecked(task->analyze);
    chkTaskSendMail_->setChecked(task->sendmail);
  } else {
    cbxTaskSite_->setCurrentIndex(-1);
    cbxTaskPeriod_->setCurrentIndex(-1);
    cbxTaskWeekday_->setCurrentIndex(-1);
    edtTaskTime_->setTime(QTime(0, 0));
    for (QCheckBox* box : {chkTaskDownload_, chkTaskAnalyze_, chkTaskSendMail_}) box->setChecked(false);
  }
  filling_ = was_filling;
  ShowDayControls();
}

void TScheduleModePage::ShowDayControls() {
  const TScheduleItem* task = Task();
  const bool week = task != nullptr && task->period == TSchedulePeriod::Week;
  const bool month = task != nullptr && task->period == TSchedulePeriod::Month;
  auto* form = static_cast<QFormLayout*>(pnlTask_->layout());
  form->setRowVisible(cbxTaskWeekday_, week || task == nullptr);
  form->setRowVisible(edtTaskMonthDay_, month);
}

template <typename Edit>
void TScheduleModePage::EditTask(Edit edit) {
  if (filling_) return;
  TScheduleItem* task = Task();
  if (task == nullptr) return;
  edit(*task);
  FillRow(SelectedTask());
}

void TScheduleModePage::NewTask() {
  main_.Schedule().Add();
  Refresh();
  SelectTask(grdTasks_->rowCount() - 1);
  cbxTaskSite_->setFocus();
}

void TScheduleModePage::DeleteTask() {
  const int row = SelectedTask();
  if (row < 0) return;
  const TScheduleItem& task = main_.Schedule().Get(static_cast<size_t>(row));
  TQuestion question;
  question.text = Translate(2334, "Delete this task?") + "\r\n\r\n" + ScheduleSiteText(task) + ": " +
                  TSchedule::Describe(task);
  question.default_answer = false;
  if (!main_.Host().Ask(question)) return;
  // The question let window events run: the row may have gone meanwhile.
  if (static_cast<size_t>(row) >= main_.Schedule().Count()) return;
  main_.Schedule().Delete(static_cast<size_t>(row));
  // The row stays selected: the next task, or the last when it was last.
  Refresh();
}

void TScheduleModePage::SiteChosen(int index) {
  if (index < 0) return;
  const std::string name = S(cbxTaskSite_->itemData(index).toString());
  EditTask([&name](TScheduleItem& t) { t.name = name; });
}

void TScheduleModePage::PeriodChosen(int index) {
  if (index < 0 || index > 2) return;
  EditTask([index](TScheduleItem& t) {
    t.period = static_cast<TSchedulePeriod>(index);
    // The day keeps its number where the new period has it (Wednesday
    // becomes the 3rd); otherwise it starts again at the first.
    const int last = t.period == TSchedulePeriod::Month ? 31 : 7;
    if (t.period != TSchedulePeriod::Day && (t.day < 1 || t.day > last)) t.day = 1;
  });
  if (filling_) return;
  ShowTask();
}

void TScheduleModePage::WeekdayChosen(int index) {
  if (index < 0) return;
  EditTask([index](TScheduleItem& t) { t.day = index + 1; });
}

void TScheduleModePage::MonthDayChosen(int value) {
  EditTask([value](TScheduleItem& t) { t.day = value; });
}

void TScheduleModePage::TimeChosen() {
  const QTime time = edtTaskTime_->time();
  EditTask([&time](TScheduleItem& t) { t.time = EncodeTime(time.hour(), time.minute(), 0); });
}

}  // namespace trelvar::ui
