// TPageSink and THtmlTable: how reports write their pages.
//
// A report appends its section of the details page ("indexdetails.htm")
// to the sink the report set gives it (AppendDetails), and builds a page
// of its own in a sink of its own, which it writes to its file once, at
// the end. Lines of a page end in CR LF; chart markup, which ends its own
// lines, and the few pages written without line ends use Append.
//
// THtmlTable writes what the tables of the output share: the opening tag,
// the header row, the class of each body row (EvenRaw and OddRaw by turns,
// starting with EvenRaw), the four total rows under a counted list, and
// the closing tag. The markup is exactly what the pages have always held,
// odd spacing included, so that pages compare byte for byte between
// versions.
//
// Neither class is thread-safe: a page is built by one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

class TPageSink {
 public:
  // Appends `text` and CR LF.
  void Line(std::string_view text) {
    text_ += text;
    text_ += "\r\n";
  }
  // Appends `text` as it stands.
  void Append(std::string_view text) { text_ += text; }
  const std::string& Text() const { return text_; }
  void Clear() { text_.clear(); }
  // Writes the page to `path` as it stands (see WriteOutputFile).
  void WriteTo(const std::string& path) const;

 private:
  std::string text_;
};

// "<TH>" + text + "</TH>", with attributes when given ("nowrap").
std::string HeadCell(std::string_view text, std::string_view attributes = "");

// One of the total rows under a counted list: its caption and number.
struct TTotalRow {
  std::string caption;
  int64_t value = 0;
};

class THtmlTable {
 public:
  // How the table's own tags end: as lines, or as they stand (for a page
  // section written without line ends).
  enum class TEnds { Lines, None };

  // Writes `before` and the opening tag.
  explicit THtmlTable(TPageSink& page, std::string_view before = "", TEnds ends = TEnds::Lines);

  // The header row on one line: "<TR><TH>a</TH><TH>b</TH></TR>" (tags in
  // lower case when asked).
  void Head(const std::vector<std::string>& captions, bool lower_case = false);
  // The header row a line per entry: "<TR>" before the first, "</TR>" on
  // a line of its own. Each entry is one or more HeadCell()s.
  void HeadByLines(const std::vector<std::string>& cells);
  // The opening tag of the next body row: "<TR class=\"EvenRaw\">", then
  // "<TR class=\"OddRaw\">", by turns.
  std::string NextRow();
  // The total rows of a counted list whose values span `value_columns`
  // columns: shown entries, all entries, then the sums of their counts.
  void Totals(int value_columns, const TTotalRow (&rows)[4]);
  // Writes the closing tag and `after`.
  void Close(std::string_view after = "");

 private:
  void Write(std::string_view text);

  TPageSink& page_;
  TEnds ends_;
  long long row_ = 0;
};

}  // namespace trelvar
