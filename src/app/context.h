// TAppContext: the process-wide objects of one run.
//
// The program entry (or the windowed application's Open command) creates
// one context and passes it by reference; subsystems reach the shared
// objects through it instead of through globals. The run creates the
// members in the order its steps give and frees them in reverse.
#pragma once

#include <memory>
#include <random>

#include "config/folders.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "sites/log_formats.h"
#include "sites/sites_registry.h"

namespace trelvar {

struct TAppContext {
  explicit TAppContext(TFolders f) : folders(std::move(f)) {}
  ~TAppContext() {
    // Dependants before what they depend on.
    sites.reset();
    settings.reset();
    formats.reset();
    translator.reset();
  }

  TFolders folders;
  // The one source of random draws; seeded from the clock in production.
  std::mt19937_64 random{0};
  std::unique_ptr<TLangTranslator> translator;
  std::unique_ptr<TLogFmts> formats;
  std::unique_ptr<TMainSettings> settings;
  std::unique_ptr<TWS> sites;
};

}  // namespace trelvar
