// TLineValues: each parameter of the current line worked out once and
// numbered by its text.
#include "reports/line_values.h"

#include <functional>

#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/main_settings.h"
#include "config/search_engines.h"
#include "reports/report_base.h"

namespace trelvar {

const std::string& TLineValues::WorkOut(ReportParam param, std::string& own) {
  const TCurrentLine& c = *ctx_.current;
  const TLogLine& l = c.line;
  auto field = [&](int f) -> const std::string& { return c.fields[static_cast<size_t>(f)]; };
  switch (param) {
    case ReportParam::kHost: return field(kFieldHost);
    case ReportParam::kIp: return field(kFieldIp);
    case ReportParam::kCountry:
      own = ctx_.CountryOf(field(kFieldIp));
      return own;
    case ReportParam::kHref: return field(kFieldHref);
    case ReportParam::kSite: return own.assign(l.request->site());
    case ReportParam::kPath: return own.assign(l.request->path());
    case ReportParam::kReferrer: return field(kFieldReferrer);
    case ReportParam::kRefSite: return own.assign(l.referrer->site());
    case ReportParam::kRefPath: return own.assign(l.referrer->path());
    case ReportParam::kRefDomain: return own.assign(l.referrer->top_level());
    case ReportParam::kYear: return field(kFieldYear);
    case ReportParam::kMonth: return field(kFieldMonth);
    case ReportParam::kDay: return field(kFieldDay);
    case ReportParam::kHour: return field(kFieldHour);
    case ReportParam::kMin: return field(kFieldMin);
    case ReportParam::kSec: return field(kFieldSec);
    case ReportParam::kMonthName: return field(kFieldMonthName);
    case ReportParam::kDayOfWeek: return l.day_of_week;
    case ReportParam::kAgent: return field(kFieldAgent);
    case ReportParam::kBrowser: return l.browser;
    case ReportParam::kBrowserVersion:
      own.assign(l.browser).append(1, ' ').append(l.browser_version);
      return own;
    case ReportParam::kPlatform: return l.platform;
    case ReportParam::kPlatformVersion:
      own.assign(l.platform).append(1, ' ').append(l.platform_version);
      return own;
    case ReportParam::kMethod: return field(kFieldMethod);
    case ReportParam::kUriQuery: return field(kFieldUriQuery);
    case ReportParam::kFileExt: return own.assign(l.request->extension());
    case ReportParam::kBytes: return field(kFieldBytes);
    case ReportParam::kCookie: return field(kFieldCookie);
    case ReportParam::kStatus: return field(kFieldStatus);
    case ReportParam::kUserName: return field(kFieldUserName);
    case ReportParam::kUserDomain: return field(kFieldUserDomain);
    case ReportParam::kUserSite: return field(kFieldUserSite);
    case ReportParam::kRobot: return ctx_.robots.RobotOf(field(kFieldAgent));
    default:
      own.clear();
      return own;
  }
}

int TLineValues::FieldRead(ReportParam param) {
  using enum ReportParam;
  switch (param) {
    case kHost: return kFieldHost;
    case kIp: case kCountry: return kFieldIp;
    case kHref: case kSite: case kPath: case kFileExt: return kFieldHref;
    case kReferrer: case kRefSite: case kRefPath: case kRefDomain: return kFieldReferrer;
    case kYear: return kFieldYear;
    case kMonth: return kFieldMonth;
    case kDay: return kFieldDay;
    case kHour: return kFieldHour;
    case kMin: return kFieldMin;
    case kSec: return kFieldSec;
    case kMonthName: return kFieldMonthName;
    case kAgent: case kBrowser: case kBrowserVersion: case kPlatform: case kPlatformVersion:
    case kRobot:
      return kFieldAgent;
    case kMethod: return kFieldMethod;
    case kUriQuery: return kFieldUriQuery;
    case kBytes: return kFieldBytes;
    case kCookie: return kFieldCookie;
    case kStatus: return kFieldStatus;
    case kUserName: return kFieldUserName;
    case kUserDomain: return kFieldUserDomain;
    case kUserSite: return kFieldUserSite;
    default: return kFieldNone;
  }
}

namespace {

// The parameter whose text a parameter is worked out from alone (itself
// when it is a field of its own). The line parser splits every URL and
// detects every agent the same way throughout a pass.
ReportParam SourceOf(ReportParam param) {
  using enum ReportParam;
  switch (param) {
    case kSite: case kPath: case kFileExt: return kHref;
    case kRefSite: case kRefPath: case kRefDomain: return kReferrer;
    case kBrowser: case kBrowserVersion: case kPlatform: case kPlatformVersion: case kRobot:
      return kAgent;
    case kCountry: return kIp;
    default: return param;
  }
}

}  // namespace

void TLineValues::NextLine() {
  ++line_;
  // Between lines, so that no phrase handed out is held.
  if (search_texts_.size() >= kLimit) ForgetSearches();
  // A new robot catalogue answers anew.
  if (const uint64_t g = ctx_.robots.Generation(); g != robots_generation_) {
    robots_generation_ = g;
    Empty(ReportParam::kRobot);
  }
}

const std::string& TLineValues::WorkOutText(ReportParam param) {
  TCurrent& c = current_[ParamIndex(param)];
  if (SourceOf(param) != param) {
    // Known by its source's number: no working out.
    c.text = &tables_[ParamIndex(param)].texts[Number(param)];
  } else {
    c.text = &WorkOut(param, c.own);
    c.numbered = false;
  }
  c.line = line_;
  return *c.text;
}

uint32_t TLineValues::WorkOutNumber(ReportParam param) {
  TCurrent& c = current_[ParamIndex(param)];
  const ReportParam source = SourceOf(param);
  uint32_t number;
  if (source != param) {
    const uint32_t of_source = Number(source);
    TTable& table = tables_[ParamIndex(param)];
    const uint64_t epoch = tables_[ParamIndex(source)].epoch;
    if (const uint32_t known = table.by_source.At(of_source, epoch); known != 0) {
      number = known - 1;
    } else {
      std::string own;
      number = Intern(param, WorkOut(param, own));
      table.by_source.At(of_source, epoch) = number + 1;
    }
    c.text = &table.texts[number];
  } else {
    if (c.line != line_) c.text = &WorkOut(param, c.own);
    const TLogLine& line = ctx_.current->line;
    const uint64_t serial = param == ReportParam::kHref       ? line.request_serial
                            : param == ReportParam::kReferrer ? line.referrer_serial
                            : param == ReportParam::kAgent    ? line.agent_serial
                                                              : 0;
    // A line without its split or agent serial (not worked out) is
    // numbered by its text.
    number = serial != 0 ? InternKey(param, serial) : Intern(param, *c.text);
  }
  c.line = line_;
  c.numbered = true;
  c.number = number;
  return number;
}

uint32_t TLineValues::Intern(ReportParam param, const std::string& text) {
  TTable& table = tables_[ParamIndex(param)];
  // Neighbouring lines often repeat a value (a client's requests, "GET",
  // "200"): comparing with the last text is cheaper than hashing.
  if (table.last < table.texts.size() && table.texts[table.last] == text) return table.last;
  if (table.texts.size() >= kLimit) Empty(param);
  MakeRoom(table.places, table.texts.size());
  const uint32_t h = High(Mix(std::hash<std::string_view>{}(text)));
  const size_t mask = table.places.size() - 1;
  size_t i = Start(h, mask);
  for (;; i = (i + 1) & mask) {
    const TPlace& p = table.places[i];
    if (p.number == 0) break;
    if (p.key == h && table.texts[p.number - 1] == text) return table.last = p.number - 1;
  }
  const auto number = static_cast<uint32_t>(table.texts.size());
  table.texts.push_back(text);
  table.places[i] = {h, number + 1};
  return table.last = number;
}

template <typename Place>
void TLineValues::MakeRoom(std::vector<Place>& places, size_t size) {
  if ((size + 1) * 2 <= places.size()) return;
  std::vector<Place> bigger(places.empty() ? 64 : places.size() * 2);
  const size_t mask = bigger.size() - 1;
  for (const Place& p : places) {
    if (p.number == 0) continue;
    size_t i = Start(p.Hash(), mask);
    while (bigger[i].number != 0) i = (i + 1) & mask;
    bigger[i] = p;
  }
  places.swap(bigger);
}

uint32_t TLineValues::InternKey(ReportParam param, uint64_t key) {
  TTable& table = tables_[ParamIndex(param)];
  if (table.texts.size() >= kLimit) Empty(param);
  if (table.key_base == 0) table.key_base = key;
  if (key >= table.key_base && key - table.key_base < kKeyWindow) {
    const auto at = static_cast<size_t>(key - table.key_base);
    if (at >= table.by_key.size())
      table.by_key.resize(std::min(kKeyWindow, std::max(at + 1, table.by_key.size() * 2)));
    uint32_t& slot = table.by_key[at];
    if (slot == 0) {
      slot = static_cast<uint32_t>(table.texts.size()) + 1;
      table.texts.emplace_back();
    }
    return slot - 1;
  }
  MakeRoom(table.key_places, table.texts.size());
  const size_t mask = table.key_places.size() - 1;
  size_t i = Start(High(Mix(key)), mask);
  for (;; i = (i + 1) & mask) {
    const TKeyPlace& p = table.key_places[i];
    if (p.number == 0) break;
    if (p.key == key) return p.number - 1;
  }
  const auto number = static_cast<uint32_t>(table.texts.size());
  table.texts.emplace_back();
  table.key_places[i] = {key, number + 1};
  return number;
}

void TLineValues::Empty(ReportParam param) {
  TTable& table = tables_[ParamIndex(param)];
  table.texts.clear();
  table.places.clear();
  table.by_key.clear();
  table.key_base = 0;
  table.key_places.clear();
  table.by_source.Clear();
  table.last = kNoNumber;
  table.epoch = ++epochs_;
  // What the current line got of this table is gone with it, and so are
  // the numbers of the parameters worked out from its texts.
  current_[ParamIndex(param)].line = 0;
  for (size_t i = 0; i < kParamCount; ++i)
    if (SourceOf(ParamAt(i)) == param && ParamAt(i) != param) current_[i].line = 0;
}

TLineValues::TSearchOf& TLineValues::SearchOfReferrer() {
  // Other settings (another catalogue of engines) answer anew.
  if (ctx_.settings != search_settings_) {
    search_.Clear();
    search_settings_ = ctx_.settings;
  }
  return search_.At(Number(ReportParam::kReferrer), Epoch(ReportParam::kReferrer));
}

const std::string& TLineValues::SearchText(uint32_t& place, std::string text) {
  auto it = search_places_.find(text);
  if (it == search_places_.end()) {
    const std::string& kept = search_texts_.emplace_back(std::move(text));
    it = search_places_.emplace(kept, static_cast<uint32_t>(search_texts_.size() - 1)).first;
  }
  place = it->second;
  return search_texts_[place];
}

const std::string& TLineValues::SearchPhrase() {
  TSearchOf& of = SearchOfReferrer();
  if (of.phrase != kUnknown) return search_texts_[of.phrase];
  std::string phrase;
  if (ctx_.settings != nullptr) {
    const TSplitURL& referrer = *ctx_.current->line.referrer;
    const std::string raw =
        ctx_.settings->SearchEngines().SearchPhrase(referrer.site(), referrer.query());
    if (!raw.empty()) phrase = LowerCase(DecodeUrlText(raw));
  }
  return SearchText(of.phrase, std::move(phrase));
}

const std::string& TLineValues::SearchEngine() {
  TSearchOf& of = SearchOfReferrer();
  if (of.engine != kUnknown) return search_texts_[of.engine];
  std::string engine;
  if (ctx_.settings != nullptr)
    engine = ctx_.settings->SearchEngines().EngineOf(ctx_.current->line.referrer->site());
  return SearchText(of.engine, std::move(engine));
}

void TLineValues::ForgetSearches() {
  search_.Clear();
  search_places_.clear();
  search_texts_.clear();
}

void TLineValues::Forget() {
  ForgetSearches();
  for (size_t i = 0; i < kParamCount; ++i) Empty(ParamAt(i));
  ++line_;
}

}  // namespace trelvar
