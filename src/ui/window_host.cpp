#include "ui/window_host.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "base/text_helpers.h"
#include "config/main_settings.h"
#include "reports/run_context.h"
#include "ui/download_window.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/results_mode.h"
#include "ui/qt_text.h"

namespace trelvar::ui {

namespace {

// Texts of the language files break lines with CR LF; a dialog wants LF.
QString DialogText(const std::string& text) {
  QString shown = Q(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

}  // namespace

TWindowHost::TWindowHost(TfrmMainW& main) : main_(main) { since_turn_.start(); }

void TWindowHost::OutputLine(const std::string& line) {
  // The line must be seen even while a job keeps the window disabled.
  const bool enabled = main_.isEnabled();
  main_.setEnabled(true);
  main_.AddStatusLine(StripTags(line));
  ProcessNow();
  main_.setEnabled(enabled);
}

void TWindowHost::OutputHeading(const std::string& line) {
  main_.ProgressWindow().SetHeading(Q(StripTags(line)));
  ProcessMessages();
}

void TWindowHost::ProcessMessages() {
  if (since_turn_.elapsed() < kTurnMilliseconds) return;
  ProcessNow();
}

void TWindowHost::ProcessNow() {
  since_turn_.restart();
  main_.ProgressWindow().Mirror();
  QApplication::processEvents();
}

void TWindowHost::ShowMessage(const std::string& text) {
  QMessageBox::information(main_.isVisible() ? &main_ : nullptr, QStringLiteral("Trelvar"),
                           DialogText(text));
}

void TWindowHost::ShowError(const std::string& text) {
  QMessageBox::critical(main_.isVisible() ? &main_ : nullptr, QStringLiteral("Trelvar"),
                        DialogText(text));
}

void TWindowHost::ClearOutput() { main_.ClearStatus(); }

bool TWindowHost::Ask(const TQuestion& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Trelvar"), DialogText(question.text),
                  QMessageBox::Yes | QMessageBox::No, main_.isVisible() ? &main_ : nullptr);
  box.setDefaultButton(question.default_answer ? QMessageBox::Yes : QMessageBox::No);
  QCheckBox* dont_ask = nullptr;
  if (question.dont_ask_again != nullptr) {
    dont_ask = new QCheckBox(Q(Translate(2035, "Dont show me this message again")), &box);
    dont_ask->setObjectName(QStringLiteral("chkDontAsk"));
    box.setCheckBox(dont_ask);
  }
  const bool yes = box.exec() == QMessageBox::Yes;
  if (dont_ask != nullptr) *question.dont_ask_again = dont_ask->isChecked();
  return yes;
}

void TWindowHost::StatusLine(const std::string& text, TStatusColour colour) {
  main_.DownloadWindow().AddStatus(Q(text), colour);
  ProcessMessages();
}

void TWindowHost::TransferProgress(const TTransferProgress& progress) {
  main_.DownloadWindow().ShowTransfer(progress);
  ProcessMessages();
}

void TWindowHost::SetMainWindowEnabled(bool enabled) { main_.setEnabled(enabled); }

void TWindowHost::AnalysisFinished(const TFinishedPages& pages) {
  if (main_.CmdLine().has_parameters) return;
  const QString file = Q(pages.folder + pages.index);
  if (main_.IsOpen() && main_.Context().settings != nullptr &&
      main_.Context().settings->show_results_in_browser) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    return;
  }
  main_.ResultsPage().Navigate(file, /*refresh=*/!first_results_);
  first_results_ = false;
  main_.Modes().SwitchTo(static_cast<int>(TMode::Results));
}

}  // namespace trelvar::ui
