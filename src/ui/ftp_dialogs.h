// The FTP connection dialog (TfrmFtpConnect) and the FTP explorer
// (TfrmFtpExplorer).
//
// The connection dialog shows a site's FTP settings and its local log path
// before a download the user started; OK refuses an empty user name and
// otherwise hands the values back, Cancel changes nothing. Its Browse
// button opens the explorer, which lists the server's folders and files so
// that the user can pick the remote log path. The explorer's requests run
// on a worker thread with timeouts, so the window never hangs; a failure
// is shown as a message and the explorer stays open. Modal; main thread
// only (the worker touches nothing but its own client).
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "automation/ftp_client.h"
#include "automation/ftp_listing.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSpinBox;

namespace trelvar {
class TFolders;
struct TWebSite;
}  // namespace trelvar

namespace trelvar::ui {

// Shows the connection dialog filled with the site's FTP settings; on OK
// the values go back into the site. Answers whether the user confirmed.
bool EditFtpConnection(QWidget* parent, TWebSite& site, const TFolders& folders);

class TfrmFtpConnect : public QDialog {
  Q_OBJECT

 public:
  TfrmFtpConnect(const TFolders& folders, QWidget* parent = nullptr);

  void Fill(const TWebSite& site);
  // The dialog's values into the site (user name, password, host, port,
  // passive mode, remote and local log path).
  void Store(TWebSite& site) const;
  // OK: false, with the message, when the user name is empty.
  bool Confirm();
  // The explorer on the dialog's server; its choice fills the remote path.
  void Browse();
  // The settings of a connection with the dialog's values.
  TFtpSettings Settings() const;

  QLineEdit& UserEdit() { return *edtUser_; }
  QLineEdit& PasswordEdit() { return *edtPassword_; }
  QLineEdit& HostEdit() { return *edtHost_; }
  QSpinBox& PortEdit() { return *edtPort_; }
  QCheckBox& PassiveBox() { return *chkPassive_; }
  QLineEdit& RemotePathEdit() { return *edtRemotePath_; }
  QLineEdit& LocalPathEdit() { return *edtLocalPath_; }

  void accept() override;

 private:
  const TFolders& folders_;
  QLineEdit* edtUser_ = nullptr;
  QLineEdit* edtPassword_ = nullptr;
  QLineEdit* edtHost_ = nullptr;
  QSpinBox* edtPort_ = nullptr;
  QCheckBox* chkPassive_ = nullptr;
  QLineEdit* edtRemotePath_ = nullptr;
  QLineEdit* edtLocalPath_ = nullptr;
};

class TfrmFtpExplorer : public QDialog {
  Q_OBJECT

 public:
  // Starts listing the folder of `start_path` (its part up to the last
  // "/"; "/" when it has none). Listing files go to the data folder.
  TfrmFtpExplorer(TFtpSettings settings, const std::string& start_path, const TFolders& folders,
                  QWidget* parent = nullptr);
  ~TfrmFtpExplorer() override;

  // Lists `folder` (ending in "/") in the background.
  void OpenFolder(const std::string& folder);
  // What a double click on the row does: a folder is entered, ".." goes
  // up, a file is chosen and the dialog accepted.
  void Activate(int row);
  // The remote path chosen (a file, or a folder ending in "/").
  std::string RemotePath() const;
  const std::string& Folder() const { return folder_; }
  bool Busy() const { return busy_; }
  // Lets events run until the running request ends or `milliseconds`
  // pass; false on the timeout (for tests and for closing).
  bool WaitIdle(int milliseconds);
  // The entries shown (without ".."), and the last failure's text.
  const std::vector<TListingEntry>& Entries() const { return entries_; }
  const std::string& LastError() const { return last_error_; }

  QListWidget& List() { return *lstFiles_; }

 protected:
  void reject() override;

 private:
  struct TOutcome {
    bool ok = false;
    std::string error;
    std::vector<TListingEntry> entries;
  };
  void Finished(const std::string& folder, TOutcome outcome);
  void ItemChosen(QListWidgetItem* item);
  void StopWorker();

  TFtpSettings settings_;
  std::string data_folder_;
  std::unique_ptr<TFtpClient> client_;
  std::atomic<bool> cancel_{false};
  // Main thread: a request runs. Worker (while busy): the session is up.
  bool busy_ = false;
  bool connected_ = false;
  std::thread worker_;
  std::string folder_ = "/";
  std::vector<TListingEntry> entries_;
  std::string last_error_;

  QLabel* lblFolder_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  QListWidget* lstFiles_ = nullptr;
  QLineEdit* edtRemotePath_ = nullptr;
};

}  // namespace trelvar::ui
