#include "ui/mode_page.h"

#include "ui/main_window.h"

namespace trelvar::ui {

TModePage::TModePage(TfrmMainW& main) : QWidget(&main), main_(main) {}

}  // namespace trelvar::ui
