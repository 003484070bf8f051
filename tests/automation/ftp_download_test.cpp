// The FTP log download against a real FTP server on the loopback address
// (pyftpdlib, started by tests/support/ftp_server.py), which can refuse
// REST, send a listing of its own, drop the connection in the middle of a
// file or send slowly.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "automation/ftp_download.h"
#include "base/text_helpers.h"
#include "test_support.h"

namespace trelvar {
namespace {

using TColour = TStatusColour;
using TNames = std::vector<std::string>;

struct TStatus {
  std::string text;
  TColour colour;
  bool operator==(const TStatus&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TStatus& s) {
  const char* names[] = {"Blue", "Green", "Red", "Black"};
  return out << names[static_cast<int>(s.colour)] << " \"" << s.text << "\"";
}

// Collects a job's coloured status lines and transfer progress.
class TStatusHost : public test::TCaptureHost {
 public:
  TStatusHost() : TCaptureHost(TRunMode::Console) {}
  void StatusLine(const std::string& text, TStatusColour colour) override {
    lines.push_back({text, colour});
  }
  void TransferProgress(const TTransferProgress& p) override { progress.push_back(p); }
  void ProcessMessages() override {
    TCaptureHost::ProcessMessages();
    if (on_process) on_process();
  }
  TNames Texts() const {
    TNames r;
    for (const TStatus& s : lines) r.push_back(s.text);
    return r;
  }
  int Count(const std::string& text) const {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const TStatus& s) { return s.text == text; }));
  }
  bool Has(const std::string& text, TColour colour) const {
    return std::find(lines.begin(), lines.end(), TStatus{text, colour}) != lines.end();
  }

  std::vector<TStatus> lines;
  std::vector<TTransferProgress> progress;
  std::function<void()> on_process;
};

std::string Bytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xff);
  return s;
}

// A file's bytes against the expected ones, without printing them all.
::testing::AssertionResult HasBytes(const std::string& path, const std::string& expected) {
  const std::string actual = test::ReadFile(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  return ::testing::AssertionFailure() << path << ": " << actual.size() << " bytes, expected "
                                       << expected.size() << ", first difference at " << i;
}

TNames FilesIn(const std::string& folder) {
  TNames names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FtpDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root_ + "logs");
    std::filesystem::create_directories(data_);
    std::filesystem::create_directories(local_);
  }

  void StartServer(std::vector<std::string> extra = {}) {
    port_ = test::FreeLoopbackPort();
    std::vector<std::string> args = {std::string(TRELVAR_SOURCE_DIR) + "/tests/support/ftp_server.py",
                                      "--root", root_, "--port", std::to_string(port_),
                                      "--commands", tmp_ / "commands.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    server_ = std::make_unique<test::TBackgroundProcess>("/usr/bin/python3", args,
                                                         tmp_ / "server.log");
    ASSERT_TRUE(test::WaitForPort(port_)) << test::ReadFile(tmp_ / "server.log");
  }

  TWebSite Site(const std::string& remote_path, const std::string& local_path) const {
    TWebSite site;
    site.name = "Shop";
    site.user_name = "loguser";
    site.password = "secret";
    site.remote_host = "127.0.0.1";
    site.remote_port = std::to_string(port_);
    site.passive_mode = true;
    site.remote_log_path = remote_path;
    site.log_path = local_path;
    return site;
  }

  // One job from fresh status lines and command log.
  TDownloadResult Run(const TWebSite& site, TFtpTimeouts timeouts = {5, 5}) {
    host_.lines.clear();
    host_.progress.clear();
    test::WriteFile(tmp_ / "commands.txt", "");
    TFtpDownloadJob job(site, folders_, timeouts);
    job_ = &job;
    TDownloadResult r = job.Run();
    job_ = nullptr;
    // The listing's temporary file never stays behind.
    for (const std::string& name : FilesIn(data_)) EXPECT_EQ(name.find(".tmp"), std::string::npos);
    return r;
  }

  // The commands the server received ("RETR /path", "QUIT ").
  TNames Commands() const { return SplitTextLines(test::ReadFile(tmp_ / "commands.txt")); }
  int CountCommands(const std::string& verb) const {
    int n = 0;
    for (const std::string& c : Commands()) n += c.rfind(verb + " ", 0) == 0;
    return n;
  }
  // REST commands with an offset (libcurl sends "REST 0" after SIZE).
  TNames Restarts() const {
    TNames r;
    for (const std::string& c : Commands())
      if (c.rfind("REST ", 0) == 0 && c != "REST 0") r.push_back(c);
    return r;
  }

  void Serve(const std::string& name, const std::string& bytes) { test::WriteFile(root_ + name, bytes); }

  test::TTempDir tmp_;
  std::string root_ = tmp_ / "server/";
  std::string data_ = tmp_ / "data/";
  std::string local_ = tmp_ / "local/";
  TFolders folders_{"/nonexistent/", data_};
  int port_ = 0;
  std::unique_ptr<test::TBackgroundProcess> server_;
  TStatusHost host_;
  TFtpDownloadJob* job_ = nullptr;
};

