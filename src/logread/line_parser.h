// TLineParser: turns the lines of a site's log files into parsed lines.
//
// It reads raw lines through its file chooser, skips header and junk
// lines, cuts the fields by the compiled template of the format in use
// (recognising each file's format when the settings ask for it), applies
// the site's filters, builds the timestamp, splits the request and
// referrer, sets the hit flag, detects browser and platform and drops
// lines outside the analysis period or inside the range the cache already
// holds. GetLine delivers the next line into the run's TCurrentLine.
//
// Lines pass through two queues (TReverseDns): WaitingLines (lines whose
// client address is being resolved by reverse DNS) and ReadyLines. Without
// reverse DNS every parsed line goes straight to ReadyLines, so lines come
// out in file order. With it (ReverseDNSLookup on and some report reading
// host names) the parser reads up to 1000 lines ahead while worker threads
// resolve the client addresses into the user field; a line of a resolved
// address may then come out before an older one of the same file still
// being resolved (never before a line of an earlier file).
//
// Every raw line is accounted for (Counts): blank lines and directives
// ("#...", "INIT:", "Periodic-Log", ":" without an IPv6 address) are no
// records; every other line is read and ends up delivered, rejected,
// filtered out, outside the period or already in the cache.
//
// The driver's per-file handler runs when the first line of the new file
// is delivered (or, for files without lines, before the next delivered
// line and at the end), never while the last line of the file before is
// still being counted; each delivered line carries only the fields its own
// file's format fills and the driver reads (SetNeeds).
//
// Parsing ahead: without reverse DNS, and where there are two cores or
// more, BeginScan starts a thread that parses the lines in batches (see
// parse_ahead.h) while the driver counts those parsed before. What is
// handed over and told, and when, is the same as when GetLine parses each
// line itself: the reporter hears, on the driver's thread, of every line
// and file before the line delivered after it, the progress moves with
// the lines delivered, and a cancel is seen by GetLine. The parser's
// counts and chooser are complete once Finished; while the scan runs they
// belong to the parsing thread.
//
// Failure: rejected lines (that fit no template, have no valid date, are
// shorter than 33 or longer than 10240 characters, or whose filters fail)
// are listed on the error log with the reason (first 1000, escaped); a
// file more than half of whose first 1000 lines are rejected gets a
// warning that names it and its format. Files that cannot be read are the
// chooser's input problems (file_chooser.h); a folder that cannot be
// searched raises EInOutError from BeginScan. Owned by the analysis driver
// for one pass. Called on the main thread only (the DNS workers share
// only the state inside TReverseDns, the parsing thread only the batches).
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/row_index.h"
#include "base/text_helpers.h"
#include "config/folders.h"
#include "logread/file_chooser.h"
#include "logread/line_template.h"
#include "logread/log_line.h"
#include "logread/page_extensions.h"
#include "logread/parse_ahead.h"
#include "logread/reject_log.h"
#include "logread/reverse_dns.h"
#include "platform/reverse_lookup.h"

namespace trelvar {

class TLogFmts;
class TMainSettings;
class TfrmProg;
struct TWebSite;

class TLineParser {
 public:
  // What the parser uses of the run. `formats`, `site` and `progress` may
  // be null (no recognition, no filters, no progress).
  struct TEnvironment {
    const TFolders* folders = nullptr;
    const TMainSettings* settings = nullptr;
    TLogFmts* formats = nullptr;
    TWebSite* site = nullptr;
    TfrmProg* progress = nullptr;
    TCurrentLine* current = nullptr;
    // The reverse lookup of the DNS workers; null: the system's. Shared,
    // because workers still running when the parser goes keep it.
    std::shared_ptr<platform::TReverseLookup> resolver;
    // A lookup slower than this counts as failed.
    int dns_timeout_ms = kDnsLookupTimeoutMs;
  };

