// What a TLineParser runs in for the tests: a temporary program and data
// folder, the settings read from its main.ini, the log formats, a site, the
// current line and a console host.
#pragma once

#include <memory>
#include <string>

#include "config/main_settings.h"
#include "logread/line_parser.h"
#include "sites/log_formats.h"
#include "sites/website.h"
#include "test_support.h"

namespace trelvar::test {

struct TParserWorld {
  TTempDir dir;
  TFolders folders{dir / "prog", dir / "data"};
  TLogFmts formats;
  std::unique_ptr<TMainSettings> settings;
  TCurrentLine current;
  TWebSite site;
  TCaptureHost host{TRunMode::Console};

  // Writes main.ini and reads the settings. Formats are not recognised
  // unless `main_ini` turns it on (its lines come after that default).
  void Settings(const std::string& main_ini) {
    WriteFile(dir / "data/main.ini", "AutoRecognizeLogFormat=0\r\n" + main_ini);
    settings = std::make_unique<TMainSettings>(folders, formats, nullptr);
  }

  // The environment of these folders, settings, formats and current line;
  // the site is the caller's to give.
  TLineParser::TEnvironment Environment() {
    TLineParser::TEnvironment env;
    env.folders = &folders;
    env.settings = settings.get();
    env.formats = &formats;
    env.current = &current;
    return env;
  }
};

}  // namespace trelvar::test
