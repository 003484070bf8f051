#include "logread/line_parser.h"

#include <algorithm>

#include "base/errors.h"
#include "base/progress.h"
#include "base/text_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "logread/format_recognition.h"
#include "sites/log_formats.h"
#include "sites/website.h"

namespace trelvar {

namespace {

// Remembered splits and agents are dropped wholesale beyond this many, so
// that a log of endless distinct values cannot grow them without bound.
constexpr size_t kMemoLimit = 200000;

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

void TrimInPlace(std::string& s) {
  size_t end = s.size();
  while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= 32) --end;
  s.erase(end);
  size_t begin = 0;
  while (begin < s.size() && static_cast<unsigned char>(s[begin]) <= 32) ++begin;
  s.erase(0, begin);
}

// The trimmed text as a whole number; raises EConvertError otherwise.
int FieldNumber(const std::string& text) {
  // Plain digits, the usual case, need no general conversion.
  if (!text.empty() && text.size() <= 9) {
    int v = 0;
    bool digits = true;
    for (char c : text) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      v = v * 10 + (c - '0');
    }
    if (digits) return v;
  }
  return StrToInt(Trim(text));
}

// Characters `pos` to `pos + n` of `text`, as far as it has them.
std::string Part(const std::string& text, size_t pos, size_t n) {
  return pos < text.size() ? text.substr(pos, n) : std::string();
}

// Lines that begin with ":" are directives, unless the first field is an
// IPv6 client address ("::1", "::ffff:10.0.0.1").
bool BeginsWithIPv6Address(const std::string& raw) {
  const size_t end = raw.find_first_of(" \t,");
  return IsIPv6Address(std::string_view(raw).substr(0, end));
}

// Of the first lines of a file, this many decide whether its format fits.
constexpr int64_t kFitSample = 1000;

std::string ReplaceAllNoCase(const std::string& text, const std::string& find,
                             const std::string& replacement) {
  if (find.empty()) return text;
  const std::string lower_text = LowerCase(text);
  const std::string lower_find = LowerCase(find);
  std::string out;
  size_t i = 0;
  for (size_t p; (p = lower_text.find(lower_find, i)) != std::string::npos; i = p + find.size()) {
    out.append(text, i, p - i);
    out += replacement;
  }
  out.append(text, i, std::string::npos);
  return out;
}

}  // namespace

const TSplitRef& EmptySplit() {
  static const TSplitRef kEmpty = std::make_shared<const TSplitURL>();
  return kEmpty;
}

namespace {

// Worker slots are prepared only when the settings ask for reverse DNS; at
// least one, or parsing could never go on.
int DnsSlots(const TMainSettings* settings) {
  if (settings == nullptr || !settings->reverse_dns_lookup) return 0;
  return std::clamp(settings->dns_lookup_threads, 1, kDnsMaxThreads);
}

std::shared_ptr<platform::TReverseLookup> DnsLookup(const TLineParser::TEnvironment& env) {
  if (env.resolver != nullptr) return env.resolver;
  return std::make_shared<platform::TSystemReverseLookup>();
}

}  // namespace

TLineParser::TLineParser(const TEnvironment& env)
    : env_(env),
      chooser_(env.folders != nullptr ? *env.folders : TFolders("", "")),
      dns_(DnsSlots(env.settings), DnsSlots(env.settings) > 0 ? DnsLookup(env) : nullptr,
           env.dns_timeout_ms) {
  chooser_.SetOnFileStart([this](TFileChooser&, const std::string& path, bool& accept) {
    FileStarting(path);
    accept = true;
  });
}

TLineParser::~TLineParser() = default;

void TLineParser::CompileTemplate() {
  template_.Compile(active_template_);
  // The fields a line of this template can carry: its tokens, what the
  // filters write and what the parser derives.
  live_fields_.fill(false);
  for (int code : template_.FieldCodes()) live_fields_[static_cast<size_t>(code)] = true;
  if (env_.site != nullptr)
    for (const TSiteFilter& f : env_.site->filters)
      if (f.line_field < kCurrentFieldCount) live_fields_[static_cast<size_t>(f.line_field)] = true;
  for (int code : {kFieldYear, kFieldMonth, kFieldDay, kFieldUriQuery, kFieldUserDomain,
                   kFieldUserSite})
    live_fields_[static_cast<size_t>(code)] = true;
  // Resolved host names replace the user field.
  if (dns_.Active()) live_fields_[kFieldUserName] = true;
}

