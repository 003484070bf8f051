// Reverse DNS in the analysis pass: the core's line parser reads a
// generated combined log with reverse DNS on, once without resolution and
// once each with 1, 5 and 20 worker threads. The resolver is the bench's
// own: it answers every address after 1 ms, so no network is used, and the
// rows show how far the worker pool keeps the pass going while lookups
// block. Every delivered line is checked for the name of its address
// (IPv6 clients of the log get none).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis_log_generator.h"
#include "base/run_control.h"
#include "bench_registry.h"
#include "child_process.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "logread/line_parser.h"
#include "platform/reverse_lookup.h"
#include "sites/log_formats.h"

namespace bench {

namespace {

constexpr int64_t kMaxLines = 100000;  // 1 ms lookups of a longer log take long with 1 thread

// Answers every address with a name after 1 ms, like a fast resolver.
class TDelayLookup : public trelvar::platform::TReverseLookup {
 public:
  std::optional<std::string> Lookup(const std::string& dotted) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lookups.fetch_add(1, std::memory_order_relaxed);
    return NameOf(dotted);
  }
  static std::string NameOf(const std::string& address) { return "h" + address + ".bench.test"; }
  std::atomic<int64_t> lookups{0};
};

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

struct TPassResult {
  std::string problem;
  int64_t lines = 0;
  int64_t lookups = 0;
  double seconds = 0;
};

// One pass over `log` with `threads` workers (0: reverse DNS off).
TPassResult Pass(const std::string& folder, const std::string& main_ini, const std::string& log,
                 int threads) {
  TPassResult result;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder + "data", ec);
  std::filesystem::create_directories(folder + "prog", ec);
  {
    std::ofstream out(folder + "data/main.ini", std::ios::binary | std::ios::trunc);
    out << main_ini << "AutoRecognizeLogFormat=0\r\nReverseDNSLookup=" << (threads > 0 ? "-1" : "0")
        << "\r\nDNSLookupThreads=" << std::max(threads, 1) << "\r\n";
    if (!out.flush()) {
      result.problem = "cannot write " + folder + "data/main.ini";
      return result;
    }
  }
  trelvar::TFolders folders(folder + "prog/", folder + "data/");
  trelvar::TLogFmts formats;
  trelvar::TMainSettings settings(folders, formats, nullptr);
  const std::string line_template = formats.GetTemplate("Apache combined");
  if (line_template.empty()) {
    result.problem = "no format \"Apache combined\" in the shipped main.ini";
    return result;
  }
  auto lookup = std::make_shared<TDelayLookup>();
  trelvar::TCurrentLine current;
  trelvar::TLineParser::TEnvironment env;
  env.folders = &folders;
  env.settings = &settings;
  env.formats = &formats;
  env.current = &current;
  env.resolver = lookup;

  const double start = Seconds();
  {
    trelvar::TLineParser parser(env);
    parser.SetSiteTemplate(line_template);
    parser.ResetTemplate();
    parser.SetDnsNeeded(true);
    parser.BeginScan(std::filesystem::absolute(log).string());
    if ((threads > 0) != parser.DnsActive()) {
      result.problem = "reverse DNS did not switch as asked";
      return result;
    }
    while (!parser.Finished()) {
      if (!parser.GetLine()) continue;
      ++result.lines;
      const std::string& user = current.fields[trelvar::kFieldUserName];
      const std::string& address = current.fields[trelvar::kFieldIp];
      // The log has IPv6 clients too; they get no name.
      const std::string expected =
          trelvar::platform::ParseDottedIPv4(address) ? TDelayLookup::NameOf(address) : "";
      if (threads > 0 && user != expected) {
        result.problem = "line " + std::to_string(result.lines) + " has the user \"" + user +
                         "\" for " + current.fields[trelvar::kFieldIp];
        return result;
      }
    }
  }
  result.seconds = Seconds() - start;
  result.lookups = lookup->lookups.load();
  return result;
}

bool DnsAnalysis(const TBenchOptions& options, std::vector<TBenchRow>& rows) {
  const std::string program_folder = OwnFolder();
  std::string main_ini;
  if (!ReadText(program_folder + "Default/main.ini", main_ini)) {
    std::cerr << "analysis-dns: cannot read " << program_folder << "Default/main.ini\n";
    return false;
  }
  if (!main_ini.empty() && main_ini.back() != '\n') main_ini += "\r\n";
  const int64_t lines = std::min(options.lines, kMaxLines);
  const std::string log = options.work_dir + "analysis-dns.log";
  if (!std::filesystem::exists(log)) {
    std::cerr << "writing " << lines << " combined log lines to " << log << " ...\n";
    if (!WriteAnalysisLog(log, lines, TAnalysisLogLayout::kApacheCombined)) {
      std::cerr << "cannot write " << log << "\n";
      return false;
    }
  }
  std::error_code ec;
  const double size_mb = static_cast<double>(std::filesystem::file_size(log, ec)) / (1024.0 * 1024.0);

  // The quiet run control keeps the parser's progress lines off the table.
  trelvar::SetRunControl(nullptr);
  bool ok = true;
  for (int threads : {0, 1, 5, 20}) {
    std::cerr << "  line parser, " << (threads == 0 ? "no reverse DNS" : std::to_string(threads) +
                                                                           " DNS threads")
              << " ...\n";
    TBenchRow row;
    row.measurement = "analysis-dns";
    row.subject = threads == 0 ? "parser, no reverse DNS"
                               : "parser, " + std::to_string(threads) + " DNS thread" +
                                     (threads > 1 ? "s" : "");
    row.size_mb = size_mb;
    row.throughput = true;
    TPassResult best;
    for (int i = 0; i < std::max(options.repeat, 1); ++i) {
      const TPassResult r = Pass(options.work_dir + "analysis-dns/", main_ini, log, threads);
      if (!r.problem.empty() || r.lines != lines) {
        best = r;
        if (best.problem.empty())
          best.problem = "delivered " + std::to_string(r.lines) + " of " + std::to_string(lines) +
                         " lines";
        break;
      }
      if (i == 0 || r.seconds < best.seconds) best = r;
    }
    row.items = best.lines;
    if (!best.problem.empty()) {
      row.verdict = "FAILED: " + best.problem;
      ok = false;
    } else {
      row.seconds = best.seconds;
      char text[160];
      if (threads == 0)
        std::snprintf(text, sizeof text, "no lookups");
      else
        std::snprintf(text, sizeof text, "%lld lookups of 1 ms (%.1f s one after another)",
                      static_cast<long long>(best.lookups), best.lookups / 1000.0);
      row.verdict = text;
    }
    rows.push_back(row);
  }
  if (!options.keep) std::filesystem::remove_all(options.work_dir + "analysis-dns/", ec);
  return ok;
}

const TRegisterMeasurement kDns(
    {"analysis-dns",
     "the core's line parser over a generated combined log with reverse DNS by a 1 ms test "
     "resolver: no DNS, 1, 5 and 20 worker threads",
     DnsAnalysis});

}  // namespace

}  // namespace bench
