#include "ui/ftp_dialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "base/run_control.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "config/folders.h"
#include "config/translator.h"
#include "platform/files.h"
#include "sites/website.h"
#include "ui/qt_text.h"
#include "ui/controls.h"

namespace trelvar::ui {

namespace {

// Browsing waits less than a download: the user is looking at the window.
constexpr long kBrowseConnectTimeout = 15;
constexpr long kBrowseStallTimeout = 20;

enum TRowKind { kUp = 0, kFolder = 1, kFile = 2 };

// The folder part of a remote path, ending in "/" ("/" when it has none).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return "/";
  std::string folder = ReplaceChar(path.substr(0, slash + 1), '\\', '/');
  if (folder.front() != '/') folder.insert(folder.begin(), '/');
  return folder;
}

// The folder above `folder` ("/a/b/" -> "/a/"; "/" stays).
std::string ParentOf(const std::string& folder) {
  if (folder.size() <= 1) return "/";
  const size_t slash = folder.find_last_of('/', folder.size() - 2);
  return slash == std::string::npos ? "/" : folder.substr(0, slash + 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// The connection dialog.

TfrmFtpConnect::TfrmFtpConnect(const TFolders& folders, QWidget* parent)
    : QDialog(parent), folders_(folders) {
  setObjectName(QStringLiteral("frmFtpConnect"));
  setWindowTitle(Tr(2180, "FTP connection"));
  edtHost_ = NamedEdit(this, "edtHost", Tr(2161, "Name or address of the FTP server"));
  edtPort_ = new QSpinBox(this);
  edtPort_->setObjectName(QStringLiteral("edtPort"));
  edtPort_->setRange(1, 65535);
  edtPort_->setValue(21);
  edtUser_ = NamedEdit(this, "edtUser");
  edtPassword_ = NamedEdit(this, "edtPassword");
  edtPassword_->setEchoMode(QLineEdit::Password);
  chkPassive_ = new QCheckBox(Tr(2135, "Passive mode"), this);
  chkPassive_->setObjectName(QStringLiteral("chkPassive"));
  chkPassive_->setToolTip(Tr(2136, "Use passive FTP data connections (needed behind most firewalls)"));
  edtRemotePath_ = NamedEdit(this, "edtRemotePath",
                        Tr(2138, "A file, a folder ending in \"/\", or a mask such as /logs/ex*.log"));
  auto* btnBrowse = new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon), Tr(2182, "&Browse..."), this);
  btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
  btnBrowse->setToolTip(Tr(2183, "Look at the server's folders and files and pick the remote log path"));
  edtLocalPath_ = NamedEdit(this, "edtLocalPath",
                       Tr(2181, "The downloaded file, or a file in the folder the downloaded files go to"));
  auto* btnLocalPath = new QPushButton(QStringLiteral("…"), this);
  btnLocalPath->setObjectName(QStringLiteral("btnLocalPath"));
  btnLocalPath->setToolTip(Tr(2117, "Choose a log file or a folder"));
  btnLocalPath->setFixedWidth(36);

  auto* remote_row = new QHBoxLayout;
  remote_row->addWidget(edtRemotePath_, 1);
  remote_row->addWidget(btnBrowse);
  auto* local_row = new QHBoxLayout;
  local_row->addWidget(edtLocalPath_, 1);
  local_row->addWidget(btnLocalPath);

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  form->addRow(FormLabel(this, "lblUser", Tr(2133, "&User name:"), edtUser_), edtUser_);
  form->addRow(FormLabel(this, "lblPassword", Tr(2134, "Pass&word:"), edtPassword_), edtPassword_);
  form->addRow(FormLabel(this, "lblHost", Tr(2131, "FTP &host:"), edtHost_), edtHost_);
  form->addRow(FormLabel(this, "lblPort", Tr(2132, "&Port:"), edtPort_), edtPort_);
  form->addRow(QString(), chkPassive_);
  form->addRow(FormLabel(this, "lblRemotePath", Tr(2137, "Remote log &path:"), edtRemotePath_), remote_row);
  form->addRow(FormLabel(this, "lblLocalPath", Tr(2184, "&Local log path:"), edtLocalPath_), local_row);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOk"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  buttons->button(QDialogButtonBox::Help)->setObjectName(QStringLiteral("btnHelp"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addSpacing(8);
  layout->addWidget(buttons);
  setMinimumWidth(520);

  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmFtpConnect::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmFtpConnect::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
    const std::string page = folders_.Program() + "help/gui_ftpclient.htm";
    if (!platform::PathExists(page) || !QDesktopServices::openUrl(QUrl::fromLocalFile(Q(page))))
      RunControl().ShowMessage(Translate(2020, "The help page is missing:") + " " + page);
  });
  connect(btnBrowse, &QPushButton::clicked, this, [this] { Browse(); });
  connect(btnLocalPath, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, Tr(2162, "Log file"), edtLocalPath_->text(),
                                                      QString(), nullptr, QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty()) edtLocalPath_->setText(file);
  });
}

