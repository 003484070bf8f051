#include "app/ui_host.h"

#include "app/output.h"
#include "platform/console.h"

namespace trelvar {

namespace {
THeadlessHost g_headless;
TUiHost* g_host = &g_headless;
}  // namespace

void THeadlessHost::WriteStdout(const std::string& text) { platform::WriteStdout(text); }

void THeadlessHost::ShowMessage(const std::string& text) { OutputLine("<P>" + text + "</P>"); }

TUiHost& UiHost() { return *g_host; }

void SetUiHost(TUiHost* host) { g_host = host != nullptr ? host : &g_headless; }

}  // namespace trelvar