void TLineParser::ResetTemplate() {
  active_template_ = site_template_;
  CompileTemplate();
}

void TLineParser::SetPeriod(bool on, TDateTime from, TDateTime to) {
  period_on_ = on;
  period_from_ = from;
  period_to_ = to;
}

void TLineParser::SetDoneRange(TDateTime from, TDateTime to) {
  done_from_ = from;
  done_to_ = to;
}

void TLineParser::FileStarting(const std::string& path) {
  CheckFit();  // of the file before
  active_template_ = site_template_;
  format_name_ = env_.site != nullptr ? env_.site->format : std::string();
  if (env_.settings != nullptr && env_.settings->auto_recognize_log_format &&
      env_.formats != nullptr) {
    const std::string name = RecognizeLogFile(*env_.formats, path, true, true);
    if (!name.empty()) {
      reporter_->Notice("<p>Log file " + path + " recognized as " + name + "</p>");
      active_template_ = env_.formats->GetTemplate(name);
      format_name_ = name;
    }
  }
  CompileTemplate();
  file_path_ = path;
  file_name_ = LowerCase(ExtractFileName(path));
  file_read_ = file_rejected_ = 0;
  file_checked_ = false;
  // A new file does not inherit the date of the previous one.
  for (std::string& d : default_date_) d.clear();
  // The driver hears of the file when its first line is delivered: the
  // line before may still be in the queues.
  file_starts_.push_back({++file_no_, path, live_fields_});
}

void TLineParser::DeliverFileStarts(uint32_t file_no) {
  while (!file_starts_.empty() && file_starts_.front().no <= file_no) {
    const TFileStart start = std::move(file_starts_.front());
    file_starts_.pop_front();
    delivered_file_ = start.no;
    delivered_live_ = start.live;
    if (dns_.Active()) delivered_live_[kFieldUserName] = true;
    // Fields the new format does not fill must not keep old values.
    if (env_.current != nullptr)
      for (std::string& f : env_.current->fields) f.clear();
    if (on_file_start_) on_file_start_(start.path);
  }
}

void TLineParser::Reject(std::string_view reason, const std::string& raw) {
  ++counts_.rejected;
  ++file_rejected_;
  reporter_->Rejected(reason, raw);
}

void TLineParser::CheckFit() {
  if (file_checked_ || file_read_ == 0) return;
  file_checked_ = true;
  if (file_rejected_ * 2 <= file_read_) return;
  const std::string& format = !format_name_.empty() ? format_name_ : active_template_;
  reporter_->Notice(
      "<P>" + Translate(1002, "Warning:") + " " +
      FormatText(Translate(1005, "%1 of the first %2 lines of the log file %3 do not fit "
                                 "its log format \"%4\"."),
                 {std::to_string(file_rejected_), std::to_string(file_read_), file_path_,
                  format}) +
             "</P>");
}

void TLineParser::BeginScan(const std::string& log_path) {
  chooser_.SetReporter(reporter_);
  chooser_.SetLogPath(log_path);
  if (env_.settings != nullptr && page_extensions_.List() != env_.settings->web_page_extensions)
    page_extensions_ = TPageExtensions(env_.settings->web_page_extensions);
  const std::string caption = "Scanning log file(s)  ..";
  if (env_.progress != nullptr) {
    env_.progress->Start(caption, chooser_.TotalKB());
    env_.progress->SetUnitLabelVisible(true);
  }
  if (env_.progress != nullptr) env_.progress->Show();
  reporter_->ScanStarting("<P><b>" + caption + "</b></P>");
  reporter_->Notice("<P>Scanning log files...</P>");
  chooser_.StartFiles();
  dns_.Stop();
  if (dns_needed_ && env_.settings != nullptr && env_.settings->reverse_dns_lookup) {
    // The lookup service is started for the scan; without it the user
    // fields stay as the log has them.
    if (dns_.Start()) {
      live_fields_[kFieldUserName] = true;
      reporter_->Notice("<p>WinSocket initialized</p>");
    } else {
      reporter_->Notice("<p>Unable to start WinSocket. So reverse DNS lookup not be done.</p>");
    }
  }
  // No line is delivered yet: the first file's checks can run at once.
  DeliverFileStarts(file_no_);
  FillCache();
}

TLineParser::TParsed TLineParser::NewLine() {
  if (free_lines_.empty()) return std::make_unique<TLineParserLogLine>();
  TParsed p = std::move(free_lines_.back());
  free_lines_.pop_back();
  return p;
}

