#include "reports/report_base.h"

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "reports/report_params.h"
#include "reports/report_text.h"

namespace trelvar {

const char* TReportContext::CountryOf(const std::string& address) const {
  if (geoip == nullptr) return "N/A";
  return TGeoIP::NameOfIndex(geoip->AddressIndex(address));
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

TPageSink TCustomWReport::BeginLinkedPage() {
  AppendDetails("<h2><A HREF=\"" + page_file + "\">" + report_name + "</A>" + "</h2>");
  TPageSink page = BeginOwnPage();
  page.Line("<BR><H1>" + report_name + "</H1>");
  if (!remarks.empty()) page.Line("<p>" + remarks + "</p>");
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

bool TCustomWReport::AppendSectionHead(bool empty) {
  AppendSectionHead();
  if (empty) AppendDetails("<P>" + Translate(285, "No data") + "</P>");
  return empty;
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
bool VisitValueFromLine(ReportParam kind) {
  using enum ReportParam;
  switch (kind) {
    case kNone: case kHost: case kIp: case kCountry: case kHref:
    case kSite: case kPath: case kReferrer: case kRefSite:
    case kRefPath: case kRefDomain: case kFileExt: case kDayOfWeek:
    case kAgent: case kBrowser: case kBrowserVersion: case kPlatform:
    case kPlatformVersion: case kUserName: case kTimeTaken:
    case kVisitLength: case kRobot:
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
  const bool lower = (f.kind == ReportParam::kHref || f.kind == ReportParam::kSite ||
                      f.kind == ReportParam::kPath) &&
                     ctx_.settings != nullptr && !ctx_.settings->case_sensitive_urls;
  const std::string& value = lower ? f.value_lower : f.value;
  return ConditionHolds(f.condition, text, value, f.list.has_value() ? &*f.list : nullptr);
}

bool TCustomFiltredRep::PassesFilters() {
  // A filter answers the same for the same text, so it is asked once per
  // value; except one that lets each line of its list match only once.
  TLineValues& values = ctx_.values;
  for (TReportFilter& f : filters) {
    if (f.condition == TFilterCondition::IncludedInFileOnce) {
      if (!FilterMatches(f, values.Text(f.kind))) return false;
      continue;
    }
    int8_t& answer = f.answers.At(values.Number(f.kind), values.Epoch(f.kind));
    if (answer == 0) answer = FilterMatches(f, values.Text(f.kind)) ? 1 : -1;
    if (answer < 0) return false;
  }
  return true;
}

bool TCustomFiltredRep::PassesVisitFilters(const TVisPathTable& visit) {
  using enum ReportParam;
  for (TReportFilter& f : filters) {
    if (f.kind == kVisitLength) {
      if (!FilterMatches(f, std::to_string(visit.hits.size()))) return false;
      continue;
    }
    // The robot is the visit's, the same for every hit: tested once.
    if (f.kind == kRobot) {
      if (visit.hits.empty()) return false;
      const bool named =
          visit.robot != nullptr && visit.robot_generation == ctx_.robots.Generation();
      if (!FilterMatches(f, named ? *visit.robot : RobotName(visit.agent))) return false;
      continue;
    }
    bool matched = false;
    for (const TVisPageTable& hit : visit.hits) {
      std::string value;
      switch (f.kind) {
        case kHost: case kIp: value = visit.address; break;
        case kHref: value = hit.url; break;
        case kSite: value = hit.split->site(); break;
        case kPath: value = hit.split->path(); break;
        case kReferrer: value = visit.referrer; break;
        case kRefSite: value = visit.referrer_split->site(); break;
        case kRefPath: value = visit.referrer_split->path(); break;
        case kRefDomain: value = visit.referrer_split->top_level(); break;
        case kFileExt: value = visit.referrer_split->extension(); break;
        case kDayOfWeek: value = visit.day_of_week; break;
        case kAgent: value = visit.agent; break;
        case kBrowser: value = visit.browser; break;
        case kBrowserVersion: value = visit.browser + " " + visit.browser_version; break;
        case kPlatform: value = visit.platform; break;
        case kPlatformVersion: value = visit.platform + " " + visit.platform_version; break;
        case kUserName: value = visit.user_name; break;
        case kNone: case kCountry: case kTimeTaken: break;
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
    f.answers.Clear();
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

std::string HtmlCell(ReportParam param, const std::string& value) {
  switch (param) {
    case ReportParam::kReferrer: {
      const std::string wrapped = WrapEscaped(DecodeUrlText(value));
      if (!IsSafeLink(value)) return wrapped;
      return "<a href=\"" + HtmlEscape(value) + "\">" + wrapped + "</a>";
    }
    case ReportParam::kRefSite: {
      const std::string text = HtmlEscape(DecodeUrlText(value));
      if (!IsSafeLink(value)) return text;
      return "<a href=\"" + HtmlEscape(value) + "\">" + text + "</a>";
    }
    case ReportParam::kDayOfWeek: return HtmlEscape(DayCell(value));
    case ReportParam::kAgent: return HtmlEscape(DecodeUrlText(value));
    case ReportParam::kStatus: return HtmlEscape(StatusText(value));
    default: return HtmlEscape(value);
  }
}

std::string CsvCell(ReportParam param, const std::string& value) {
  switch (param) {
    case ReportParam::kReferrer: return value;
    case ReportParam::kRefSite: return DecodeUrlText(value);
    case ReportParam::kDayOfWeek: return DayCell(value);
    case ReportParam::kAgent: return DecodeUrlText(value);
    case ReportParam::kStatus: return StatusText(value);
    default: return value;
  }
}

}  // namespace trelvar
