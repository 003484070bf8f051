// The terminal report (entry and exit pages of visits) and the search
// reports (phrases, words and engines of the referrers).
#include "reports/standard_reports.h"

#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/main_settings.h"
#include "config/search_engines.h"
#include "config/translator.h"
#include "logread/visit_tracker.h"
#include "reports/report_params.h"

namespace trelvar {

// --- terminal ------------------------------------------------------------------

TTerminalRep::TTerminalRep(TReportContext& ctx) : TStandardRep(ctx) {
  report_type = "terminal";
  report_name = StaticTypeCaption();
  limit = 10;
  show_percent = false;
  show_chart = false;
  column_caption = Translate(248, "Page");
}

std::string TTerminalRep::StaticTypeCaption() { return Translate(366, "Terminal Report"); }

std::unique_ptr<TStandardRep> TTerminalRep::NewInstance() const {
  return std::make_unique<TTerminalRep>(ctx_);
}

void TTerminalRep::CopyFields(TStandardRep& to) const {
  TStandardRep::CopyFields(to);
  auto& terminal = static_cast<TTerminalRep&>(to);
  terminal.is_entry_page = is_entry_page;
  terminal.is_exit_page = is_exit_page;
}

void TTerminalRep::LoadParam(const std::string& line) {
  TStandardRep::LoadParam(line);
  const TKeyValue kv = SplitKeyValue(line);
  if (kv.key == "is_entry_page") is_entry_page = TextBool(kv.value);
  else if (kv.key == "is_exit_page") is_exit_page = TextBool(kv.value);
}

std::string TTerminalRep::SaveParams(bool short_form) {
  TStandardRep::SaveParams(short_form);
  AddDefinitionLine("is_entry_page=" + BoolText(is_entry_page));
  AddDefinitionLine("is_exit_page=" + BoolText(is_exit_page));
  return definition_text;
}

void TTerminalRep::ProcessLine() {
  if (ctx_.visits == nullptr) return;
  ctx_.visits->EnsureUpdated();
  if (!is_entry_page && !is_exit_page) return;
  for (const auto& visit : ctx_.visits->FinishedVisits()) {
    const auto& hits = visit->hits;
    if (hits.empty() || !PassesVisitFilters(*visit)) continue;
    if (is_entry_page && is_exit_page) {
      // Both: the visits whose one page is entry and exit at once.
      if (hits.size() == 1) CountValue(hits.front().url);
    } else {
      CountValue(is_entry_page ? hits.front().url : hits.back().url);
    }
  }
}

void TTerminalRep::CheckLogFields(const std::vector<int>& fields) {
  is_supported = IsParamSupported(fields, kParamHref);
  unsupported_text = is_supported ? "" : UnsupportedWarning(kParamHref, report_name);
}

// --- search phrases --------------------------------------------------------------

TSearchPhrases::TSearchPhrases(TReportContext& ctx) : TStandardRep(ctx) {
  report_type = "search_phrases";
  report_name = StaticTypeCaption();
  limit = 7;
  show_percent = false;
  show_chart = false;
  column_caption = Translate(306, "Phrase");
}

std::string TSearchPhrases::StaticTypeCaption() { return Translate(363, "Search Phrases"); }

std::unique_ptr<TStandardRep> TSearchPhrases::NewInstance() const {
  return std::make_unique<TSearchPhrases>(ctx_);
}

std::string TSearchPhrases::LinePhrase() const {
  if (ctx_.settings == nullptr) return "";
  const TSplitURL& referrer = *ctx_.current->line.referrer;
  if (referrer.query.empty()) return "";
  const std::string raw = ctx_.settings->SearchEngines().SearchPhrase(referrer.site, referrer.query);
  if (raw.empty()) return "";
  return LowerCase(DecodeUrlText(raw));
}

void TSearchPhrases::ProcessLine() {
  if (!PassesFilters()) return;
  CountValue(LinePhrase());
}

void TSearchPhrases::CheckLogFields(const std::vector<int>& fields) {
  is_supported = IsParamSupported(fields, kParamReferrer);
  unsupported_text = is_supported ? "" : UnsupportedWarning(kParamReferrer, report_name);
}

// --- search words -----------------------------------------------------------------

TSearchWords::TSearchWords(TReportContext& ctx) : TSearchPhrases(ctx) {
  report_type = "search_words";
  report_name = StaticTypeCaption();
}

std::string TSearchWords::StaticTypeCaption() { return Translate(364, "Search Words"); }

std::unique_ptr<TStandardRep> TSearchWords::NewInstance() const {
  return std::make_unique<TSearchWords>(ctx_);
}

void TSearchWords::ProcessLine() {
  if (!PassesFilters()) return;
  std::string phrase = LinePhrase();
  while (!phrase.empty()) CountValue(RemoveChar(search::NextWord(phrase), '"'));
}

// --- search engines ---------------------------------------------------------------

namespace reports {

TSearchEngines::TSearchEngines(TReportContext& ctx) : TSearchPhrases(ctx) {
  report_type = "search_engines";
  report_name = StaticTypeCaption();
}

std::string TSearchEngines::StaticTypeCaption() { return Translate(365, "Search Engines"); }

std::unique_ptr<TStandardRep> TSearchEngines::NewInstance() const {
  return std::make_unique<TSearchEngines>(ctx_);
}

void TSearchEngines::ProcessLine() {
  if (!PassesFilters() || ctx_.settings == nullptr) return;
  const TSplitURL& referrer = *ctx_.current->line.referrer;
  if (referrer.query.empty()) return;
  CountValue(ctx_.settings->SearchEngines().EngineOf(referrer.site));
}

}  // namespace reports

}  // namespace trelvar
