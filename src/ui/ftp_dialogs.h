// The FTP connection dialog and the FTP explorer (being built).
#pragma once

#include <QWidget>

namespace trelvar {
class TFolders;
struct TWebSite;
}  // namespace trelvar

namespace trelvar::ui {

// Shows the connection dialog filled with the site's FTP settings; on OK
// the values go back into the site. Answers whether the user confirmed.
bool EditFtpConnection(QWidget* parent, TWebSite& site, const TFolders& folders);

}  // namespace trelvar::ui
