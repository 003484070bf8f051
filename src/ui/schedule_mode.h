// TScheduleModePage: the Schedule mode of the main window (being built).
#pragma once

#include "ui/mode_page.h"

namespace trelvar::ui {

class TScheduleModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TScheduleModePage(TfrmMainW& main);
};

}  // namespace trelvar::ui
