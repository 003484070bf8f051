#include "logread/line_parser.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// Whether `text` contains `part` (two characters or more). Where SSE2 is
// there, sixteen places are tried a step for the first two characters.
bool ContainsText(std::string_view text, std::string_view part) {
  const size_t n = part.size();
  if (text.size() < n) return false;
  const char* const data = text.data();
  const size_t last = text.size() - n;  // the last place `part` can begin
  size_t pos = 0;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(part[0]);
  const __m128i second = _mm_set1_epi8(part[1]);
  for (; pos + 16 <= last; pos += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos + 1));
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
    for (; mask != 0; mask &= mask - 1) {
      const size_t at = pos + static_cast<size_t>(__builtin_ctz(mask));
      if (std::memcmp(data + at, part.data(), n) == 0) return true;
    }
  }
#endif
  for (; pos <= last; ++pos)
    if (data[pos] == part[0] && std::memcmp(data + pos, part.data(), n) == 0) return true;
  return false;
}

// `s` without the blanks and control characters at either end.
std::string_view Trimmed(std::string_view s) {
  size_t end = s.size();
  while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= 32) --end;
  size_t begin = 0;
  while (begin < end && static_cast<unsigned char>(s[begin]) <= 32) ++begin;
  return s.substr(begin, end - begin);
}

[[gnu::noinline]] int GeneralFieldNumber(std::string_view text) { return StrToInt(Trim(text)); }

// The trimmed text as a whole number; raises EConvertError otherwise.
inline int FieldNumber(std::string_view text) {
  // Plain digits, the usual case, need no general conversion.
  if (!text.empty() && text.size() <= 9) {
    int v = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return GeneralFieldNumber(text);
      v = v * 10 + (c - '0');
    }
    return v;
  }
  return GeneralFieldNumber(text);
}

// Characters `pos` to `pos + n` of `text`, as far as it has them.
std::string_view Part(const std::string& text, size_t pos, size_t n) {
  return pos < text.size() ? std::string_view(text).substr(pos, n) : std::string_view();
}

// Copies `from` (which must not point into `to`) into `to`, reusing its
// storage. Most values keep their length from line to line, and then the
// bytes are simply overwritten.
[[gnu::always_inline]] inline void CopyText(std::string& to, std::string_view from) {
  const size_t n = from.size();
  if (n <= to.size()) {
    char* const d = to.data();
    const char* const s = from.data();
    // Short values are copied in two overlapping words, without a call.
    if (n >= 16) {
      std::memcpy(d, s, n);
    } else if (n >= 8) {
      uint64_t head, tail;
      std::memcpy(&head, s, 8);
      std::memcpy(&tail, s + n - 8, 8);
      std::memcpy(d, &head, 8);
      std::memcpy(d + n - 8, &tail, 8);
    } else if (n >= 4) {
      uint32_t head, tail;
      std::memcpy(&head, s, 4);
      std::memcpy(&tail, s + n - 4, 4);
      std::memcpy(d, &head, 4);
      std::memcpy(d + n - 4, &tail, 4);
    } else if (n > 0) {
      d[0] = s[0];
      d[n / 2] = s[n / 2];
      d[n - 1] = s[n - 1];
    }
    if (n < to.size()) to.erase(n);
    return;
  }
  to.clear();
  to.append(from.data(), n);
}

// Gives field `code` of `p` its own copy of `value` (which must not point
// into that field) and points the field's view at it.
void Own(TLineParserLogLine& p, size_t code, std::string_view value) {
  std::string& field = p.fields[code];
  CopyText(field, value);
  p.views[code] = field;
}

