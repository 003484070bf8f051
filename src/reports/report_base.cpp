#include "reports/report_base.h"

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "reports/report_params.h"
#include "reports/report_text.h"

namespace trelvar {

const char* TReportContext::CountryOf(const std::string& address) {
  if (geoip == nullptr) return "N/A";
  auto it = country_memo.find(address);
  if (it != country_memo.end()) return it->second;
  if (country_memo.size() >= 200000) country_memo.clear();
  const char* name = TGeoIP::NameOfIndex(geoip->AddressIndex(address));
  country_memo.emplace(address, name);
  return name;
}

TCustomWReport::TCustomWReport(TReportContext& ctx) : ctx_(ctx) {}

TCustomWReport::~TCustomWReport() = default;

void TCustomWReport::AddDebugText(const std::string& text) { debug_text += text + "\r\n"; }

void TCustomWReport::LoadParam(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  const std::string key = LowerCase(Trim(std::string_view(line).substr(0, eq)));
  const std::string value = line.substr(eq + 1);
  // A report's type is its class: a stray "type=" line inside its block
  // (an indented one, which the file reader does not take as a new block)
  // must not make it save as another kind of report.
  if (key == "type") return;
  if (key == "name") report_name = value;
  else if (key == "categoryno") category_no = StrToInt(Trim(value));
  else if (key == "rem") remarks += "\r\n" + value;
  else if (key == "footer") show_footer = LowerCase(Trim(value)) != "false";
}

void TCustomWReport::LoadParams(const std::string& text) {
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    LoadParam(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
}

std::string TCustomWReport::SaveParams(bool short_form) {
  definition_text.clear();
  AddDefinitionLine("type=" + report_type);
  AddDefinitionLine("name=" + report_name);
  AddDefinitionLine("categoryno=" + std::to_string(category_no));
  if (!short_form) {
    AddDefinitionLine("footer=" + BoolText(show_footer));
    std::string rest = Trim(remarks);
    while (!Trim(rest).empty()) AddDefinitionLine("rem=" + SplitFirst(rest, "\r\n"));
  }
  return definition_text;
}

void TCustomWReport::CheckLogFields(const std::vector<int>& fields) {
  (void)fields;
  is_supported = true;
  unsupported_text.clear();
}

std::string TCustomWReport::AnchorName() const { return ReplaceChar(report_name, ' ', '_'); }

std::string TCustomWReport::CsvPath() const {
  return ctx_.output_folder + SafeFileName(report_name) + ".csv";
}

void TCustomWReport::CopyTo(TCustomWReport& to) const {
  to.page_file = page_file;
  to.debug_text = debug_text;
  to.report_type = report_type;
  to.report_name = report_name;
  to.definition_text = definition_text;
  to.remarks = remarks;
  to.show_footer = show_footer;
}

int64_t TCustomWReport::CompactThreshold(int64_t limit) const {
  const int64_t tolerance = ctx_.settings != nullptr ? ctx_.settings->approximate_tolerance : 100;
  return (tolerance + 100) * limit;
}

TPageSink TCustomWReport::BeginOwnPage() const {
  TPageSink page;
  page.Line(ctx_.page_head);
  return page;
}

void TCustomWReport::FinishOwnPage(TPageSink& page, const std::string& file) const {
  page.Line(ctx_.page_foot);
  page.WriteTo(ctx_.output_folder + file);
}

void TCustomWReport::AppendSectionHead() {
  AppendDetails("<BR><a name=\"" + AnchorName() + "\"></a><h2>" + report_name + "</h2>");
  if (!remarks.empty()) AppendDetails("<P>" + remarks + "</P>");
}

const std::string& TCustomWReport::LineValue(uint8_t code) {
  const TCurrentLine& c = *ctx_.current;
  const TLogLine& l = c.line;
  auto field = [&](int f) -> const std::string& { return c.fields[static_cast<size_t>(f)]; };
  switch (code) {
    case kParamHost: return field(kFieldHost);
    case kParamIp: return field(kFieldIp);
    case kParamCountry:
      scratch_ = ctx_.CountryOf(field(kFieldIp));
      return scratch_;
    case kParamHref: return field(kFieldHref);
    case kParamSite: return l.request->site;
    case kParamPath: return l.request->path;
    case kParamReferrer: return field(kFieldReferrer);
    case kParamRefSite: return l.referrer->site;
    case kParamRefPath: return l.referrer->path;
    case kParamRefDomain: return l.referrer->top_level;
    case kParamYear: return field(kFieldYear);
    case kParamMonth: return field(kFieldMonth);
    case kParamDay: return field(kFieldDay);
    case kParamHour: return field(kFieldHour);
    case kParamMin: return field(kFieldMin);
    case kParamSec: return field(kFieldSec);
    case kParamMonthName: return field(kFieldMonthName);
    case kParamDayOfWeek: return l.day_of_week;
    case kParamAgent: return field(kFieldAgent);
    case kParamBrowser: return l.browser;
    case kParamBrowserVersion:
      scratch_ = l.browser + " " + l.browser_version;
      return scratch_;
    case kParamPlatform: return l.platform;
    case kParamPlatformVersion:
      scratch_ = l.platform + " " + l.platform_version;
      return scratch_;
    case kParamMethod: return field(kFieldMethod);
    case kParamUriQuery: return field(kFieldUriQuery);
    case kParamFileExt: return l.request->extension;
    case kParamBytes: return field(kFieldBytes);
    case kParamCookie: return field(kFieldCookie);
    case kParamStatus: return field(kFieldStatus);
    case kParamUserName: return field(kFieldUserName);
    case kParamUserDomain: return field(kFieldUserDomain);
    case kParamUserSite: return field(kFieldUserSite);
    case kParamRobot: return RobotName(field(kFieldAgent));
    default:
      scratch_.clear();
      return scratch_;
  }
}

const std::string& TCustomWReport::RobotName(const std::string& agent) {
  const uint64_t generation = ctx_.robots.Generation();
  TLastRobot& last = last_robot_;
  if (last.name != nullptr && last.generation == generation && last.agent == agent)
    return *last.name;
  last.name = &ctx_.robots.RobotOf(agent);
  last.agent = agent;
  last.generation = generation;
  return *last.name;
}

// --- filtered reports -----------------------------------------------------

namespace {

// Whether a filter of this kind takes a visit's value from the current line
// (what the visit record does not keep).
bool VisitValueFromLine(uint8_t kind) {
  switch (kind) {
    case kParamNone: case kParamHost: case kParamIp: case kParamCountry: case kParamHref:
    case kParamSite: case kParamPath: case kParamReferrer: case kParamRefSite:
    case kParamRefPath: case kParamRefDomain: case kParamFileExt: case kParamDayOfWeek:
    case kParamAgent: case kParamBrowser: case kParamBrowserVersion: case kParamPlatform:
    case kParamPlatformVersion: case kParamUserName: case kParamTimeTaken:
    case kParamVisitLength: case kParamRobot:
      return false;
    default:
      return true;
  }
}

}  // namespace

void TCustomFiltredRep::LoadParam(const std::string& line) {
  TCustomWReport::LoadParam(line);
  const TKeyValue kv = SplitKeyValue(line);
  if (kv.key != "filter") return;
  TReportFilter f;
  std::string rest = kv.value;
  if (rest.find(';') == std::string::npos) {
    f.value = rest;
  } else {
    f.kind = ParamFromKey(SplitFirst(rest, ";"));
    f.condition = ConditionFromName(SplitFirst(rest, ";"));
    f.value = rest;
  }
  f.value_lower = LowerCase(f.value);
  filters.push_back(std::move(f));
}

std::string TCustomFiltredRep::SaveParams(bool short_form) {
  TCustomWReport::SaveParams(short_form);
  for (const TReportFilter& f : filters)
    AddDefinitionLine("filter=" + ParamKey(f.kind) + ";" + ConditionName(f.condition) + ";" +
                      f.value);
  return definition_text;
}

void TCustomFiltredRep::Clear() {
  filters.clear();
  remarks.clear();
}

void TCustomFiltredRep::CopyTo(TCustomFiltredRep& to) const {
  TCustomWReport::CopyTo(to);
  for (const TReportFilter& f : filters) {
    TReportFilter copy;
    copy.kind = f.kind;
    copy.condition = f.condition;
    copy.value = f.value;
    copy.value_lower = f.value_lower;
    to.filters.push_back(std::move(copy));
  }
}

bool TCustomFiltredRep::FilterMatches(TReportFilter& f, const std::string& text) const {
  // URL values compare in lower case when the URLs themselves do.
  const bool lower = (f.kind == kParamHref || f.kind == kParamSite || f.kind == kParamPath) &&
                     ctx_.settings != nullptr && !ctx_.settings->case_sensitive_urls;
  const std::string& value = lower ? f.value_lower : f.value;
  return ConditionHolds(f.condition, text, value, f.list.has_value() ? &*f.list : nullptr);
}

bool TCustomFiltredRep::PassesFilters() {
  for (TReportFilter& f : filters)
    if (!FilterMatches(f, LineValue(f.kind))) return false;
  return true;
}

bool TCustomFiltredRep::PassesVisitFilters(const TVisPathTable& visit) {
  for (TReportFilter& f : filters) {
    if (f.kind == kParamVisitLength) {
      if (!FilterMatches(f, std::to_string(visit.hits.size()))) return false;
      continue;
    }
    // The robot is the visit's, the same for every hit: tested once.
    if (f.kind == kParamRobot) {
      if (visit.hits.empty() || !FilterMatches(f, RobotName(visit.agent))) return false;
      continue;
    }
    bool matched = false;
    for (const TVisPageTable& hit : visit.hits) {
      std::string value;
      switch (f.kind) {
        case kParamHost: case kParamIp: value = visit.address; break;
        case kParamHref: value = hit.url; break;
        case kParamSite: value = hit.split->site; break;
        case kParamPath: value = hit.split->path; break;
        case kParamReferrer: value = visit.referrer; break;
        case kParamRefSite: value = visit.referrer_split->site; break;
        case kParamRefPath: value = visit.referrer_split->path; break;
        case kParamRefDomain: value = visit.referrer_split->top_level; break;
        case kParamFileExt: value = visit.referrer_split->extension; break;
        case kParamDayOfWeek: value = visit.day_of_week; break;
        case kParamAgent: value = visit.agent; break;
        case kParamBrowser: value = visit.browser; break;
        case kParamBrowserVersion: value = visit.browser + " " + visit.browser_version; break;
        case kParamPlatform: value = visit.platform; break;
        case kParamPlatformVersion: value = visit.platform + " " + visit.platform_version; break;
        case kParamUserName: value = visit.user_name; break;
        case kParamNone: case kParamCountry: case kParamTimeTaken: break;
        default: value = LineValue(f.kind); break;
      }
      if (FilterMatches(f, value)) {
        matched = true;
        break;
      }
    }
    if (!matched) return false;
  }
  return true;
}

bool TCustomFiltredRep::VisitFiltersReadLine() const {
  for (const TReportFilter& f : filters)
    if (VisitValueFromLine(f.kind)) return true;
  return false;
}

void TVisitCountingRep::ProcessLine() {
  if (ctx_.visits == nullptr) return;
  ctx_.visits->EnsureUpdated();
  for (const auto& visit : ctx_.visits->FinishedVisits()) CountVisit(*visit);
}

void TCustomFiltredRep::LoadFilterLists() {
  for (TReportFilter& f : filters) {
    if (!UsesValueFile(f.condition)) continue;
    f.list.emplace();
    if (ctx_.folders == nullptr) continue;
    const std::string path = ctx_.folders->DataPath(f.value);
    std::string text;
    if (platform::IsRegularFile(path) && platform::ReadWholeFile(path, text))
      *f.list = SplitTextLines(text);
  }
}

// --- cells -------------------------------------------------------------------

bool IsSafeLink(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos) return true;
  if (url.find_first_of("/?#") < colon) return true;  // a relative path with ":" later
  const std::string scheme = LowerCase(url.substr(0, colon));
  return scheme == "http" || scheme == "https";
}

namespace {

// Breaks the text after a break character so that no line is longer than
// 80 columns where a break character allows it; each piece is escaped.
std::string WrapEscaped(const std::string& text) {
  constexpr size_t kColumns = 80;
  std::string out;
  size_t line_start = 0;
  while (text.size() - line_start > kColumns) {
    size_t cut = std::string::npos;
    for (size_t i = line_start + kColumns; i > line_start; --i) {
      if (std::string_view("&-/=_").find(text[i - 1]) != std::string_view::npos) {
        cut = i;
        break;
      }
    }
    if (cut == std::string::npos) break;
    out += HtmlEscape(text.substr(line_start, cut - line_start)) + "<br>";
    line_start = cut;
  }
  return out + HtmlEscape(text.substr(line_start));
}

std::string DayCell(const std::string& value) {
  return value + ". " + DayName(StrToInt(Trim(value)));
}

}  // namespace

std::string HtmlCell(uint8_t code, const std::string& value) {
  switch (code) {
    case kParamReferrer: {
      const std::string wrapped = WrapEscaped(DecodeUrlText(value));
      if (!IsSafeLink(value)) return wrapped;
      return "<a href=\"" + HtmlEscape(value) + "\">" + wrapped + "</a>";
    }
    case kParamRefSite: {
      const std::string text = HtmlEscape(DecodeUrlText(value));
      if (!IsSafeLink(value)) return text;
      return "<a href=\"" + HtmlEscape(value) + "\">" + text + "</a>";
    }
    case kParamDayOfWeek: return HtmlEscape(DayCell(value));
    case kParamAgent: return HtmlEscape(DecodeUrlText(value));
    case kParamStatus: return HtmlEscape(StatusText(value));
    default: return HtmlEscape(value);
  }
}

std::string CsvCell(uint8_t code, const std::string& value) {
  switch (code) {
    case kParamReferrer: return value;
    case kParamRefSite: return DecodeUrlText(value);
    case kParamDayOfWeek: return DayCell(value);
    case kParamAgent: return DecodeUrlText(value);
    case kParamStatus: return StatusText(value);
    default: return value;
  }
}

}  // namespace trelvar
