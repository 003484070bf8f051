#include "ui/sites_mode.h"

namespace trelvar::ui {

TSitesModePage::TSitesModePage(TfrmMainW& main) : TModePage(main) {}

}  // namespace trelvar::ui
