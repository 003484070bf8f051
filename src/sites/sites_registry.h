// TWS: the registry of the sites the user analyses, kept in websites.ini.
//
// Owns its sites (in file order) and has a current site that the analysis
// run, the report pages, the line parser and the FTP download read. One
// registry exists per run (TRunContext). Not thread-safe.
//
// Failures: a missing websites.ini (data and defaults folder) raises
// EInOutError from LoadFromFile. A filter line with an unknown parameter or
// action is skipped, the rest of the file is still read, and then
// EConvertError reports it; such a registry is incomplete and SaveToFile
// refuses to write over the file until a complete load.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/folders.h"
#include "sites/website.h"

namespace trelvar {

class TWS {
 public:
  explicit TWS(const TFolders& folders);

  // The data folder's websites.ini; read sites are appended.
  void LoadFromFile();
  void LoadFromFile(const std::string& path);
  void SaveToFile();
  void SaveToFile(const std::string& path);
  // Reads websites.ini text (the part of LoadFromFile after opening).
  void LoadFromText(std::string_view text);
  std::string SaveToText() const;

  size_t Count() const { return sites_.size(); }
  TWebSite& Site(size_t index) { return *sites_.at(index); }
  const TWebSite& Site(size_t index) const { return *sites_.at(index); }

  TWebSite* Current() { return current_; }
  const TWebSite* Current() const { return current_; }
  void SelectSite(int index);                     // negative: no change
  void SelectSiteByName(std::string_view name);   // none when unknown
  TWebSite* GetSiteByName(std::string_view name);
  int GetSiteIndex(std::string_view name) const;

  // Takes the site; replaces a site of the same name in its position.
  TWebSite& AddSite(std::unique_ptr<TWebSite> site);
  // A new site "New Site N" with the first free N from 1; returns its name.
  // It answers as a CGI program when the program creating it runs as one.
  std::string AddNewSite(bool cgi = false);
  // Both raise EListError for names that do not exist.
  void DeleteSite(std::string_view name);
  void MoveSite(std::string_view name, std::string_view target_name);

  // The site editor's filter: nothing unless parameter key, condition
  // display name and action key are given; unknown keys raise EConvertError.
  void AddFilter(std::string_view site_name, std::string_view param_key,
                 std::string_view condition_display_name, std::string_view value,
                 std::string_view action_key, std::string_view action_value);
  void RemoveFilter(size_t site_index, size_t filter_index);
  void ClearFilters(TWebSite& site);

  // Loads the value files of the current site's file-condition filters.
  void PrepareSiteValueFiles();

  // The report file a site gets when it names none: the run's current one.
  void SetCurrentReportFile(std::string path) { current_report_file_ = std::move(path); }
  bool LoadedCompletely() const { return complete_; }

 private:
  const TFolders& folders_;
  std::vector<std::unique_ptr<TWebSite>> sites_;
  TWebSite* current_ = nullptr;
  std::string current_report_file_;
  bool complete_ = true;
};

// The site editor's names of the conditions ("Includes", ...), translated;
// "" for IncludedInFileOnce, which has none.
std::string ConditionDisplayName(TFilterCondition condition);
// Back from a display name (trimmed, any case); unknown texts give
// NotEquals.
TFilterCondition ConditionFromDisplayName(std::string_view text);

}  // namespace trelvar
