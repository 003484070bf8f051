#include "ui/mode_controller.h"

#include <QAbstractButton>
#include <QLayout>
#include <QWidget>

namespace trelvar::ui {

TModeController::TModeController(QLayout& area, QObject* parent) : QObject(parent), area_(area) {
  group_.setExclusive(true);
  connect(&group_, &QButtonGroup::buttonClicked, this, &TModeController::ButtonClicked);
}

TModeItem& TModeController::AddMode(QAbstractButton* button, QWidget* page) {
  page->hide();
  area_.addWidget(page);
  button->setCheckable(true);
  button->setChecked(false);
  group_.addButton(button);
  items_.push_back(TModeItem{button, page, nullptr, nullptr, nullptr});
  return items_.back();
}

void TModeController::SwitchTo(int index) {
  if (index < 0 || index >= Count()) return;
  if (current_ >= 0 && items_[static_cast<size_t>(current_)].can_switch)
    items_[static_cast<size_t>(current_)].can_switch(true);
  TModeItem& next = items_[static_cast<size_t>(index)];
  if (next.can_switch) next.can_switch(true);
  if (current_ >= 0) {
    TModeItem& old = items_[static_cast<size_t>(current_)];
    if (old.leave) old.leave();
    old.button->setChecked(false);
    old.page->hide();
  }
  next.button->setChecked(true);
  next.page->show();
  // The index is current before the enter handler runs, so that a handler
  // that asks (or shows a dialog that runs events) sees the new mode.
  current_ = index;
  if (next.enter) next.enter();
}

void TModeController::ButtonClicked(QAbstractButton* button) {
  for (int i = 0; i < Count(); ++i) {
    if (items_[static_cast<size_t>(i)].button != button) continue;
    if (i == current_) {
      button->setChecked(true);  // the current mode stays pressed
      return;
    }
    SwitchTo(i);
    return;
  }
}

}  // namespace trelvar::ui
