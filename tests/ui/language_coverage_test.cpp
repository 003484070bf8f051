// The language files name every control that shows a text, in every
// window, in English and in German.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/ini_document.h"
#include "config/folders.h"
#include "ui/about_dialog.h"
#include "ui/categories_dialog.h"
#include "ui/download_window.h"
#include "ui/ftp_dialogs.h"
#include "ui/options_dialog.h"
#include "ui/progress_window.h"
#include "ui/site_wizard.h"
#include "ui/tip_dialog.h"
#include "ui/ui_fixture.h"
#include "ui/window_translation.h"

namespace trelvar {
namespace {

// Controls whose text the code sets as it runs: data (a folder, the
// version, a file name, a report's type), progress values, and captions
// that change with the state (Cancel while a download runs, Close after).
const std::set<std::string> kSetByTheCode = {
    "TfrmAbout/lblDataFolder", "TfrmAbout/lblProduct",  "TfrmDownload/btnCancel",
    "TfrmMainW/lblReportTypeName", "TfrmMainW/pnlModeTitle", "TfrmProg/lblFileName",
    "TfrmProg/lblInfo",         "TfrmProg/lblRate",       "TfrmProg/lblTimeLeft"};

// The text a control shows, when it is of a kind that shows one.
std::string ShownText(const QObject& control) {
  if (auto* action = qobject_cast<const QAction*>(&control)) return action->text().toStdString();
  if (auto* button = qobject_cast<const QAbstractButton*>(&control))
    return button->text().toStdString();
  if (auto* label = qobject_cast<const QLabel*>(&control)) return label->text().toStdString();
  if (auto* group = qobject_cast<const QGroupBox*>(&control)) return group->title().toStdString();
  if (auto* menu = qobject_cast<const QMenu*>(&control)) return menu->title().toStdString();
  if (auto* tabs = qobject_cast<const QTabWidget*>(&control))
    return tabs->count() > 0 ? tabs->tabText(0).toStdString() : "";
  return "";
}

// The section that names `control`: its nearest window of the program.
QString OwnerSection(const QObject& control) {
  for (const QObject* p = control.parent(); p != nullptr; p = p->parent())
    if (p->isWidgetType() && ui::SectionOf(*p).startsWith(QLatin1String("Tfrm")))
      return ui::SectionOf(*p);
  return {};
}

// "Section/key" of every named control of `window` that shows a text and
// that neither language file names (nor the tag fallback covers).
std::vector<std::string> Unnamed(const QWidget& window, const TIniDocument& english,
                                 const TIniDocument& german) {
  std::vector<std::string> missing;
  std::vector<const QObject*> all = {&window};
  for (const QObject* child : window.findChildren<QObject*>()) all.push_back(child);
  for (const QObject* control : all) {
    const std::string name = control->objectName().toStdString();
    if (control == &window || name.empty() || ShownText(*control).empty()) continue;
    if (control->property("tag").toInt() > 0) continue;
    // Qt's own parts (the wizard's buttons) take texts from the code.
    if (name.rfind("qt_", 0) == 0 || name.rfind("__qt__", 0) == 0) continue;
    const std::string section = OwnerSection(*control).toStdString();
    if (kSetByTheCode.count(section + "/" + name) > 0) continue;
    for (const TIniDocument* doc : {&english, &german})
      if (doc->ReadString(section, name, "").empty())
        missing.push_back((doc == &english ? "English " : "German ") + section + "/" + name +
                          " (\"" + ShownText(*control) + "\")");
  }
  return missing;
}

TEST(LanguageFiles, EveryWindowAndControlIsNamedInBothLanguages) {
  test::TWindowFixture f;
  const std::string folder = std::string(TRELVAR_SOURCE_DIR) + "/Language/";
  const TIniDocument english(folder + "English.lng");
  const TIniDocument german(folder + "Deutsch.lng");

  std::vector<std::unique_ptr<QWidget>> windows;
  windows.push_back(std::make_unique<ui::TfrmAbout>(QStringLiteral("/data/")));
  windows.push_back(std::make_unique<ui::TfrmCategories>(*f.main));
  windows.push_back(std::make_unique<ui::TfrmDownload>());
  windows.push_back(std::make_unique<ui::TfrmFtpConnect>(f.main->Folders()));
  windows.push_back(std::make_unique<ui::TfrmSiteWizard>(*f.main));
  windows.push_back(std::make_unique<ui::TfrmTip>());
  windows.push_back(std::make_unique<ui::TfrmProg>(nullptr));
  auto options = std::make_unique<ui::TfrmOptions>(*f.main);

  std::vector<std::string> missing = Unnamed(*f.main, english, german);
  for (const auto& w : windows) {
    const std::vector<std::string> more = Unnamed(*w, english, german);
    missing.insert(missing.end(), more.begin(), more.end());
  }
  const std::vector<std::string> more = Unnamed(*options, english, german);
  missing.insert(missing.end(), more.begin(), more.end());
  for (const std::string& m : missing) ADD_FAILURE() << "no translation: " << m;
}

}  // namespace
}  // namespace trelvar
