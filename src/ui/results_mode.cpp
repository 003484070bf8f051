#include "ui/results_mode.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineView>
#include <algorithm>

#include "automation/mail_sender.h"
#include "automation/zip_folder.h"
#include "config/gui_settings.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/window_host.h"

namespace trelvar::ui {

namespace {

QUrl UrlOf(const QString& text) {
  if (QFileInfo(text).isAbsolute() || text.startsWith(QLatin1Char('/')))
    return QUrl::fromLocalFile(text);
  return QUrl::fromUserInput(text);
}

}  // namespace

TResultsModePage::TResultsModePage(TfrmMainW& main) : TModePage(main) {
  auto tool = [this](const char* name, QStyle::StandardPixmap icon, const QString& hint,
                     const QKeySequence& keys) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(style()->standardIcon(icon));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setIconSize(QSize(22, 22));
    if (!keys.isEmpty()) b->setShortcut(keys);
    return b;
  };
  btnBack_ = tool("btnBack", QStyle::SP_ArrowBack, Tr(2070, "Back"), QKeySequence::Back);
  btnForward_ = tool("btnForward", QStyle::SP_ArrowForward, Tr(2071, "Forward"), QKeySequence::Forward);
  btnRefresh_ = tool("btnRefresh", QStyle::SP_BrowserReload, Tr(2072, "Refresh"), QKeySequence::Refresh);
  btnHome_ = tool("btnHome", QStyle::SP_DirHomeIcon, Tr(2073, "Home"), QKeySequence(Qt::ALT | Qt::Key_Home));
  btnStop_ = tool("btnStop", QStyle::SP_BrowserStop, Tr(2074, "Stop"), QKeySequence(Qt::Key_Escape));
  // The style has no pictures for these two: they say what they do.
  btnPrint_ = tool("btnPrint", QStyle::SP_CustomBase, Tr(2075, "Print"), QKeySequence::Print);
  btnPrint_->setText(Tr(2078, "&Print"));
  btnPrint_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  btnMail_ = tool("btnMail", QStyle::SP_CustomBase, Tr(2076, "Mail the reports"), QKeySequence());
  btnMail_->setText(Tr(2079, "&Mail"));
  btnMail_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  cbxAddress_ = new QComboBox(this);
  cbxAddress_->setObjectName(QStringLiteral("cbxAddress"));
  cbxAddress_->setEditable(true);
  cbxAddress_->setInsertPolicy(QComboBox::NoInsert);
  cbxAddress_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  auto* bar = new QHBoxLayout;
  bar->setSpacing(2);
  for (QToolButton* b : {btnBack_, btnForward_, btnRefresh_, btnHome_, btnStop_})
    bar->addWidget(b);
  bar->addSpacing(6);
  bar->addWidget(cbxAddress_, 1);
  bar->addSpacing(6);
  bar->addWidget(btnPrint_);
  bar->addWidget(btnMail_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(bar);

  connect(cbxAddress_->lineEdit(), &QLineEdit::returnPressed, this, &TResultsModePage::AddressEntered);
  connect(cbxAddress_, &QComboBox::activated, this, [this](int) { AddressEntered(); });
  connect(btnHome_, &QToolButton::clicked, this, &TResultsModePage::Home);
  connect(btnPrint_, &QToolButton::clicked, this, &TResultsModePage::Print);
  connect(btnMail_, &QToolButton::clicked, this, &TResultsModePage::Mail);
}

// The browser starts its helper processes; it is made when the page is
// first shown, so that the other modes never wait for it.
void TResultsModePage::EnsureBrowser() {
  if (browser_ != nullptr) return;
  browser_ = new QWebEngineView(this);
  browser_->setObjectName(QStringLiteral("wbResults"));
  static_cast<QVBoxLayout*>(layout())->addWidget(browser_, 1);
  connect(btnBack_, &QToolButton::clicked, browser_, &QWebEngineView::back);
  connect(btnForward_, &QToolButton::clicked, browser_, &QWebEngineView::forward);
  connect(btnRefresh_, &QToolButton::clicked, browser_, &QWebEngineView::reload);
  connect(btnStop_, &QToolButton::clicked, browser_, &QWebEngineView::stop);
  connect(browser_, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
    if (!shown.isEmpty()) cbxAddress_->setCurrentText(shown);
  });
}

