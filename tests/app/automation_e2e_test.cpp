// The command line's automation, run as cron would: -download from a real
// FTP server and -allsites with -mail to a real SMTP server, both on the
// loopback address, and -schedule with the due tasks of schedule.ini.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "analysis_run.h"
#include "base/password_scrambler.h"
#include "platform/files.h"
#include "smtp_sink.h"

namespace trelvar {
namespace {

const std::string kLine =
    "10.0.0.1 - - [07/Dec/2005:10:00:00 +0000] \"GET /a.htm HTTP/1.0\" 200 10\n";

// Two sites, A and B, with logs of their own; B has a mail address.
struct Sites : test::Analysis {
  explicit Sites(const std::string& settings = "")
      : Analysis("NSCA Common", settings, "type=basic\r\nparam=href\r\n") {
    test::WriteFile(data + "websites.ini",
                    "name=A\r\nlogpath=a.log\r\noutputdir=out_a\r\nformat=NSCA Common\r\n"
                    "name=B\r\nlogpath=b.log\r\noutputdir=out_b\r\nformat=NSCA Common\r\n"
                    "email=b@example.org\r\n");
    test::WriteFile(data + "a.log", kLine);
    test::WriteFile(data + "b.log", kLine + kLine);
  }
};

TEST(AutomationRun, AllSitesWithMail) {
  test::TSmtpSink sink;
  ASSERT_TRUE(sink.Started()) << sink.Log();
  Sites run("SmtpServer=127.0.0.1\r\nSmtpPort=" + std::to_string(sink.port()) +
            "\r\nMailSender=trelvar@example.org\r\nMailDefReciever=admin@example.org\r\n"
            "MailUserID=trelvar.test\r\n");
  const test::TRunResult r = run.Run({"-allsites", "-mail"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(platform::IsRegularFile(run.data + "out_a/indexdetails.htm"));
  EXPECT_TRUE(platform::IsRegularFile(run.data + "out_b/indexdetails.htm"));
  EXPECT_NE(r.out.find("Compressing reports to \"A.zip\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Sending files by E-mail to admin@example.org"), std::string::npos);
  ASSERT_TRUE(sink.HasMail(1) && sink.HasMail(2)) << sink.Log();
  EXPECT_EQ(sink.Field(1, "envelope_to"), "admin@example.org");  // A has no address
  EXPECT_EQ(sink.Field(2, "envelope_to"), "b@example.org");
  EXPECT_EQ(sink.Field(2, "attachment"), test::ReadFile(run.data + "out_b/B.zip"));
  EXPECT_EQ(sink.Field(1, "subject"), "Reports");

  // A server that refuses the mail fails the run, after every site.
  Sites refused("SmtpServer=127.0.0.1\r\nSmtpPort=1\r\nMailDefReciever=admin@example.org\r\n"
                "MailSender=trelvar@example.org\r\n");
  const test::TRunResult failed = refused.Run({"-allsites", "-mail"});
  EXPECT_EQ(failed.status, 1) << failed.out;
  EXPECT_TRUE(platform::IsRegularFile(refused.data + "out_b/indexdetails.htm"));
  EXPECT_NE(failed.out.find("could not be sent through 127.0.0.1:1"), std::string::npos)
      << failed.out;
}

TEST(AutomationRun, DownloadBeforeTheAnalysis) {
  test::TTempDir server_dir;
  std::filesystem::create_directories(server_dir / "root/logs");
  const std::string remote_log = kLine + kLine + kLine;
  test::WriteFile(server_dir / "root/logs/a.log", remote_log);
  const int port = test::FreeLoopbackPort();
  test::TBackgroundProcess server(
      "/usr/bin/python3",
      {std::string(TRELVAR_SOURCE_DIR) + "/tests/support/ftp_server.py", "--root",
       server_dir / "root", "--port", std::to_string(port)},
      server_dir / "server.log");
  ASSERT_TRUE(test::WaitForPort(port)) << test::ReadFile(server_dir / "server.log");

  for (const char* password : {"secret", "wrong"}) {
    SCOPED_TRACE(password);
    Sites run;
    test::WriteFile(run.data + "websites.ini",
                    "name=A\r\nlogpath=a.log\r\noutputdir=out_a\r\nformat=NSCA Common\r\n"
                    "username=loguser\r\nuserpwd=" + ScramblePassword(password) +
                        "\r\nremotehost=127.0.0.1\r\nremoteport=" + std::to_string(port) +
                        "\r\npassivemode=true\r\nremotelogpath=/logs/a.log\r\n");
    const test::TRunResult r = run.Run({"-analyze:A", "-download"});
    // The pages are written either way, from the log that is there.
    EXPECT_TRUE(platform::IsRegularFile(run.data + "out_a/indexdetails.htm"));
    if (std::string(password) == "secret") {
      EXPECT_EQ(r.status, 0) << r.out << r.err;
      EXPECT_EQ(test::ReadFile(run.data + "a.log"), remote_log);
      // The local log held the remote one's first line: the rest is added.
      EXPECT_NE(r.out.find("Restore finished"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("Lines: 3 read, 3 counted"), std::string::npos) << r.out;
    } else {
      EXPECT_EQ(r.status, 1) << r.out << r.err;
      EXPECT_EQ(test::ReadFile(run.data + "a.log"), kLine);  // the local log is left as it was
      EXPECT_NE(r.out.find("Error 530"), std::string::npos) << r.out;
    }
  }
}

TEST(AutomationRun, ScheduleRunsTheDueTasksOnceAndKeepsTheirTimes) {
  Sites run;
  // Daily tasks at 00:00 are due at once; the one for a site that is gone
  // does nothing.
  test::WriteFile(run.data + "schedule.ini",
                  "name=B\r\nperiod=day\r\nAnalyze=true\r\ndownload=false\r\nsendmail=false\r\n"
                  "time=00:00:00\r\n\r\n"
                  "name=Gone\r\nperiod=day\r\nAnalyze=true\r\ndownload=false\r\nsendmail=false\r\n"
                  "time=00:00:00\r\n\r\n");
  const test::TRunResult r = run.Run({"-schedule"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(platform::IsRegularFile(run.data + "out_b/indexdetails.htm"));
  EXPECT_FALSE(platform::PathExists(run.data + "out_a"));
  EXPECT_EQ(r.out.find("Gone"), std::string::npos) << r.out;
  const std::string saved = test::ReadFile(run.data + "schedule.ini");
  EXPECT_NE(saved.find("name=B\r\n"), std::string::npos) << saved;
  // Both tasks ran (the one for a site that is gone did nothing).
  const size_t first = saved.find("lasttime=");
  ASSERT_NE(first, std::string::npos) << saved;
  EXPECT_NE(saved.find("lasttime=", first + 1), std::string::npos) << saved;

  // Run again the same day: nothing is due.
  platform::RemoveFile(run.data + "out_b/indexdetails.htm");
  const test::TRunResult again = run.Run({"-schedule"});
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_FALSE(platform::IsRegularFile(run.data + "out_b/indexdetails.htm"));
}

}  // namespace
}  // namespace trelvar