void TfrmFtpConnect::Fill(const TWebSite& site) {
  edtUser_->setText(Q(site.user_name));
  edtPassword_->setText(Q(site.password));
  edtHost_->setText(Q(site.remote_host));
  edtPort_->setValue(std::clamp(StrToIntDef(Trim(site.remote_port), 21), 1, 65535));
  chkPassive_->setChecked(site.passive_mode);
  edtRemotePath_->setText(Q(site.remote_log_path));
  edtLocalPath_->setText(Q(site.log_path));
}

void TfrmFtpConnect::Store(TWebSite& site) const {
  site.user_name = Trim(S(edtUser_->text()));
  site.password = S(edtPassword_->text());
  site.remote_host = Trim(S(edtHost_->text()));
  site.remote_port = std::to_string(edtPort_->value());
  site.passive_mode = chkPassive_->isChecked();
  site.remote_log_path = Trim(S(edtRemotePath_->text()));
  site.log_path = Trim(S(edtLocalPath_->text()));
}

bool TfrmFtpConnect::Confirm() {
  if (!Trim(S(edtUser_->text())).empty()) return true;
  RunControl().ShowMessage(Translate(2185, "Please put any user name"));
  edtUser_->setFocus();
  return false;
}

void TfrmFtpConnect::accept() {
  if (Confirm()) QDialog::accept();
}

TFtpSettings TfrmFtpConnect::Settings() const {
  TFtpSettings s;
  s.host = Trim(S(edtHost_->text()));
  s.port = edtPort_->value();
  s.user = Trim(S(edtUser_->text()));
  s.password = S(edtPassword_->text());
  s.passive = chkPassive_->isChecked();
  s.connect_timeout_seconds = kBrowseConnectTimeout;
  s.stall_timeout_seconds = kBrowseStallTimeout;
  return s;
}

void TfrmFtpConnect::Browse() {
  if (Trim(S(edtHost_->text())).empty()) {
    RunControl().ShowMessage(Translate(2186, "Please put the FTP host first"));
    edtHost_->setFocus();
    return;
  }
  TfrmFtpExplorer explorer(Settings(), S(edtRemotePath_->text()), folders_, this);
  if (explorer.exec() == QDialog::Accepted) edtRemotePath_->setText(Q(explorer.RemotePath()));
}

bool EditFtpConnection(QWidget* parent, TWebSite& site, const TFolders& folders) {
  TfrmFtpConnect dialog(folders, parent);
  dialog.Fill(site);
  if (dialog.exec() != QDialog::Accepted) return false;
  dialog.Store(site);
  return true;
}

// ---------------------------------------------------------------------------
// The explorer.

