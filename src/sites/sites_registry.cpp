#include "sites/sites_registry.h"

#include <algorithm>

#include "base/errors.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "platform/files.h"
#include "base/password_scrambler.h"

namespace trelvar {

namespace {

const char kFileName[] = "websites.ini";

// parameter;condition;value;action;action value (which may hold ";").
TSiteFilter ParseFilter(const std::string& text) {
  std::string rest = text;
  const std::string param = SplitFirst(rest, ";");
  const std::string condition = SplitFirst(rest, ";");
  const std::string value = SplitFirst(rest, ";");
  const std::string action = SplitFirst(rest, ";");
  TSiteFilter f;
  f.parameter = SiteParamFromKey(param);
  if (f.parameter == 0) throw EConvertError("Unknown log param: " + param);
  f.line_field = SiteParamLineField(f.parameter);
  f.condition = ConditionFromName(condition);
  f.value = value;
  const std::optional<TFilterAction> action_code = SiteActionFromKey(action);
  if (!action_code) throw EConvertError("Unknown action in filter: " + action);
  f.action = *action_code;
  f.action_value = rest;
  return f;
}

}  // namespace

TWS::TWS(const TFolders& folders) : folders_(folders) {}

void TWS::LoadFromFile() { LoadFromFile(folders_.Data() + kFileName); }

void TWS::LoadFromFile(const std::string& path) {
  folders_.EnsureDataFile(path);
  LoadFromText(ReadFileText(path));
}

void TWS::LoadFromText(std::string_view text) {
  complete_ = true;
  std::string first_error;
  TWebSite* site = nullptr;
  for (const std::string& line : SplitTextLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    const TKeyValue kv = SplitKeyValue(line);
    if (kv.key == "name") {
      auto s = std::make_unique<TWebSite>();
      s->name = kv.value;
      s->report_file = current_report_file_;
      site = s.get();
      sites_.push_back(std::move(s));
      continue;
    }
    if (site == nullptr) continue;  // no site to belong to
    const std::string& v = kv.value;
    if (kv.key == "logpath") site->log_path = v;
    else if (kv.key == "outputdir") site->output_folder = v;
    else if (kv.key == "outputuri") site->output_uri = v;
    else if (kv.key == "format") site->format = v;
    else if (kv.key == "apptype") site->app_type = LowerCase(Trim(v)) == "cgi" ? 0 : 1;
    else if (kv.key == "username") site->user_name = v;
    else if (kv.key == "userpwd") site->password = UnscramblePassword(v);
    else if (kv.key == "remoteport") site->remote_port = v;
    else if (kv.key == "remotehost") site->remote_host = v;
    else if (kv.key == "passivemode") site->passive_mode = TextBool(v);
    else if (kv.key == "remotelogpath") site->remote_log_path = v;
    else if (kv.key == "reportfile") site->report_file = v;
    else if (kv.key == "email") site->email = v;
    else if (kv.key == "filter") {
      try {
        site->filters.push_back(ParseFilter(v));
      } catch (const EConvertError& e) {
        // Read on, so that no later site is lost, and report at the end.
        complete_ = false;
        if (first_error.empty()) first_error = e.Message();
      }
    }
  }
  if (!first_error.empty()) throw EConvertError(first_error);
}

std::string TWS::SaveToText() const {
  std::string out;
  auto line = [&](const std::string& key, const std::string& value) {
    out += key + "=" + value + "\r\n";
  };
  for (const auto& s : sites_) {
    out += "\r\n";
    line("name", s->name);
    line("logpath", s->log_path);
    line("outputdir", s->output_folder);
    line("outputuri", s->output_uri);
    line("format", s->format);
    line("username", s->user_name);
    line("userpwd", ScramblePassword(s->password));
    line("remoteport", s->remote_port);
    line("remotehost", s->remote_host);
    line("passivemode", BoolText(s->passive_mode));
    line("remotelogpath", s->remote_log_path);
    line("reportfile", s->report_file);
    line("email", s->email);
    // Kept so that a CGI site stays one after the file is rewritten.
    if (s->app_type == 0) line("apptype", "cgi");
    for (const TSiteFilter& f : s->filters) {
      const std::string action = SiteActionKey(f.action);
      if (action.empty()) throw EConvertError("Unknown action in filter");
      line("filter", SiteParamKey(f.parameter) + ";" + ConditionName(f.condition) + ";" +
                         f.value + ";" + action + ";" + f.action_value);
    }
  }
  return out;
}

void TWS::SaveToFile() { SaveToFile(folders_.Data() + kFileName); }

void TWS::SaveToFile(const std::string& path) {
  // Only the user may read it: it holds the FTP passwords.
  folders_.SaveDataFile(path, SaveToText(), complete_, "The sites", 0600);
}

void TWS::SelectSite(int index) {
  if (index < 0) return;
  if (static_cast<size_t>(index) >= sites_.size()) throw EListError(ListIndexMessage(index));
  current_ = sites_[static_cast<size_t>(index)].get();
}

void TWS::SelectSiteByName(std::string_view name) { current_ = GetSiteByName(name); }

TWebSite* TWS::GetSiteByName(std::string_view name) {
  for (auto& s : sites_)
    if (s->name == name) return s.get();
  return nullptr;
}

int TWS::GetSiteIndex(std::string_view name) const {
  for (size_t i = 0; i < sites_.size(); ++i)
    if (sites_[i]->name == name) return static_cast<int>(i);
  return -1;
}

TWebSite& TWS::AddSite(std::unique_ptr<TWebSite> site) {
  if (site->remote_log_path.empty()) site->remote_log_path = "/";
  TWebSite& added = *site;
  const int index = GetSiteIndex(site->name);
  if (index >= 0) {
    // The replacing record stays current when the old one was.
    if (current_ == sites_[static_cast<size_t>(index)].get()) current_ = &added;
    sites_[static_cast<size_t>(index)] = std::move(site);
  } else {
    sites_.push_back(std::move(site));
  }
  return added;
}

std::string TWS::AddNewSite(bool cgi) {
  const std::string base = Translate(404, "New Site");
  int n = 1;
  while (GetSiteIndex(base + " " + std::to_string(n)) >= 0) ++n;
  auto s = std::make_unique<TWebSite>();
  s->name = base + " " + std::to_string(n);
  s->format = "MS IIS 5.0";
  s->remote_log_path = "/";
  s->output_folder = "zeb_out";
  s->output_uri = "zeb_out";
  s->app_type = cgi ? 0 : 1;
  s->report_file = current_report_file_;
  return AddSite(std::move(s)).name;
}

void TWS::DeleteSite(std::string_view name) {
  const int index = GetSiteIndex(name);
  if (index < 0) throw EListError(ListIndexMessage(index));
  if (current_ == sites_[static_cast<size_t>(index)].get()) current_ = nullptr;
  sites_.erase(sites_.begin() + index);
}

void TWS::MoveSite(std::string_view name, std::string_view target_name) {
  const int from = GetSiteIndex(name);
  const int to = GetSiteIndex(target_name);
  if (from < 0) throw EListError(ListIndexMessage(from));
  if (to < 0) throw EListError(ListIndexMessage(to));
  auto site = std::move(sites_[static_cast<size_t>(from)]);
  sites_.erase(sites_.begin() + from);
  sites_.insert(sites_.begin() + to, std::move(site));
}

void TWS::AddFilter(std::string_view site_name, std::string_view param_key,
                    std::string_view condition_display_name, std::string_view value,
                    std::string_view action_key, std::string_view action_value) {
  if (param_key.empty() || condition_display_name.empty() || action_key.empty()) return;
  TWebSite* site = GetSiteByName(site_name);
  if (site == nullptr) throw EListError(ListIndexMessage(-1));
  TSiteFilter f;
  f.parameter = SiteParamFromKey(param_key);
  if (f.parameter == 0) throw EConvertError("Unknown log param: " + std::string(param_key));
  f.line_field = SiteParamLineField(f.parameter);
  f.condition = ConditionFromDisplayName(condition_display_name);
  f.value = std::string(value);
  const std::optional<TFilterAction> action = SiteActionFromKey(action_key);
  if (!action) throw EConvertError("Unknown action in filter: " + std::string(action_key));
  f.action = *action;
  f.action_value = std::string(action_value);
  site->filters.push_back(std::move(f));
}

void TWS::RemoveFilter(size_t site_index, size_t filter_index) {
  auto& filters = Site(site_index).filters;
  if (filter_index >= filters.size())
    throw EListError(ListIndexMessage(static_cast<long long>(filter_index)));
  filters.erase(filters.begin() + static_cast<long>(filter_index));
}

void TWS::ClearFilters(TWebSite& site) { site.filters.clear(); }

void TWS::PrepareSiteValueFiles() {
  if (current_ == nullptr) return;
  for (TSiteFilter& f : current_->filters) {
    if (!UsesValueFile(f.condition)) continue;
    f.value_list.emplace();
    const std::string path = folders_.DataPath(f.value);
    std::string text;
    if (platform::IsRegularFile(path) && platform::ReadWholeFile(path, text))
      *f.value_list = SplitTextLines(text);
  }
}

std::string ConditionDisplayName(TFilterCondition condition) {
  switch (condition) {
    case TFilterCondition::Includes: return Translate(400, "Includes");
    case TFilterCondition::NotIncludes: return Translate(401, "Not includes");
    case TFilterCondition::Equals: return Translate(402, "Equals");
    case TFilterCondition::NotEquals: return Translate(403, "Not equals");
    case TFilterCondition::IncludedInFile: return Translate(416, "Included In File");
    case TFilterCondition::NotIncludedInFile: return Translate(417, "Not Included In File");
    case TFilterCondition::IncludedIn: return Translate(414, "Included In");
    case TFilterCondition::NotIncludedIn: return Translate(415, "Not Included In");
    default: return "";
  }
}

TFilterCondition ConditionFromDisplayName(std::string_view text) {
  using enum TFilterCondition;
  const std::string wanted = LowerCase(Trim(text));
  for (TFilterCondition condition : {Includes, NotIncludes, Equals, IncludedIn, NotIncludedIn,
                                     IncludedInFile, NotIncludedInFile})
    if (wanted == LowerCase(ConditionDisplayName(condition))) return condition;
  return NotEquals;
}

}  // namespace trelvar
