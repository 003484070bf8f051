#include "ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/run_mode.h"
#include "base/errors.h"
#include "base/progress.h"
#include "base/safe_file.h"
#include "config/gui_settings.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "platform/files.h"
#include "platform/system.h"
#include "reports/chart_service.h"
#include "reports/report_set.h"
#include "reports/run_context.h"
#include "sites/log_formats.h"
#include "sites/sites_registry.h"
#include "ui/about_dialog.h"
#include "ui/download_window.h"
#include "ui/main_mode.h"
#include "ui/mode_controller.h"
#include "ui/options_dialog.h"
#include "ui/progress_window.h"
#include "ui/qt_text.h"
#include "ui/reports_mode.h"
#include "ui/results_mode.h"
#include "ui/schedule_mode.h"
#include "ui/sites_mode.h"
#include "ui/tip_dialog.h"
#include "ui/window_host.h"
#include "ui/window_tasks.h"

namespace trelvar::ui {

namespace {

// The schedule waits this long after start-up before its first tick.
constexpr int kScheduleStartMs = 5000;
constexpr int kScheduleTickMs = 1000;

// The title of each mode and the GUI setting that shows its instruction tip.
QString ModeTitle(int mode) {
  switch (mode) {
    case 0: return Tr(3, "Main");
    case 1: return Tr(14, "Reports");
    case 2: return Tr(57, "Sites");
    case 3: return Tr(84, "Schedule");
    default: return Tr(72, "Results");
  }
}

// The tips keep the line breaks of the language files (CR LF).
QString ModeTip(int mode) {
  switch (mode) {
    case 0:
      return Tr(221,
                "Welcome to Trelvar\r\n\r\nTo analyze a sample log file, press Analyze button.\r\n\r\n"
                "After this analysis you can go to Sites tab and create settings for your own site.");
    case 1:
      return Tr(222,
                "This is Reports panel.\r\n\r\nHere you can add new reports, remove unwanted reports "
                "and configure their look and feel.\r\n\r\nFor first time do not touch this panel. If "
                "you want any special reports, please ask us.");
    case 2:
      return Tr(223,
                "This is Sites panel.\r\n\r\nYou may create settings for your site.\r\n\r\nPlease, "
                "press New Site button in upper-left corner and follow to the instructions of New "
                "site wizard.");
    case 3:
      return Tr(225,
                "This is Schedule panel.\r\n\r\nHere you can create scheduled tasks for your sites");
    default:
      return Tr(224,
                "This is Results panel. Reports should be displayed here.\r\n\r\nIf for some reason "
                "reports are empty, it is most probably because of limits in your log format. "
                "Please read FAQ and contact us for advice.");
  }
}

bool TGUISettings::*const kTipShown[] = {
    &TGUISettings::show_main_instructions, &TGUISettings::show_reports_instructions,
    &TGUISettings::show_sites_instructions, &TGUISettings::show_schedule_instructions,
    &TGUISettings::show_results_instructions};

// The text ids of the titles, for the window translation of the buttons.
const int kTitleIds[] = {3, 14, 57, 84, 72};

}  // namespace

TfrmMainW::TfrmMainW(const std::vector<std::string>& args, QWidget* parent)
    : QMainWindow(parent), folders_(TFolders::Resolve()), schedule_(folders_) {
  setObjectName(QStringLiteral("frmMainW"));
  setWindowTitle(QStringLiteral("Trelvar"));
  host_ = std::make_unique<TWindowHost>(*this);

  // The window's own command line; a value that does not convert was shown
  // by the program entry's parse already.
  cmd_.Parse(args);

  // The mode column on the left, the mode area with its title band on the
  // right, the status pane below both.
  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* splitter = new QSplitter(Qt::Vertical, central);
  splitter->setObjectName(QStringLiteral("splStatus"));
  auto* top = new QWidget(splitter);
  auto* row = new QHBoxLayout(top);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  auto* column = new QFrame(top);
  column->setObjectName(QStringLiteral("pnlModes"));
  column->setFrameShape(QFrame::NoFrame);
  column->setAutoFillBackground(true);
  column->setBackgroundRole(QPalette::AlternateBase);
  auto* buttons = new QVBoxLayout(column);
  buttons->setContentsMargins(6, 8, 6, 8);
  buttons->setSpacing(4);
  const QStyle::StandardPixmap icons[] = {
      QStyle::SP_MediaPlay, QStyle::SP_FileDialogDetailedView, QStyle::SP_DialogOpenButton,
      QStyle::SP_BrowserReload, QStyle::SP_FileDialogContentsView};
  const char* names[] = {"btnModeMain", "btnModeReports", "btnModeSites", "btnModeSchedule",
                         "btnModeResults"};
  for (int i = 0; i < 5; ++i) {
    QToolButton* b = ModeButton(names[i], ModeTitle(i), icons[i]);
    b->setShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + i)));
    // The title's text id: the window translation finds the caption there.
    b->setProperty("tag", kTitleIds[i]);
    b->setToolTip(b->text() + QStringLiteral(" (Alt+%1)").arg(i + 1));
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  row->addWidget(column);

  auto* right = new QWidget(top);
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(0, 0, 0, 0);
  right_layout->setSpacing(0);
  pnlModeTitle_ = new QLabel(right);
  pnlModeTitle_->setObjectName(QStringLiteral("pnlModeTitle"));
  pnlModeTitle_->setStyleSheet(QStringLiteral(
      "QLabel { background: #2f5d8a; color: white; font-weight: bold; padding: 6px 12px; }"));
  QFont title_font = pnlModeTitle_->font();
  title_font.setPointSizeF(title_font.pointSizeF() * 1.25);
  title_font.setBold(true);
  pnlModeTitle_->setFont(title_font);
  right_layout->addWidget(pnlModeTitle_);
  auto* area = new QWidget(right);
  mode_area_ = new QVBoxLayout(area);
  mode_area_->setContentsMargins(10, 10, 10, 10);
  right_layout->addWidget(area, 1);
  row->addWidget(right, 1);

  lstStatus_ = new QListWidget(splitter);
  lstStatus_->setObjectName(QStringLiteral("lstStatus"));
  lstStatus_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstStatus_->setWordWrap(true);
  splitter->addWidget(top);
  splitter->addWidget(lstStatus_);
  splitter->setStretchFactor(0, 4);
  splitter->setStretchFactor(1, 1);
  outer->addWidget(splitter);
  setCentralWidget(central);

  modes_ = new TModeController(*mode_area_, this);
  BuildMenus();

  // The windows of the application, in the order they are created.
  // The progress window has no parent: the pass turns the main window off,
  // and its Cancel button must stay usable meanwhile.
  progress_ = new TfrmProg(
      [this]() -> trelvar::TfrmProg* { return ctx_ != nullptr ? ctx_->progress.get() : nullptr; },
      nullptr);
  download_ = new TfrmDownload(this);

  schedule_.Load();
  tmrScheduleStart_ = new QTimer(this);
  tmrScheduleStart_->setObjectName(QStringLiteral("tmrScheduleStart"));
  tmrScheduleStart_->setSingleShot(true);
  tmrSchedule_ = new QTimer(this);
  tmrSchedule_->setObjectName(QStringLiteral("tmrSchedule"));
  tmrSchedule_->setInterval(kScheduleTickMs);
  connect(tmrScheduleStart_, &QTimer::timeout, this, [this] {
    if (ready_) tmrSchedule_->start();
  });
  connect(tmrSchedule_, &QTimer::timeout, this, &TfrmMainW::ScheduleTick);
  tmrScheduleStart_->start(kScheduleStartMs);
  resize(1024, 700);
  ready_ = true;
}