TEST_F(FtpDownload, FolderAndWildcardPaths) {
  const std::string a = Bytes(70000, 1), b = Bytes(5, 2), c = "other\n";
  Serve("logs/ex1.log", a);
  Serve("logs/ex2.log", b);
  Serve("logs/notes.txt", c);
  std::filesystem::create_directories(root_ + "logs/ex3.log");  // a folder the mask matches
  StartServer();

  // A folder: every file of the listing, over one connection.
  TDownloadResult r = Run(Site("/logs/", local_ + "all/*.log"));
  const std::vector<TStatus> expected = {
      {"Connecting to 127.0.0.1", TColour::Blue},
      {"Session connected", TColour::Black},
      {"Connected", TColour::Green},
      {"Changing directory to /logs/...", TColour::Blue},
      {"Getting directory information...", TColour::Blue},
      {"Found 3 files", TColour::Green},
      {"Downloading file /logs/ex1.log...", TColour::Blue},
      {"Download finished", TColour::Green},
      {"Downloading file /logs/ex2.log...", TColour::Blue},
      {"Download finished", TColour::Green},
      {"Downloading file /logs/notes.txt...", TColour::Blue},
      {"Download finished", TColour::Green},
      {"Session closed", TColour::Black},
      {"Disconnected", TColour::Black},
  };
  EXPECT_EQ(host_.lines, expected);
  EXPECT_TRUE(r.found && r.completed);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.files_fetched, 3);
  EXPECT_TRUE(HasBytes(local_ + "all/ex1.log", a));
  EXPECT_TRUE(HasBytes(local_ + "all/ex2.log", b));
  EXPECT_TRUE(HasBytes(local_ + "all/notes.txt", c));
  EXPECT_EQ(FilesIn(local_ + "all"), (TNames{"ex1.log", "ex2.log", "notes.txt"}));
  EXPECT_EQ(CountCommands("USER"), 1);
  EXPECT_EQ(Commands().back(), "QUIT ");
  ASSERT_FALSE(host_.progress.empty());
  EXPECT_EQ(host_.progress.back().range, 70011);
  EXPECT_EQ(host_.progress.back().position, 70011);

  // A mask: matching files only, never a folder.
  r = Run(Site("/logs/ex*.log", local_ + "some/"));
  EXPECT_TRUE(r.completed) << r.error;
  EXPECT_TRUE(host_.Has("Found 2 files", TColour::Green));
  EXPECT_EQ(FilesIn(local_ + "some"), (TNames{"ex1.log", "ex2.log"}));

  // No match: a clean end.
  r = Run(Site("/logs/*.gz", local_ + "none/"));
  EXPECT_TRUE(r.completed);
  const TNames texts = host_.Texts();
  EXPECT_EQ(TNames(texts.end() - 4, texts.end()),
            (TNames{"Found 0 files", "No files found", "Session closed", "Disconnected"}));
  EXPECT_EQ(CountCommands("RETR"), 0);
}

