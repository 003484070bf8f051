// Window translation: the captions and hints of a window's controls from
// the current language file.
//
// A window's section in the language file is its class name (TfrmMainW,
// TfrmProg, ...); the key "Self" gives the window's title, and each control
// is found by its object name in the section of the window that owns it.
// A value is caption "~" hint ("||" a line break); list controls (combo
// boxes, list boxes, tab pages, table columns) take "|"-separated items.
// A missing or empty value leaves the control as it is, after a look at
// the "Strings" entry of the control's numeric tag (the property "tag"),
// when it has one above 0. Main thread only.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace trelvar {
class TLangTranslator;
}

namespace trelvar::ui {

// The section name of a window class: the class name without namespaces.
QString SectionOf(const QObject& window);

// Translates `window` and every control it owns.
void TranslateWindow(QWidget& window, const TLangTranslator& translator);

// Translates every window when it is shown, and every open window when the
// language changes (it installs itself as the translator's window walker).
// Install once on the application; it does not own the translator, which
// must outlive it or be replaced with SetTranslator.
class TWindowWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TWindowWatcher(QObject* parent = nullptr);
  ~TWindowWatcher() override;

  void SetTranslator(TLangTranslator* translator);
  // Every open top-level window, translated again.
  void TranslateAll();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TLangTranslator* translator_ = nullptr;
};

}  // namespace trelvar::ui