TfrmMainW::~TfrmMainW() {
  tmrSchedule_->stop();
  Guarded([this] { schedule_.Save(); });
  // The pages and the watcher let go of the shared objects before these go.
  TModePage* pages[] = {main_page_, reports_page_, sites_page_, schedule_page_, results_page_};
  for (TModePage* page : pages) delete page;
  delete progress_;
  watcher_.SetTranslator(nullptr);
  if (&RunControl() == host_.get()) SetRunControl(nullptr);
}

QToolButton* TfrmMainW::ModeButton(const char* name, const QString& text, int icon) {
  auto* b = new QToolButton(this);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(text);
  b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
  b->setIconSize(QSize(32, 32));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setAutoRaise(true);
  b->setMinimumSize(88, 72);
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  mode_buttons_.push_back(b);
  return b;
}

void TfrmMainW::BuildMenus() {
  QMenu* file = menuBar()->addMenu(Q(Translate(2010, "&File")));
  file->setObjectName(QStringLiteral("mniFile"));
  auto action = [this](QMenu* menu, const char* name, const QString& text,
                       const QKeySequence& keys, auto slot) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty()) a->setShortcut(keys);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  action(file, "mniOpen", Q(Translate(2011, "&Open settings")), QKeySequence::Open,
         [this] { Open(); });
  action(file, "mniSave", Q(Translate(2012, "&Save settings")), QKeySequence::Save, [this] {
    Save();
    AskForFeedback();
  });
  file->addSeparator();
  action(file, "mniOptions", Q(Translate(2013, "O&ptions...")), QKeySequence(Qt::CTRL | Qt::Key_Comma),
         [this] { ShowOptions(); });
  file->addSeparator();
  action(file, "mniExit", Q(Translate(2014, "E&xit")), QKeySequence::Quit, [this] { close(); });

  mniLanguage_ = menuBar()->addMenu(Q(Translate(2015, "&Language")));
  mniLanguage_->setObjectName(QStringLiteral("mniLanguage"));

  QMenu* help = menuBar()->addMenu(Q(Translate(2016, "&Help")));
  help->setObjectName(QStringLiteral("mniHelp"));
  action(help, "mniHelpContents", Q(Translate(2017, "&Contents")), QKeySequence::HelpContents,
         [this] { ShowHelp("index.htm"); });
  action(help, "mniFaq", Q(Translate(2018, "&FAQ")), QKeySequence(),
         [this] { ShowHelp("faq.htm"); });
  help->addSeparator();
  action(help, "mniAbout", Q(Translate(2019, "&About Trelvar...")), QKeySequence(),
         [this] { ShowAbout(); });
}