void TLineParser::Recycle(TParsed p) {
  if (p != nullptr && free_lines_.size() < 64) free_lines_.push_back(std::move(p));
}

const TSplitRef& TLineParser::SplitCached(const std::string& url) {
  // Neighbouring lines often repeat a URL (a referrer above all).
  for (const TSplitMemo* last : last_url_)
    if (last != nullptr && last->value == url) return last->split;
  const TSplitMemo* memo = url_index_.Find(url);
  if (memo == nullptr) {
    if (url_memo_.size() >= kMemoLimit) {
      url_index_.Clear();
      url_memo_.clear();
      last_url_[0] = last_url_[1] = nullptr;
    }
    TSplitMemo& added = url_memo_.emplace_back(TSplitMemo{url, MakeSplit(url)});
    url_index_.Insert(&added);
    memo = &added;
  }
  last_url_[1] = last_url_[0];
  last_url_[0] = memo;
  return memo->split;
}

const TAgentInfo& TLineParser::AgentCached(const std::string& agent) {
  if (last_agent_ != nullptr && last_agent_->first == agent) return last_agent_->second;
  auto it = agent_cache_.find(agent);
  if (it == agent_cache_.end()) {
    if (agent_cache_.size() >= kMemoLimit) agent_cache_.clear();
    it = agent_cache_.emplace(agent, DetectAgent(agent)).first;
  }
  last_agent_ = &*it;
  return it->second;
}

bool TLineParser::ApplyFilters(TLineParserLogLine& p) {
  if (env_.site == nullptr) return true;
  for (TSiteFilter& f : env_.site->filters) {
    std::string& field = p.fields[static_cast<size_t>(f.line_field)];
    if (!ConditionHolds(f.condition, field, f.value,
                        f.value_list.has_value() ? &*f.value_list : nullptr))
      continue;
    if (f.action == TFilterAction::SkipLine) return false;
    // Field references: "<" + parameter key + ">" is the line's value.
    std::string action;
    const std::string& a = f.action_value;
    for (size_t i = 0; i < a.size();) {
      const size_t open = a.find('<', i);
      const size_t close = open == std::string::npos ? open : a.find('>', open + 1);
      if (close == std::string::npos) {
        action.append(a, i, std::string::npos);
        break;
      }
      action.append(a, i, open - i);
      const std::string name = a.substr(open + 1, close - open - 1);
      const uint8_t code = SiteParamFromKey(name);
      if (code == 0) throw EConvertError("Unknown log param: " + name);
      action += p.fields[static_cast<size_t>(SiteParamLineField(code))];
      i = close + 1;
    }
    const size_t at = f.value.empty() ? std::string::npos : field.find(f.value);
    switch (f.action) {
      case TFilterAction::Assign: field = action; break;
      case TFilterAction::ReplaceLeft:
        field = action + (at == std::string::npos ? field : field.substr(at + f.value.size()));
        break;
      case TFilterAction::ReplaceRight:
        field = (at == std::string::npos ? field : field.substr(0, at)) + action;
        break;
      case TFilterAction::ReplaceAll: field = ReplaceAllNoCase(field, f.value, action); break;
      case TFilterAction::AddRight: field += action; break;
      default: break;
    }
  }
  return true;
}

bool TLineParser::IsPageExtension(const std::string& extension) const {
  if (extension.empty()) return true;
  if (env_.settings == nullptr) return false;
  return page_extensions_.IsPage(extension);
}

