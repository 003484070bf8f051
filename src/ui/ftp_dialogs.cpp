#include "ui/ftp_dialogs.h"

namespace trelvar::ui {

bool EditFtpConnection(QWidget*, TWebSite&, const TFolders&) { return false; }

}  // namespace trelvar::ui
