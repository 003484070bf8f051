// TMainSettings: the program-wide options kept in main.ini.
//
// Reads main.ini when created; the windowed application writes it back
// with Save, the one-shot run never does. The same file carries the log
// formats ("LogFormat=" lines, handed to the run's catalogue of formats)
// and the search engines ("SearchEngine=" lines, kept in the catalogue
// these settings own).
//
// Failures while reading: a missing main.ini (data and defaults folder)
// raises EInOutError. A value that does not convert keeps the field's
// previous value for the period dates and count, ReverseDNSLookup,
// DNSLookupThreads, ApproximateTolerance and SmtpPort; it makes
// AutoStartBrowser and ShowNavigationBar false; for every other boolean and
// for TimeOffset it raises EConvertError and the rest of the file is not
// read. Settings whose reading stopped so refuse to Save over the file.
// Not thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "config/analysis_period.h"
#include "config/folders.h"
#include "config/search_engines.h"

namespace trelvar {

class TLangTranslator;

// The catalogue of log formats as main.ini keeps it: one "LogFormat=" line
// an entry. The catalogue itself lives with the sites (TLogFmts); the
// settings hand it every value read and write back the values it gives.
class TFormatLines {
 public:
  virtual ~TFormatLines() = default;
  // One value as read ("name;template").
  virtual void AddFormatLine(std::string_view line) = 0;
  // The values to save, in the catalogue's order.
  virtual std::vector<std::string> FormatLines() const = 0;
};

class TMainSettings {
 public:
  // Sets the defaults, then reads main.ini from the data folder.
  // `translator` may be null (no language switching).
  TMainSettings(const TFolders& folders, TFormatLines& formats, TLangTranslator* translator);

  void Load();
  void Load(const std::string& path);
  void LoadFromText(const std::string& text);
  void Save();
  void Save(const std::string& path);
  std::string SaveToText() const;

  search::TSearchEngines& SearchEngines() { return engines_; }
  const search::TSearchEngines& SearchEngines() const { return engines_; }

  std::string default_site;
  bool auto_start_browser = true;
  bool show_navigation_bar = true;
  TPeriodType analyze_period_type = TPeriodType::All;
  TDateTime analyze_period_from;
  TDateTime analyze_period_to;
  int analyze_period_last = 30;
  int analyze_period_measure = 1;  // 0 hours, 1 days, 2 months, 3 years
  bool reverse_dns_lookup = false;
  int dns_lookup_threads = 10;
  bool show_report_categories = true;
  bool show_time_range = true;
  bool show_developer_information = true;
  bool auto_recognize_log_format = true;
  bool incremental_analysis = false;
  bool approximate_analysis = false;
  int approximate_tolerance = 100;
  bool show_results_in_browser = false;
  bool clean_output_folder = false;
  std::string smtp_server;
  int smtp_port = 25;
  std::string mail_sender;
  std::string mail_def_reciever;
  std::string mail_user_id;
  // Plain in memory; main.ini keeps it scrambled, and only when it is set.
  std::string mail_password;
  std::string mail_subject;
  std::string mail_message;  // lines joined with CR LF
  bool auto_export_into_excel = false;
  std::string web_page_extensions;
  std::string vis_path_extensions;
  int time_offset = 0;  // minutes added to every log time
  bool case_sensitive_urls = true;

 private:
  const TFolders& folders_;
  TFormatLines& formats_;
  TLangTranslator* translator_;
  search::TSearchEngines engines_;
  bool complete_ = true;
};

}  // namespace trelvar
