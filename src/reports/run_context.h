// TRunContext: the process-wide objects of one run.
//
// The program entry (or the windowed application's Open command) creates
// one context and passes it by reference; subsystems reach the shared
// objects through it instead of through globals. The run creates the
// members in the order its steps give; the destructor frees them in the
// reverse order, dependants first.
#pragma once

#include <memory>
#include <random>

#include "base/progress.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "logread/log_line.h"
#include "platform/reverse_lookup.h"
#include "reports/chart_service.h"
#include "reports/report_set.h"
#include "sites/log_formats.h"
#include "sites/sites_registry.h"

namespace trelvar {

struct TRunContext {
  explicit TRunContext(TFolders f) : folders(std::move(f)) {}
  ~TRunContext() {
    report_set.reset();
    sites.reset();
    progress.reset();
    chart.reset();
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
  std::unique_ptr<TfrmTempChart> chart;
  std::unique_ptr<TfrmProg> progress;
  // The line the reports read; filled by the line parser.
  TCurrentLine current_line;
  // The reverse lookup of the DNS workers. Shared, because a worker still
  // running when its parser goes keeps it until its lookup returns.
  std::shared_ptr<platform::TReverseLookup> reverse_lookup =
      std::make_shared<platform::TSystemReverseLookup>();
  std::unique_ptr<TWS> sites;
  std::unique_ptr<TRepParser> report_set;
};

}  // namespace trelvar