void TResultsModePage::showEvent(QShowEvent* event) {
  TModePage::showEvent(event);
  EnsureBrowser();
  if (!pending_.isEmpty()) {
    browser_->setUrl(UrlOf(pending_));
    pending_.clear();
  }
}

void TResultsModePage::Opened() {
  const std::vector<std::string>& history = main_.Gui().recent_results_address;
  cbxAddress_->clear();
  for (const std::string& entry : history) cbxAddress_->addItem(Q(entry));
  cbxAddress_->setCurrentText(QString());
}

void TResultsModePage::Storing() {
  std::vector<std::string>& history = main_.Gui().recent_results_address;
  history.clear();
  for (int i = 0; i < cbxAddress_->count(); ++i) history.push_back(S(cbxAddress_->itemText(i)));
}

void TResultsModePage::RememberAddress(const QString& address) {
  const int at = cbxAddress_->findText(address);
  if (at >= 0) cbxAddress_->removeItem(at);
  cbxAddress_->insertItem(0, address);
  while (cbxAddress_->count() > static_cast<int>(TGUISettings::kHistorySize))
    cbxAddress_->removeItem(cbxAddress_->count() - 1);
  cbxAddress_->setCurrentIndex(0);
  if (main_.IsOpen()) Storing();
}

void TResultsModePage::Navigate(const QString& file_or_address, bool refresh) {
  RememberAddress(file_or_address);
  if (file_or_address.endsWith(QLatin1String("index.htm")) ||
      file_or_address.endsWith(QLatin1String("indexdetails.htm")))
    home_ = file_or_address;
  if (browser_ == nullptr || !isVisible()) {
    pending_ = file_or_address;
    return;
  }
  const QUrl url = UrlOf(file_or_address);
  if (refresh && browser_->url() == url)
    browser_->reload();
  else
    browser_->setUrl(url);
}

QString TResultsModePage::Address() const { return cbxAddress_->currentText().trimmed(); }

void TResultsModePage::AddressEntered() {
  const QString address = Address();
  if (!address.isEmpty()) Navigate(address, true);
}

void TResultsModePage::Home() {
  if (!home_.isEmpty()) Navigate(home_, false);
}

void TResultsModePage::Print() {
  if (browser_ == nullptr) return;
  // The browser prints after this returns; the printer stays until then.
  if (printer_ == nullptr) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrintDialog dialog(printer_.get(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  browser_->print(printer_.get());
}

void TResultsModePage::Mail() {
  if (!main_.IsOpen() || main_.Busy()) return;
  const QString address = Address();
  const QUrl url = UrlOf(address);
  if (address.isEmpty() || !url.isLocalFile()) {
    main_.Host().ShowMessage(Translate(2077, "Show a report of this computer first: only local reports can be mailed."));
    return;
  }
  const std::string folder = S(QFileInfo(url.toLocalFile()).absolutePath() + QLatin1Char('/'));
  TRunContext& ctx = main_.Context();
  const std::string recipient = ctx.settings->mail_def_reciever;
  bool& busy = main_.Busy();
  busy = true;
  main_.Guarded([&] {
    if (!ZipFolder(folder, "reports.zip", ctx.progress.get())) return;
    OutputLine("<P>" + Translate(241, "Sending files by E-mail to") + " " + recipient + "</P>");
    SendArchive(*ctx.settings, recipient, folder + "reports.zip");
  });
  busy = false;
}

}  // namespace trelvar::ui
