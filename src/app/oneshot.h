// The one-shot analysis run of "-console": analyses one site and ends.
//
// It writes its progress through the output channel, as an HTML document
// with a response head when it runs as a CGI program (SERVER_SOFTWARE is
// set), else as plain lines. An error ends the run with an error line and
// the normal clean-up.
#pragma once

#include <memory>

#include "app/cmdline.h"
#include "reports/run_context.h"

namespace trelvar {

// Exit statuses of the run.
inline constexpr int kExitComplete = 0;  // the analysis is complete
inline constexpr int kExitFailed = 1;    // it failed; its error line says why
// (2: the command line could not be used; see main.cpp.)
// Pages were written, but the input was incomplete: a damaged or unreadable
// log file, a listed file that vanished, a log path that matched no file, or
// no line counted. A warning line names each cause.
inline constexpr int kExitIncomplete = 3;

// Returns the process exit status (above). `ctx` receives the objects of
// the run; the program entry leaves them to the end of the process.
int RunOneShot(const TCmdLine& cmd, std::unique_ptr<TRunContext>& ctx);

}  // namespace trelvar
