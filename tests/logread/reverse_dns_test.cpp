#include "logread/reverse_dns.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "base/progress.h"
#include "config/main_settings.h"
#include "logread/line_parser.h"
#include "logread/parser_world.h"
#include "logread/reject_log.h"
#include "sites/log_formats.h"
#include "sites/website.h"
#include "test_support.h"

namespace trelvar {
namespace {

// A resolver whose answers wait until the test lets them go: per address,
// or all at once. Names are "host-" + the address with "-" for "." +
// ".loop.test" unless `names` says otherwise; addresses in `nameless` have
// none.
class TGateLookup : public platform::TReverseLookup {
 public:
  bool start_ok = true;
  std::map<std::string, std::string> names;
  std::set<std::string> nameless;

  bool Start() override { return start_ok; }

  std::optional<std::string> Lookup(const std::string& dotted) override {
    std::unique_lock<std::mutex> hold(lock_);
    ++calls_[dotted];
    ++total_calls_;
    changed_.notify_all();
    // Unreleased lookups answer after half a minute anyway, so that a fault
    // fails the test rather than hanging it.
    changed_.wait_for(hold, std::chrono::seconds(30),
                      [&] { return open_ || released_.count(dotted) != 0; });
    if (nameless.count(dotted) != 0) return std::nullopt;
    auto it = names.find(dotted);
    return it != names.end() ? it->second : NameOf(dotted);
  }

  static std::string NameOf(std::string address) {
    for (char& c : address)
      if (c == '.') c = '-';
    return "host-" + address + ".loop.test";
  }

  void Release(const std::string& address) {
    std::lock_guard<std::mutex> hold(lock_);
    released_.insert(address);
    changed_.notify_all();
  }
  void OpenAll() {
    std::lock_guard<std::mutex> hold(lock_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits until `n` lookups have begun (false after ten seconds).
  bool WaitForCalls(int n) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::seconds(10), [&] { return total_calls_ >= n; });
  }
  int Calls(const std::string& address) {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_[address];
  }
  int TotalCalls() {
    std::lock_guard<std::mutex> hold(lock_);
    return total_calls_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::map<std::string, int> calls_;
  int total_calls_ = 0;
  std::set<std::string> released_;
  bool open_ = false;
};

// Waits until only `shares` owners of the resolver are left: the test,
// the pools still alive and workers still running hold one each.
void WaitForShares(const std::shared_ptr<TGateLookup>& lookup, long shares) {
  for (int i = 0; i < 10000 && lookup.use_count() > shares; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(lookup.use_count(), shares) << "a DNS worker did not end";
}

// Lets every lookup answer and waits until the workers have ended.
void FinishWorkers(const std::shared_ptr<TGateLookup>& lookup, long pools = 0) {
  lookup->OpenAll();
  WaitForShares(lookup, 1 + pools);
}

std::unique_ptr<TLineParserLogLine> LineOf(const std::string& address, const std::string& tag) {
  auto line = std::make_unique<TLineParserLogLine>();
  line->fields[kFieldIp] = address;
  line->fields[kFieldUserName] = "user";
  line->fields[kFieldHref] = tag;
  return line;
}

// --- the pool itself --------------------------------------------------------------

struct PoolTest : ::testing::Test {
  std::shared_ptr<TGateLookup> lookup = std::make_shared<TGateLookup>();
  test::TCaptureHost host{TRunMode::Console};

  void TearDown() override { FinishWorkers(lookup); }

  // Takes every ready line's tag and user field.
  static std::vector<std::pair<std::string, std::string>> Drain(TReverseDns& dns) {
    std::vector<std::pair<std::string, std::string>> out;
    while (auto line = dns.TakeReady())
      out.emplace_back(line->fields[kFieldHref], line->fields[kFieldUserName]);
    return out;
  }
};

TEST_F(PoolTest, TwoLinesOfOneNewAddressShareOneWorker) {
  TReverseDns dns(3, lookup);
  ASSERT_TRUE(dns.Start());
  auto first = LineOf("127.0.0.1", "a");
  auto second = LineOf("127.0.0.1", "b");
  const TLineParserLogLine* a = first.get();
  const TLineParserLogLine* b = second.get();
  dns.Admit(std::move(first));
  dns.Admit(std::move(second));
  EXPECT_EQ(a->dns_worker, 0);
  EXPECT_EQ(b->dns_worker, -1);
  EXPECT_TRUE(dns.IpInWork("127.0.0.1"));
  EXPECT_FALSE(dns.IpInWork("127.0.0.2"));
  EXPECT_EQ(dns.GetFreeDnsThread(), 1);
  ASSERT_TRUE(lookup->WaitForCalls(1));

  lookup->Release("127.0.0.1");
  ASSERT_TRUE(dns.WaitForOldest(nullptr));
  const auto out = Drain(dns);
  const std::string name = TGateLookup::NameOf("127.0.0.1");
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], std::make_pair(std::string("a"), name));
  EXPECT_EQ(out[1], std::make_pair(std::string("b"), name));
  EXPECT_EQ(lookup->Calls("127.0.0.1"), 1);
  EXPECT_EQ(dns.CacheCount(), 1u);
  EXPECT_EQ(dns.GetFreeDnsThread(), 0);
  EXPECT_FALSE(dns.IpInWork("127.0.0.1"));

