// Recognition of the format of a log file on disk.
//
// Opens the file (plain or gzip), takes the header sample of its first
// lines and asks the catalogue which format that sample shows; a new W3C
// or Netscape layout is saved in the catalogue under a fresh name.
#pragma once

#include <string>

namespace trelvar {

class TLogFmts;

// The format of the log file at `path`, "" when not recognised or when
// the file cannot be read. `show_messages` allows messages (a missing file
// is an error message); `console_mode` sends them to the output channel
// instead of dialogs and drops the "recognized" notices.
std::string RecognizeLogFile(TLogFmts& formats, const std::string& path, bool show_messages,
                             bool console_mode);

}  // namespace trelvar
