// A console analysis on a fresh data folder: the shipped settings, one
// site "T" whose log lies in the folder, and a report set of the test's
// own. Tests write their log lines, run build/trelvar -console and read
// the pages of the output folder.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

namespace trelvar {
namespace test {

inline const std::string kBinary = TRELVAR_BINARY;
inline const std::string kSource = TRELVAR_SOURCE_DIR;

// A data folder with the shipped settings, one site and a report set.
struct Analysis {
  TTempDir dir;
  std::string data = dir.path();
  std::string out = dir / "out/";

  Analysis(const std::string& format, const std::string& settings, const std::string& reports,
           const std::string& log_path = "access.log") {
    WriteFile(data + "main.ini", ReadFile(kSource + "/Default/main.ini") +
                                           "default_site=T\r\nAutoRecognizeLogFormat=0\r\n"
                                           "AutoStartBrowser=0\r\n" + settings);
    WriteFile(data + "websites.ini", "name=T\r\nlogpath=" + log_path +
                                               "\r\noutputdir=out\r\nformat=" + format + "\r\n");
    WriteFile(data + "reports.ini", "category=All\r\n" + reports);
  }
  TRunResult Run(std::vector<std::string> args = {}) {
    args.insert(args.begin(), "-console");
    return RunProgram(kBinary, args,
                            {{"TRELVAR_DATA_DIR", data},
                             {"LC_ALL", "C"},
                             {"SERVER_SOFTWARE", kUnset},
                             {"DISPLAY", kUnset},
                             {"WAYLAND_DISPLAY", kUnset}});
  }
  std::string Details() { return ReadFile(out + "indexdetails.htm"); }
};

}  // namespace test
}  // namespace trelvar
