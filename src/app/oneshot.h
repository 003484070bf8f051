// The one-shot analysis run of "-console": analyses one site and ends.
//
// It writes its progress through the output channel, as an HTML document
// with a response head when it runs as a CGI program (SERVER_SOFTWARE is
// set), else as plain lines. An error ends the run with an error line and
// the normal clean-up.
#pragma once

#include "app/cmdline.h"

namespace trelvar {

// Returns the process exit status: 0 when the run completed, 1 when it
// ended with an error line.
int RunOneShot(const TCmdLine& cmd);

}  // namespace trelvar