// The number of a month's English short name in any letter case (1 for
// "jan"); 256 for any other text, which no date accepts.
inline int MonthNumber(std::string_view name) {
  if (name.size() != 3) return 256;
  // Setting bit 5 lower-cases a letter; no other character becomes one.
  const uint32_t key = (static_cast<uint32_t>(static_cast<unsigned char>(name[0])) |
                        static_cast<uint32_t>(static_cast<unsigned char>(name[1])) << 8 |
                        static_cast<uint32_t>(static_cast<unsigned char>(name[2])) << 16) |
                       0x202020u;
  constexpr auto kKey = [](const char (&m)[4]) {
    return static_cast<uint32_t>(m[0]) | static_cast<uint32_t>(m[1]) << 8 |
           static_cast<uint32_t>(m[2]) << 16;
  };
  switch (key) {
    case kKey("jan"): return 1;
    case kKey("feb"): return 2;
    case kKey("mar"): return 3;
    case kKey("apr"): return 4;
    case kKey("may"): return 5;
    case kKey("jun"): return 6;
    case kKey("jul"): return 7;
    case kKey("aug"): return 8;
    case kKey("sep"): return 9;
    case kKey("oct"): return 10;
    case kKey("nov"): return 11;
    case kKey("dec"): return 12;
    default: return 256;
  }
}

std::string NumberText(int n) {
  char text[16];
  const auto r = std::to_chars(text, text + sizeof text, n);
  return std::string(text, static_cast<size_t>(r.ptr - text));
}

// Lines that begin with ":" are directives, unless the first field is an
// IPv6 client address ("::1", "::ffff:10.0.0.1").
bool BeginsWithIPv6Address(std::string_view raw) {
  const size_t end = raw.find_first_of(" \t,");
  return IsIPv6Address(raw.substr(0, end));
}

// User domain and site: the last one and two dot-suffixes of the user
// field.
void SplitUserName(std::array<std::string_view, kParsedFieldCount>& views) {
  const std::string_view user = views[kFieldUserName];
  views[kFieldUserDomain] = std::string_view();
  views[kFieldUserSite] = std::string_view();
  if (const size_t last = user.rfind('.'); last != std::string_view::npos) {
    views[kFieldUserDomain] = user.substr(last);
    const size_t before = last == 0 ? std::string_view::npos : user.rfind('.', last - 1);
    if (before != std::string_view::npos) views[kFieldUserSite] = user.substr(before);
  }
}

// Empties every view of a line before it is cut. Copying an empty array
// compiles to a string store instruction whose start costs more, on every
// line, than these plain stores.
void ClearViews(std::array<std::string_view, kParsedFieldCount>& views) {
  static_assert(kParsedFieldCount % 5 == 0);
  for (size_t i = 0; i < views.size(); i += 5) {
    views[i] = {};
    views[i + 1] = {};
    views[i + 2] = {};
    views[i + 3] = {};
    views[i + 4] = {};
  }
}

// Of the first lines of a file, this many decide whether its format fits.
constexpr int64_t kFitSample = 1000;

// Parsing ahead: the lines of a batch, the raw lines read for one at most
// (so that a run of lines that are not delivered still moves the progress
// and lets a cancel through), and the batches in flight.
constexpr size_t kAheadLines = 1024;
constexpr int64_t kAheadRawLines = 4 * kAheadLines;
constexpr size_t kAheadBatches = 4;

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

TLineParser::~TLineParser() { StopParsingAhead(); }

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
  delivered_codes_ = template_.FieldCodes();
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
      parse_reporter_->Notice("<p>Log file " + path + " recognized as " + name + "</p>");
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
  TParsedFileStart start{++file_no_, path, live_fields_, template_.FieldCodes()};
  if (filling_ != nullptr) filling_->starts.push_back(std::move(start));
  else file_starts_.push_back(std::move(start));
}

void TLineParser::DeliverFileStarts(uint32_t file_no) {
  while (!file_starts_.empty() && file_starts_.front().no <= file_no) {
    const TParsedFileStart start = std::move(file_starts_.front());
    file_starts_.pop_front();
    delivered_file_ = start.no;
    delivered_live_ = start.live;
    delivered_codes_ = start.codes;
    if (dns_.Active()) delivered_live_[kFieldUserName] = true;
    ListDelivered();
    // Fields the new format does not fill must not keep old values.
    if (env_.current != nullptr)
      for (std::string& f : env_.current->fields) f.clear();
    if (on_file_start_) on_file_start_(start.path);
  }
}

void TLineParser::SetNeeds(const TNeeds& needs) {
  needs_ = needs;
  // The parsing thread keeps what it was started with.
  if (ahead_ == nullptr) parse_needs_ = needs;
  // The driver says what it reads when a file starts, after the list of
  // that file was made.
  ListDelivered();
}

