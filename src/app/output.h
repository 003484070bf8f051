// The run mode and the output channel.
//
// The run mode is set once per run: console from the start of a one-shot
// run until it decides web or console, windowed in the windowed
// application. OutputLine is the one way every subsystem writes a line of
// progress, results, warnings or errors (HTML markup allowed):
//  - web:      the line unchanged + CR LF on standard output (CGI response)
//  - console:  the line without tags + LF on standard output
//  - windowed: the line without tags to the main window's status pane
// In every mode pending window events run afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace trelvar {

enum class TRunMode : uint8_t { Web = 0, Console = 1, Windowed = 2 };

TRunMode RunMode();
void SetRunMode(TRunMode mode);

// True when the one-shot run found standard output closed and opened the
// terminal in its place.
bool OwnConsole();
void SetOwnConsole(bool own);

void OutputLine(const std::string& line);

}  // namespace trelvar
