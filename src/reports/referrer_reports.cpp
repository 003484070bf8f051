// The referrer analysis and the indirect referrer analysis.
#include "reports/referrer_reports.h"

#include <limits>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "logread/visit_tracker.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

void Increment(int32_t& n) {
  if (n < std::numeric_limits<int32_t>::max()) ++n;
}

// How many of `size` rows a limit shows (none for a limit below 1).
size_t Shown(size_t size, int64_t limit) {
  return limit > 0 ? std::min(size, static_cast<size_t>(limit)) : 0;
}

}  // namespace

// --- both analyses ------------------------------------------------------------------

void TReferrerVisitRep::ProcessLine() {
  if (ctx_.visits != nullptr && ctx_.current->line.is_hit) TVisitCountingRep::ProcessLine();
}

void TReferrerVisitRep::CheckLogFields(const std::vector<int>& fields) {
  TCustomWReport::CheckLogFields(fields);
  // A later missing field replaces the warning of an earlier one.
  for (ReportParam param : {ReportParam::kHref, ReportParam::kReferrer}) {
    if (IsParamSupported(fields, param)) continue;
    is_supported = false;
    unsupported_text = UnsupportedWarning(param, report_name);
  }
}

// --- referrer analysis ------------------------------------------------------------

const TReportKeys<TRefAn>& TRefAn::DefinitionKeys() {
  using K = TKeys<TRefAn>;
  // Only a line that begins with the key as written sets a limit.
  static const TReportKeys<TRefAn> keys = {
      K::Integer("max_ref_count", &TRefAn::max_ref_count, kAtLineStart),
      K::Integer("max_href_count", &TRefAn::max_href_count, kAtLineStart),
  };
  return keys;
}

void TRefAn::AddVisit(const TVisPathTable& visit) {
  TRefAnRow& row = rows_.FindOrAdd(visit.referrer, texts_);
  Increment(row.visits);
  // A page requested twice in one visit counts twice.
  for (const TVisPageTable& hit : visit.hits) Increment(row.pages.FindOrAdd(hit.url, texts_).hits);
}

void TRefAn::SortRows() {
  rows_.StableSort([](const TRefAnRow& a, const TRefAnRow& b) {
    if (a.visits != b.visits) return a.visits > b.visits;
    return a.value > b.value;
  });
}

void TRefAn::Compact() {
  const int64_t keep_refs = CompactThreshold(max_ref_count);
  const int64_t keep_pages = CompactThreshold(max_href_count);
  const bool many = keep_refs > 0 && static_cast<int64_t>(rows_.size()) >= keep_refs;
  if (many) SortRows();
  if (keep_pages > 0) {
    for (TRefAnRow& row : rows_.Rows()) {
      if (static_cast<int64_t>(row.pages.size()) < keep_pages) continue;
      row.pages.StableSort(
          [](const TRefAnPage& a, const TRefAnPage& b) { return a.hits > b.hits; });
      row.pages.Truncate(static_cast<size_t>(keep_pages / 10));
    }
  }
  if (many) rows_.Truncate(static_cast<size_t>(keep_refs / 10));
  // Equal texts at other places: the indexes, which go by text, hold.
  texts_.KeepOnlyViews([&](auto&& keep) {
    for (TRefAnRow& row : rows_.Rows()) {
      keep(row.value);
      for (TRefAnPage& page : row.pages.Rows()) keep(page.value);
    }
  });
}

void TRefAn::Display() {
  int64_t visits = 0;
  for (const auto& row : rows_.Rows()) visits += row.visits;
  if (visits > 0)
    for (TRefAnRow& row : rows_.Rows()) row.share = static_cast<double>(row.visits) / visits;
  SortRows();

  TPageSink out = BeginLinkedPage();
  THtmlTable table(out);
  table.Head({Translate(287, "Hits"), Translate(288, "Percent"), Translate(248, "Page")});
  const size_t shown = Shown(rows_.size(), max_ref_count);
  for (size_t i = 0; i < shown; ++i) {
    TRefAnRow& row = rows_.Rows()[i];
    out.Line("<TR class=\"RowHeader\">");
    out.Line("<TD align=\"right\">" + std::to_string(row.visits) + "</TD><TD align=\"right\">" +
                 Fixed(row.share * 100) + "</TD>");
    const std::string wrapped = WrapHtml(row.value, 75, "&/");
    if (IsSafeLink(std::string(row.value)))
      out.Line("<TD><font color=\"green\"><a href=\"" + HtmlEscape(row.value) + "\">" +
                   wrapped + "</a></font>");
    else
      out.Line("<TD><font color=\"green\">" + wrapped + "</font>");

    int64_t hits = 0;
    for (const auto& page : row.pages.Rows()) hits += page.hits;
    if (hits > 0)
      for (TRefAnPage& page : row.pages.Rows()) page.share = static_cast<double>(page.hits) / hits;
    row.pages.StableSort([](const TRefAnPage& a, const TRefAnPage& b) { return a.hits > b.hits; });
    const size_t pages = Shown(row.pages.size(), max_href_count);
    for (size_t p = 0; p < pages; ++p) {
      const TRefAnPage& page = row.pages.Rows()[p];
      out.Line("<TR class=\"OddRaw\"><TD align=\"right\">" + std::to_string(page.hits) +
                   "</TD><TD align=\"right\">" + Fixed(page.share * 100) + "%</TD>" + "<TD>" +
                   HtmlEscape(page.value) + "</TD></TR>");
    }
  }
  table.Close("</P>");
  FinishOwnPage(out, page_file);
}

