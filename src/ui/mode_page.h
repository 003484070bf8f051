// TModePage: the page of one mode of the main window.
//
// Each mode (Main, Reports, Sites, Schedule, Results) is a page widget with
// its own controls. The main window tells every page when the shared
// objects were created again (Open), when the page is entered and left,
// and when the settings are saved; the page reaches the shared objects
// through the main window. Pages belong to the main window and live as
// long as it does. Main thread only.
#pragma once

#include <QWidget>

namespace trelvar::ui {

class TfrmMainW;

class TModePage : public QWidget {
  Q_OBJECT

 public:
  explicit TModePage(TfrmMainW& main);

  // The shared objects were created again: fill the lists from them.
  // Errors propagate to Open, which writes them to the status pane.
  virtual void Opened() {}
  // The page becomes the current mode (every entry).
  virtual void Entered() {}
  // Another mode is chosen.
  virtual void Leaving() {}
  // The settings are about to be written (Save).
  virtual void Storing() {}

 protected:
  TfrmMainW& main_;
};

}  // namespace trelvar::ui