TEST_F(FtpDownload, SingleFileDownloadResumeAndNoUpdate) {
  const std::string name = "ex #1%20[a].log";
  const std::string bytes = Bytes(300000, 3);
  Serve("logs/" + name, bytes);
  StartServer();
  const TWebSite site = Site("/logs/" + name, local_ + "access.log");

  TDownloadResult r = Run(site);
  EXPECT_TRUE(r.completed) << r.error;
  EXPECT_TRUE(host_.Has("Getting file information...", TColour::Blue));
  EXPECT_TRUE(host_.Has("Total file size is 292 KB", TColour::Green));
  EXPECT_TRUE(host_.Has("Downloading file /logs/" + name + "...", TColour::Blue));
  EXPECT_TRUE(HasBytes(local_ + "access.log", bytes));
  EXPECT_EQ(FilesIn(local_), TNames{"access.log"});

  // A partial copy gets exactly its missing part; the bar counts from it.
  test::WriteFile(local_ + "access.log", bytes.substr(0, 123457));
  r = Run(site);
  EXPECT_TRUE(r.completed) << r.error;
  EXPECT_TRUE(host_.Has("Restoring file " + local_ + "access.log...", TColour::Blue));
  EXPECT_TRUE(host_.Has("Restore finished", TColour::Green));
  EXPECT_TRUE(HasBytes(local_ + "access.log", bytes));
  EXPECT_EQ(Restarts(), TNames{"REST 123457"});
  ASSERT_FALSE(host_.progress.empty());
  EXPECT_EQ(host_.progress.back().range, 300000 - 123457);

  // A complete copy: no transfer at all.
  r = Run(site);
  EXPECT_TRUE(r.completed);
  EXPECT_TRUE(host_.Has("No update needed", TColour::Green));
  EXPECT_EQ(host_.Texts().back(), "Disconnected");
  EXPECT_EQ(CountCommands("RETR"), 0);
  EXPECT_EQ(Restarts(), TNames{});

  // A path without "/" in front starts in the login folder; a local folder
  // takes the remote name; a relative local path lies in the data folder.
  r = Run(Site("logs/" + name, "fetched/"));
  EXPECT_TRUE(r.completed) << r.error;
  EXPECT_TRUE(HasBytes(data_ + "fetched/" + name, bytes));
}

// Each listed file is compared with its own size, and one that needs no
// update does not end the job.
TEST_F(FtpDownload, FolderModeComparesEachFileWithItsOwnSize) {
  const std::string a = "first complete\n", b = Bytes(9000, 5), c = Bytes(20, 6);
  Serve("logs/ex1.log", a);
  Serve("logs/ex2.log", b);
  Serve("logs/ex3.log", c);
  Serve("logs/ex4.log", "rotated\n");
  test::WriteFile(local_ + "ex1.log", a);
  test::WriteFile(local_ + "ex2.log", b.substr(0, 4000));  // below the sum of all sizes
  test::WriteFile(local_ + "ex4.log", "a much longer old log\n");
  StartServer();

  const TDownloadResult r = Run(Site("/logs/", local_));

  EXPECT_EQ(host_.Count("No update needed"), 1);
  EXPECT_EQ(host_.Count("Restore finished"), 1);
  EXPECT_EQ(host_.Count("Download finished"), 1);
  EXPECT_EQ(r.files_fetched, 2);
  EXPECT_TRUE(HasBytes(local_ + "ex1.log", a));
  EXPECT_TRUE(HasBytes(local_ + "ex2.log", b));
  EXPECT_TRUE(HasBytes(local_ + "ex3.log", c));
  EXPECT_EQ(CountCommands("RETR"), 2);
  // A local log larger than the remote one (rotated there) stays as it is.
  EXPECT_TRUE(HasBytes(local_ + "ex4.log", "a much longer old log\n"));
  EXPECT_FALSE(r.completed);
  EXPECT_NE(r.error.find("larger than the remote file"), std::string::npos) << r.error;
  EXPECT_TRUE(host_.Has(r.error, TColour::Red));
  EXPECT_EQ(host_.Texts().back(), "Disconnected");
}

class FtpDownloadRestRefused : public FtpDownload, public ::testing::WithParamInterface<int> {};

TEST_P(FtpDownloadRestRefused, OneWholeDownloadFollowsTheRefusal) {
  const std::string code = std::to_string(GetParam());
  const std::string bytes = Bytes(50000, 7);
  Serve("logs/ex1.log", bytes);
  test::WriteFile(local_ + "ex1.log", "stale start");
  StartServer({"--rest", code});

  const TDownloadResult r = Run(Site("/logs/ex1.log", local_ + "ex1.log"));

  const std::vector<TStatus> expected = {
      {"Restoring file " + local_ + "ex1.log...", TColour::Blue},
      {"Error " + code + ": Restart is not possible here.", TColour::Red},
      {"FTP server 127.0.0.1 does not support restore (resume) command. We will try to "
       "download file instead of resume.",
       TColour::Blue},
      {"Downloading file /logs/ex1.log...", TColour::Blue},
      {"Download finished", TColour::Green},
  };
  const auto from = std::find(host_.lines.begin(), host_.lines.end(), expected[0]);
  ASSERT_LE(from + 5, host_.lines.end());
  EXPECT_EQ(std::vector<TStatus>(from, from + 5), expected);
  EXPECT_TRUE(r.completed) << "a refused resume ends in a whole download, which is no failure";
  EXPECT_TRUE(HasBytes(local_ + "ex1.log", bytes));
  EXPECT_EQ(CountCommands("RETR"), 1);
  EXPECT_EQ(FilesIn(local_), TNames{"ex1.log"});
}