  // A cache of one entry resolves the next line of that address at once.
  auto third = LineOf("127.0.0.1", "c");
  const TLineParserLogLine* c = third.get();
  dns.Admit(std::move(third));
  EXPECT_TRUE(c->dns_done);
  EXPECT_EQ(c->dns_worker, -1);
  EXPECT_TRUE(dns.CleanCache());
  EXPECT_EQ(Drain(dns), (std::vector<std::pair<std::string, std::string>>{{"c", name}}));
  EXPECT_EQ(lookup->TotalCalls(), 1);
}

TEST_F(PoolTest, ResolvedLinesPassOlderWaitingOnesInFileOrder) {
  TReverseDns dns(2, lookup);
  ASSERT_TRUE(dns.Start());
  dns.Admit(LineOf("127.0.0.1", "1"));  // stays unresolved
  dns.Admit(LineOf("127.0.0.2", "2"));
  dns.Admit(LineOf("127.0.0.2", "3"));
  dns.Admit(LineOf("127.0.0.1", "4"));
  ASSERT_TRUE(lookup->WaitForCalls(2));
  EXPECT_FALSE(dns.CleanCache());  // nothing resolved yet
  lookup->Release("127.0.0.2");
  // The worker moves the lines on itself; wait until the queue shows them.
  for (int i = 0; i < 10000 && dns.ReadyEmpty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto two = TGateLookup::NameOf("127.0.0.2");
  EXPECT_EQ(Drain(dns), (std::vector<std::pair<std::string, std::string>>{{"2", two}, {"3", two}}));
  EXPECT_FALSE(dns.WaitingEmpty());
  lookup->Release("127.0.0.1");
  ASSERT_TRUE(dns.WaitForOldest(nullptr));
  const auto one = TGateLookup::NameOf("127.0.0.1");
  EXPECT_EQ(Drain(dns), (std::vector<std::pair<std::string, std::string>>{{"1", one}, {"4", one}}));
  EXPECT_TRUE(dns.Empty());
}

TEST_F(PoolTest, RoomNeedsAFreeSlotAndFewerThanTheLookAhead) {
  TReverseDns dns(2, lookup);
  ASSERT_TRUE(dns.Start());
  EXPECT_TRUE(dns.HasRoom());
  dns.Admit(LineOf("127.0.0.1", "1"));
  EXPECT_TRUE(dns.HasRoom());
  dns.Admit(LineOf("127.0.0.2", "2"));
  EXPECT_FALSE(dns.HasRoom());  // both workers busy
  EXPECT_EQ(dns.GetFreeDnsThread(), -1);
  lookup->Release("127.0.0.1");
  ASSERT_TRUE(dns.WaitForOldest(nullptr));
  EXPECT_TRUE(dns.HasRoom());
  EXPECT_EQ(dns.GetFreeDnsThread(), 0);
  EXPECT_EQ(Drain(dns).size(), 1u);
  lookup->Release("127.0.0.2");
  ASSERT_TRUE(dns.WaitForOldest(nullptr));
  EXPECT_EQ(Drain(dns).size(), 1u);
  EXPECT_TRUE(dns.Empty());

  // Lines of cached addresses fill the look-ahead; the last one closes it.
  for (size_t i = 0; i + 1 < kDnsLookAhead; ++i) dns.Admit(LineOf("127.0.0.1", "x"));
  EXPECT_TRUE(dns.HasRoom());
  dns.Admit(LineOf("127.0.0.1", "x"));
  EXPECT_FALSE(dns.HasRoom());
  EXPECT_TRUE(dns.CleanCache());
  EXPECT_FALSE(dns.HasRoom());  // ready lines count too
  EXPECT_EQ(Drain(dns).size(), kDnsLookAhead);
  EXPECT_TRUE(dns.HasRoom());
}

TEST_F(PoolTest, ASlowLookupGivesAnEmptyNameAndItsLateResultIsDropped) {
  // Long enough that a loaded machine still reaches the wait before the
  // lookup times out, so events run while it waits.
  TReverseDns dns(1, lookup, 500);
  ASSERT_TRUE(dns.Start());
  dns.Admit(LineOf("127.0.0.7", "slow"));
  ASSERT_TRUE(lookup->WaitForCalls(1));
  // Ends by the timeout alone; the parser's cancel check lets events run.
  ASSERT_TRUE(dns.WaitForOldest([] { return CancelRequested(nullptr); }));
  EXPECT_EQ(Drain(dns), (std::vector<std::pair<std::string, std::string>>{{"slow", ""}}));
  EXPECT_EQ(dns.CachedName("127.0.0.7"), std::optional<std::string>(""));
  EXPECT_EQ(dns.GetFreeDnsThread(), 0);
  EXPECT_TRUE(host.process_messages > 0);  // events ran while it waited

  // The slot is free again and taken by the next address; the late answer
  // neither takes that slot away nor adds to the cache.
  dns.Admit(LineOf("127.0.0.8", "next"));
  ASSERT_TRUE(lookup->WaitForCalls(2));
  lookup->Release("127.0.0.7");
  WaitForShares(lookup, 3);  // test, pool and the worker of 127.0.0.8
  EXPECT_EQ(dns.GetFreeDnsThread(), -1);
  EXPECT_EQ(dns.CacheCount(), 1u);
  FinishWorkers(lookup, 1);
  ASSERT_TRUE(dns.WaitForOldest(nullptr));
  EXPECT_EQ(dns.CachedName("127.0.0.7"), std::optional<std::string>(""));
  EXPECT_EQ(dns.CachedName("127.0.0.8"), TGateLookup::NameOf("127.0.0.8"));
  EXPECT_EQ(dns.CacheCount(), 2u);
}

TEST_F(PoolTest, FailedLookupsAndTextsThatAreNoAddress) {
  lookup->nameless = {"127.0.0.3"};
  lookup->OpenAll();
  TReverseDns dns(4, lookup);
  ASSERT_TRUE(dns.Start());
  for (const char* address : {"www.example.com", "", "127.0.0", "127.0.0.256", "127.0.0.3"})
    dns.Admit(LineOf(address, address));
  ASSERT_TRUE(dns.WaitForOldest(nullptr));
  while (!dns.WaitingEmpty()) ASSERT_TRUE(dns.WaitForOldest(nullptr));
  const auto out = Drain(dns);
  ASSERT_EQ(out.size(), 5u);
  for (const auto& [address, user] : out) EXPECT_EQ(user, "") << address;
  // Only the dotted address was looked up.
  EXPECT_EQ(lookup->TotalCalls(), 1);
  EXPECT_EQ(dns.CachedName("www.example.com"), std::optional<std::string>(""));
  EXPECT_EQ(dns.CachedName("10.9.9.9"), std::nullopt);
}

TEST_F(PoolTest, WithoutStartNothingIsResolved) {
  lookup->start_ok = false;
  TReverseDns failed(2, lookup);
  EXPECT_FALSE(failed.Start());
  TReverseDns no_slots(0, lookup);
  EXPECT_FALSE(no_slots.Start());
  failed.Admit(LineOf("127.0.0.1", "a"));
  EXPECT_TRUE(failed.CleanCache());
  EXPECT_EQ(Drain(failed), (std::vector<std::pair<std::string, std::string>>{{"a", "user"}}));
  EXPECT_EQ(lookup->TotalCalls(), 0);
  // More threads than could ever be busy are not prepared.
  EXPECT_EQ(TReverseDns(1000000, lookup).SlotCount(), kDnsMaxThreads);
}

TEST(DnsCacheTest, FindsEveryAddressAndKeepsTheFirstEntry) {
  TDnsCache cache;
  for (int i = 0; i < 20000; ++i)
    cache.Add("127.0." + std::to_string(i / 256) + "." + std::to_string(i % 256),
              "n" + std::to_string(i), 1.0);
  cache.Add("127.0.0.5", "later", 2.0);
  EXPECT_EQ(cache.Count(), 20001u);
  for (int i : {0, 5, 255, 256, 19999}) {
    const TIpToDns* e =
        cache.Find("127.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    ASSERT_NE(e, nullptr) << i;
    EXPECT_EQ(e->host_name, "n" + std::to_string(i));
  }
  EXPECT_EQ(cache.Find("127.0.0.50 "), nullptr);  // exact text only
  EXPECT_EQ(cache.Entry(20000).host_name, "later");
}

// --- the line parser with reverse DNS ---------------------------------------------

const char kUserTemplate[] =
    "<ip> <nil> <username> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] \"<method> <href> "
    "<version>\" <status> <bytes>";

std::string LogLine(const std::string& address, int n) {
  return address + " - bob [07/Dec/2005:13:05:01 +0100] \"GET /p" + std::to_string(n) +
         ".htm HTTP/1.0\" 200 512\r\n";
}

struct DnsParserTest : ::testing::Test, test::TParserWorld {
  std::ostringstream errors;
  TRejectLog reporter{&errors};
  std::shared_ptr<TGateLookup> lookup = std::make_shared<TGateLookup>();
  std::vector<TCurrentLine> lines;
  // Long enough that no lookup of a loaded machine runs into it.
  int timeout_ms = 60000;
  bool dns_needed = true;
  TfrmProg* progress = nullptr;

  void TearDown() override { FinishWorkers(lookup); }

  std::unique_ptr<TLineParser> Begin(const std::string& log) {
    if (!settings) Settings("ReverseDNSLookup=-1\r\nDNSLookupThreads=2\r\n");
    test::WriteFile(dir / "data/access.log", log);
    TLineParser::TEnvironment env = Environment();
    env.site = &site;
    env.progress = progress;
    env.resolver = lookup;
    env.dns_timeout_ms = timeout_ms;
    auto parser = std::make_unique<TLineParser>(env);
    parser->SetSiteTemplate(kUserTemplate);
    parser->ResetTemplate();
    parser->SetReporter(&reporter);
    parser->SetDnsNeeded(dns_needed);
    parser->BeginScan("access.log");
    return parser;
  }

  void Drain(TLineParser& parser) {
    for (int guard = 0; !parser.Finished() && guard < 1000000; ++guard)
      if (parser.GetLine()) lines.push_back(current);
  }

  std::vector<std::string> Hrefs() const {
    std::vector<std::string> out;
    for (const TCurrentLine& l : lines) out.push_back(l.fields[kFieldHref]);
    return out;
  }
};

TEST_F(DnsParserTest, ACachedAddressPassesAnOlderUnresolvedOne) {
  lookup->Release("127.0.0.2");
  // 127.0.0.1 answers only once two lines are out, which can only happen
  // when its line is passed; after many turns it answers anyway so that a
  // parser keeping file order fails below instead of waiting forever.
  int turns = 0;
  host.on_events = [&] {
    if (lines.size() >= 2 || ++turns > 250) lookup->Release("127.0.0.1");
  };
  auto parser = Begin(LogLine("127.0.0.2", 1) + LogLine("127.0.0.1", 2) + LogLine("127.0.0.2", 3));
  EXPECT_NE(host.stdout_text.find("WinSocket initialized\n"), std::string::npos);
  Drain(*parser);
  EXPECT_EQ(Hrefs(), (std::vector<std::string>{"/p1.htm", "/p3.htm", "/p2.htm"}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].fields[kFieldUserName], TGateLookup::NameOf("127.0.0.2"));
  EXPECT_EQ(lines[2].fields[kFieldUserName], TGateLookup::NameOf("127.0.0.1"));
  EXPECT_EQ(lookup->TotalCalls(), 2);
}

TEST_F(DnsParserTest, WithoutResolutionLinesKeepFileOrderAndTheirUser) {
  lookup->start_ok = false;
  const std::string log =
      LogLine("127.0.0.2", 1) + LogLine("127.0.0.1", 2) + LogLine("127.0.0.2", 3);
  auto failed = Begin(log);
  Drain(*failed);
  EXPECT_NE(host.stdout_text.find("Unable to start WinSocket. So reverse DNS lookup not be done.\n"),
            std::string::npos);
  EXPECT_FALSE(failed->DnsActive());

  lookup->start_ok = true;
  dns_needed = false;  // no report reads host names
  auto unneeded = Begin(log);
  Drain(*unneeded);
  EXPECT_FALSE(unneeded->DnsActive());

  dns_needed = true;
  Settings("ReverseDNSLookup=0\r\n");
  auto off = Begin(log);
  Drain(*off);

  const std::vector<std::string> order = {"/p1.htm", "/p2.htm", "/p3.htm"};
  ASSERT_EQ(lines.size(), 9u);
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(lines[i].fields[kFieldHref], order[i % 3]) << i;
    EXPECT_EQ(lines[i].fields[kFieldUserName], "bob") << i;
  }
  EXPECT_EQ(lookup->TotalCalls(), 0);
}

TEST_F(DnsParserTest, AllSlotsBusyPausesParsing) {
  Settings("ReverseDNSLookup=-1\r\nDNSLookupThreads=1\r\n");
  auto parser = Begin(LogLine("127.0.0.1", 1) + LogLine("127.0.0.2", 2));
  ASSERT_TRUE(lookup->WaitForCalls(1));
  // The one worker resolves the first address; the second line is not read.
  EXPECT_TRUE(parser->Dns().IpInWork("127.0.0.1"));
  EXPECT_FALSE(parser->Dns().IpInWork("127.0.0.2"));
  EXPECT_EQ(parser->Dns().GetFreeDnsThread(), -1);
  EXPECT_EQ(lookup->Calls("127.0.0.2"), 0);
  lookup->OpenAll();
  Drain(*parser);
  EXPECT_EQ(Hrefs(), (std::vector<std::string>{"/p1.htm", "/p2.htm"}));
  EXPECT_EQ(lookup->Calls("127.0.0.2"), 1);
}

TEST_F(DnsParserTest, ALookupThatNeverAnswersDoesNotHoldThePass) {
  timeout_ms = 50;
  // 127.0.0.9 answers only when the test ends.
  auto parser = Begin(LogLine("127.0.0.9", 1) + LogLine("www.example.com", 2) +
                      LogLine("127.0.0.9", 3));
  Drain(*parser);
  ASSERT_TRUE(parser->Finished());
  EXPECT_EQ(Hrefs(), (std::vector<std::string>{"/p2.htm", "/p1.htm", "/p3.htm"}));
  for (const TCurrentLine& l : lines) EXPECT_EQ(l.fields[kFieldUserName], "");
  // On a loaded machine the worker may reach its lookup only after the
  // wait gave up: the address is still asked once, never twice.
  ASSERT_TRUE(lookup->WaitForCalls(1));
  EXPECT_EQ(lookup->Calls("127.0.0.9"), 1);
  EXPECT_EQ(parser->Dns().CachedName("127.0.0.9"), std::optional<std::string>(""));
}

TEST_F(DnsParserTest, DestroyingTheParserDetachesRunningWorkers) {
  std::string log;
  for (int i = 1; i <= 5; ++i) log += LogLine("127.0.0." + std::to_string(i), i);
  auto parser = Begin(log);
  ASSERT_TRUE(lookup->WaitForCalls(2));
  parser.reset();
  // The workers answer after their parser has gone; their results find the
  // shared state alive and are dropped (the sanitizer build checks this).
  FinishWorkers(lookup);
  EXPECT_EQ(lookup->TotalCalls(), 2);
}

TEST_F(DnsParserTest, ACancelEndsTheWaitInTheWindowedRun) {
  test::TCaptureHost events(TRunMode::Windowed);
  TfrmProg prog(events);
  progress = &prog;
  events.on_events = [&] {
    if (lookup->TotalCalls() > 0) prog.Cancel();
  };
  auto parser = Begin(LogLine("127.0.0.1", 1));
  EXPECT_FALSE(parser->GetLine());
  EXPECT_TRUE(prog.IsCancelled());
  EXPECT_FALSE(parser->Finished());
  EXPECT_TRUE(lines.empty());
}

TEST_F(DnsParserTest, HostNamesAsAddressesGetEmptyUserFields) {
  lookup->OpenAll();
  auto parser = Begin(LogLine("www.example.com", 1) + LogLine("127.0.0.1", 2));
  Drain(*parser);
  ASSERT_EQ(lines.size(), 2u);
  const TCurrentLine& named = lines[0].fields[kFieldIp] == "www.example.com" ? lines[0] : lines[1];
  EXPECT_EQ(named.fields[kFieldUserName], "");
  EXPECT_EQ(named.fields[kFieldUserDomain], "");
  EXPECT_EQ(named.fields[kFieldUserSite], "");
  EXPECT_EQ(lookup->TotalCalls(), 1);  // only the dotted address
}

TEST_F(DnsParserTest, UserDomainAndSiteOfResolvedNames) {
  struct Case {
    const char* address;
    std::optional<std::string> name;
    const char* domain;
    const char* site;
  };
  const Case cases[] = {
      {"127.0.0.1", "a.b.example.co.uk", ".uk", ".co.uk"},
      {"127.0.0.2", "host.lan", ".lan", ""},
      {"127.0.0.3", "localhost", "", ""},
      {"127.0.0.4", std::nullopt, "", ""},
      {"127.0.0.5", ".x", ".x", ""},
      {"127.0.0.6", "a..b", ".b", "..b"},
      {"127.0.0.7", "trailing.", ".", ""},
  };
  std::string log;
  int n = 0;
  for (const Case& c : cases) {
    if (c.name) lookup->names[c.address] = *c.name;
    else lookup->nameless.insert(c.address);
    log += LogLine(c.address, ++n);
  }
  lookup->OpenAll();
  auto parser = Begin(log);
  Drain(*parser);
  ASSERT_EQ(lines.size(), std::size(cases));
  for (const Case& c : cases) {
    const TCurrentLine* found = nullptr;
    for (const TCurrentLine& l : lines)
      if (l.fields[kFieldIp] == c.address) found = &l;
    ASSERT_NE(found, nullptr) << c.address;
    EXPECT_EQ(found->fields[kFieldUserName], c.name.value_or("")) << c.address;
    EXPECT_EQ(found->fields[kFieldUserDomain], c.domain) << c.address;
    EXPECT_EQ(found->fields[kFieldUserSite], c.site) << c.address;
  }
}

TEST_F(DnsParserTest, ThousandsOfDistinctAddresses) {
  Settings("ReverseDNSLookup=-1\r\nDNSLookupThreads=20\r\n");
  lookup->OpenAll();
  constexpr int kAddresses = 6000;
  std::string log;
  auto address = [](int i) {
    return "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
  };
  for (int i = 0; i < kAddresses; ++i) {
    log += LogLine(address(i), i);
    if (i % 3 == 0) log += LogLine(address(i / 2), kAddresses + i);  // repeats
  }
  auto parser = Begin(log);
  Drain(*parser);
  EXPECT_EQ(lines.size(), static_cast<size_t>(kAddresses + kAddresses / 3));
  std::set<std::string> hrefs;
  for (const TCurrentLine& l : lines) {
    EXPECT_EQ(l.fields[kFieldUserName], TGateLookup::NameOf(l.fields[kFieldIp]));
    hrefs.insert(l.fields[kFieldHref]);
  }
  EXPECT_EQ(hrefs.size(), lines.size());  // every line once
  EXPECT_EQ(parser->Dns().CacheCount(), static_cast<size_t>(kAddresses));
  EXPECT_EQ(lookup->TotalCalls(), kAddresses);  // one lookup per address
}

TEST(SystemReverseLookupTest, LoopbackGivesANameOrNothingAndNoAddressNothing) {
  platform::TSystemReverseLookup lookup;
  EXPECT_TRUE(lookup.Start());
  const std::optional<std::string> name = lookup.Lookup("127.0.0.1");
  if (name) {
    EXPECT_FALSE(name->empty());
  }
  EXPECT_EQ(lookup.Lookup("localhost"), std::nullopt);
  EXPECT_EQ(lookup.Lookup("127.0.0.1 "), std::nullopt);
  uint32_t a = 0;
  EXPECT_TRUE(platform::ParseDottedIPv4("127.0.0.1", &a));
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(&a)[0], 127);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "0x7f.0.0.1", "a.b.c.d"})
    EXPECT_FALSE(platform::ParseDottedIPv4(bad)) << bad;
}

}  // namespace
}  // namespace trelvar