TfrmFtpExplorer::TfrmFtpExplorer(TFtpSettings settings, const std::string& start_path,
                                 const TFolders& folders, QWidget* parent)
    : QDialog(parent), settings_(std::move(settings)), data_folder_(folders.Data()) {
  setObjectName(QStringLiteral("frmFtpExplorer"));
  setWindowTitle(Tr(2187, "FTP explorer") + QStringLiteral(" - ") + Q(settings_.host));
  lblFolder_ = new QLabel(this);
  lblFolder_->setObjectName(QStringLiteral("lblFolder"));
  lblFolder_->setTextFormat(Qt::PlainText);
  QFont bold = lblFolder_->font();
  bold.setBold(true);
  lblFolder_->setFont(bold);
  lstFiles_ = new QListWidget(this);
  lstFiles_->setObjectName(QStringLiteral("lstFiles"));
  lstFiles_->setToolTip(Tr(2188, "Double-click a folder to open it, \"..\" to go up, a file to choose it"));
  lblStatus_ = new QLabel(this);
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblStatus_->setTextFormat(Qt::PlainText);
  lblStatus_->setWordWrap(true);
  edtRemotePath_ = NamedEdit(this, "edtRemotePath",
                        Tr(2138, "A file, a folder ending in \"/\", or a mask such as /logs/ex*.log"));
  auto* btnUp = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogToParent), Tr(2189, "&Up"), this);
  btnUp->setObjectName(QStringLiteral("btnUp"));
  auto* btnRefresh = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), Tr(2190, "&Refresh"), this);
  btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
  btnRefresh->setShortcut(QKeySequence::Refresh);

  auto* top = new QHBoxLayout;
  top->addWidget(lblFolder_, 1);
  top->addWidget(btnUp);
  top->addWidget(btnRefresh);
  auto* path_row = new QHBoxLayout;
  path_row->addWidget(FormLabel(this, "lblRemotePath", Tr(2137, "Remote log &path:"), edtRemotePath_));
  path_row->addWidget(edtRemotePath_, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOk"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(lstFiles_, 1);
  layout->addWidget(lblStatus_);
  layout->addLayout(path_row);
  layout->addWidget(buttons);
  resize(560, 440);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmFtpExplorer::reject);
  connect(btnUp, &QPushButton::clicked, this, [this] { OpenFolder(ParentOf(folder_)); });
  connect(btnRefresh, &QPushButton::clicked, this, [this] { OpenFolder(folder_); });
  connect(lstFiles_, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* item) { ItemChosen(item); });
  connect(lstFiles_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { Activate(lstFiles_->row(item)); });

  edtRemotePath_->setText(Q(start_path));
  OpenFolder(FolderOf(start_path));
}

TfrmFtpExplorer::~TfrmFtpExplorer() { StopWorker(); }

void TfrmFtpExplorer::StopWorker() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void TfrmFtpExplorer::reject() {
  StopWorker();
  QDialog::reject();
}

void TfrmFtpExplorer::OpenFolder(const std::string& folder) {
  if (busy_) return;
  if (worker_.joinable()) worker_.join();
  busy_ = true;
  cancel_ = false;
  lstFiles_->setEnabled(false);
  lblStatus_->setStyleSheet(QString());
  lblStatus_->setText(Tr(2191, "Listing %1 on %2...").arg(Q(folder), Q(settings_.host)));
  worker_ = std::thread([this, folder] {
    TOutcome outcome;
    try {
      if (!connected_) {
        if (!client_) client_ = std::make_unique<TFtpClient>(settings_, &cancel_);
        const TFtpReply reply = client_->Connect();
        if (!reply.ok()) throw TFtpReply(reply);
        connected_ = true;
      }
      const std::string listing = platform::CreateUniqueFile(data_folder_, "temp", ".tmp");
      if (listing.empty()) throw std::runtime_error("Cannot create file \"" + data_folder_ + "temp.tmp\"");
      const TFtpReply reply = client_->List(folder, listing);
      std::string text;
      if (reply.ok()) text = ReadFileText(listing);
      platform::RemoveFile(listing);
      if (!reply.ok()) throw TFtpReply(reply);
      for (const std::string& line : SplitTextLines(text)) {
        std::optional<TListingEntry> entry = ParseListingLine(line);
        if (entry && IsSafeLocalName(entry->name)) outcome.entries.push_back(std::move(*entry));
      }
      std::stable_sort(outcome.entries.begin(), outcome.entries.end(),
                       [](const TListingEntry& a, const TListingEntry& b) {
                         if (a.is_folder != b.is_folder) return a.is_folder;
                         return a.name < b.name;
                       });
      outcome.ok = true;
    } catch (const TFtpReply& reply) {
      outcome.error = reply.code > 0 ? FormatText(Translate(2192, "Error %1: %2"),
                                                  {std::to_string(reply.code), Trim(reply.message)})
                                     : Trim(reply.message);
      // The next request starts a new session.
      client_.reset();
      connected_ = false;
    } catch (const std::exception& e) {
      outcome.error = e.what();
    }
    QMetaObject::invokeMethod(
        this, [this, folder, outcome] { Finished(folder, outcome); }, Qt::QueuedConnection);
  });
}