void TfrmMainW::BuildLanguageMenu() {
  mniLanguage_->clear();
  TLangTranslator* translator = ctx_ != nullptr ? ctx_->translator.get() : nullptr;
  if (translator == nullptr) return;
  auto* group = new QActionGroup(mniLanguage_);
  const std::vector<std::string>& names = translator->Languages();
  for (size_t i = 0; i < names.size(); ++i) {
    QAction* a = mniLanguage_->addAction(Q(names[i]));
    a->setCheckable(true);
    a->setChecked(static_cast<int>(i) == translator->CurrentIndex());
    group->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] {
      if (ctx_ == nullptr || ctx_->translator == nullptr) return;
      ctx_->translator->SelectByIndex(static_cast<int>(i));
      RetranslateTexts();
    });
  }
}

TModeItem& TfrmMainW::AddPage(QToolButton* button, TModePage* page, const QString& title) {
  mode_titles_.push_back(title);
  return modes_->AddMode(button, page);
}

void TfrmMainW::CreateModes() {
  main_page_ = new TMainModePage(*this);
  reports_page_ = new TReportsModePage(*this);
  sites_page_ = new TSitesModePage(*this);
  schedule_page_ = new TScheduleModePage(*this);
  results_page_ = new TResultsModePage(*this);
  TModePage* pages[] = {main_page_, reports_page_, sites_page_, schedule_page_, results_page_};
  for (int i = 0; i < 5; ++i) {
    TModeItem& item = AddPage(mode_buttons_[static_cast<size_t>(i)], pages[i], ModeTitle(i));
    TModePage* page = pages[i];
    const TMode mode = static_cast<TMode>(i);
    item.leave = [this, page] {
      if (IsOpen()) Guarded([page] { page->Leaving(); });
    };
    item.enter = [this, page, mode] {
      pnlModeTitle_->setText(mode_titles_[static_cast<size_t>(mode)]);
      if (mode == TMode::Main || mode == TMode::Sites) SaveReportSet();
      if (IsOpen()) Guarded([page] { page->Entered(); });
      ShowInstructions(mode);
    };
  }
  // Pages fill their lists from the shared objects of the last Open.
  if (IsOpen())
    for (TModePage* page : pages) Guarded([page] { page->Opened(); });
  modes_->SwitchTo(static_cast<int>(TMode::Main));
}

bool TfrmMainW::Guarded(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const Exception& e) {
    OutputLine("<P>" + e.Message() + " " + e.ClassName() + "</P>");
  } catch (const std::exception& e) {
    OutputLine(std::string("<P>") + e.what() + "</P>");
  }
  return false;
}

