// TGUISettings: what only the windowed application keeps, in gui.ini.
//
// Question and tip switches, the advanced-options switches of two modes,
// the main window's geometry and state, and four history lists. Read when
// created, written by Save. A boolean that does not convert raises
// EConvertError from Load (and the settings then refuse to Save over the
// half-read file); window integers that do not convert keep their values.
// Not thread-safe.
#pragma once

#include <string>
#include <vector>

#include "config/folders.h"

namespace trelvar {

class TGUISettings {
 public:
  // Reads gui.ini at once unless `load` is false (the window reads it
  // itself, to go on with the defaults when it is damaged).
  explicit TGUISettings(const TFolders& folders, bool load = true);

  void Load();
  void Load(const std::string& path);
  void LoadFromText(const std::string& text);
  void Save();
  void Save(const std::string& path);
  std::string SaveToText() const;

  bool ask_show_site_wizard = true;
  bool ask_analyze_after_site_creation = true;
  bool ask_save_configuration = true;
  bool ask_for_feedback = true;
  bool ask_for_recognize_format = true;
  bool ask_approximate_analysis = true;
  bool show_main_instructions = true;
  bool show_reports_instructions = true;
  bool show_results_instructions = true;
  bool show_sites_instructions = true;
  bool show_schedule_instructions = false;
  bool show_choose_log_path = true;
  bool show_dns_lookup_warning = true;
  bool show_dns_lookup_warning_beta = true;
  bool show_site_adv_opts = false;
  bool show_main_adv_opts = false;
  int main_window_top = 0;
  int main_window_left = 0;
  int main_window_height = 600;
  int main_window_width = 800;
  bool main_window_maximized = true;
  std::vector<std::string> recent_log_path;
  std::vector<std::string> recent_output_dir;
  std::vector<std::string> recent_report_file;
  std::vector<std::string> recent_results_address;

  // History lists are saved with at most this many entries.
  static constexpr size_t kHistorySize = 10;

 private:
  struct TBoolKey {
    const char* key;
    bool TGUISettings::*field;
  };
  static const TBoolKey kBoolKeys[];

  const TFolders& folders_;
  bool complete_ = true;
};

}  // namespace trelvar