void TfrmFtpExplorer::Finished(const std::string& folder, TOutcome outcome) {
  if (worker_.joinable()) worker_.join();
  busy_ = false;
  lstFiles_->setEnabled(true);
  if (cancel_) return;
  if (!outcome.ok) {
    last_error_ = outcome.error.empty() ? Translate(2193, "The server cannot be reached.") : outcome.error;
    lblStatus_->setStyleSheet(QStringLiteral("color: #c61c1c"));
    lblStatus_->setText(Q(last_error_));
    RunControl().ShowError(last_error_);
    return;
  }
  last_error_.clear();
  folder_ = folder;
  entries_ = std::move(outcome.entries);
  lblFolder_->setText(Q(settings_.host + ":" + folder_));
  lstFiles_->clear();
  if (folder_ != "/") {
    auto* up = new QListWidgetItem(style()->standardIcon(QStyle::SP_FileDialogToParent),
                                   QStringLiteral(".."), lstFiles_);
    up->setData(Qt::UserRole, kUp);
  }
  int folders = 0;
  for (const TListingEntry& e : entries_) {
    QString text = Q(e.name);
    if (!e.is_folder) text += QStringLiteral("    (%1 KB)").arg((e.size + 1023) / 1024);
    auto* item = new QListWidgetItem(style()->standardIcon(e.is_folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon),
                                     text, lstFiles_);
    item->setData(Qt::UserRole, e.is_folder ? kFolder : kFile);
    item->setData(Qt::UserRole + 1, Q(e.name));
    if (e.is_folder) ++folders;
  }
  lblStatus_->setStyleSheet(QString());
  lblStatus_->setText(Tr(2194, "%1 folders, %2 files")
                          .arg(folders)
                          .arg(static_cast<int>(entries_.size()) - folders));
  edtRemotePath_->setText(Q(folder_));
}

void TfrmFtpExplorer::ItemChosen(QListWidgetItem* item) {
  if (item == nullptr || busy_) return;
  const int kind = item->data(Qt::UserRole).toInt();
  if (kind == kUp) return;
  const std::string name = S(item->data(Qt::UserRole + 1).toString());
  edtRemotePath_->setText(Q(folder_ + name + (kind == kFolder ? "/" : "")));
}

void TfrmFtpExplorer::Activate(int row) {
  QListWidgetItem* item = lstFiles_->item(row);
  if (item == nullptr || busy_) return;
  const int kind = item->data(Qt::UserRole).toInt();
  const std::string name = S(item->data(Qt::UserRole + 1).toString());
  if (kind == kUp) {
    OpenFolder(ParentOf(folder_));
  } else if (kind == kFolder) {
    OpenFolder(folder_ + name + "/");
  } else {
    edtRemotePath_->setText(Q(folder_ + name));
    accept();
  }
}

std::string TfrmFtpExplorer::RemotePath() const {
  const std::string path = Trim(S(edtRemotePath_->text()));
  return path.empty() ? folder_ : path;
}

bool TfrmFtpExplorer::WaitIdle(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (busy_) {
    if (clock.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

}  // namespace trelvar::ui
