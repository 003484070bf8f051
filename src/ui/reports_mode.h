// TReportsModePage: the Reports mode of the main window (being built).
#pragma once

#include "ui/mode_page.h"

namespace trelvar::ui {

class TReportsModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TReportsModePage(TfrmMainW& main);
};

}  // namespace trelvar::ui
