// One site record (TWebSite) and its filters (TSiteFilter).
//
// A site names its log files, format, output folder, FTP access, mail
// recipient and an ordered list of site filters that rewrite or drop log
// lines before any report sees them. Plain values: copyable, no I/O.
// The registry (TWS) reads and writes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sites/conditions.h"

namespace trelvar {

// What a site filter does when its condition holds.
enum class TFilterAction : uint8_t {
  Assign = 0,        // F := A
  ReplaceLeft = 1,   // F loses everything up to and including V; A goes in front
  ReplaceRight = 2,  // F loses everything from V on; A is appended
  ReplaceAll = 3,    // every V in F (any case) becomes A
  SkipLine = 4,      // the line is dropped
  AddRight = 5,      // A is appended
};
inline constexpr int kSiteFilterActionCount = 6;

// Parameter key of a filter ("href", "agent", ...) to its code 1..19, or 0
// when it is not a parameter key (keys compare exactly).
uint8_t SiteParamFromKey(std::string_view key);
// The key of a parameter code, or "" outside the table.
std::string SiteParamKey(uint8_t code);
// The number of the parsed log line's field that a parameter tests.
int SiteParamLineField(uint8_t code);

// Action key to action, or nothing when unknown; and back.
std::optional<TFilterAction> SiteActionFromKey(std::string_view key);
std::string SiteActionKey(TFilterAction action);

struct TSiteFilter {
  uint8_t parameter = 0;
  int line_field = 0;
  TFilterCondition condition = TFilterCondition::Includes;
  std::string value;
  TFilterAction action = TFilterAction::Assign;
  std::string action_value;
  // Lines of the value file, for conditions 4 to 6, once prepared.
  std::optional<TValueList> value_list;
};

struct TWebSite {
  std::string name;
  std::string log_path;
  std::string output_folder;
  std::string output_uri;
  std::vector<TSiteFilter> filters;
  std::string format;
  uint8_t app_type = 1;  // 0: answers as a CGI program
  std::string user_name;
  std::string password;  // plain in memory
  std::string remote_port = "21";
  std::string remote_host;
  bool passive_mode = false;
  std::string remote_log_path;
  std::string report_file;
  std::string email;
};

}  // namespace trelvar
