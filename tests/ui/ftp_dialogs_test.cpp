// The FTP connection dialog and the FTP explorer; the explorer lists a real
// FTP server on the loopback address (tests/support/ftp_server.py).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>

#include "config/folders.h"
#include "sites/website.h"
#include "ui/ftp_dialogs.h"
#include "ui/qt_text.h"
#include "ui/sites_ui_fixture.h"

namespace trelvar {
namespace {

TWebSite FtpSite() {
  TWebSite site;
  site.name = "Shop";
  site.user_name = "loguser";
  site.password = "secret";
  site.remote_host = "ftp.example.org";
  site.remote_port = "2121";
  site.passive_mode = true;
  site.remote_log_path = "/logs/ex*.log";
  site.log_path = "/tmp/shop/ex.log";
  return site;
}

class FtpConnect : public testing::Test {
 protected:
  test::TTempDir dir_;
  TFolders folders_{"/nonexistent/", dir_.path()};
  test::TAnswerHost host_;
};

TEST_F(FtpConnect, ShowsTheSiteAndWritesBackOnOk) {
  ui::TfrmFtpConnect dialog(folders_);
  dialog.Fill(FtpSite());
  EXPECT_EQ(dialog.UserEdit().text(), QStringLiteral("loguser"));
  EXPECT_EQ(dialog.PasswordEdit().text(), QStringLiteral("secret"));
  EXPECT_EQ(dialog.PasswordEdit().echoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog.HostEdit().text(), QStringLiteral("ftp.example.org"));
  EXPECT_EQ(dialog.PortEdit().value(), 2121);
  EXPECT_TRUE(dialog.PassiveBox().isChecked());
  EXPECT_EQ(dialog.RemotePathEdit().text(), QStringLiteral("/logs/ex*.log"));
  EXPECT_EQ(dialog.LocalPathEdit().text(), QStringLiteral("/tmp/shop/ex.log"));

  dialog.UserEdit().setText(QStringLiteral(" anna "));
  dialog.PasswordEdit().setText(QStringLiteral(" p w "));
  dialog.HostEdit().setText(QStringLiteral("127.0.0.1"));
  dialog.PortEdit().setValue(21);
  dialog.PassiveBox().setChecked(false);
  dialog.RemotePathEdit().setText(QStringLiteral("/logs/"));
  dialog.LocalPathEdit().setText(QStringLiteral("/tmp/other/a.log"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  TWebSite site = FtpSite();
  dialog.Store(site);
  EXPECT_EQ(site.user_name, "anna");
  EXPECT_EQ(site.password, " p w ");  // a password keeps its blanks
  EXPECT_EQ(site.remote_host, "127.0.0.1");
  EXPECT_EQ(site.remote_port, "21");
  EXPECT_FALSE(site.passive_mode);
  EXPECT_EQ(site.remote_log_path, "/logs/");
  EXPECT_EQ(site.log_path, "/tmp/other/a.log");
  EXPECT_EQ(site.name, "Shop");
}

TEST_F(FtpConnect, OkRefusesAnEmptyUserName) {
  for (const char* user : {"", " ", "\t  "}) {
    SCOPED_TRACE(user);
    host_.messages.clear();
    ui::TfrmFtpConnect dialog(folders_);
    dialog.Fill(FtpSite());
    dialog.UserEdit().setText(QString::fromUtf8(user));
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());  // stays open
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], "Please put any user name");
    dialog.UserEdit().setText(QStringLiteral("x"));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
}

// Closes the next modal dialog with OK (after setting the user name) or
// Cancel.
void CloseNextModal(bool ok, const QString& user) {
  QTimer::singleShot(0, [ok, user] {
    auto* dialog = qobject_cast<ui::TfrmFtpConnect*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->UserEdit().setText(user);
    if (ok)
      dialog->accept();
    else
      dialog->reject();
  });
}

TEST_F(FtpConnect, EditFtpConnectionChangesTheSiteOnlyOnOk) {
  TWebSite site = FtpSite();
  CloseNextModal(false, QStringLiteral("changed"));
  EXPECT_FALSE(ui::EditFtpConnection(nullptr, site, folders_));
  EXPECT_EQ(site.user_name, "loguser");
  CloseNextModal(true, QStringLiteral("changed"));
  EXPECT_TRUE(ui::EditFtpConnection(nullptr, site, folders_));
  EXPECT_EQ(site.user_name, "changed");
  EXPECT_EQ(site.remote_log_path, "/logs/ex*.log");
}

class FtpExplorer : public testing::Test {
 protected:
  void SetUp() override {
    root_ = tmp_ / "root/";
    std::filesystem::create_directories(root_ + "logs/old");
    test::WriteFile(root_ + "logs/ex0501.log", std::string(3000, 'a'));
    test::WriteFile(root_ + "logs/ex0502.log", "b\n");
    test::WriteFile(root_ + "logs/old/ex0401.log", "c\n");
    test::WriteFile(root_ + "readme.txt", "d\n");
    data_ = tmp_ / "data/";
    std::filesystem::create_directories(data_);
  }

  void StartServer() {
    port_ = test::FreeLoopbackPort();
    server_ = std::make_unique<test::TBackgroundProcess>(
        "/usr/bin/python3",
        std::vector<std::string>{std::string(TRELVAR_SOURCE_DIR) + "/tests/support/ftp_server.py", "--root",
                                 root_, "--port", std::to_string(port_)},
        tmp_ / "server.log");
    ASSERT_TRUE(test::WaitForPort(port_)) << test::ReadFile(tmp_ / "server.log");
  }

