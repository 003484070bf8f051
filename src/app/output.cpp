#include "app/output.h"

#include "app/ui_host.h"
#include "config/text_helpers.h"

namespace trelvar {

namespace {
TRunMode g_run_mode = TRunMode::Console;
bool g_own_console = false;
}  // namespace

TRunMode RunMode() { return g_run_mode; }
void SetRunMode(TRunMode mode) { g_run_mode = mode; }
bool OwnConsole() { return g_own_console; }
void SetOwnConsole(bool own) { g_own_console = own; }

void OutputLine(const std::string& line) {
  TUiHost& host = UiHost();
  const bool windowed = g_run_mode == TRunMode::Windowed;
  const bool was_enabled = windowed && host.MainWindowEnabled();
  if (windowed) host.SetMainWindowEnabled(true);
  switch (g_run_mode) {
    case TRunMode::Web:
      host.WriteStdout(line + "\r\n");
      break;
    case TRunMode::Console:
      host.WriteStdout(StripTags(line) + "\n");
      break;
    case TRunMode::Windowed:
      host.StatusLine(StripTags(line));
      break;
  }
  host.ProcessMessages();
  if (windowed) host.SetMainWindowEnabled(was_enabled);
}

}  // namespace trelvar
