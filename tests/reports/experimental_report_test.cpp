// The experimental report: training and testing by the share of the log
// read, the two walks through the web model, the Windows-1251 page and its
// two JPEG charts.
#include "reports/experimental_report.h"

#include <gd.h>
#include <gtest/gtest.h>

#include "analysis_run.h"
#include "reports/report_set.h"
#include "reports/report_types.h"
#include "reports/run_context.h"
#include "reports/web_model.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

const char kReports[] =
    "type=web_model\r\nname=Model\r\n\r\ntype=exp_rep\r\nname=Результаты эксперимента\r\n";

// The test's own Windows-1251 encoder: ASCII and the Cyrillic letters.
std::string Cp1251(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    const unsigned code = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    if (code >= 0x410 && code <= 0x44F) out += static_cast<char>(0xC0 + (code - 0x410));
    else if (code == 0x401) out += '\xA8';
    else if (code == 0x451) out += '\xB8';
    else ADD_FAILURE() << "no test encoding for " << code;
  }
  return out;
}

// One NSCA line on 7 December 2005, `second` seconds after midnight.
std::string Line(const std::string& ip, int second, const std::string& url) {
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", second / 3600, second / 60 % 60,
                second % 60);
  return ip + " - - [07/Dec/2005:" + time + " +0000] \"GET " + url + " HTTP/1.0\" 200 5\r\n";
}
// Visits an hour apart, each finished by the first hit of the next one.
std::string Visits(const std::vector<std::vector<std::string>>& list, int first_hour, int ip) {
  std::string log;
  for (size_t v = 0; v < list.size(); ++v)
    for (size_t i = 0; i < list[v].size(); ++i)
      log += Line("10.0.0." + std::to_string(ip + v), (first_hour + static_cast<int>(v)) * 3600 +
                                                          static_cast<int>(i),
                  list[v][i]);
  return log;
}
// Lines of no page (an image) that bring the text to `size` bytes.
std::string Padded(std::string log, size_t size) {
  const std::string head = "10.0.0.250 - - [07/Dec/2005:00:00:00 +0000] \"GET /pad.gif?";
  const std::string tail = " HTTP/1.0\" 200 5\r\n";
  while (log.size() < size) {
    const size_t room = std::min<size_t>(size - log.size(), 400);
    const size_t fill = room > head.size() + tail.size() ? room - head.size() - tail.size() : 1;
    log += head + std::string(fill, 'x') + tail;
  }
  return log;
}

bool IsJpeg(const std::string& path, int& width, int& height) {
  std::string bytes = test::ReadFile(path);
  if (bytes.size() < 3 || bytes.compare(0, 3, "\xFF\xD8\xFF") != 0) return false;
  gdImagePtr im = gdImageCreateFromJpegPtr(static_cast<int>(bytes.size()), bytes.data());
  if (!im) return false;
  width = gdImageSX(im);
  height = gdImageSY(im);
  gdImageDestroy(im);
  return true;
}

// The five result rows as the page writes them.
std::string ResultRows(const std::vector<std::vector<std::string>>& rows) {
  const char* names[] = {"Найдено целей", "Средняя длина пути", "Дисперсия cредней длины пути",
                         "Средняя длина пути для найденных целей",
                         "Дисперсия cредней длины пути для найденных целей"};
  std::string out;
  for (size_t i = 0; i < rows.size(); ++i)
    out += std::string("</TR>\r\n<TR>\r\n<TD>") + names[i] + "</TD>\r\n<TD>" + rows[i][0] +
           "</TD>\r\n<TD>" + rows[i][1] + "</TD>\r\n" + rows[i][2] + "\r\n";
  return out + "</TR>\r\n</TABLE>\r\n";
}

std::string Counts(int visits, int trained, int tested) {
  return "<TABLE>\r\n<TR><TD>Всего</TD><TD>" + std::to_string(visits) +
         " посетителей</TD></TR>\r\n<TR><TD>Тренирована на</TD><TD>" + std::to_string(trained) +
         " посетителей</TD></TR>\r\n<TR><TD>Тестировалась на</TD><TD>" + std::to_string(tested) +
         " посетителей</TD></TR>\r\n</TABLE>\r\n";
}

TEST(ExpRep, ALogReadWithinItsFirstFifthOnlyTrains) {
  EXPECT_EQ(GetReportTypeName("exp_rep"), "Experimental report");
  Analysis a("NSCA Common", "", kReports);
  test::WriteFile(a.data + "access.log",
                  Visits({{"/a.htm", "/b.htm", "/c.htm"}, {"/a.htm"}, {"/closer.htm"}}, 1, 1));
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(a.Details().find("<A HREF=\"exp_results.htm\"><h2>Результаты эксперимента</h2></A>\r\n"),
            std::string::npos);
  const std::string page = test::ReadFile(a.out + "exp_results.htm");
  const std::string expected =
      "<HTML><BODY><BR><H1>Результаты эксперимента</H1>\r\n" + Counts(1, 1, 0) +
      "<H2>Результаты</H2>\r\n<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR>\r\n<TH>Параметр</TH>\r\n<TH>Оптимально</TH>\r\n<TH>Рекомендовано</TH>\r\n"
      "<TH>Разница</TH>\r\n" +
      ResultRows({{"0", "0", "<TD>-</TD>"},
                  {"-", "-", "<TD>-</TD>"},
                  {"-", "-", "<TD>-</TD>"},
                  {"-", "-", "<TD>-</TD>"},
                  {"-", "-", "<TD>-</TD>"}}) +
      "<P><IMG SRC=\"results.jpg\"></P>\r\n<h3>Диаграмма распределения длин пути</h3>\r\n"
      "<P><IMG SRC=\"dist_bar.jpg\"></P>\r\n</BODY></HTML>\r\n";
  EXPECT_EQ(page, Cp1251(expected));
  int w = 0, h = 0;
  EXPECT_TRUE(IsJpeg(a.out + "results.jpg", w, h));
  EXPECT_EQ(w, 489);
  EXPECT_EQ(h, 289);
  EXPECT_TRUE(IsJpeg(a.out + "dist_bar.jpg", w, h));
}