  explicit TLineParser(const TEnvironment& env);
  ~TLineParser();
  TLineParser(const TLineParser&) = delete;
  TLineParser& operator=(const TLineParser&) = delete;

  void SetSiteTemplate(std::string t) { site_template_ = std::move(t); }
  const std::string& ActiveTemplate() const { return active_template_; }
  void CompileTemplate();
  void ResetTemplate();
  // The field codes of the template of the file whose lines are being
  // delivered (before the scan: of the site's template).
  const std::vector<int>& FieldCodes() const { return delivered_codes_; }

  void SetPeriod(bool on, TDateTime from, TDateTime to);
  void SetDoneRange(TDateTime from, TDateTime to);
  void SetDnsNeeded(bool needed) { dns_needed_ = needed; }
  // What the consumers of the delivered lines read: the request's split
  // (beyond its number), the referrer's, the browser and platform, and
  // which fields of the current line. What
  // nobody reads is not worked out, and fields nobody reads are not handed
  // over (they stay empty). A scan parsing ahead works out what was
  // needed when it began.
  struct TNeeds {
    bool request_split = true;
    bool referrer_split = true;
    bool agent = true;
    // Only a few light reports count: parsing ahead, the driver has the
    // time to look the URLs up in the memo itself, and the parsing thread,
    // then the slower one, leaves that to it.
    bool few_reports = false;
    std::array<bool, kCurrentFieldCount> fields = AllFields();
    static std::array<bool, kCurrentFieldCount> AllFields() {
      std::array<bool, kCurrentFieldCount> all;
      all.fill(true);
      return all;
    }
  };
  void SetNeeds(const TNeeds& needs);
  bool DnsNeeded() const { return dns_needed_; }
  // Whether a scan may parse ahead on a thread of its own (see above);
  // by default where there are two cores or more.
  void SetParseAhead(bool allowed) { ahead_allowed_ = allowed; }
  bool ParsingAhead() const { return ahead_ != nullptr; }
  // Who hears of the scan (not owned); null restores the parser's own
  // reporter, which lists no line and writes its notices to the output
  // channel.
  void SetReporter(TLineReporter* reporter) {
    reporter_ = parse_reporter_ = reporter != nullptr ? reporter : &own_reporter_;
  }
  // The driver's handler, called after the parser's own per-file work.
  void SetOnFileStart(std::function<void(const std::string& path)> handler) {
    on_file_start_ = std::move(handler);
  }

  void BeginScan(const std::string& log_path);
  bool GetLine();
  bool Finished() const;
  // Raw lines so far; complete once Finished. Lines parsed ahead and not
  // delivered yet are counted as read only.
  const TLineCounts& Counts() const { return counts_; }
  // Reverse DNS of this scan is on (set by BeginScan).
  bool DnsActive() const { return dns_.Active(); }
  const TReverseDns& Dns() const { return dns_; }

  const TFileChooser& Chooser() const { return chooser_; }

 private:
  using TParsed = std::unique_ptr<TLineParserLogLine>;

