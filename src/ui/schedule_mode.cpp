#include "ui/schedule_mode.h"

namespace trelvar::ui {

TScheduleModePage::TScheduleModePage(TfrmMainW& main) : TModePage(main) {}

}  // namespace trelvar::ui