// One log of 10 kilobytes (11 with the reader's one extra): its lines
// before 9 kilobytes are read within 80 % and train, the later ones test.
// The share follows the lines handed out, so one file is enough. Lines of
// no page bring each part to its size.
struct TrainThenTest {
  Analysis a{"NSCA Common", "", kReports};
  void Write(const std::string& training, const std::string& testing) {
    const std::string first = Padded(training, 9 * 1024);
    test::WriteFile(a.data + "access.log", Padded(first + testing, 10 * 1024));
  }
};

TEST(ExpRep, WalksReachTheLastPageOrStartThere) {
  TrainThenTest f;
  f.Write(Visits({{"/a.htm", "/b.htm", "/c.htm"}, {"/closer.htm"}}, 1, 1),
          Visits({{"/a.htm", "/B.htm?x=1", "/c.htm"},
                  {"/a.htm", "/b.htm", "/C.htm"},
                  {"/a.htm", "/b.htm", "/a.htm"},
                  {"/closer.htm"}},
                 3, 10));
  auto r = f.a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string page = test::ReadFile(f.a.out + "exp_results.htm");
  // Walks A and B: /a, /b, /c twice (found, 3 pages) and once /a alone (its
  // first page is its target): lengths 3, 3, 1.
  EXPECT_NE(page.find(Cp1251(Counts(4, 1, 3))), std::string::npos) << page;
  EXPECT_NE(page.find(Cp1251(ResultRows({{"2", "2", "<TD>0.00% </TD>"},
                                         {"2.33", "2.33", "<TD>0.00% </TD>"},
                                         {"0.89", "0.89", "<TD>0.00% </TD>"},
                                         {"3.00", "3.00", "<TD>0.00% </TD>"},
                                         {"0.00", "0.00", "<TD>-</TD>"}}))),
            std::string::npos)
      << page;
  int w = 0, h = 0;
  EXPECT_TRUE(IsJpeg(f.a.out + "results.jpg", w, h));
  EXPECT_TRUE(IsJpeg(f.a.out + "dist_bar.jpg", w, h));
}

TEST(ExpRep, AWalkStopsAtTwentyPages) {
  // /p1 leads to /p0 and /x1 to /x4 (then back to /p0) before /end and the
  // test visit's target /t: no walk from /p1 reaches either.
  TrainThenTest f;
  f.Write(Visits({{"/p0", "/p1", "/p0", "/p1", "/x1", "/p0", "/p1", "/x2", "/p0", "/p1", "/x3",
                   "/p0", "/p1", "/x4", "/p0", "/p1", "/end"},
                  {"/closer"}},
                 1, 1),
          Visits({{"/p1", "/t"}, {"/closer"}}, 3, 10));
  ASSERT_EQ(f.a.Run().status, 0);
  const std::string page = test::ReadFile(f.a.out + "exp_results.htm");
  EXPECT_NE(page.find(Cp1251(Counts(2, 1, 1))), std::string::npos) << page;
  EXPECT_NE(page.find(Cp1251(ResultRows({{"0", "0", "<TD>-</TD>"},
                                         {"20.00", "20.00", "<TD>0.00% </TD>"},
                                         {"0.00", "0.00", "<TD>-</TD>"},
                                         {"-", "-", "<TD>-</TD>"},
                                         {"-", "-", "<TD>-</TD>"}}))),
            std::string::npos)
      << page;
}

TEST(ExpRep, LinkedToTheFirstWebModelBeforeItAndUnlinkedWhenItGoes) {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TRunContext app{TFolders(dir / "prog", dir / "data")};
  test::WriteFile(dir / "data/main.ini", "\r\n");
  app.formats = std::make_unique<TLogFmts>();
  app.settings = std::make_unique<TMainSettings>(app.folders, *app.formats, nullptr);
  TRepParser set(app);
  set.LoadFromText(
      "type=exp_rep\r\nname=Early\r\n"
      "type=web_model\r\nname=First\r\n"
      "type=web_model\r\nname=Second\r\n"
      "type=exp_rep\r\nname=Late\r\n");
  ASSERT_EQ(set.reports.size(), 4u);
  auto* early = dynamic_cast<TExpRep*>(set.reports[0].get());
  auto* late = dynamic_cast<TExpRep*>(set.reports[3].get());
  ASSERT_NE(early, nullptr);
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(early->web_model, nullptr);  // no web model before it
  EXPECT_EQ(late->web_model, set.reports[1].get());
  EXPECT_EQ(set.exp_report, late);
  auto copy = late->Clone();
  EXPECT_EQ(dynamic_cast<TExpRep&>(*copy).web_model, set.reports[1].get());
  EXPECT_EQ(copy->report_name, "Late");
  set.RemoveReport("First");
  EXPECT_EQ(late->web_model, nullptr);
  EXPECT_EQ(set.GetReportByName("Second")->report_type, "web_model");
}

}  // namespace
}  // namespace trelvar