  TFtpSettings Settings(const std::string& password = "secret") const {
    TFtpSettings s;
    s.host = "127.0.0.1";
    s.port = port_;
    s.user = "loguser";
    s.password = password;
    s.passive = true;
    s.connect_timeout_seconds = 5;
    s.stall_timeout_seconds = 5;
    return s;
  }

  static std::vector<std::string> Rows(ui::TfrmFtpExplorer& explorer) {
    std::vector<std::string> rows;
    for (int i = 0; i < explorer.List().count(); ++i)
      rows.push_back(ui::S(explorer.List().item(i)->text()).substr(0, 12));
    return rows;
  }

  test::TTempDir tmp_;
  std::string root_, data_;
  TFolders folders_{"/nonexistent/", tmp_ / "data/"};
  int port_ = 0;
  std::unique_ptr<test::TBackgroundProcess> server_;
  test::TAnswerHost host_;
};

TEST_F(FtpExplorer, ListsFoldersAndFilesAndPicksThePath) {
  StartServer();
  ui::TfrmFtpExplorer explorer(Settings(), "/logs/ex*.log", folders_);
  ASSERT_TRUE(explorer.WaitIdle(15000));
  ASSERT_EQ(explorer.LastError(), "");
  EXPECT_EQ(explorer.Folder(), "/logs/");
  // Folders first, "..", to go up, on top.
  EXPECT_EQ(Rows(explorer), (std::vector<std::string>{"..", "old", "ex0501.log  ", "ex0502.log  "}));
  ASSERT_EQ(explorer.Entries().size(), 3u);
  EXPECT_EQ(explorer.Entries()[1].size, 3000);
  EXPECT_EQ(explorer.RemotePath(), "/logs/");  // the folder itself until a row is chosen

  explorer.List().setCurrentRow(2);
  EXPECT_EQ(explorer.RemotePath(), "/logs/ex0501.log");
  explorer.List().setCurrentRow(1);
  EXPECT_EQ(explorer.RemotePath(), "/logs/old/");

  explorer.Activate(1);  // into "old"
  ASSERT_TRUE(explorer.WaitIdle(15000));
  EXPECT_EQ(explorer.Folder(), "/logs/old/");
  EXPECT_EQ(Rows(explorer), (std::vector<std::string>{"..", "ex0401.log  "}));
  explorer.Activate(0);  // ".." up
  ASSERT_TRUE(explorer.WaitIdle(15000));
  explorer.Activate(0);
  ASSERT_TRUE(explorer.WaitIdle(15000));
  EXPECT_EQ(explorer.Folder(), "/");
  EXPECT_EQ(Rows(explorer), (std::vector<std::string>{"logs", "readme.txt  "}));  // no ".." at the root

  explorer.show();
  explorer.Activate(1);  // a file is chosen and the dialog closes
  EXPECT_EQ(explorer.result(), QDialog::Accepted);
  EXPECT_EQ(explorer.RemotePath(), "/readme.txt");
  EXPECT_TRUE(host_.messages.empty());
  // No listing file is left in the data folder.
  EXPECT_TRUE(std::filesystem::is_empty(data_));
}

TEST_F(FtpExplorer, FailuresAreMessagesAndTheWindowStaysUsable) {
  StartServer();
  {
    ui::TfrmFtpExplorer explorer(Settings("wrong"), "/logs/", folders_);
    ASSERT_TRUE(explorer.WaitIdle(15000));
    EXPECT_NE(explorer.LastError().find("530"), std::string::npos) << explorer.LastError();
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], explorer.LastError());
    EXPECT_TRUE(explorer.List().isEnabled());
  }
  {
    host_.messages.clear();
    ui::TfrmFtpExplorer explorer(Settings(), "/nothing/here/", folders_);
    ASSERT_TRUE(explorer.WaitIdle(15000));
    EXPECT_NE(explorer.LastError().find("550"), std::string::npos) << explorer.LastError();
    // The session survives: the next folder lists.
    explorer.OpenFolder("/logs/");
    ASSERT_TRUE(explorer.WaitIdle(15000));
    EXPECT_EQ(explorer.LastError(), "");
    EXPECT_EQ(explorer.Entries().size(), 3u);
  }
  // Nobody listening: a quick failure, never a hang.
  server_.reset();
  host_.messages.clear();
  QElapsedTimer clock;
  clock.start();
  ui::TfrmFtpExplorer explorer(Settings(), "/", folders_);
  ASSERT_TRUE(explorer.WaitIdle(15000));
  EXPECT_FALSE(explorer.LastError().empty());
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(FtpExplorer, ClosingWhileTheServerIsSilentDoesNotWait) {
  // A socket that accepts connections and never greets.
  const int silent = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(silent, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(silent, 4), 0);
  socklen_t length = sizeof addr;
  getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &length);
  port_ = ntohs(addr.sin_port);

  auto explorer = std::make_unique<ui::TfrmFtpExplorer>(Settings(), "/", folders_);
  EXPECT_FALSE(explorer->WaitIdle(300));  // still waiting for the greeting
  EXPECT_TRUE(explorer->Busy());
  QElapsedTimer clock;
  clock.start();
  explorer.reset();  // cancels the request
  EXPECT_LT(clock.elapsed(), 2000);
  close(silent);
}

}  // namespace
}  // namespace trelvar
