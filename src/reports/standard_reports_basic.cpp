// TPrRep, the basic report: counts one parameter of the lines, with
// kilobytes for the URL and host parameters and visitors for countries.
#include "reports/standard_reports.h"

#include <limits>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "reports/byte_sums.h"
#include "reports/report_params.h"
#include "reports/report_text.h"

namespace trelvar {

TPrRep::TPrRep(TReportContext& ctx) : TReportOf(ctx) {
  limit = 10;
  show_percent = false;
  show_chart = false;
  pages_only = true;
}

const TReportKeys<TPrRep>& TPrRep::DefinitionKeys() {
  using K = TKeys<TPrRep>;
  static const TReportKeys<TPrRep> keys = {
      K::Code("param", &TPrRep::param, ParamKey, ParamFromKey),
      K::TrueOnly("pagesonly", &TPrRep::pages_only),
  };
  return keys;
}

bool TPrRep::CountsKilobytes() const {
  return param == ReportParam::kHost || param == ReportParam::kIp || param == ReportParam::kHref ||
         param == ReportParam::kSite || param == ReportParam::kPath;
}

void TPrRep::ProcessLine() {
  if (pages_only && !ctx_.current->line.is_hit) return;
  if (!PassesFilters()) return;
  const bool with_kb = CountsKilobytes();
  // Only the parameters that show kilobytes read the bytes field, so a
  // strange bytes field cannot cost, say, a browser report its lines.
  const int64_t bytes = with_kb ? BytesOfField(ctx_.current->fields[kFieldBytes]) : 0;
  const int32_t kb = WholeKilobytes(bytes);
  if (TStandardRow* row = LineRow(param)) {
    if (row->count < std::numeric_limits<int32_t>::max()) ++row->count;
    if (with_kb) {
      row->total_bytes = AddBytes(row->total_bytes, bytes);
      if (kb > row->max_kb) row->max_kb = kb;
    }
  } else {
    TStandardRow& added = AddRow(LineValue(param));
    RememberLineRow(param, added);
    added.count = 1;
    added.total_bytes = bytes;
    added.max_kb = kb;
  }
  if (param == ReportParam::kCountry) CountFinishedVisitors();
}

void TPrRep::CountFinishedVisitors() {
  if (ctx_.visits == nullptr) return;
  ctx_.visits->EnsureUpdated();
  for (const auto& visit : ctx_.visits->FinishedVisits()) {
    if (TStandardRow* row = Find(ctx_.CountryOf(visit->address)))
      if (row->visitors < std::numeric_limits<int32_t>::max()) ++row->visitors;
  }
}

void TPrRep::CheckLogFields(const std::vector<int>& fields) {
  is_supported = IsParamSupported(fields, param);
  unsupported_text = is_supported ? "" : UnsupportedWarning(param, report_name);
}

bool TPrRep::UsesReverseDns() const {
  return param == ReportParam::kUserName || param == ReportParam::kUserDomain ||
         param == ReportParam::kUserSite;
}

void TPrRep::Compact() {
  // A limit of 0 wants every row: there is nothing to cut down to.
  if (limit <= 0) return;
  const int64_t threshold = CompactThreshold(limit);
  if (threshold <= 0 || static_cast<int64_t>(Rows().size()) < threshold) return;
  SortRows();
  Truncate(static_cast<size_t>(threshold / 10));
}

void TPrRep::Display() {
  SortRows();
  if (AppendSectionHead(Rows().empty())) return;
  const bool country = param == ReportParam::kCountry;
  const bool with_kb = CountsKilobytes();
  DrawChart(country);
  if (!show_table) return;
  const size_t shown = ShownCount();
  const int64_t base = ShareBase(country);
  const std::string caption = ParamCaption(param);
  THtmlTable table(ctx_.details, "<P>");
  std::vector<std::string> head{HeadCell(Translate(286, "Param:") + " " + caption),
                                HeadCell(Translate(287, "Hits"))};
  if (country) head.push_back(HeadCell(Translate(413, "Visitors")));
  if (show_percent) head.push_back(HeadCell(Translate(288, "Percent")));
  if (with_kb)
    head.push_back(HeadCell(Translate(289, "KBytes")) + HeadCell(Translate(290, "Downloads")));
  table.HeadByLines(head);
  for (size_t i = 0; i < shown; ++i) {
    const TStandardRow& row = *Rows()[i];
    std::string line = table.NextRow() + "<TD WIDTH=\"100%\">" + HtmlCell(param, row.value) +
                       "</TD><TD align=\"right\">" + std::to_string(row.count) + "</TD>";
    if (country) line += "<TD align=\"right\">" + std::to_string(row.visitors) + "</TD>";
    if (show_percent)
      line += "<TD align=\"right\">" + ShareText(country ? row.visitors : row.count, base) +
              "%</TD>";
    if (with_kb) {
      const int32_t total_kb = row.TotalKilobytes();
      const std::string downloads =
          row.max_kb < 1 ? "0" : RoundedText(static_cast<double>(total_kb) / row.max_kb);
      line += "<TD align=\"right\">" + std::to_string(total_kb) + "</TD><TD align=\"right\">" +
              downloads + "</TD>";
    }
    AppendDetails(line + "</TR>");
  }
  if (show_footer) {
    const int columns = 1 + (show_percent ? 1 : 0) + (country ? 1 : 0) + (with_kb ? 2 : 0);
    const std::string above = Translate(292, "s above");
    const std::string total = Translate(293, "Total number of") + " " + caption +
                              Translate(294, "s in log file");
    // The third row sums the counts: the same text id, with its own default.
    table.Totals(columns,
                 {{Translate(291, "Subtotal number of") + " " + caption + above,
                   static_cast<int64_t>(shown)},
                  {total, static_cast<int64_t>(Rows().size())},
                  {Translate(291, "Subtotal value of") + " " + caption + above, SumOfCounts(shown)},
                  {total, SumOfCounts(Rows().size())}});
  }
  table.Close("</P>");
}

void TPrRep::ExportCsv() {
  SortRows();
  std::string out = report_name + "\r\n";
  if (Rows().empty()) {
    WriteCsvFile(out + Translate(285, "No data") + "\r\n");
    return;
  }
  const bool with_kb = CountsKilobytes();
  const size_t shown = ShownCount();
  const int64_t base = ShareBase(false);
  const std::string caption = ParamCaption(param);
  out += Translate(286, "Param:") + " " + caption + ";" + Translate(295, "Value");
  if (show_percent) out += ";" + Translate(288, "Percent");
  if (with_kb) out += ";" + Translate(289, "KBytes");
  out += "\r\n";
  for (size_t i = 0; i < shown; ++i) {
    const TStandardRow& row = *Rows()[i];
    out += CsvCell(param, row.value) + ";" + std::to_string(row.count);
    if (show_percent) out += ";" + ShareText(row.count, base) + "%";
    if (with_kb) out += ";" + std::to_string(row.TotalKilobytes());
    out += "\r\n";
  }
  if (show_footer) out += CsvFooter(caption, caption);
  WriteCsvFile(out);
}

}  // namespace trelvar
