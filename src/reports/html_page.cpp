#include "reports/html_page.h"

#include "base/text_helpers.h"
#include "reports/report_text.h"

namespace trelvar {

namespace {
constexpr std::string_view kTableTag = "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">";
}

void TPageSink::WriteTo(const std::string& path) const { WriteOutputFile(path, text_); }

std::string HeadCell(std::string_view text, std::string_view attributes) {
  std::string cell = attributes.empty() ? "<TH>" : "<TH " + std::string(attributes) + ">";
  cell += text;
  return cell + "</TH>";
}

THtmlTable::THtmlTable(TPageSink& page, std::string_view before, TEnds ends)
    : page_(page), ends_(ends) {
  Write(std::string(before) + std::string(kTableTag));
}

void THtmlTable::Write(std::string_view text) {
  if (ends_ == TEnds::Lines)
    page_.Line(text);
  else
    page_.Append(text);
}

void THtmlTable::Head(const std::vector<std::string>& captions, bool lower_case) {
  const char* open = lower_case ? "<th>" : "<TH>";
  const char* close = lower_case ? "</th>" : "</TH>";
  std::string row = lower_case ? "<tr>" : "<TR>";
  for (const std::string& c : captions) row += open + c + close;
  Write(row + (lower_case ? "</tr>" : "</TR>"));
}

void THtmlTable::HeadByLines(const std::vector<std::string>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) Write(i == 0 ? "<TR>" + cells[i] : cells[i]);
  Write("</TR>");
}

std::string THtmlTable::NextRow() { return "<TR " + RowClass(row_++) + ">"; }

void THtmlTable::Totals(int value_columns, const TTotalRow (&rows)[4]) {
  const std::string span = " colspan=\"" + std::to_string(value_columns) + "\" ";
  // The row classes alternate; the later rows carry the span on the row
  // too, and only the first value cell has no blank before it.
  const std::string openings[4] = {
      "<tr class=\"RowOddTotal\">",
      "<tr class=\"RowEvenTotal\">",
      "<tr class=\"RowOddTotal\" " + span + ">",
      "<tr class=\"RowEvenTotal\" " + span + ">",
  };
  for (int i = 0; i < 4; ++i)
    Write(openings[i] + "<td>" + rows[i].caption + "</td><td" + (i == 0 ? "" : " ") + span +
          " align=\"right\">" + std::to_string(rows[i].value) + "</td></tr>");
}

void THtmlTable::Close(std::string_view after) { Write("</TABLE>" + std::string(after)); }

}  // namespace trelvar
