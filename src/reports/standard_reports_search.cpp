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

TTerminalRep::TTerminalRep(TReportContext& ctx) : TReportOf(ctx) {
  limit = 10;
  show_percent = false;
  show_chart = false;
  column_caption = Translate(248, "Page");
}

const TReportKeys<TTerminalRep>& TTerminalRep::DefinitionKeys() {
  using K = TKeys<TTerminalRep>;
  static const TReportKeys<TTerminalRep> keys = {
      K::Flag("is_entry_page", &TTerminalRep::is_entry_page),
      K::Flag("is_exit_page", &TTerminalRep::is_exit_page),
  };
  return keys;
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
  is_supported = IsParamSupported(fields, ReportParam::kHref);
  unsupported_text = is_supported ? "" : UnsupportedWarning(ReportParam::kHref, report_name);
}

// --- search phrases --------------------------------------------------------------

TSearchPhrases::TSearchPhrases(TReportContext& ctx) : TReportOf(ctx) {
  limit = 7;
  show_percent = false;
  show_chart = false;
  column_caption = Translate(306, "Phrase");
}

const std::string& TSearchPhrases::LinePhrase() const { return ctx_.values.SearchPhrase(); }

void TSearchPhrases::ProcessLine() {
  if (!PassesFilters()) return;
  CountValue(LinePhrase());
}

void TSearchPhrases::CheckLogFields(const std::vector<int>& fields) {
  is_supported = IsParamSupported(fields, ReportParam::kReferrer);
  unsupported_text = is_supported ? "" : UnsupportedWarning(ReportParam::kReferrer, report_name);
}

// --- search words -----------------------------------------------------------------

void TSearchWords::ProcessLine() {
  if (!PassesFilters()) return;
  std::string phrase = LinePhrase();
  while (!phrase.empty()) CountValue(RemoveChar(search::NextWord(phrase), '"'));
}

// --- search engines ---------------------------------------------------------------

namespace reports {

void TSearchEngines::ProcessLine() {
  if (!PassesFilters() || ctx_.settings == nullptr) return;
  const TSplitURL& referrer = *ctx_.current->line.referrer;
  if (referrer.query().empty()) return;
  CountValue(ctx_.values.SearchEngine());
}

}  // namespace reports

}  // namespace trelvar
