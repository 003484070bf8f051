// Standard streams of the process.
//
// Writes go straight to the file descriptors, so a line is out as soon as
// the call returns (a CGI client sees progress as it happens). Writing to a
// closed stream fails silently. Not meant for concurrent writers.
#pragma once

#include <string>

namespace trelvar::platform {

// True when descriptor 1 is open.
bool StdoutIsOpen();
// Opens the controlling terminal as standard output; true on success.
bool OpenTerminalAsStdout();
// A vanished reader of standard output must not kill the process.
void IgnoreBrokenPipe();

void WriteStdout(const std::string& text);
void WriteStderr(const std::string& text);

}  // namespace trelvar::platform
