// Agent detection: DetectAgent over many distinct current user agents (the
// line parser remembers results per agent, so each distinct agent of a log
// costs one detection), against lower-casing the same agents, the one pass
// over the text that any detection needs.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "bench_registry.h"

namespace bench {

namespace {

constexpr int64_t kMaxAgents = 200000;  // distinct agents of a large log, and memory stays small

struct TAgentKind {
  const char* before;  // the agent up to the version that varies
  const char* after;
  const char* browser;  // what detection must say
};

const TAgentKind kKinds[] = {
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/",
     ".0.0.0 Safari/537.36", "Chrome"},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/129.0.0.0 Safari/537.36 Edg/",
     ".0.2792.79", "Edge"},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:131.0) Gecko/20100101 Firefox/", ".0",
     "Firefox"},
    {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) Version/",
     ".5 Mobile/15E148 Safari/604.1", "Safari"},
    {"Mozilla/5.0 (Linux; Android 14; SAMSUNG SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) "
     "SamsungBrowser/",
     ".0 Chrome/122.0.0.0 Mobile Safari/537.36", "Samsung Internet"},
    {"Mozilla/5.0 (compatible; Googlebot/", ".1; +http://www.google.com/bot.html)",
     "Other Mozilla compatible Agents"},
    {"Mozilla/4.0 (compatible; MSIE ", ".0; Windows NT 5.1; SV1)", "MS Internet Explorer"},
    {"curl/", ".5.0", "curl"},
};

bool Agents(const TBenchOptions& options, std::vector<TBenchRow>& rows) {
  const int64_t count = std::min(options.lines, kMaxAgents);
  std::vector<std::string> agents;
  std::vector<const char*> expected;
  agents.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    const TAgentKind& kind = kKinds[static_cast<size_t>(i) % std::size(kKinds)];
    agents.push_back(kind.before + std::to_string(i) + kind.after);
    expected.push_back(kind.browser);
  }

  size_t sink = 0;
  const double reference_seconds = BestOf(options.repeat, [&] {
    for (const std::string& a : agents) sink += trelvar::LowerCase(a).size();
  });
  int64_t wrong = 0;
  const double seconds = BestOf(options.repeat, [&] {
    wrong = 0;
    for (size_t i = 0; i < agents.size(); ++i)
      if (trelvar::DetectAgent(agents[i]).browser != expected[i]) ++wrong;
  });
  if (wrong > 0) std::cerr << "agents: " << wrong << " agents detected wrongly\n";
  if (sink == 0) std::cerr << "agents: nothing lower-cased\n";

  TBenchRow row;
  row.measurement = "agents";
  row.subject = "DetectAgent";
  for (const std::string& a : agents) row.size_mb += static_cast<double>(a.size());
  row.size_mb /= 1024.0 * 1024.0;
  row.items = count;
  row.seconds = seconds;
  row.reference = "LowerCase";
  row.reference_seconds = reference_seconds;
  rows.push_back(row);
  return wrong == 0;
}

const TRegisterMeasurement kAgents({"agents",
                                    "DetectAgent over distinct current agents vs lower-casing them",
                                    Agents});

}  // namespace

}  // namespace bench