INSTANTIATE_TEST_SUITE_P(Codes, FtpDownloadRestRefused, ::testing::Values(502, 554));

TEST_F(FtpDownload, UnavailableFileTogglesPassiveModeThreeTimesThenGivesUp) {
  // The listing names a file the server does not have: it answers 550.
  test::WriteFile(tmp_ / "listing.txt", "-rw-r--r-- 1 o g 12 Jan 01 2024 ghost.log\r\n");
  StartServer({"--listing", tmp_ / "listing.txt"});

  const TDownloadResult r = Run(Site("/logs/", local_));

  EXPECT_EQ(host_.Count("Connecting to 127.0.0.1"), 4);
  EXPECT_EQ(host_.Count("Passive mode parameter should be changed"), 3);
  int errors = 0;
  for (const TStatus& s : host_.lines)
    if (s.text.rfind("Error 550: ", 0) == 0 && s.colour == TColour::Red) ++errors;
  EXPECT_EQ(errors, 4);
  const std::string give_up =
      "The log file cannot be downloaded from 127.0.0.1. Please contact the administrator of "
      "that FTP server.";
  EXPECT_EQ(host_.lines.end()[-2], (TStatus{give_up, TColour::Red}));
  EXPECT_EQ(host_.Texts().back(), "Session closed");
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.error, give_up);
  EXPECT_EQ(FilesIn(local_), TNames{});
  // Each session lists and asks for the file in its own mode.
  std::string modes;
  for (const std::string& c : Commands()) {
    if (c.rfind("EPSV", 0) == 0 || c.rfind("PASV", 0) == 0) modes += 'P';
    if (c.rfind("EPRT", 0) == 0 || c.rfind("PORT", 0) == 0) modes += 'A';
  }
  EXPECT_EQ(modes, "PPAAPPAA");
  EXPECT_EQ(CountCommands("USER"), 4);
}

class FtpDownloadModes : public FtpDownload, public ::testing::WithParamInterface<bool> {};

TEST_P(FtpDownloadModes, DataConnectionsFollowThePassiveSetting) {
  const bool passive = GetParam();
  const std::string bytes = Bytes(100000, 8);
  Serve("logs/ex1.log", bytes);
  StartServer();
  TWebSite site = Site("/logs/", local_);
  site.passive_mode = passive;

  const TDownloadResult r = Run(site);

  EXPECT_TRUE(r.completed) << r.error;
  EXPECT_TRUE(HasBytes(local_ + "ex1.log", bytes));
  EXPECT_EQ(CountCommands("EPSV") + CountCommands("PASV") > 0, passive);
  EXPECT_EQ(CountCommands("EPRT") + CountCommands("PORT") > 0, !passive);
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, FtpDownloadModes, ::testing::Bool());

TEST_F(FtpDownload, RefusedLoginsAndMissingServersEndInARedLine) {
  StartServer();
  TWebSite site = Site("/logs/", local_);
  site.password = "wrong";
  TDownloadResult r = Run(site);
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.error.rfind("Error 530: ", 0), 0u) << r.error;
  EXPECT_TRUE(host_.Has(r.error, TColour::Red));
  EXPECT_EQ(host_.Count("Connected") + host_.Count("Passive mode parameter should be changed"), 0);
  EXPECT_EQ(host_.Texts().back(), "Session closed");

  // Nothing listens on the port.
  server_.reset();
  r = Run(Site("/logs/", local_));
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.error.rfind("Error : ", 0), 0u) << r.error;
  EXPECT_NE(r.error.find(std::to_string(port_)), std::string::npos) << r.error;
  EXPECT_EQ(host_.lines.back(), (TStatus{r.error, TColour::Red}));
  EXPECT_EQ(host_.Count("Session connected"), 0);
}