  // The parsing thread: fills batches until the input ends or the scan
  // stops.
  void ParseAhead();
  void StopParsingAhead();
  // GetLine when parsing ahead.
  bool GetParsedAhead();
  // Hands `p` over into the current line.
  void Deliver(TLineParserLogLine& p);
  // Parsing ahead: adds `p` to `batch`; hands a packed line over.
  void Pack(TLineParserLogLine& p, TParsedBatch& batch);
  // Hands over `line`, whose texts begin at byte `at` of the batch being
  // delivered; the byte after them.
  size_t DeliverPacked(const TPackedLine& line, size_t at);
  void FileStarting(const std::string& path);
  // The per-file handlers of files started up to `file_no`, in order.
  void DeliverFileStarts(uint32_t file_no);
  void Reject(std::string_view reason, std::string_view raw);
  // Warns when most of the first lines of the current file were rejected.
  void CheckFit();
  TParsed ParseNextLine();
  bool ApplyFilters(TLineParserLogLine& p);
  bool BuildDate(TLineParserLogLine& p);
  // The line's splits, their serials, its page flag and its query, from
  // the URL memo.
  void LookUpUrls(TLineParserLogLine& p);
  bool IsPageExtension(std::string_view ext) const;
  void FillCache();
  TParsed NewLine();
  void Recycle(TParsed p);
  struct TSplitMemo;
  struct TRecentUrl;
  // What a look-up finds of a URL: its memo, and what every line takes of
  // it, copied into the table of recent URLs.
  struct TUrlFound {
    const TSplitMemo* memo;
    uint64_t serial;
    bool is_page;
    bool has_query;
  };
  // `hash` is RecentTextHash(url).
  TUrlFound SplitCached(std::string_view url, uint64_t hash);
  TUrlFound SplitCached(std::string_view url) { return SplitCached(url, RecentTextHash(url)); }
  TRecentUrl& RecentUrl(uint64_t hash) { return recent_urls_[hash >> (64 - recent_url_bits_)]; }
  void ForgetUrls();
  struct TAgentMemo {
    TAgentInfo info;
    uint64_t serial = 0;
  };
  const TAgentMemo& AgentCached(std::string_view agent);

  TEnvironment env_;
  TFileChooser chooser_;
  std::string site_template_;
  std::string active_template_;
  TLineTemplate template_;
  // The settings' page extensions, prepared by BeginScan.
  TPageExtensions page_extensions_;
  std::string file_name_;  // of the current file, lower-cased
  std::string file_path_;
  std::string format_name_;  // of the current file, for warnings
  std::array<bool, kCurrentFieldCount> live_fields_{};

  uint32_t file_no_ = 0;  // of the file being read

  // Raw lines of the pass, and of the first lines of the current file.
  TLineCounts counts_;
  TLineReporter* reporter_ = &own_reporter_;
  // Whom the parsing hears: reporter_, or the recorder of the parsing
  // thread.
  TLineReporter* parse_reporter_ = &own_reporter_;
  int64_t long_lines_seen_ = 0;
  int64_t file_read_ = 0, file_rejected_ = 0;
  bool file_checked_ = true;

  bool period_on_ = false;
  TDateTime period_from_ = 0, period_to_ = 0;
  TDateTime done_from_ = 0, done_to_ = 0;
  bool dns_needed_ = false;
  TNeeds needs_;
  TNeeds parse_needs_;  // needs_ as the parsing side reads it
  // Parsing ahead, the driver looks the URLs up (set before the parsing
  // thread starts).
  bool memo_on_driver_ = false;
  // Whether field `i` is handed over for the driver's look-up of the URLs,
  // needed by a report or not.
  bool DriverLooksUp(size_t i) const {
    return memo_on_driver_ &&
           (i == kFieldHref || (i == kFieldReferrer && parse_needs_.referrer_split));
  }
  std::function<void(const std::string&)> on_file_start_;

  // The driver's side of the scan, kept off the cache lines the parsing
  // side writes: the two run on different cores when parsing ahead.
  // Files started while parsing, waiting for their first line to be
  // delivered; the file of the line delivered last and its fields.
  alignas(64) std::deque<TParsedFileStart> file_starts_;
  uint32_t delivered_file_ = 0;
  std::array<bool, kCurrentFieldCount> delivered_live_{};
  std::vector<int> delivered_codes_;
  // The codes of delivered_live_ that are also needed: what is handed over.
  std::vector<uint8_t> delivered_list_;
  void ListDelivered();
  TRejectLog own_reporter_;
  // Parsing ahead: the batches, the batch being delivered, its next line
  // and next told item.
  std::unique_ptr<TBatchExchange> ahead_;
  TParsedBatch* delivering_ = nullptr;
  size_t next_line_ = 0, next_told_ = 0, next_byte_ = 0;
  bool ahead_done_ = false;
  // The driver looks the URLs up (memo_on_driver_, as the driver reads
  // it), with the referrer's split and the URL's query.
  struct TDriverLookUp {
    bool on = false, referrer = false, query = false;
  } look_up_;