void TLineParser::ListDelivered() {
  delivered_list_.clear();
  for (size_t i = 0; i < kCurrentFieldCount; ++i)
    if (delivered_live_[i] && needs_.fields[i]) delivered_list_.push_back(static_cast<uint8_t>(i));
}

void TLineParser::Reject(std::string_view reason, std::string_view raw) {
  ++counts_.rejected;
  ++file_rejected_;
  parse_reporter_->Rejected(reason, raw);
}

void TLineParser::CheckFit() {
  if (file_checked_ || file_read_ == 0) return;
  file_checked_ = true;
  if (file_rejected_ * 2 <= file_read_) return;
  const std::string& format = !format_name_.empty() ? format_name_ : active_template_;
  parse_reporter_->Notice(
      "<P>" + Translate(1002, "Warning:") + " " +
      FormatText(Translate(1005, "%1 of the first %2 lines of the log file %3 do not fit "
                                 "its log format \"%4\"."),
                 {std::to_string(file_rejected_), std::to_string(file_read_), file_path_,
                  format}) +
             "</P>");
}

void TLineParser::BeginScan(const std::string& log_path) {
  StopParsingAhead();
  chooser_.SetReporter(reporter_);
  chooser_.SetLogPath(log_path);
  if (env_.settings != nullptr && page_extensions_.List() != env_.settings->web_page_extensions) {
    page_extensions_ = TPageExtensions(env_.settings->web_page_extensions);
    // The remembered URLs know whether they are pages by the old list.
    ForgetUrls();
  }
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
  memo_on_driver_ = false;
  look_up_ = {};
  if (ahead_allowed_ && !dns_.Active()) {
    ahead_ = std::make_unique<TBatchExchange>(kAheadBatches);
    ahead_done_ = false;
    packed_file_ = 0;
    parse_needs_ = needs_;
    memo_on_driver_ = needs_.few_reports;
    look_up_ = {memo_on_driver_, needs_.referrer_split, needs_.fields[kFieldUriQuery]};
    if (!needs_.agent) {
      // Nobody reads them, and no line of this scan hands them over.
      TLogLine& l = env_.current->line;
      for (std::string* text : {&l.browser, &l.browser_version, &l.platform, &l.platform_version})
        text->clear();
    }
    parse_reporter_ = &recorder_;
    chooser_.SetReporter(&recorder_);
    ahead_thread_ = std::thread([this] { ParseAhead(); });
    return;
  }
  FillCache();
}

void TLineParser::ParseAhead() {
  for (;;) {
    TParsedBatch* batch = ahead_->TakeEmpty();
    if (batch == nullptr) return;
    // Every batch filled up to this one has been delivered.
    while (!retired_urls_.empty() && retired_urls_.front().first <= batch->fill)
      retired_urls_.pop_front();
    batch->Reset();
    batch->fill = ++fills_;
    filling_ = batch;
    recorder_.SetBatch(batch);
    try {
      while (batch->lines < kAheadLines) {
        TParsed p = ParseNextLine();
        if (p == nullptr) break;
        Pack(*p, *batch);
        Recycle(std::move(p));
      }
    } catch (const EInOutError&) {
      batch->error = std::current_exception();
    } catch (const std::exception&) {
      // Only the line that failed is lost; the next batch goes on.
    }
    batch->last = batch->error != nullptr || chooser_.AllDone() || stop_;
    batch->progress_kb = chooser_.ProgressKB();
    batch->path = chooser_.CurrentPath();
    filling_ = nullptr;
    recorder_.SetBatch(nullptr);
    ahead_->HandFull(batch);
    if (batch->last) return;
  }
}

