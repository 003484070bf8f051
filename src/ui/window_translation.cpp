#include "ui/window_translation.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

#include "base/ini_document.h"
#include "config/translator.h"

namespace trelvar::ui {

namespace {

QString FromLng(const std::string& value) {
  QString text = QString::fromStdString(value);
  text.replace(QStringLiteral("||"), QStringLiteral("\n"));
  return text;
}

// The language file's value for `key` in `section`, with the tag fallback.
QString ValueFor(const TIniDocument& doc, const QString& section, const QObject& object) {
  QString value;
  if (!object.objectName().isEmpty())
    value = FromLng(doc.ReadString(section.toStdString(), object.objectName().toStdString(), ""));
  if (value.isEmpty()) {
    const int tag = object.property("tag").toInt();
    if (tag > 0) value = FromLng(doc.ReadString("Strings", std::to_string(tag), ""));
  }
  return value;
}

struct TCaption {
  QString caption;
  QString hint;
  bool has_caption = false;
  bool has_hint = false;
};

TCaption SplitCaption(const QString& value) {
  TCaption c;
  const qsizetype tilde = value.indexOf(QLatin1Char('~'));
  c.caption = tilde < 0 ? value : value.left(tilde);
  c.hint = tilde < 0 ? QString() : value.mid(tilde + 1);
  c.has_caption = !c.caption.isEmpty();
  c.has_hint = !c.hint.isEmpty();
  return c;
}

QStringList Items(const QString& value) { return value.split(QLatin1Char('|')); }

void SetItems(QObject& control, const QString& value) {
  const QStringList items = Items(value);
  if (auto* combo = qobject_cast<QComboBox*>(&control)) {
    for (int i = 0; i < combo->count() && i < items.size(); ++i) {
      const TCaption c = SplitCaption(items[i]);
      if (c.has_caption) combo->setItemText(i, c.caption);
    }
  } else if (auto* list = qobject_cast<QListWidget*>(&control)) {
    for (int i = 0; i < list->count() && i < items.size(); ++i) {
      const TCaption c = SplitCaption(items[i]);
      if (c.has_caption) list->item(i)->setText(c.caption);
    }
  } else if (auto* tabs = qobject_cast<QTabWidget*>(&control)) {
    for (int i = 0; i < tabs->count() && i < items.size(); ++i) {
      const TCaption c = SplitCaption(items[i]);
      if (c.has_caption) tabs->setTabText(i, c.caption);
      if (c.has_hint) tabs->setTabToolTip(i, c.hint);
    }
  } else if (auto* tree = qobject_cast<QTreeWidget*>(&control)) {
    QTreeWidgetItem* header = tree->headerItem();
    for (int i = 0; i < tree->columnCount() && i < items.size(); ++i) {
      const TCaption c = SplitCaption(items[i]);
      if (c.has_caption) header->setText(i, c.caption);
    }
  } else if (auto* table = qobject_cast<QTableWidget*>(&control)) {
    for (int i = 0; i < table->columnCount() && i < items.size(); ++i) {
      const TCaption c = SplitCaption(items[i]);
      if (!c.has_caption) continue;
      if (table->horizontalHeaderItem(i) == nullptr)
        table->setHorizontalHeaderItem(i, new QTableWidgetItem(c.caption));
      else
        table->horizontalHeaderItem(i)->setText(c.caption);
    }
  }
}

bool IsList(const QObject& control) {
  return qobject_cast<const QComboBox*>(&control) != nullptr ||
         qobject_cast<const QListWidget*>(&control) != nullptr ||
         qobject_cast<const QTabWidget*>(&control) != nullptr ||
         qobject_cast<const QTreeWidget*>(&control) != nullptr ||
         qobject_cast<const QTableWidget*>(&control) != nullptr;
}

void SetCaption(QObject& control, const TCaption& c) {
  if (auto* action = qobject_cast<QAction*>(&control)) {
    if (c.has_caption) action->setText(c.caption);
    if (c.has_hint) action->setToolTip(c.hint);
    return;
  }
  auto* widget = qobject_cast<QWidget*>(&control);
  if (widget == nullptr) return;
  if (c.has_hint) widget->setToolTip(c.hint);
  if (!c.has_caption) return;
  if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(c.caption);
  else if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(c.caption);
  else if (auto* group = qobject_cast<QGroupBox*>(widget))
    group->setTitle(c.caption);
  else if (auto* menu = qobject_cast<QMenu*>(widget))
    menu->setTitle(c.caption);
  // Edit boxes keep what the user typed: only their hint is translated.
}

bool IsForm(const QObject& object) {
  return object.isWidgetType() && SectionOf(object).startsWith(QLatin1String("Tfrm"));
}

// The window whose section names `control`: the nearest form above it.
const QObject* OwnerOf(const QObject& control) {
  for (const QObject* p = control.parent(); p != nullptr; p = p->parent())
    if (IsForm(*p)) return p;
  return nullptr;
}

void TranslateControl(QObject& control, const QWidget& window, const TIniDocument& doc) {
  const QObject* owner = OwnerOf(control);
  if (owner != &window) return;  // a form inside this one translates its own
  const QString value = ValueFor(doc, SectionOf(*owner), control);
  if (value.isEmpty()) return;
  if (IsList(control))
    SetItems(control, value);
  else
    SetCaption(control, SplitCaption(value));
}

}  // namespace

QString SectionOf(const QObject& window) {
  QString name = QString::fromLatin1(window.metaObject()->className());
  const qsizetype colons = name.lastIndexOf(QLatin1String("::"));
  return colons < 0 ? name : name.mid(colons + 2);
}

void TranslateWindow(QWidget& window, const TLangTranslator& translator) {
  const TIniDocument* doc = translator.Document();
  if (doc == nullptr) return;
  QString title = FromLng(doc->ReadString(SectionOf(window).toStdString(), "Self", ""));
  if (title.isEmpty()) {
    const int tag = window.property("tag").toInt();
    if (tag > 0) title = FromLng(doc->ReadString("Strings", std::to_string(tag), ""));
  }
  if (!title.isEmpty()) {
    const TCaption c = SplitCaption(title);
    if (c.has_caption) window.setWindowTitle(c.caption);
    if (c.has_hint) window.setToolTip(c.hint);
  }
  for (QObject* child : window.findChildren<QObject*>()) {
    if (child->objectName().isEmpty() && child->property("tag").toInt() <= 0) continue;
    TranslateControl(*child, window, *doc);
  }
  // Nested forms (the pages of a window) translate by their own sections.
  for (QWidget* child : window.findChildren<QWidget*>())
    if (IsForm(*child) && !child->isWindow()) TranslateWindow(*child, translator);
}

TWindowWatcher::TWindowWatcher(QObject* parent) : QObject(parent) {
  qApp->installEventFilter(this);
}

TWindowWatcher::~TWindowWatcher() {
  if (translator_ != nullptr) translator_->SetWindowWalker(nullptr);
}

void TWindowWatcher::SetTranslator(TLangTranslator* translator) {
  if (translator_ != nullptr && translator_ != translator) translator_->SetWindowWalker(nullptr);
  translator_ = translator;
  if (translator_ != nullptr)
    translator_->SetWindowWalker([this](const TLangTranslator&) { TranslateAll(); });
}

void TWindowWatcher::TranslateAll() {
  if (translator_ == nullptr) return;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (IsForm(*window)) TranslateWindow(*window, *translator_);
}

bool TWindowWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && translator_ != nullptr && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->isWindow() && IsForm(*widget)) TranslateWindow(*widget, *translator_);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace trelvar::ui
