// TModeController: the modes of the main window and the switch between
// them.
//
// An ordered list of modes, each a toggle button of one exclusive group
// and a page that fills the main window's mode area, with optional
// can-switch, leave and enter handlers. Clicking the button of another mode
// switches to it; clicking the current mode's button does nothing. The
// controller owns neither buttons nor pages (their parents do). Main
// thread only.
#pragma once

#include <QButtonGroup>
#include <QObject>
#include <functional>
#include <vector>

class QAbstractButton;
class QLayout;
class QWidget;

namespace trelvar::ui {

struct TModeItem {
  QAbstractButton* button = nullptr;
  QWidget* page = nullptr;
  // Asked with true before a switch; the mechanism calls it when set (the
  // five modes set none).
  std::function<bool(bool)> can_switch;
  std::function<void()> leave;
  std::function<void()> enter;
};

class TModeController : public QObject {
  Q_OBJECT

 public:
  // Pages are put into `area` (a layout of the main window).
  explicit TModeController(QLayout& area, QObject* parent = nullptr);

  // Appends a mode: the page hidden and put into the area, the button
  // raised and made one of the exclusive group. The item stays valid until
  // the next AddMode.
  TModeItem& AddMode(QAbstractButton* button, QWidget* page);
  // Switches to mode `index`; an index past the last mode is ignored.
  void SwitchTo(int index);

  TModeItem& Get(int index) { return items_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(items_.size()); }
  int Current() const { return current_; }

 private:
  void ButtonClicked(QAbstractButton* button);

  QLayout& area_;
  QButtonGroup group_;
  std::vector<TModeItem> items_;
  int current_ = -1;
};

}  // namespace trelvar::ui