TEST_F(FtpDownload, ServerThatNeverAnswersTimesOutWhileEventsRun) {
  // Accepts connections (the backlog does) but never greets.
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(s, 4), 0);
  ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &n), 0);
  port_ = ntohs(a.sin_port);
  const auto start = std::chrono::steady_clock::now();

  const TDownloadResult r = Run(Site("/logs/", local_), {1, 1});

  close(s);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(r.error.rfind("Error : ", 0), 0u) << r.error;
  EXPECT_GE(host_.process_messages, 5) << "pending events must run more than once a second";
}

TEST_F(FtpDownload, ListingWithJunkAndHostileNames) {
  Serve("logs/ex1.log", "dos\n");
  Serve("logs/ex2.log", "unix\n");
  test::WriteFile(tmp_ / "listing.txt",
                  "total 3\r\n\r\ngarbage\r\n"
                  "05-01-03  10:22AM       <DIR>          old\r\n"
                  "05-01-03  10:22AM                    4 ex1.log\r\n"
                  "05-01-03  10:22AM                  12k bad.log\r\n"
                  "-rw-r--r-- 1 o g 5 Jan 01 2024 ex2.log\r\n"
                  "-rw-r--r-- 1 o g 5 Jan 01 2024 with blank.log\r\n"
                  "-rw-r--r-- 1 o g 5 Jan 01 2024 ../evil.log\r\n"
                  "-rw-r--r-- 1 o g 5 Jan 01 2024 ..\r\n"
                  "lrwxrwxrwx 1 o g 5 Jan 01 2024 link -> /etc/passwd\r\n");
  StartServer({"--listing", tmp_ / "listing.txt"});

  const TDownloadResult r = Run(Site("/logs/", local_ + "sub/"));

  EXPECT_TRUE(host_.Has("Found 2 files", TColour::Green));
  for (const char* name : {"../evil.log", ".."})
    EXPECT_TRUE(host_.Has("The listed file " + std::string(name) +
                              " is skipped: its name cannot be a local file name.",
                          TColour::Red));
  EXPECT_TRUE(HasBytes(local_ + "sub/ex1.log", "dos\n"));
  EXPECT_TRUE(HasBytes(local_ + "sub/ex2.log", "unix\n"));
  EXPECT_EQ(FilesIn(local_ + "sub/"), (TNames{"ex1.log", "ex2.log"}));
  EXPECT_EQ(FilesIn(local_), TNames{"sub"});
  EXPECT_FALSE(r.completed) << "skipped files leave the download incomplete";
}

TEST_F(FtpDownload, ConnectionLostMidTransferNeverTruncatesALocalLog) {
  const std::string bytes = Bytes(400000, 9);
  Serve("logs/broken.log", bytes);
  test::WriteFile(local_ + "broken.log", "old local log\n");
  // REST refused: the existing file gets a whole download, which breaks off.
  StartServer({"--rest", "554", "--break", "broken"});

  TDownloadResult r = Run(Site("/logs/broken.log", local_ + "broken.log"));
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.error.rfind("Error", 0), 0u) << r.error;
  EXPECT_TRUE(host_.Has(r.error, TColour::Red));
  EXPECT_TRUE(host_.Has("Downloading file /logs/broken.log...", TColour::Blue));
  EXPECT_EQ(host_.Count("Download finished"), 0);
  EXPECT_TRUE(HasBytes(local_ + "broken.log", "old local log\n"));
  EXPECT_EQ(FilesIn(local_), TNames{"broken.log"});

  // A resume that breaks off leaves what came: still the remote file's start.
  StartServer({"--break", "broken"});
  test::WriteFile(local_ + "broken.log", bytes.substr(0, 1000));
  r = Run(Site("/logs/broken.log", local_ + "broken.log"));
  EXPECT_FALSE(r.completed);
  const std::string now = test::ReadFile(local_ + "broken.log");
  EXPECT_GT(now.size(), 1000u);
  EXPECT_LT(now.size(), bytes.size());
  EXPECT_TRUE(now == bytes.substr(0, now.size())) << "the local file is no prefix of the remote one";
}

