// TAppContext: the process-wide objects of one run.
//
// The program entry (or the windowed application's Open command) creates
// one context and passes it by reference; subsystems reach the shared
// objects through it instead of through globals. Members are created and
// freed by the run in the order its steps give.
#pragma once

#include <memory>
#include <random>

#include "config/folders.h"
#include "config/translator.h"

namespace trelvar {

struct TAppContext {
  explicit TAppContext(TFolders f) : folders(std::move(f)) {}

  TFolders folders;
  // The one source of random draws; seeded from the clock in production.
  std::mt19937_64 random{0};
  std::unique_ptr<TLangTranslator> translator;
};

}  // namespace trelvar