bool TLineParser::BuildDate(TLineParserLogLine& p) {
  auto& f = p.fields;
  try {
    if (f[kFieldDay].empty() && (StartsWith(file_name_, "ex") || StartsWith(file_name_, "in"))) {
      // A name too short for a date gives no date, and the line fails.
      f[kFieldYear] = Part(file_name_, 2, 2);
      f[kFieldMonth] = Part(file_name_, 4, 2);
      f[kFieldDay] = Part(file_name_, 6, 2);
    }
    if (template_.UsesMonthName()) f[kFieldMonth] = std::to_string(MonthIndex(f[kFieldMonthName]) + 1);
    int year = FieldNumber(f[kFieldYear]);
    int month = FieldNumber(f[kFieldMonth]);
    if (year > 99 && year < 200) {  // years since 1900, with a month from 0
      year += 1900;
      ++month;
    }
    // Two-digit years: 00 to 69 are this century, 70 to 99 the last.
    if (year < 70) year += 2000;
    else if (year < 100) year += 1900;
    f[kFieldYear] = std::to_string(year);
    f[kFieldMonth] = std::to_string(month);
    TDateTime t = EncodeDate(year, month, FieldNumber(f[kFieldDay]));
    const int hour = FieldNumber(f[kFieldHour]), min = FieldNumber(f[kFieldMin]),
              sec = FieldNumber(f[kFieldSec]);
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59)
      throw EConvertError(InvalidDateTimeMessage(f[kFieldHour] + ":" + f[kFieldMin] + ":" +
                                                 f[kFieldSec]));
    t += EncodeTime(hour, min, sec);
    if (env_.settings != nullptr && env_.settings->time_offset != 0) {
      t += env_.settings->time_offset / 1440.0;
      // The offset must not carry a date out of the calendar.
      if (!IsValidDateTime(t))
        throw EConvertError(InvalidDateTimeMessage(f[kFieldYear] + "-" + f[kFieldMonth] + "-" +
                                                   f[kFieldDay]));
    }
    p.line.timestamp = t;
  } catch (const EConvertError& e) {
    Reject("ADDPAR: " + e.Message(), p.fields[kFieldRawLine]);
    return false;
  }

  if (env_.settings != nullptr && !env_.settings->case_sensitive_urls)
    f[kFieldHref] = LowerCase(f[kFieldHref]);
  p.line.request = SplitCached(f[kFieldHref]);
  if (!p.line.request->query.empty()) f[kFieldUriQuery] = p.line.request->query;
  p.line.referrer = need_referrer_split_ ? SplitCached(f[kFieldReferrer]) : EmptySplit();
  p.line.is_hit = IsPageExtension(p.line.request->extension);
  p.line.day_of_week = std::to_string(DayOfWeek(p.line.timestamp));
  if (need_agent_ && !f[kFieldAgent].empty()) {
    const TAgentInfo& a = AgentCached(f[kFieldAgent]);
    p.line.browser = a.browser;
    p.line.browser_version = a.browser_version;
    p.line.platform = a.platform;
    p.line.platform_version = a.platform_version;
  } else {
    p.line.browser.clear();
    p.line.browser_version.clear();
    p.line.platform.clear();
    p.line.platform_version.clear();
  }
  return true;
}

TLineParser::TParsed TLineParser::ParseNextLine() {
  TParsed p = NewLine();
  while (!chooser_.AllDone()) {
    if (env_.progress != nullptr) {
      env_.progress->SetPosition(chooser_.ProgressKB());
      if (env_.progress->FileName() != chooser_.CurrentPath())
        env_.progress->SetFileName(chooser_.CurrentPath());
    }
    if (CancelRequested(env_.progress)) break;

    // A parsed line starts empty: the fields a format does not fill must
    // not keep the values of an earlier line, of this file or another.
    for (std::string& f : p->fields) f.clear();
    // Reading may start the next file, which resets the default date.
    std::string& raw = p->fields[kFieldRawLine];
    chooser_.ReadLine(raw);
    if (const int64_t dropped = chooser_.LongLinesDropped(); dropped != long_lines_seen_) {
      for (; long_lines_seen_ < dropped; ++long_lines_seen_) {
        ++counts_.read;
        ++file_read_;
        Reject(FormatText(Translate(1008, "Line longer than %1 characters (not shown)"),
                          {std::to_string(TFileParser::kMaxLineLength - 1)}),
               "");
      }
    }
    TrimInPlace(raw);
    if (StartsWith(raw, "#Date: ") && raw.size() >= 17) {
      // The date of the lines that follow (characters 8-11, 13-14, 16-17).
      default_date_[0] = raw.substr(7, 4);
      default_date_[1] = raw.substr(12, 2);
      default_date_[2] = raw.substr(15, 2);
    }
    if (raw.empty() || raw[0] == '#' || StartsWith(raw, "INIT:") ||
        raw.find("Periodic-Log") != std::string::npos ||
        (raw[0] == ':' && !BeginsWithIPv6Address(raw)))
      continue;
    p->file_no = file_no_;
    ++counts_.read;
    if (file_read_ == kFitSample) CheckFit();  // the sample's last line is decided
    ++file_read_;
    if (raw.size() < 33) {
      Reject(Translate(1007, "Line shorter than 33 characters"), raw);
      continue;
    }
    p->fields[kFieldYear] = default_date_[0];
    p->fields[kFieldMonth] = default_date_[1];
    p->fields[kFieldDay] = default_date_[2];
    if (!template_.Cut(raw, p->fields)) {
      Reject(Translate(1006, "Line does not fit the log format"), raw);
      continue;
    }

    bool keep;
    try {
      keep = ApplyFilters(*p);
    } catch (const std::exception& e) {
      // Only this line is lost; the next goes on.
      Reject(Translate(1009, "Line cannot be filtered:") + " " + e.what(), raw);
      continue;
    }
    if (!BuildDate(*p)) continue;
    if (!keep) {
      ++counts_.filtered;
      continue;
    }
    default_date_[0] = p->fields[kFieldYear];
    default_date_[1] = p->fields[kFieldMonth];
    default_date_[2] = p->fields[kFieldDay];

    const TDateTime t = p->line.timestamp;
    if (period_on_ && (t < period_from_ || t > period_to_)) {
      ++counts_.outside;
      continue;
    }
    if (env_.settings != nullptr && env_.settings->incremental_analysis && done_to_ != 0 &&
        done_from_ <= t && t <= done_to_) {
      ++counts_.already;
      continue;
    }
    return p;
  }
  if (chooser_.AllDone()) CheckFit();
  Recycle(std::move(p));
  return nullptr;
}