void TLineParser::StopParsingAhead() {
  if (ahead_ == nullptr) return;
  stop_ = true;
  ahead_->Stop();
  if (ahead_thread_.joinable()) ahead_thread_.join();
  ahead_.reset();
  retired_urls_.clear();
  delivering_ = nullptr;
  stop_ = false;
  parse_reporter_ = reporter_;
  chooser_.SetReporter(reporter_);
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

void TLineParser::ForgetUrls() {
  url_index_.Clear();
  // Batches out may point at the splits: they are kept until those
  // batches are back. Moving the memo keeps its splits in place.
  if (!memo_on_driver_ && filling_ != nullptr)
    retired_urls_.push_back({filling_->fill, std::move(url_memo_)});
  url_memo_.clear();
  std::fill(recent_urls_.begin(), recent_urls_.end(), TRecentUrl());
}

TLineParser::TUrlFound TLineParser::SplitCached(std::string_view url, uint64_t hash) {
  // Most lines repeat a URL used a little before (a referrer above all).
  TRecentUrl* recent = &RecentUrl(hash);
  if (recent->memo != nullptr &&
      (recent->size == TRecentUrl::kLong ? recent->memo->value == url
                                         : std::string_view(recent->text, recent->size) == url))
    return {recent->memo, recent->serial, recent->is_page, recent->has_query};
  const TSplitMemo* memo = url_index_.Find(url);
  if (memo == nullptr) {
    // Forgetting the URLs empties the table, which stays in place.
    if (url_memo_.size() >= kMemoLimit) ForgetUrls();
    std::string value(url);
    TSplitRef split = MakeSplit(value);
    const bool is_page = IsPageExtension(split->extension());
    TSplitMemo& added =
        url_memo_.emplace_back(TSplitMemo{std::move(value), std::move(split),
                                          ++last_split_serial_, {}, is_page});
    const std::string_view query = added.split->query();
    const std::string_view own = added.value;
    added.query = own.size() >= query.size() && own.substr(own.size() - query.size()) == query
                      ? own.substr(own.size() - query.size())
                      : query;
    url_index_.Insert(&added);
    memo = &added;
    if (url_memo_.size() > recent_urls_.size() && recent_url_bits_ < kRecentUrlBitsMost) {
      // The places are a cache: the bigger table starts empty.
      recent_url_bits_ = kRecentUrlBitsMost;
      recent_urls_.assign(size_t{1} << recent_url_bits_, TRecentUrl());
      recent = &RecentUrl(hash);
    }
  }
  recent->memo = memo;
  recent->serial = memo->serial;
  recent->is_page = memo->is_page;
  recent->has_query = !memo->query.empty();
  if (url.size() <= sizeof recent->text) {
    recent->size = static_cast<uint8_t>(url.size());
    if (!url.empty()) std::memcpy(recent->text, url.data(), url.size());
  } else {
    recent->size = TRecentUrl::kLong;
  }
  return {memo, recent->serial, recent->is_page, recent->has_query};
}

const TLineParser::TAgentMemo& TLineParser::AgentCached(std::string_view agent) {
  const std::pair<const std::string, TAgentMemo>*& recent =
      recent_agents_[RecentTextHash(agent) >> (64 - kRecentBits)];
  if (recent != nullptr && recent->first == agent) return recent->second;
  auto it = agent_cache_.find(agent);
  if (it == agent_cache_.end()) {
    if (agent_cache_.size() >= kMemoLimit) {
      agent_cache_.clear();
      std::fill(recent_agents_.begin(), recent_agents_.end(), nullptr);
    }
    it = agent_cache_
             .emplace(std::string(agent),
                      TAgentMemo{DetectAgent(std::string(agent)), ++last_agent_serial_})
             .first;
  }
  recent = &*it;
  return it->second;
}

bool TLineParser::ApplyFilters(TLineParserLogLine& p) {
  if (env_.site == nullptr || env_.site->filters.empty()) return true;
  // Filters work on the fields' own texts; the views follow them after.
  for (size_t i = 0; i < kParsedFieldCount; ++i) p.fields[i].assign(p.views[i]);
  struct TRepoint {
    TLineParserLogLine& p;
    ~TRepoint() {
      for (size_t i = 0; i < kParsedFieldCount; ++i) p.views[i] = p.fields[i];
    }
  } repoint{p};
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

bool TLineParser::IsPageExtension(std::string_view extension) const {
  if (extension.empty()) return true;
  if (env_.settings == nullptr) return false;
  return page_extensions_.IsPage(extension);
}

void TLineParser::LookUpUrls(TLineParserLogLine& p) {
  // Parsing ahead, the line points at the memo's splits: counting their
  // references here and on the driver's thread would be costly. A memo
  // forgotten meanwhile is kept (ForgetUrls).
  auto& v = p.views;
  const TUrlFound request = SplitCached(v[kFieldHref]);
  p.request_ref = &request.memo->split;
  p.line.request_serial = request.serial;
  if (filling_ == nullptr) p.line.request = request.memo->split;
  p.line.is_hit = request.is_page;
  if (request.has_query) v[kFieldUriQuery] = request.memo->query;
  if (parse_needs_.referrer_split) {
    const TUrlFound referrer = SplitCached(v[kFieldReferrer]);
    p.referrer_ref = &referrer.memo->split;
    p.line.referrer_serial = referrer.serial;
  } else {
    p.referrer_ref = &EmptySplit();
    p.line.referrer_serial = 0;
  }
  if (filling_ == nullptr) p.line.referrer = *p.referrer_ref;
}

bool TLineParser::BuildDate(TLineParserLogLine& p) {
  auto& v = p.views;
  try {
    if (v[kFieldDay].empty() && (StartsWith(file_name_, "ex") || StartsWith(file_name_, "in"))) {
      // A name too short for a date gives no date, and the line fails.
      Own(p, kFieldYear, Part(file_name_, 2, 2));
      Own(p, kFieldMonth, Part(file_name_, 4, 2));
      Own(p, kFieldDay, Part(file_name_, 6, 2));
    }
    int year = FieldNumber(v[kFieldYear]);
    int month = template_.UsesMonthName() ? MonthNumber(v[kFieldMonthName])
                                          : FieldNumber(v[kFieldMonth]);
    if (year > 99 && year < 200) {  // years since 1900, with a month from 0
      year += 1900;
      ++month;
    }
    // Two-digit years: 00 to 69 are this century, 70 to 99 the last.
    if (year < 70) year += 2000;
    else if (year < 100) year += 1900;
    if (year != year_text_.first) year_text_ = {year, NumberText(year)};
    if (month != month_text_.first) month_text_ = {month, NumberText(month)};
    Own(p, kFieldYear, year_text_.second);
    Own(p, kFieldMonth, month_text_.second);
    const int day = FieldNumber(v[kFieldDay]);
    // Neighbouring lines mostly share their day.
    if (year != last_date_[0] || month != last_date_[1] || day != last_date_[2]) {
      last_day_ = EncodeDate(year, month, day);
      last_date_ = {year, month, day};
      last_weekday_ = NumberText(DayOfWeek(last_day_));
    }
    TDateTime t = last_day_;
    const int hour = FieldNumber(v[kFieldHour]), min = FieldNumber(v[kFieldMin]),
              sec = FieldNumber(v[kFieldSec]);
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59)
      throw EConvertError(InvalidDateTimeMessage(std::string(v[kFieldHour]) + ":" +
                                                 std::string(v[kFieldMin]) + ":" +
                                                 std::string(v[kFieldSec])));
    t += EncodeTime(hour, min, sec);
    if (env_.settings != nullptr && env_.settings->time_offset != 0) {
      t += env_.settings->time_offset / 1440.0;
      // The offset must not carry a date out of the calendar.
      if (!IsValidDateTime(t))
        throw EConvertError(InvalidDateTimeMessage(std::string(v[kFieldYear]) + "-" +
                                                   std::string(v[kFieldMonth]) + "-" +
                                                   std::string(v[kFieldDay])));
    }
    p.line.timestamp = t;
  } catch (const EConvertError& e) {
    Reject("ADDPAR: " + e.Message(), p.views[kFieldRawLine]);
    return false;
  }

  if (env_.settings != nullptr && !env_.settings->case_sensitive_urls) {
    std::string& href = p.fields[kFieldHref];
    href.assign(v[kFieldHref]);
    for (char& c : href)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    v[kFieldHref] = href;
  }
  if (memo_on_driver_) {
    // The driver looks the URLs up when it takes the line (DeliverPacked).
    p.request_ref = p.referrer_ref = nullptr;
  } else {
    LookUpUrls(p);
  }
  // Without an offset the line lies in the day just encoded.
  if (env_.settings != nullptr && env_.settings->time_offset != 0)
    p.line.day_of_week = NumberText(DayOfWeek(p.line.timestamp));
  else
    CopyText(p.line.day_of_week, last_weekday_);
  if (parse_needs_.agent && !v[kFieldAgent].empty()) {
    const TAgentMemo& memo = AgentCached(v[kFieldAgent]);
    const TAgentInfo& a = memo.info;
    p.line.agent_serial = memo.serial;
    p.line.browser = a.browser;
    p.line.browser_version = a.browser_version;
    p.line.platform = a.platform;
    p.line.platform_version = a.platform_version;
  } else {
    p.line.agent_serial = 0;
    p.line.browser.clear();
    p.line.browser_version.clear();
    p.line.platform.clear();
    p.line.platform_version.clear();
  }
  return true;
}

TLineParser::TParsed TLineParser::ParseNextLine() {
  TParsed p = NewLine();
  int64_t raw_lines = 0;
  while (!chooser_.AllDone()) {
    if (filling_ != nullptr) {
      // The parsing thread: the driver's thread shows the progress and
      // hears the user.
      if (stop_.load(std::memory_order_relaxed) || raw_lines++ == kAheadRawLines) break;
      p->progress_kb = chooser_.ProgressKB();
    } else {
      if (env_.progress != nullptr) {
        env_.progress->SetPosition(chooser_.ProgressKB());
        if (env_.progress->FileName() != chooser_.CurrentPath())
          env_.progress->SetFileName(chooser_.CurrentPath());
      }
      if (CancelRequested(env_.progress)) break;
    }

    // A parsed line starts empty: the fields a format does not fill must
    // not keep the values of an earlier line, of this file or another.
    ClearViews(p->views);
    // Reading may start the next file, which resets the default date.
    // Parsing ahead, the line is packed before the next read, so it may
    // stay in the reader's buffer; lines that wait in the queues own it.
    std::string& own = p->fields[kFieldRawLine];
    std::string_view raw;
    if (filling_ != nullptr) {
      raw = chooser_.ReadLineView(own);
    } else {
      chooser_.ReadLine(own);
      raw = own;
    }
    if (const int64_t dropped = chooser_.LongLinesDropped(); dropped != long_lines_seen_) {
      for (; long_lines_seen_ < dropped; ++long_lines_seen_) {
        ++counts_.read;
        ++file_read_;
        Reject(FormatText(Translate(1008, "Line longer than %1 characters (not shown)"),
                          {std::to_string(TFileParser::kMaxLineLength - 1)}),
               "");
      }
    }
    raw = Trimmed(raw);
    p->views[kFieldRawLine] = raw;
    if (StartsWith(raw, "#Date: ") && raw.size() >= 17) {
      // The date of the lines that follow (characters 8-11, 13-14, 16-17).
      default_date_[0] = raw.substr(7, 4);
      default_date_[1] = raw.substr(12, 2);
      default_date_[2] = raw.substr(15, 2);
    }
    if (raw.empty() || raw[0] == '#' || StartsWith(raw, "INIT:") ||
        ContainsText(raw, "Periodic-Log") ||
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
    p->views[kFieldYear] = default_date_[0];
    p->views[kFieldMonth] = default_date_[1];
    p->views[kFieldDay] = default_date_[2];
    if (!template_.Cut(raw, p->views)) {
      Reject(Translate(1006, "Line does not fit the log format"), raw);
      continue;
    }
    // A day left at the default gets its own copy: the defaults change
    // before a line read ahead is delivered. (Year and month are written
    // afresh by BuildDate.)
    if (p->views[kFieldDay].data() == default_date_[2].data())
      Own(*p, kFieldDay, default_date_[2]);

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
    CopyText(default_date_[0], p->views[kFieldYear]);
    CopyText(default_date_[1], p->views[kFieldMonth]);
    CopyText(default_date_[2], p->views[kFieldDay]);

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
      // The lookup reads the address and writes the user name in the
      // line's own fields.
      p->fields[kFieldIp].assign(p->views[kFieldIp]);
      p->fields[kFieldUserName].assign(p->views[kFieldUserName]);
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
  if (ahead_ != nullptr) return GetParsedAhead();
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
    Deliver(*p);
    Recycle(std::move(p));
    return true;
  } catch (const EInOutError&) {
    throw;  // a log folder that cannot be searched ends the pass
  } catch (const std::exception&) {
    return false;
  }
}

bool TLineParser::GetParsedAhead() {
  try {
    for (;;) {
      if (CancelRequested(env_.progress)) return false;
      if (delivering_ == nullptr) {
        if (ahead_done_) return false;
        delivering_ = ahead_->TakeFull();
        if (delivering_ == nullptr) return false;
        next_line_ = next_told_ = next_byte_ = 0;
        for (TParsedFileStart& start : delivering_->starts)
          file_starts_.push_back(std::move(start));
      }
      TParsedBatch& batch = *delivering_;
      // What was told before the next line was parsed is told first.
      while (next_told_ < batch.told.size() && batch.told[next_told_].before <= next_line_)
        Retell(batch.told[next_told_++], *reporter_);
      if (next_line_ < batch.lines) {
        ++next_line_;
        TPackedLine line;
        std::memcpy(&line, batch.packed.Data() + next_byte_, sizeof line);
        if (env_.progress != nullptr) env_.progress->SetPosition(line.progress_kb);
        if (line.file_no != delivered_file_) DeliverFileStarts(line.file_no);
        next_byte_ = DeliverPacked(line, next_byte_ + sizeof line);
        if (look_up_.on && next_line_ < batch.lines) {
          // The next line's place among the recent URLs arrives while
          // this line is counted.
          uint64_t next_hash;
          std::memcpy(&next_hash,
                      batch.packed.Data() + next_byte_ + offsetof(TPackedLine, href_hash),
                      sizeof next_hash);
          __builtin_prefetch(&RecentUrl(next_hash));
        }
        return true;
      }
      // The batch is used up: the next one, or the end of the scan.
      const bool last = batch.last;
      const std::exception_ptr error = batch.error;
      if (env_.progress != nullptr) {
        env_.progress->SetPosition(batch.progress_kb);
        if (env_.progress->FileName() != batch.path) env_.progress->SetFileName(batch.path);
      }
      delivering_ = nullptr;
      ahead_->GiveBack(&batch);
      if (!last) continue;
      ahead_done_ = true;
      ahead_thread_.join();
      retired_urls_.clear();
      parse_reporter_ = reporter_;
      chooser_.SetReporter(reporter_);
      if (error != nullptr) std::rethrow_exception(error);
      DeliverFileStarts(file_no_);
      reporter_->ScanFinished();
      return false;
    }
  } catch (const EInOutError&) {
    throw;  // a log folder that cannot be searched ends the pass
  } catch (const std::exception&) {
    return false;
  }
}

void TLineParser::Pack(TLineParserLogLine& p, TParsedBatch& batch) {
  SplitUserName(p.views);
  if (p.file_no != packed_file_) {
    // The fields of this file that are handed over (DeliverFileStarts
    // lists the same for the driver).
    packed_file_ = p.file_no;
    packed_list_.clear();
    for (size_t i = 0; i < kCurrentFieldCount; ++i)
      if ((live_fields_[i] && parse_needs_.fields[i]) || DriverLooksUp(i))
        packed_list_.push_back(static_cast<uint8_t>(i));
  }
  TPackedLine line;
  line.timestamp = p.line.timestamp;
  line.request = p.request_ref;
  line.referrer = p.referrer_ref;
  line.agent_serial = p.line.agent_serial;
  line.request_serial = p.line.request_serial;
  line.referrer_serial = p.line.referrer_serial;
  if (memo_on_driver_) line.href_hash = RecentTextHash(p.views[kFieldHref]);
  line.progress_kb = p.progress_kb;
  line.file_no = p.file_no;
  line.is_hit = p.line.is_hit;
  // Room for the record, the texts with their heads, and the end.
  const std::string* const texts[] = {&p.line.day_of_week, &p.line.browser,
                                      &p.line.browser_version, &p.line.platform,
                                      &p.line.platform_version};
  // Browser and platform, empty when nobody reads the agent, are not
  // handed over at all (BeginScan emptied the driver's).
  const size_t text_count = parse_needs_.agent ? std::size(texts) : 1;
  size_t room = sizeof line + 3 * (packed_list_.size() + text_count) + 1;
  for (const uint8_t i : packed_list_) room += p.views[i].size();
  for (size_t k = 0; k < text_count; ++k) room += texts[k]->size();
  char* to = batch.packed.Room(room);
  std::memcpy(to, &line, sizeof line);
  to += sizeof line;
  for (const uint8_t i : packed_list_) to = PackText(to, i, p.views[i]);
  for (size_t k = 0; k < text_count; ++k)
    to = PackText(to, static_cast<uint8_t>(kPackedDayOfWeek + k), *texts[k]);
  *to++ = static_cast<char>(kPackedEnd);
  batch.packed.End(to);
  ++batch.lines;
}

namespace {

// Lines in a row mostly carry the same split (the empty one above all):
// taking it again would count its reference up and down for nothing.
void TakeSplit(TSplitRef& to, const TSplitRef& from) {
  if (to != from) to = from;
}

}  // namespace

size_t TLineParser::DeliverPacked(const TPackedLine& line, size_t at) {
  const char* const start = delivering_->packed.Data();
  const char* text = start + at;
  TCurrentLine& current = *env_.current;
  TLogLine& l = current.line;
  l.timestamp = line.timestamp;
  if (!look_up_.on) {
    // A split nobody reads stays empty: taking it here would cost the
    // memo's cache lines, which the parsing thread writes.
    TakeSplit(l.request, needs_.request_split ? *line.request : EmptySplit());
    TakeSplit(l.referrer, *line.referrer);
    l.request_serial = line.request_serial;
    l.referrer_serial = line.referrer_serial;
    l.is_hit = line.is_hit;
  }
  l.agent_serial = line.agent_serial;
  std::string* const line_texts[] = {&l.day_of_week, &l.browser, &l.browser_version, &l.platform,
                                     &l.platform_version};
  for (;;) {
    const auto code = static_cast<uint8_t>(*text);
    if (code == kPackedEnd) break;
    const size_t n = static_cast<unsigned char>(text[1]) |
                     static_cast<size_t>(static_cast<unsigned char>(text[2])) << 8;
    std::string& to =
        code < kCurrentFieldCount ? current.fields[code] : *line_texts[code - kCurrentFieldCount];
    CopyText(to, std::string_view(text + 3, n));
    text += 3 + n;
  }
  if (look_up_.on) {
    // As LookUpUrls does on the parsing thread, from the texts handed over.
    const TUrlFound request = SplitCached(current.fields[kFieldHref], line.href_hash);
    TakeSplit(l.request, needs_.request_split ? request.memo->split : EmptySplit());
    l.request_serial = request.serial;
    l.is_hit = request.is_page;
    if (request.has_query && look_up_.query)
      current.fields[kFieldUriQuery].assign(request.memo->query);
    if (look_up_.referrer) {
      const TUrlFound referrer = SplitCached(current.fields[kFieldReferrer]);
      TakeSplit(l.referrer, referrer.memo->split);
      l.referrer_serial = referrer.serial;
    } else {
      TakeSplit(l.referrer, EmptySplit());
      l.referrer_serial = 0;
    }
  }
  return static_cast<size_t>(text + 1 - start);
}

void TLineParser::Deliver(TLineParserLogLine& p) {
  auto& views = p.views;
  if (dns_.Active()) views[kFieldIp] = p.fields[kFieldIp];
  if (dns_.Active()) views[kFieldUserName] = p.fields[kFieldUserName];
  SplitUserName(views);
  TCurrentLine& current = *env_.current;
  // Only the fields this line's format can fill are handed over; the
  // others stay empty since its file started.
  for (const uint8_t i : delivered_list_) CopyText(current.fields[i], views[i]);
  current.line.TakeFrom(p.line);
}

bool TLineParser::Finished() const {
  if (ahead_ != nullptr) return ahead_done_;
  return chooser_.AllDone() && dns_.Empty() && held_ == nullptr;
}

}  // namespace trelvar