TEST_F(FtpDownload, CancelAbortsTheTransferAtOnce) {
  Serve("logs/slow.log", Bytes(400000, 11));
  StartServer({"--slow", "100000"});
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread canceller;
  // From another thread, once the transfer runs.
  host_.on_process = [&] {
    if (canceller.joinable() || host_.Count("Downloading file /logs/slow.log...") == 0) return;
    TFtpDownloadJob* job = job_;
    canceller = std::thread([job, &cancelled_at] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1300));
      cancelled_at = std::chrono::steady_clock::now();
      job->Cancel();
    });
  };

  TDownloadResult r = Run(Site("/logs/slow.log", local_ + "slow.log"));

  const auto ended = std::chrono::steady_clock::now();
  ASSERT_TRUE(canceller.joinable());
  canceller.join();
  EXPECT_LT(ended - cancelled_at, std::chrono::milliseconds(800));
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.error, "Download cancelled");
  EXPECT_TRUE(host_.Has("Download cancelled", TColour::Red));
  EXPECT_EQ(FilesIn(local_), TNames{});
  // Progress came at most once a second, for the whole file.
  EXPECT_GE(host_.progress.size(), 1u);
  EXPECT_LE(host_.progress.size(), 2u);
  for (const TTransferProgress& p : host_.progress) {
    EXPECT_EQ(p.range, 400000);
    EXPECT_LT(p.position, 400000);
  }

  // From the event loop, as a window's button does, before anything came.
  host_.on_process = [&] {
    if (job_ != nullptr) job_->Cancel();
  };
  r = Run(Site("/logs/", local_));
  EXPECT_EQ(r.error, "Download cancelled");
  EXPECT_EQ(host_.Count("Found 0 files") + host_.Count("Disconnected"), 0);

  // A failing event handler ends the request like an error of the client.
  host_.on_process = [] { throw std::runtime_error("window gone"); };
  r = Run(Site("/logs/", local_));
  EXPECT_EQ(r.error, "Error : window gone");
  EXPECT_TRUE(host_.Has(r.error, TColour::Red));
}

TEST(FtpDownloadStart, SitesWithoutWhatTheDownloadNeeds) {
  TStatusHost host;
  test::TTempDir tmp;
  const TFolders folders("/nonexistent/", tmp.path());
  TWS sites(folders);
  auto add = [&](const std::string& name, const std::function<void(TWebSite&)>& change) {
    auto site = std::make_unique<TWebSite>();
    site->name = name;
    site->user_name = "u";
    site->password = "p";
    site->remote_host = "127.0.0.1";
    site->remote_port = "21";
    site->remote_log_path = "/logs/";
    site->log_path = tmp.path();
    change(*site);
    EXPECT_EQ(HasFtpFields(*site), name != "no password" && name != "bare");
    sites.AddSite(std::move(site));
  };
  add("no password", [](TWebSite& s) { s.password.clear(); });
  add("bare", [](TWebSite& s) {
    s = TWebSite();
    s.name = "bare";
    s.user_name = " ";
    s.remote_port = "";
    s.remote_log_path = " ";
  });
  add("bad port", [](TWebSite& s) { s.remote_port = "21x"; });
  add("port zero", [](TWebSite& s) { s.remote_port = "0"; });
  add("bad host", [](TWebSite& s) { s.remote_host = "evil.example/x?"; });

  const std::string prefix = "cannot download its logs by FTP without these settings: ";
  const struct {
    const char* site;
    bool automatic;
    std::string line;
  } cases[] = {
      {"no password", true, "The site \"no password\" " + prefix + "userpwd."},
      {"bare", true,
       "The site \"bare\" " + prefix +
           "username, userpwd, remotehost, remoteport, remotelogpath, logpath."},
      // Started by the user, who was asked: an empty password may be meant.
      {"bare", false, "The site \"bare\" " + prefix + "remotehost, remoteport, remotelogpath, logpath."},
      {"bad port", true, "The FTP port \"21x\" of the site \"bad port\" is not a port number."},
      {"port zero", false, "The FTP port \"0\" of the site \"port zero\" is not a port number."},
      {"bad host", true,
       "The FTP server name \"evil.example/x?\" of the site \"bad host\" cannot be used."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.site);
    host.lines.clear();
    const TDownloadResult r = DownloadSiteLogs(sites, folders, c.site, c.automatic);
    EXPECT_TRUE(r.found && !r.completed);
    EXPECT_EQ(r.error, c.line);
    EXPECT_EQ(host.lines, (std::vector<TStatus>{{c.line, TColour::Red}}));
  }

  host.lines.clear();
  EXPECT_FALSE(DownloadSiteLogs(sites, folders, "Bad host", true).found);  // names match exactly
  EXPECT_TRUE(host.lines.empty());
}

}  // namespace
}  // namespace trelvar
