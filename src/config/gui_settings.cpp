#include "config/gui_settings.h"

#include "base/errors.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "platform/files.h"

namespace trelvar {

namespace {
const char kFileName[] = "gui.ini";
}

// In the order they are written.
const TGUISettings::TBoolKey TGUISettings::kBoolKeys[] = {
    {"AskShowSiteWizard", &TGUISettings::ask_show_site_wizard},
    {"AskAnalyzeAfterSiteCreation", &TGUISettings::ask_analyze_after_site_creation},
    {"AskSaveConfiguration", &TGUISettings::ask_save_configuration},
    {"AskForFeedback", &TGUISettings::ask_for_feedback},
    {"AskForRecognizeFormat", &TGUISettings::ask_for_recognize_format},
    {"AskApproximateAnalysis", &TGUISettings::ask_approximate_analysis},
    {"ShowMainInstructions", &TGUISettings::show_main_instructions},
    {"ShowReportsInstructions", &TGUISettings::show_reports_instructions},
    {"ShowResultsInstructions", &TGUISettings::show_results_instructions},
    {"ShowSitesInstructions", &TGUISettings::show_sites_instructions},
    {"ShowScheduleInstructions", &TGUISettings::show_schedule_instructions},
    {"ShowChooseLogPath", &TGUISettings::show_choose_log_path},
    {"ShowDNSLookupWarning", &TGUISettings::show_dns_lookup_warning},
    {"ShowDNSLookupWarningBeta", &TGUISettings::show_dns_lookup_warning_beta},
    {"ShowSiteAdvOpts", &TGUISettings::show_site_adv_opts},
    {"ShowMainAdvOpts", &TGUISettings::show_main_adv_opts},
};

TGUISettings::TGUISettings(const TFolders& folders, bool load) : folders_(folders) {
  if (load) Load();
}

void TGUISettings::Load() { Load(folders_.Data() + kFileName); }

void TGUISettings::Load(const std::string& path) {
  recent_log_path.clear();
  recent_output_dir.clear();
  recent_report_file.clear();
  recent_results_address.clear();
  folders_.EnsureDataFile(path);
  LoadFromText(ReadFileText(path));
}

void TGUISettings::LoadFromText(const std::string& text) {
  complete_ = false;
  for (const std::string& line : SplitTextLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    const TKeyValue kv = SplitKeyValue(line);
    const std::string& v = kv.value;
    bool matched = false;
    for (const TBoolKey& b : kBoolKeys) {
      if (kv.key != LowerCase(b.key)) continue;
      matched = true;
      const std::string lower = LowerCase(Trim(v));
      int64_t n = 0;
      if (TryStrToInt64(lower, n)) this->*b.field = n != 0;
      else if (lower == "true" || lower == "false") this->*b.field = lower == "true";
      else throw EConvertError(InvalidBooleanMessage(v));
    }
    if (matched) continue;
    int n = 0;
    if (kv.key == "mainwindowtop") { if (TryStrToInt(v, n)) main_window_top = n; }
    else if (kv.key == "mainwindowleft") { if (TryStrToInt(v, n)) main_window_left = n; }
    else if (kv.key == "mainwindowheight") { if (TryStrToInt(v, n)) main_window_height = n; }
    else if (kv.key == "mainwindowwidth") { if (TryStrToInt(v, n)) main_window_width = n; }
    else if (kv.key == "mainwindowstate") {
      if (SameText(v, "normal")) main_window_maximized = false;
      else if (SameText(v, "maximized")) main_window_maximized = true;
    }
    else if (kv.key == "recentlogpath") recent_log_path.push_back(v);
    else if (kv.key == "recentoutputdir") recent_output_dir.push_back(v);
    else if (kv.key == "recentreportfile") recent_report_file.push_back(v);
    else if (kv.key == "recentresultsaddress") recent_results_address.push_back(v);
  }
  complete_ = true;
}

std::string TGUISettings::SaveToText() const {
  std::string out;
  auto line = [&](const std::string& key, const std::string& value) {
    out += key + "=" + value + "\r\n";
  };
  for (const TBoolKey& b : kBoolKeys) line(b.key, this->*b.field ? "-1" : "0");
  line("MainWindowTop", std::to_string(main_window_top));
  line("MainWindowLeft", std::to_string(main_window_left));
  line("MainWindowHeight", std::to_string(main_window_height));
  line("MainWindowWidth", std::to_string(main_window_width));
  line("MainWindowState", main_window_maximized ? "maximized" : "normal");
  auto history = [&](const char* key, const std::vector<std::string>& list) {
    for (size_t i = 0; i < list.size() && i < kHistorySize; ++i) line(key, list[i]);
  };
  history("RecentLogPath", recent_log_path);
  history("RecentOutputDir", recent_output_dir);
  history("RecentReportFile", recent_report_file);
  history("RecentResultsAddress", recent_results_address);
  return out;
}

void TGUISettings::Save() { Save(folders_.Data() + kFileName); }

void TGUISettings::Save(const std::string& path) {
  folders_.SaveDataFile(path, SaveToText(), complete_, "The window settings");
}

}  // namespace trelvar
