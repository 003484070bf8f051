// The windowed application: from the program entry to the end of the
// window's message loop.
#pragma once

namespace trelvar::ui {

// Starts the windowed application and runs it until the main window
// closes; answers the process's exit status. Without a display it says so
// and answers 2. SIGTERM and SIGINT close the main window as its Close
// command does, so that the settings and the schedule are saved.
int RunWindowedApplication(int argc, char** argv);

}  // namespace trelvar::ui
