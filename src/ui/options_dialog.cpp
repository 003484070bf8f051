#include "ui/options_dialog.h"

#include "ui/main_window.h"

namespace trelvar::ui {

TfrmOptions::TfrmOptions(TfrmMainW& main) : QDialog(&main) {
  setObjectName(QStringLiteral("frmOptions"));
}

}  // namespace trelvar::ui