void TfrmMainW::Open() {
  SetRunControl(host_.get());
  SetRunMode(TRunMode::Windowed);
  // Everything shared is made again: the pages let go of what they show.
  if (ctx_ != nullptr && ctx_->translator != nullptr) watcher_.SetTranslator(nullptr);
  opened_ = false;
  ctx_.reset();
  gui_.reset();
  bool ok = Guarded([this] {
    folders_ = TFolders::Resolve();
    ctx_ = std::make_unique<TRunContext>(folders_);
    ctx_->random.seed(platform::RunSeed());
    ctx_->translator =
        std::make_unique<TLangTranslator>(folders_.Program(), platform::UserLocaleName());
    RunControl().SetTexts(ctx_->translator.get());
    ctx_->translator->SetFolder("Language");
    watcher_.SetTranslator(ctx_->translator.get());
    gui_ = std::make_unique<TGUISettings>(folders_, /*load=*/false);
  });
  if (!ok) return;
  // A damaged gui.ini leaves the defaults in place; the settings then refuse
  // to be saved over the file, so nothing in it is lost.
  Guarded([this] { gui_->Load(); });
  ok = Guarded([this] {
    ctx_->formats = std::make_unique<TLogFmts>();
    ctx_->settings =
        std::make_unique<TMainSettings>(folders_, *ctx_->formats, ctx_->translator.get());
    ctx_->chart = std::make_unique<TfrmTempChart>(folders_.Program(), ctx_->random);
    ctx_->progress = std::make_unique<trelvar::TfrmProg>(
        RunControl(), nullptr,
        TProgressIdleTexts{Translate(158, "Scanning log file  ..."), Translate(132, "none")});
    ctx_->current_line.Clear();
    ctx_->sites = std::make_unique<TWS>(folders_);
    ctx_->sites->LoadFromFile();
    ctx_->sites->SelectSiteByName(ctx_->settings->default_site);
    ctx_->report_set = std::make_unique<TRepParser>(*ctx_);
    const TWebSite* site = ctx_->sites->Current();
    ctx_->report_set->LoadReportFile(site != nullptr ? site->report_file : "");
  });
  BuildLanguageMenu();
  ApplyGuiSettings();
  if (!ok) return;
  opened_ = true;
  if (main_page_ != nullptr) {
    TModePage* pages[] = {main_page_, reports_page_, sites_page_, schedule_page_, results_page_};
    for (TModePage* page : pages) Guarded([page] { page->Opened(); });
  }
}

void TfrmMainW::ApplyGuiSettings() {
  if (gui_ == nullptr) return;
  const TGUISettings& g = *gui_;
  QRect frame = geometry();
  if (g.main_window_left >= 0) frame.moveLeft(g.main_window_left);
  if (g.main_window_top >= 0) frame.moveTop(g.main_window_top);
  if (g.main_window_width > 0) frame.setWidth(g.main_window_width);
  if (g.main_window_height > 0) frame.setHeight(g.main_window_height);
  // A size kept from a larger screen is cut to this one, so that the
  // window's edges stay reachable.
  if (const QScreen* shown_on = screen(); shown_on != nullptr)
    frame.setSize(frame.size().boundedTo(shown_on->availableGeometry().size()));
  if (g.main_window_left >= 0 || g.main_window_top >= 0)
    move(frame.topLeft());
  resize(frame.size());
  if (g.main_window_maximized)
    setWindowState(windowState() | Qt::WindowMaximized);
  else
    setWindowState(windowState() & ~Qt::WindowMaximized);
}

void TfrmMainW::StoreGuiGeometry() {
  if (gui_ == nullptr) return;
  gui_->main_window_maximized = isMaximized();
  if (isMaximized()) return;  // the normal geometry stays as it was
  gui_->main_window_left = geometry().x();
  gui_->main_window_top = geometry().y();
  gui_->main_window_width = width();
  gui_->main_window_height = height();
}

void TfrmMainW::Save() {
  if (!IsOpen()) return;
  Guarded([this] {
    TModePage* pages[] = {main_page_, reports_page_, sites_page_, schedule_page_, results_page_};
    if (main_page_ != nullptr)
      for (TModePage* page : pages) page->Storing();
    if (ctx_->settings != nullptr) ctx_->settings->Save();
  });
  Guarded([this] {
    StoreGuiGeometry();
    gui_->Save();
  });
}