void TRefAn::Clear() {
  rows_.Clear();
  texts_.Clear();
}

void TRefAn::SaveToCache(TReportsCache& cache) {
  WriteList(cache, rows_.Rows(), [&](const auto& row) {
    cache.WriteString(row.value);
    cache.WriteReal(row.share);
    cache.WriteInteger(row.visits);
    WriteList(cache, row.pages.Rows(), [&](const auto& page) {
      cache.WriteString(page.value);
      cache.WriteInteger(page.hits);
      cache.WriteReal(page.share);
      cache.WriteInteger(page.extra);
    });
  });
}

void TRefAn::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      TRefAnRow& row = rows_.Add(cache.ReadString(), texts_);
      row.share = cache.ReadReal(0, 1);  // a part of the whole
      row.visits = cache.ReadCount();
      ReadList(cache, [&] {
        TRefAnPage& page = row.pages.Add(cache.ReadString(), texts_);
        page.hits = cache.ReadCount();
        page.share = cache.ReadReal(0, 1);
        page.extra = cache.ReadInteger();
      });
    });
  });
}

// --- indirect referrer analysis ------------------------------------------------------

std::string TIndirectRefAn::ReferrerKey(const TVisPathTable& visit) {
  // The tracker's split is used when it was made; the line parser leaves
  // it out when no report reads referrer parts.
  const TSplitRef& split = visit.referrer_split;
  if (split != nullptr && (split != EmptySplit() || visit.referrer.empty()))
    return std::string(split->WithoutQuery());
  return std::string(SplitUrl(visit.referrer).WithoutQuery());
}

void TIndirectRefAn::AddVisit(const TVisPathTable& visit) {
  const std::string key = ReferrerKey(visit);
  for (const TVisPageTable& hit : visit.hits) {
    TIndirRefAnTable& page = rows_.FindOrAdd(hit.url, texts_);
    Increment(page.hits);
    Increment(page.referrers.FindOrAdd(key, texts_).count);
  }
}

void TIndirectRefAn::Compact() {
  const int64_t keep = CompactThreshold(kLimit);
  const auto by_hits = [](const TIndirRefAnTable& a, const TIndirRefAnTable& b) {
    return a.hits > b.hits;
  };
  const bool many = static_cast<int64_t>(rows_.size()) >= keep;
  if (many) rows_.StableSort(by_hits);
  for (TIndirRefAnTable& page : rows_.Rows()) {
    if (static_cast<int64_t>(page.referrers.size()) < keep) continue;
    page.referrers.StableSort([](const TIndirRefAnReferrer& a, const TIndirRefAnReferrer& b) {
      return a.count > b.count;
    });
    page.referrers.Truncate(static_cast<size_t>(keep / 10));
  }
  if (many) rows_.Truncate(static_cast<size_t>(keep / 10));
  texts_.KeepOnlyViews([&](auto&& keep) {
    for (TIndirRefAnTable& page : rows_.Rows()) {
      keep(page.value);
      for (TIndirRefAnReferrer& referrer : page.referrers.Rows()) keep(referrer.value);
    }
  });
}

void TIndirectRefAn::Display() {
  rows_.StableSort(
      [](const TIndirRefAnTable& a, const TIndirRefAnTable& b) { return a.hits > b.hits; });
  TPageSink out = BeginLinkedPage();
  THtmlTable table(out);
  table.Head({Translate(248, "Page"), Translate(287, "Hits")});
  const size_t shown = Shown(rows_.size(), kLimit);
  for (size_t i = 0; i < shown; ++i) {
    TIndirRefAnTable& page = rows_.Rows()[i];
    page.referrers.StableSort([](const TIndirRefAnReferrer& a, const TIndirRefAnReferrer& b) {
      return a.count > b.count;
    });
    out.Line("<TR class=\"RowHeader\"><TD>Page " + HtmlEscape(page.value) + "</TD>");
    out.Line("<TD align=\"right\">" + std::to_string(page.hits) + "</TD></TR>");
    const size_t referrers = Shown(page.referrers.size(), kLimit);
    for (size_t r = 0; r < referrers; ++r) {
      const TIndirRefAnReferrer& ref = page.referrers.Rows()[r];
      out.Line("<TR class=\"OddRaw\"><TD>" + PathBreakHtml(ref.value) +
                   "</TD><TD align=\"right\">" + std::to_string(ref.count) + "</TD></TR>");
    }
  }
  table.Close("</P>");
  FinishOwnPage(out, page_file);
}

void TIndirectRefAn::Clear() {
  rows_.Clear();
  texts_.Clear();
}

void TIndirectRefAn::SaveToCache(TReportsCache& cache) {
  WriteList(cache, rows_.Rows(), [&](const auto& page) {
    cache.WriteString(page.value);
    cache.WriteInteger(page.hits);
    WriteList(cache, page.referrers.Rows(), [&](const auto& ref) {
      cache.WriteString(ref.value);
      cache.WriteInteger(ref.count);
    });
  });
}

void TIndirectRefAn::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      TIndirRefAnTable& page = rows_.Add(cache.ReadString(), texts_);
      page.hits = cache.ReadCount();
      ReadList(cache, [&] {
        TIndirRefAnReferrer& ref = page.referrers.Add(cache.ReadString(), texts_);
        ref.count = cache.ReadCount();
      });
    });
  });
}

}  // namespace trelvar
