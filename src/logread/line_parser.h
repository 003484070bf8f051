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
// address may then come out before an older one still being resolved.
//
// Failure: lines that fit no template are skipped silently; lines whose
// date cannot be built go to the error log ("ADDPAR: ..."); a line whose
// filters fail is dropped; errors of the log files themselves (a vanished
// or unreadable file, EInOutError) propagate from BeginScan and GetLine.
// Owned by the analysis driver for one pass. Main thread only (the DNS
// workers share only the state inside TReverseDns).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/folders.h"
#include "config/row_index.h"
#include "logread/file_chooser.h"
#include "logread/line_template.h"
#include "logread/log_line.h"
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
  // The field codes of the compiled template.
  std::vector<int> FieldCodes() const { return template_.FieldCodes(); }

  void SetPeriod(bool on, TDateTime from, TDateTime to);
  void SetDoneRange(TDateTime from, TDateTime to);
  void SetDnsNeeded(bool needed) { dns_needed_ = needed; }
  // Whether anything reads the referrer's split and the browser and
  // platform of the lines; what nobody reads is not worked out.
  void SetDerivedNeeds(bool referrer_split, bool agent) {
    need_referrer_split_ = referrer_split;
    need_agent_ = agent;
  }
  bool DnsNeeded() const { return dns_needed_; }
  // Where lines whose date cannot be built are written; may be null.
  void SetErrorLog(std::ostream* log) { error_log_ = log; }
  // The driver's handler, called after the parser's own per-file work.
  void SetOnFileStart(std::function<void(const std::string& path)> handler) {
    on_file_start_ = std::move(handler);
  }

  void BeginScan(const std::string& log_path);
  bool GetLine();
  bool Finished() const;
  // Reverse DNS of this scan is on (set by BeginScan).
  bool DnsActive() const { return dns_.Active(); }
  const TReverseDns& Dns() const { return dns_; }

  const TFileChooser& Chooser() const { return chooser_; }

 private:
  using TParsed = std::unique_ptr<TLineParserLogLine>;

  void FileStarting(const std::string& path);
  TParsed ParseNextLine();
  bool ApplyFilters(TLineParserLogLine& p);
  bool BuildDate(TLineParserLogLine& p);
  bool IsPageExtension(const std::string& ext) const;
  void FillCache();
  TParsed NewLine();
  void Recycle(TParsed p);
  const TSplitRef& SplitCached(const std::string& url);
  const TAgentInfo& AgentCached(const std::string& agent);

  TEnvironment env_;
  TFileChooser chooser_;
  std::string site_template_;
  std::string active_template_;
  TLineTemplate template_;
  std::string file_name_;  // of the current file, lower-cased
  std::array<bool, kCurrentFieldCount> live_fields_{};
  bool clear_current_ = true;

  bool period_on_ = false;
  TDateTime period_from_ = 0, period_to_ = 0;
  TDateTime done_from_ = 0, done_to_ = 0;
  bool dns_needed_ = false;
  bool need_referrer_split_ = true;
  bool need_agent_ = true;
  std::ostream* error_log_ = nullptr;
  std::function<void(const std::string&)> on_file_start_;

  // The date of lines without date fields: from "#Date: " or the last line.
  std::array<std::string, 3> default_date_;

  // The ready and waiting lines, the host-name cache and the DNS workers.
  TReverseDns dns_;
  std::vector<TParsed> free_lines_;  // parsed lines kept for reuse

  // Repeating URLs and agents are split and detected once.
  // Splits by URL: the memo owns them, the flat index finds them.
  struct TSplitMemo {
    std::string value;
    TSplitRef split;
  };
  std::deque<TSplitMemo> url_memo_;
  TRowIndex<TSplitMemo> url_index_;
  std::unordered_map<std::string, TAgentInfo> agent_cache_;
  const TSplitMemo* last_url_[2] = {nullptr, nullptr};
  const std::pair<const std::string, TAgentInfo>* last_agent_ = nullptr;
};

}  // namespace trelvar
