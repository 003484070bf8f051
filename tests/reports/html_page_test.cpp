#include "reports/html_page.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace trelvar {
namespace {

constexpr const char* kTag = "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">";

// The counted-list layout of the details page, total rows included, byte
// for byte as the pages have always held it.
TEST(HtmlTable, CountedListLayout) {
  TPageSink page;
  THtmlTable table(page, "<P>");
  table.HeadByLines({HeadCell("Value"), HeadCell("KB") + HeadCell("Time", "nowrap")});
  for (const char* cell : {"a", "b", "c"}) page.Line(table.NextRow() + cell + "</TR>");
  table.Totals(2, {{"shown", 3}, {"all", 40}, {"sum shown", -5}, {"sum all", 9000000000}});
  table.Close("</P>");
  const std::string span = " colspan=\"2\" ";
  EXPECT_EQ(page.Text(),
            std::string("<P>") + kTag + "\r\n" +
                "<TR><TH>Value</TH>\r\n"
                "<TH>KB</TH><TH nowrap>Time</TH>\r\n"
                "</TR>\r\n"
                "<TR class=\"EvenRaw\">a</TR>\r\n"
                "<TR class=\"OddRaw\">b</TR>\r\n"
                "<TR class=\"EvenRaw\">c</TR>\r\n"
                "<tr class=\"RowOddTotal\"><td>shown</td><td" + span + " align=\"right\">3</td></tr>\r\n"
                "<tr class=\"RowEvenTotal\"><td>all</td><td " + span + " align=\"right\">40</td></tr>\r\n"
                "<tr class=\"RowOddTotal\" " + span + "><td>sum shown</td><td " + span +
                " align=\"right\">-5</td></tr>\r\n"
                "<tr class=\"RowEvenTotal\" " + span + "><td>sum all</td><td " + span +
                " align=\"right\">9000000000</td></tr>\r\n"
                "</TABLE></P>\r\n");
}

TEST(HtmlTable, OneLineHeadsAndSectionsWithoutLineEnds) {
  struct Case {
    bool lower;
    const char* head;
  } cases[] = {
      {false, "<TR><TH>x</TH><TH>y</TH></TR>"},
      {true, "<tr><th>x</th><th>y</th></tr>"},
  };
  for (const Case& c : cases) {
    TPageSink page;
    THtmlTable table(page);
    table.Head({"x", "y"}, c.lower);
    table.Close();
    EXPECT_EQ(page.Text(), std::string(kTag) + "\r\n" + c.head + "\r\n</TABLE>\r\n");
  }

  TPageSink page;
  page.Append("<h2>t</h2>");
  THtmlTable table(page, "<P>", THtmlTable::TEnds::None);
  page.Append(table.NextRow() + "</TR>");
  page.Append(table.NextRow() + "</TR>");
  table.Close("</P>");
  EXPECT_EQ(page.Text(), std::string("<h2>t</h2><P>") + kTag +
                             "<TR class=\"EvenRaw\"></TR><TR class=\"OddRaw\"></TR></TABLE></P>");
}

// A page file holds exactly what was appended: no final line break, no
// text of an earlier, longer page.
TEST(PageSink, WritesExactlyItsText) {
  test::TTempDir dir;
  const std::string path = dir / "page.htm";
  TPageSink page;
  page.Line("<html>");
  page.Append("</html>");
  for (int i = 0; i < 200; ++i) page.Line("filler");
  page.WriteTo(path);
  page.Clear();
  page.Line("<html>");
  page.Append("</html>");
  page.WriteTo(path);
  EXPECT_EQ(test::ReadFile(path), "<html>\r\n</html>");
}

}  // namespace
}  // namespace trelvar