void TLineParser::FillCache() {
  if (!dns_.Active()) {
    if (TParsed p = ParseNextLine()) dns_.AppendReady(std::move(p));
    return;
  }
  try {
    // Parse ahead while there is room and a worker to spare. Resolved
    // lines may overtake each other, but not across the start of a file:
    // the first line of the next file waits until the queues are empty.
    while (dns_.HasRoom()) {
      TParsed p = held_ != nullptr ? std::move(held_) : ParseNextLine();
      if (p == nullptr) return;  // input exhausted
      if (p->file_no != queued_file_ && !dns_.Empty()) {
        held_ = std::move(p);
        break;
      }
      queued_file_ = p->file_no;
      dns_.Admit(std::move(p));
    }
    dns_.CleanCache();
  } catch (const EInOutError&) {
    throw;  // a log folder that cannot be searched ends the pass
  } catch (const std::exception&) {
    // The line that failed is lost; the next call goes on.
  }
}

bool TLineParser::GetLine() {
  try {
    // Lines are parsed when asked for, not after the last one is handed
    // out: reading on could start the next file while the reports still
    // count the line before. With reverse DNS the look-ahead is topped up.
    if (dns_.ReadyEmpty() || dns_.Active()) FillCache();
    if (dns_.ReadyEmpty()) {
      // Lines resolved already go first; only when none is there the
      // oldest waiting line is waited for. A cancel ends the wait and
      // delivers nothing.
      dns_.CleanCache();
      if (dns_.ReadyEmpty() && !dns_.WaitingEmpty()) {
        if (!dns_.WaitForOldest([&] { return CancelRequested(env_.progress); }))
          return false;
      }
    }
    TParsed p = dns_.TakeReady();
    if (p == nullptr) {
      // The end: files without a delivered line still get their checks.
      if (Finished()) {
        DeliverFileStarts(file_no_);
        reporter_->ScanFinished();
      }
      return false;
    }
    if (p->file_no != delivered_file_) DeliverFileStarts(p->file_no);

    // User domain and site: the last one and two dot-suffixes of field 17.
    const std::string& user = p->fields[kFieldUserName];
    std::string& domain = p->fields[kFieldUserDomain];
    std::string& site = p->fields[kFieldUserSite];
    domain.clear();
    site.clear();
    if (const size_t last = user.rfind('.'); last != std::string::npos) {
      domain = user.substr(last);
      const size_t before = last == 0 ? std::string::npos : user.rfind('.', last - 1);
      if (before != std::string::npos) site = user.substr(before);
    }
    TCurrentLine& current = *env_.current;
    // Only the fields this line's format can fill are handed over; the
    // others stay empty since its file started.
    for (size_t i = 0; i < kCurrentFieldCount; ++i)
      if (delivered_live_[i]) current.fields[i].assign(p->fields[i]);
    current.line.TakeFrom(p->line);
    Recycle(std::move(p));
    return true;
  } catch (const EInOutError&) {
    throw;  // a log folder that cannot be searched ends the pass
  } catch (const std::exception&) {
    return false;
  }
}

bool TLineParser::Finished() const {
  return chooser_.AllDone() && dns_.Empty() && held_ == nullptr;
}

}  // namespace trelvar
