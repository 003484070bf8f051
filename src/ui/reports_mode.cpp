#include "ui/reports_mode.h"

namespace trelvar::ui {

TReportsModePage::TReportsModePage(TfrmMainW& main) : TModePage(main) {}

}  // namespace trelvar::ui