void TfrmMainW::AskForFeedback() {
  if (!IsOpen() || !gui_->ask_for_feedback) return;
  bool dont_ask_again = false;
  const bool yes = host_->Ask(TQuestion{
      Translate(220, "Your settings are saved. Would you tell us what you think of Trelvar? "
                     "Your feedback opens in your web browser."),
      false, &dont_ask_again});
  if (dont_ask_again) gui_->ask_for_feedback = false;
  if (yes) QDesktopServices::openUrl(QUrl(QStringLiteral("https://trelvar.org/feedback/")));
}

void TfrmMainW::SaveReportSet() {
  if (!IsOpen() || ctx_->report_set == nullptr || ctx_->report_set->reports.empty()) return;
  Guarded([this] {
    // The reports go back to the file they came from: after an analysis of
    // another site that is its report file, not the default site's, whose
    // reports would otherwise be overwritten with them.
    TRepParser& set = *ctx_->report_set;
    const std::string& name = set.LoadedFile();
    const std::string path = folders_.DataPath(name.empty() ? "reports.ini" : name);
    // An unchanged set is not written again, so that the backup keeps the
    // version before the last change.
    if (platform::PathExists(path) && ReadFileText(path) == set.SaveToText()) return;
    set.SaveReportFile(name);
  });
}

void TfrmMainW::ShowInstructions(TMode mode) {
  if (gui_ == nullptr) return;
  const int index = static_cast<int>(mode);
  bool TGUISettings::*const shown = kTipShown[index];
  if (!((*gui_).*shown)) return;
  if (tip_ != nullptr && tip_->isVisible()) return;
  if (tip_ == nullptr) tip_ = new TfrmTip(this);
  bool dont_show_again = false;
  tip_->ShowTip(ModeTitle(index), ModeTip(index), dont_show_again);
  if (dont_show_again && gui_ != nullptr) (*gui_).*shown = false;
}

void TfrmMainW::ShowHelp(const std::string& topic_page) {
  const std::string path = folders_.Program() + "help/" + topic_page;
  if (!platform::PathExists(path)) {
    host_->ShowError(Translate(2020, "The help page is missing:") + " " + path);
    return;
  }
  // From a dialog the Results mode would open behind it: the system
  // browser shows the page instead.
  if (results_page_ != nullptr && QApplication::activeModalWidget() == nullptr) {
    results_page_->Navigate(Q(path), false);
    modes_->SwitchTo(static_cast<int>(TMode::Results));
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path))))
    host_->ShowMessage(Translate(2021, "Microsoft HTML Help is not installed"));
}

void TfrmMainW::ShowOptions() {
  if (!IsOpen()) return;
  TfrmOptions dialog(*this);
  dialog.exec();
}

void TfrmMainW::ShowAbout() {
  TfrmAbout dialog(Q(folders_.Data()), this);
  dialog.exec();
}

void TfrmMainW::AddStatusLine(const std::string& text) {
  auto* item = new QListWidgetItem(Q(text), lstStatus_);
  if (text.find("Error") != std::string::npos) item->setForeground(QColor(0xc6, 0x1c, 0x1c));
  lstStatus_->scrollToBottom();
}

void TfrmMainW::ClearStatus() { lstStatus_->clear(); }

void TfrmMainW::ScheduleTick() {
  if (!IsOpen()) return;
  TWindowTasks runner(*this);
  // No tick while a task runs (its jobs let timers fire), also when it fails.
  const bool ticking = tmrSchedule_->isActive();
  tmrSchedule_->stop();
  bool ran = true;  // a task that raised has run too
  Guarded([&] { ran = scheduler_.Tick(schedule_, busy_, runner); });
  if (ran) {
    QApplication::processEvents();
    if (schedule_page_ != nullptr) schedule_page_->Refresh();
  }
  if (ticking) tmrSchedule_->start();
}

void TfrmMainW::RetranslateTexts() {
  for (size_t i = 0; i < mode_titles_.size(); ++i) mode_titles_[i] = ModeTitle(static_cast<int>(i));
  if (modes_->Current() >= 0)
    pnlModeTitle_->setText(mode_titles_[static_cast<size_t>(modes_->Current())]);
  watcher_.TranslateAll();
  BuildLanguageMenu();
}

void TfrmMainW::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // A job is running: it is cancelled first, and the window closes when
    // it has let go.
    if (ctx_ != nullptr && ctx_->progress != nullptr) ctx_->progress->Cancel();
  }
  if (!closing_saved_ && !cmd_.has_parameters) Save();
  closing_saved_ = true;
  event->accept();
}


}  // namespace trelvar::ui
