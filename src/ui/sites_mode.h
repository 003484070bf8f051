// TSitesModePage: the Sites mode of the main window (being built).
#pragma once

#include "ui/mode_page.h"

namespace trelvar::ui {

class TSitesModePage : public TModePage {
  Q_OBJECT

 public:
  explicit TSitesModePage(TfrmMainW& main);
};

}  // namespace trelvar::ui