  // The date of lines without date fields: from "#Date: " or the last line.
  alignas(64) std::array<std::string, 3> default_date_;
  // The last year, month and day encoded, and their date.
  std::array<int, 3> last_date_{-1, -1, -1};
  TDateTime last_day_ = 0;
  std::string last_weekday_;  // of last_day_, "1" (Sunday) .. "7"
  // The last year and month written as text.
  std::pair<int, std::string> year_text_{-1, ""}, month_text_{-1, ""};

  // The ready and waiting lines, the host-name cache and the DNS workers.
  TReverseDns dns_;
  // The first line of a file, parsed ahead while lines of the file before
  // are still queued; and the file of the queued lines.
  TParsed held_;
  uint32_t queued_file_ = 0;
  std::vector<TParsed> free_lines_;  // parsed lines kept for reuse

  // Parsing ahead: the batches, the parsing thread and its recorder, the
  // batch it fills. stop_ is the driver's word to end.
  bool ahead_allowed_ = std::thread::hardware_concurrency() >= 2;
  std::thread ahead_thread_;
  TToldRecorder recorder_;
  TParsedBatch* filling_ = nullptr;
  uint64_t fills_ = 0;
  uint32_t packed_file_ = 0;  // the file packed_list_ was made for
  std::vector<uint8_t> packed_list_;
  std::atomic<bool> stop_{false};

  // Repeating URLs and agents are split and detected once.
  // Splits by URL: the memo owns them, the flat index finds them.
  struct TSplitMemo {
    std::string value;
    TSplitRef split;
    uint64_t serial = 0;
    // The split's query, seen from value where it can be: parsing ahead,
    // the split's own storage is the driver's.
    std::string_view query;
    bool is_page = false;  // its extension is a page's
  };
  std::deque<TSplitMemo> url_memo_;
  // Memos forgotten while parsing ahead, with the fill they were forgotten
  // in: kept until that batch is back.
  std::deque<std::pair<uint64_t, std::deque<TSplitMemo>>> retired_urls_;
  TRowIndex<TSplitMemo> url_index_;
  struct TTextHash {
    using is_transparent = void;
    size_t operator()(std::string_view v) const { return std::hash<std::string_view>{}(v); }
  };
  std::unordered_map<std::string, TAgentMemo, TTextHash, std::equal_to<>> agent_cache_;
  uint64_t last_agent_serial_ = 0;  // never reused, also after the memo forgets
  uint64_t last_split_serial_ = 0;  // the same for splits
  // Recently used splits and agents, by a cheap hash of their text.
  static constexpr int kRecentBits = 12;
  // A recent URL keeps, in one cache line, its text when it is short and
  // what lines take of its memo: most lines of a big log find their URL
  // there without reading the memo, which lies far apart in memory.
  struct alignas(64) TRecentUrl {
    static constexpr uint8_t kLong = 0xFF;  // the text is the memo's only
    const TSplitMemo* memo = nullptr;
    uint64_t serial = 0;
    bool is_page = false, has_query = false;
    uint8_t size = 0;  // of `text`, or kLong
    char text[45];
  };
  // The table starts small, as most logs have few URLs, and grows once
  // when the memo holds more URLs than it has places.
  static constexpr int kRecentUrlBitsMost = 14;
  int recent_url_bits_ = kRecentBits;
  std::vector<TRecentUrl> recent_urls_ = std::vector<TRecentUrl>(size_t{1} << kRecentBits);
  std::vector<const std::pair<const std::string, TAgentMemo>*> recent_agents_ =
      std::vector<const std::pair<const std::string, TAgentMemo>*>(size_t{1} << kRecentBits);
};

}  // namespace trelvar
