// The one entry point of trelvar-ui.so: the program calls it when it
// starts without -console.
#include "ui/windowed_app.h"

extern "C" __attribute__((visibility("default"))) int TrelvarRunWindowed(int argc, char** argv) {
  return trelvar::ui::RunWindowedApplication(argc, argv);
}
