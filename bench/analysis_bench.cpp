// Whole analyses: the built program's one-shot console run over generated
// logs (combined, W3C, and the combined log gzip-compressed), once with the
// shipped report set and once with a single basic report, and the
// established analysers over the same logs: analog, the peer of the goal
// verdict, over each of them; webalizer and goaccess over the combined log.
// For gzip input `zcat FILE | wc -l` gives the floor. Each run gets a fresh
// folder; the best wall time of --repeat runs counts, and the highest peak
// memory.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "analysis_log_generator.h"
#include "bench_registry.h"
#include "child_process.h"

namespace bench {

namespace {

// The shipped set holds every report type, the visit models included.
constexpr double kShippedGoal = 200000;   // lines per second with the shipped reports
constexpr double kBasicGoal = 1000000;    // lines per second with one basic report
constexpr double kShippedPeakGoalMb = 400;  // peak memory for a million lines
constexpr double kBasicPeakGoalMb = 300;
constexpr int64_t kPeakGoalLines = 1000000;

constexpr const char* kBasicReport =
    "category=All\r\ntype=basic\r\nname=Pages\r\nparam=href\r\npagesonly=false\r\n"
    "show_chart=false\r\n";

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return !in.bad();
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

bool NonEmptyFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0;
}

double FileMb(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<double>(size) / (1024.0 * 1024.0);
}

enum class TLogKind { kCombined, kW3c, kGzip };

const char* KindName(TLogKind kind) {
  return kind == TLogKind::kCombined ? "combined" : kind == TLogKind::kW3c ? "W3C" : "gzip";
}

// `plain` compressed into `packed` as gzip does by default (level 6).
bool Compress(const std::string& plain, const std::string& packed) {
  std::ifstream in(plain, std::ios::binary);
  gzFile out = gzopen(packed.c_str(), "wb6");
  if (!in || out == nullptr) {
    if (out != nullptr) gzclose(out);
    return false;
  }
  std::vector<char> buffer(1 << 20);
  bool ok = true;
  while (ok && in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<unsigned>(in.gcount());
    if (got > 0) ok = gzwrite(out, buffer.data(), got) == static_cast<int>(got);
  }
  return gzclose(out) == Z_OK && ok && !in.bad();
}

// The generated log of `kind` for this pass's size, made once a run in the
// work folder; the gzip log is the combined one compressed.
std::string GeneratedLog(const TBenchOptions& options, TLogKind kind) {
  const std::string size = "-" + std::to_string(options.lines);
  if (kind == TLogKind::kGzip) {
    const std::string plain = GeneratedLog(options, TLogKind::kCombined);
    if (plain.empty()) return "";
    const std::string path = plain + ".gz";
    if (std::filesystem::exists(path)) return path;
    std::cerr << "compressing " << plain << " ...\n";
    if (!Compress(plain, path)) {
      std::cerr << "cannot write " << path << "\n";
      return "";
    }
    return path;
  }
  const bool w3c = kind == TLogKind::kW3c;
  const TAnalysisLogLayout layout =
      w3c ? TAnalysisLogLayout::kW3cExtended : TAnalysisLogLayout::kApacheCombined;
  const std::string path =
      options.work_dir + (w3c ? "analysis-w3c" : "analysis-combined") + size + ".log";
  if (std::filesystem::exists(path)) return path;
  std::cerr << "writing " << options.lines << (w3c ? " W3C" : " combined") << " log lines to "
            << path << " ...\n";
  if (!WriteAnalysisLog(path, options.lines, layout)) {
    std::cerr << "cannot write " << path << "\n";
    return "";
  }
  return path;
}

// The number that follows `label` (after blanks) at one of its places in
// `text`, digits grouped by "," allowed; -1 when there is none.
int64_t NumberAfter(const std::string& text, const std::string& label) {
  for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
    size_t i = at + label.size();
    while (i < text.size() && text[i] == ' ') ++i;
    int64_t value = -1;
    for (; i < text.size(); ++i) {
      if (text[i] >= '0' && text[i] <= '9')
        value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
      else if (text[i] != ',' || value < 0)
        break;
    }
    if (value >= 0) return value;
  }
  return -1;
}

// The number just before `label` ("20000 records in 1 seconds"), or -1.
int64_t NumberBefore(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return -1;
  size_t begin = at;
  while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9') --begin;
  return begin == at ? -1 : std::atoll(text.substr(begin, at - begin).c_str());
}

// The largest of the "Total number of ... in log file" figures of the
// report page: the hits of a report that counts every line.
int64_t LargestTotal(const std::string& page) {
  int64_t largest = -1;
  const std::string label = "Total number of ";
  for (size_t at = page.find(label); at != std::string::npos; at = page.find(label, at + 1)) {
    const size_t cell = page.find("align=\"right\">", at);
    const size_t row_end = page.find("</tr>", at);
    if (cell == std::string::npos || (row_end != std::string::npos && cell > row_end)) continue;
    largest = std::max(largest, NumberAfter(page.substr(cell, 40), "align=\"right\">"));
  }
  return largest;
}

// The best of `repeat` runs, each in a fresh folder. `run` prepares the
// folder, starts the program and checks its output; it returns "" when the
// run is good, else what went wrong.
struct TTiming {
  bool ok = false;
  double seconds = 0;
  double peak_mb = 0;
  std::string problem;
  std::string note;  // what the last good run's check found
};

TTiming Time(const TBenchOptions& options, const std::string& tag,
             const std::function<std::string(const std::string& folder, TChildResult& result,
                                             std::string& note)>& run) {
  TTiming timing;
  for (int i = 0; i < std::max(options.repeat, 1); ++i) {
    const std::string folder = options.work_dir + tag + "-" + std::to_string(i + 1) + "/";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      timing.problem = "cannot create " + folder;
      return timing;
    }
    TChildResult result;
    std::string note;
    const std::string problem = run(folder, result, note);
    if (!problem.empty()) {
      timing.ok = false;
      timing.problem = problem + (options.keep ? " (see " + folder + ")" : " (--keep keeps its files)");
      return timing;
    }
    if (!timing.ok || result.seconds < timing.seconds) timing.seconds = result.seconds;
    timing.peak_mb = std::max(timing.peak_mb, result.peak_mb);
    timing.ok = true;
    timing.note = note;
    // The folder stays until the whole work folder goes: removing its
    // thousands of page files just before the next run would make a
    // journal-less ext4 scan them while that run creates its own.
  }
  return timing;
}

// One analysis by the built program in `folder` as its data folder.
std::string RunTrelvar(const std::string& program_folder, const std::string& log, int64_t lines,
                       bool shipped, bool recognise, const std::string& folder,
                       TChildResult& result, std::string& note,
                       const std::vector<std::pair<std::string, std::string>>& extra_env = {},
                       const std::string& extra_settings = "") {
  std::string main_ini;
  if (!ReadText(program_folder + "Default/main.ini", main_ini))
    return "cannot read " + program_folder + "Default/main.ini";
  if (!main_ini.empty() && main_ini.back() != '\n') main_ini += "\r\n";
  main_ini += std::string("default_site=Bench\r\nAutoStartBrowser=0\r\nAutoRecognizeLogFormat=") +
              (recognise ? "-1" : "0") + "\r\n" + extra_settings;
  std::string reports = kBasicReport;
  if (shipped && !ReadText(program_folder + "Default/reports.ini", reports))
    return "cannot read " + program_folder + "Default/reports.ini";
  const std::string absolute_log = std::filesystem::absolute(log).string();
  if (!WriteText(folder + "main.ini", main_ini) ||
      !WriteText(folder + "websites.ini", "name=Bench\r\nlogpath=" + absolute_log +
                                              "\r\noutputdir=out\r\nformat=Apache combined\r\n") ||
      !WriteText(folder + "reports.ini", reports))
    return "cannot write the settings into " + folder;

  TChildRequest request;
  request.argv = {program_folder + "trelvar", "-console"};
  request.cwd = folder;
  std::string data_dir = folder;
  data_dir.pop_back();  // the program adds the "/"
  // The C locale keeps the texts English, which the check below reads.
  request.set_env = {{"TRELVAR_DATA_DIR", data_dir}, {"LC_ALL", "C"}};
  request.set_env.insert(request.set_env.end(), extra_env.begin(), extra_env.end());
  // A web server's variable would make it answer as CGI; a display would
  // let it open a browser.
  request.unset_env = {"SERVER_SOFTWARE", "DISPLAY", "WAYLAND_DISPLAY"};
  request.output_path = folder + "console.txt";
  result = RunChild(request);
  if (!result.ok()) return "trelvar " + result.Failure();

  std::string console;
  ReadText(request.output_path, console);
  if (console.find("Processed in") == std::string::npos)
    return "trelvar did not finish its analysis";
  // Error lines end in the error's class name (EInOutError, EConvertError, Exception).
  if (console.find("Exception") != std::string::npos || console.find("rror") != std::string::npos)
    return "trelvar reported an error";
  if (recognise && console.find("recognized as") == std::string::npos)
    return "trelvar did not recognise the log format";
  if (!NonEmptyFile(folder + "out/indexdetails.htm")) return "trelvar wrote no report page";
  std::string details;
  ReadText(folder + "out/indexdetails.htm", details);
  const int64_t counted = LargestTotal(details);
  if (counted != lines)
    return "trelvar counted " + std::to_string(counted) + " of " + std::to_string(lines) +
           " lines";
  note = "counted " + std::to_string(counted);
  return "";
}

struct TTool {
  const char* name;
  bool every_kind;  // runs over every log kind, else over the combined log only
  // Prepares `folder` and returns the command line.
  std::function<std::vector<std::string>(const std::string& log, TLogKind kind,
                                         const std::string& folder)>
      command;
  // The number of requests the tool says it read, -1 when it does not say.
  std::function<int64_t(const std::string& folder, const std::string& console)> counted;
};

const std::vector<TTool>& Tools() {
  static const std::vector<TTool> tools = {
      {"analog", true,
       [](const std::string& log, TLogKind kind, const std::string& folder) {
         // Only this file: -G leaves the system's configuration out. A W3C
         // log names its fields in its header, which analog reads.
         std::string config = kind == TLogKind::kW3c ? "" : "LOGFORMAT COMBINED\n";
         if (kind == TLogKind::kGzip) config += "UNCOMPRESS *.gz \"gzip -cd\"\n";
         WriteText(folder + "analog.cfg",
                   config + "LOGFILE " + log + "\nOUTFILE " + folder + "analog.html\n");
         return std::vector<std::string>{"analog", "-G", "+g" + folder + "analog.cfg"};
       },
       [](const std::string& folder, const std::string&) -> int64_t {
         std::string html;
         if (!ReadText(folder + "analog.html", html)) return -1;
         const int64_t good = NumberAfter(html, "Successful requests:</span>");
         const int64_t failed = NumberAfter(html, "Failed requests:</span>");
         const int64_t redirected = NumberAfter(html, "Redirected requests:</span>");
         if (good < 0) return -1;
         return good + std::max<int64_t>(failed, 0) + std::max<int64_t>(redirected, 0);
       }},
      {"webalizer", false,
       [](const std::string& log, TLogKind, const std::string& folder) {
         // A webalizer.conf in the working folder replaces the system's.
         WriteText(folder + "webalizer.conf",
                   "LogType clf\nHostName www.trelvar-sample.com\nIncremental no\n"
                   "PageType htm*\nPageType php\nSearchEngine .google. q=\n"
                   "SearchEngine bing.com q=\nSearchEngine yahoo.com p=\n"
                   "SearchEngine duckduckgo.com q=\nSearchEngine yandex. text=\n");
         std::filesystem::create_directories(folder + "webalizer");
         return std::vector<std::string>{"webalizer", "-c", folder + "webalizer.conf", "-F", "clf",
                                         "-n", "www.trelvar-sample.com", "-o",
                                         folder + "webalizer", log};
       },
       [](const std::string& folder, const std::string& console) -> int64_t {
         if (!NonEmptyFile(folder + "webalizer/index.html")) return -1;
         return NumberBefore(console, " records");
       }},
      {"goaccess", false,
       [](const std::string& log, TLogKind, const std::string& folder) {
         return std::vector<std::string>{"goaccess", log, "--log-format=COMBINED", "-o",
                                         folder + "goaccess.html", "--no-global-config",
                                         "--no-progress"};
       },
       [](const std::string& folder, const std::string&) -> int64_t {
         std::string html;
         if (!ReadText(folder + "goaccess.html", html)) return -1;
         return NumberAfter(html, "\"total_requests\":");  // the figure, not the heading
       }},
  };
  return tools;
}

std::string Verdict(double lines_per_second, double goal, double peak_mb, double peak_goal) {
  char text[160];
  std::snprintf(text, sizeof text, "lines/s >= %.0f %s; peak < %.0f MB %s", goal,
                lines_per_second >= goal ? "PASS" : "FAIL", peak_goal,
                peak_mb < peak_goal ? "PASS" : "FAIL");
  return text;
}

TBenchRow Row(const std::string& measurement, const std::string& subject, const std::string& log,
              int64_t lines, TLogKind kind, const char* role) {
  TBenchRow row;
  row.measurement = measurement;
  row.subject = subject;
  row.size_mb = FileMb(log);
  row.items = lines;
  row.throughput = true;
  row.log_kind = KindName(kind);
  row.role = role;
  return row;
}

// `zcat FILE | wc -l`: the least any analysis of gzip input can take.
bool Floor(const TBenchOptions& options, const std::string& measurement, const std::string& log,
           std::vector<TBenchRow>& rows) {
  TBenchRow row = Row(measurement, "zcat | wc -l (floor)", log, options.lines, TLogKind::kGzip,
                      "floor");
  std::string out;
  const double seconds =
      BestOf(options.repeat, [&] { out = RunCommand("zcat " + ShellQuote(log) + " | wc -l"); });
  const int64_t counted = std::atoll(out.c_str());
  if (counted != options.lines) {
    row.verdict = "FAILED: zcat | wc -l counted " + std::to_string(counted) + " lines";
    rows.push_back(row);
    return false;
  }
  row.seconds = seconds;
  row.verdict = "the floor of gzip input";
  rows.push_back(row);
  return true;
}

bool Analysis(const TBenchOptions& options, std::vector<TBenchRow>& rows, TLogKind kind) {
  const std::string measurement = kind == TLogKind::kCombined ? "analysis"
                                  : kind == TLogKind::kW3c    ? "analysis-w3c"
                                                              : "analysis-gzip";
  const std::string log = GeneratedLog(options, kind);
  if (log.empty()) return false;
  const std::string program_folder = OwnFolder();
  if (FindProgram(program_folder + "trelvar").empty()) {
    std::cerr << measurement << ": no program " << program_folder << "trelvar (build the target"
              << " trelvar into the same folder)\n";
    return false;
  }
  // The memory goals are set for a million lines; larger logs may use more.
  const double scale = std::max(1.0, static_cast<double>(options.lines) / kPeakGoalLines);
  const std::string size = "-" + std::to_string(options.lines);

  bool ok = kind != TLogKind::kGzip || Floor(options, measurement, log, rows);
  double ours[2] = {0, 0};  // shipped set, basic report
  for (int basic = 0; basic < 2; ++basic) {
    const std::string tag = measurement + size + (basic != 0 ? "-basic" : "-shipped");
    std::cerr << "  trelvar " << (basic != 0 ? "with one basic report" : "with the shipped reports")
              << " ...\n";
    const TTiming t =
        Time(options, tag, [&](const std::string& folder, TChildResult& result, std::string& note) {
          return RunTrelvar(program_folder, log, options.lines, basic == 0,
                            kind == TLogKind::kW3c, folder, result, note);
        });
    TBenchRow row = Row(measurement,
                        basic != 0 ? "trelvar, 1 basic report" : "trelvar, shipped reports", log,
                        options.lines, kind, basic != 0 ? "basic" : "shipped");
    if (!t.ok) {
      row.verdict = "FAILED: " + t.problem;
      ok = false;
    } else {
      row.seconds = t.seconds;
      row.peak_mb = t.peak_mb;
      row.verdict = Verdict(static_cast<double>(options.lines) / t.seconds,
                            basic != 0 ? kBasicGoal : kShippedGoal, t.peak_mb,
                            scale * (basic != 0 ? kBasicPeakGoalMb : kShippedPeakGoalMb));
      ours[basic] = t.seconds;
    }
    rows.push_back(row);
  }

  for (const TTool& tool : Tools()) {
    if (std::find(options.tools.begin(), options.tools.end(), tool.name) == options.tools.end())
      continue;
    if (kind != TLogKind::kCombined && !tool.every_kind) continue;
    // analog is the peer of the goal verdict.
    TBenchRow row = Row(measurement, tool.name, log, options.lines, kind,
                        std::string(tool.name) == "analog" ? "peer" : "");
    if (FindProgram(tool.name).empty()) {
      row.verdict = "not installed";
      row.not_installed = true;
      rows.push_back(row);
      continue;
    }
    std::cerr << "  " << tool.name << " ...\n";
    const std::string absolute_log = std::filesystem::absolute(log).string();
    const TTiming t = Time(
        options, measurement + size + "-" + tool.name,
        [&](const std::string& folder, TChildResult& result, std::string& note) -> std::string {
          TChildRequest request;
          request.argv = tool.command(absolute_log, kind, folder);
          request.cwd = folder;
          request.output_path = folder + "console.txt";
          result = RunChild(request);
          if (!result.ok()) return std::string(tool.name) + " " + result.Failure();
          std::string console;
          ReadText(request.output_path, console);
          const int64_t counted = tool.counted(folder, console);
          if (counted < 0) return std::string(tool.name) + " wrote no result it could be checked by";
          // Tools drop lines they find odd; most must have been read.
          if (counted < options.lines * 9 / 10)
            return std::string(tool.name) + " read only " + std::to_string(counted) + " lines";
          note = "counted " + std::to_string(counted);
          return "";
        });
    if (!t.ok) {
      row.verdict = "FAILED: " + t.problem;
      ok = false;
    } else {
      row.seconds = t.seconds;
      row.peak_mb = t.peak_mb;
      char text[160];
      // The direction of the verdict's ratios: above 1 when we are faster.
      std::snprintf(text, sizeof text, "theirs/ours: shipped %.2f, basic %.2f (%s)",
                    ours[0] > 0 ? t.seconds / ours[0] : 0.0,
                    ours[1] > 0 ? t.seconds / ours[1] : 0.0, t.note.c_str());
      row.verdict = text;
    }
    rows.push_back(row);
  }
  return ok;
}

// The first `lines` lines of `log` (CR LF ended) into `prefix`.
bool WritePrefix(const std::string& log, int64_t lines, const std::string& prefix) {
  std::ifstream in(log, std::ios::binary);
  std::ofstream out(prefix, std::ios::binary | std::ios::trunc);
  std::string line;
  for (int64_t i = 0; i < lines && std::getline(in, line); ++i) out << line << '\n';
  return in && static_cast<bool>(out.flush());
}

// The sum of the counts the preloaded counter appended to `path` (one line
// a process), -1 when there is none.
int64_t AllocationCount(const std::string& path) {
  std::string text;
  if (!ReadText(path, text) || text.empty()) return -1;
  std::istringstream lines(text);
  int64_t total = 0, pid = 0, count = 0;
  while (lines >> pid >> count) total += count;
  return total;
}

// Heap allocations per line after the first kAllocationBase lines: the
// counted allocations of a whole run over the combined log less those of a
// run over its first kAllocationBase lines, over the lines between. Both
// runs write their reports, so the figure also holds what the larger report
// data costs; the program has no counter of its own for the pass alone.
constexpr int64_t kAllocationBase = 100000;

bool Allocations(const TBenchOptions& options, std::vector<TBenchRow>& rows) {
  const std::string program_folder = OwnFolder();
  const std::string counter = program_folder + "trelvar-bench-allocs.so";
  const std::string size = "-" + std::to_string(options.lines);
  bool ok = true;
  for (int basic = 0; basic < 2; ++basic) {
    TBenchRow row;
    row.measurement = "allocations";
    row.subject = basic != 0 ? "trelvar, 1 basic report" : "trelvar, shipped reports";
    row.items = options.lines;
    row.throughput = true;
    auto fail = [&](const std::string& problem) {
      row.verdict = "FAILED: " + problem;
      rows.push_back(row);
      ok = false;
    };
    if (options.lines <= kAllocationBase) {
      fail("needs --lines above " + std::to_string(kAllocationBase));
      continue;
    }
    if (!std::filesystem::exists(counter)) {
      fail("no " + counter + " (build the target trelvar-bench-allocs)");
      continue;
    }
    const std::string log = GeneratedLog(options, TLogKind::kCombined);
    if (log.empty()) return false;
    row.size_mb = FileMb(log);
    const std::string prefix = log + ".first" + std::to_string(kAllocationBase);
    if (!std::filesystem::exists(prefix) && !WritePrefix(log, kAllocationBase, prefix)) {
      fail("cannot write " + prefix);
      continue;
    }
    int64_t counts[2] = {-1, -1};  // the first lines, the whole log
    TTiming whole;
    for (int part = 0; part < 2; ++part) {
      const std::string path = part == 0 ? prefix : log;
      const int64_t lines = part == 0 ? kAllocationBase : options.lines;
      TBenchOptions once = options;
      once.repeat = 1;
      const std::string tag = "allocations" + size + (basic != 0 ? "-basic-" : "-shipped-") +
                              std::to_string(lines);
      const TTiming t = Time(
          once, tag, [&](const std::string& folder, TChildResult& result, std::string& note) {
            const std::string count_file = folder + "allocations.txt";
            std::string problem = RunTrelvar(
                program_folder, path, lines, basic == 0, false, folder, result, note,
                {{"LD_PRELOAD", counter}, {"TRELVAR_BENCH_ALLOC_FILE", count_file}});
            if (problem.empty()) counts[part] = AllocationCount(count_file);
            if (problem.empty() && counts[part] < 0)
              problem = "the allocation counter wrote nothing";
            return problem;
          });
      if (!t.ok) {
        fail(t.problem);
        break;
      }
      if (part == 1) whole = t;
    }
    if (counts[0] < 0 || counts[1] < 0) continue;
    row.seconds = whole.seconds;  // with the counter in the way
    row.peak_mb = whole.peak_mb;
    char text[200];
    std::snprintf(text, sizeof text,
                  "%.2f allocations per line after the first %lld (%lld in all, %lld for the "
                  "first %lld)",
                  static_cast<double>(counts[1] - counts[0]) /
                      static_cast<double>(options.lines - kAllocationBase),
                  static_cast<long long>(kAllocationBase), static_cast<long long>(counts[1]),
                  static_cast<long long>(counts[0]), static_cast<long long>(kAllocationBase));
    row.verdict = text;
    rows.push_back(row);
  }
  return ok;
}

// The combined log with a URL of its own on every line: "/u<line>" goes
// before each request's path.
std::string DistinctUrlLog(const TBenchOptions& options) {
  const std::string plain = GeneratedLog(options, TLogKind::kCombined);
  if (plain.empty()) return "";
  const std::string path = options.work_dir + "analysis-distinct-" +
                           std::to_string(options.lines) + ".log";
  if (std::filesystem::exists(path)) return path;
  std::cerr << "writing " << path << " ...\n";
  std::ifstream in(plain, std::ios::binary);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string line;
  for (int64_t n = 0; std::getline(in, line); ++n) {
    const size_t request = line.find('"');
    const size_t blank = request == std::string::npos ? request : line.find(' ', request);
    if (blank != std::string::npos) line.insert(blank + 1, "/u" + std::to_string(n));
    out << line << '\n';
  }
  if (!in.eof() || !out.flush()) {
    std::cerr << "cannot write " << path << "\n";
    return "";
  }
  return path;
}

// Approximate analysis with a distinct URL on every line: its memory must
// stay flat as the log grows (the tolerance bounds the rows each report
// keeps), where the exact analysis grows with the URLs.
bool Approximate(const TBenchOptions& options, std::vector<TBenchRow>& rows) {
  const std::string program_folder = OwnFolder();
  struct TRun {
    int64_t lines;
    bool approximate;
  };
  const int64_t quarter = std::max<int64_t>(options.lines / 4, 1);
  const TRun runs[] = {{quarter, true}, {options.lines, true}, {options.lines, false}};
  double approximate_peak[2] = {0, 0};
  bool ok = true;
  for (const TRun& r : runs) {
    TBenchOptions sized = options;
    sized.lines = r.lines;
    const std::string log = DistinctUrlLog(sized);
    if (log.empty()) return false;
    const char* subject = r.approximate ? "trelvar, shipped, approximate" : "trelvar, shipped, exact";
    std::cerr << "  " << subject << ", " << r.lines << " distinct URLs ...\n";
    const TTiming t = Time(
        sized, "approximate-" + std::to_string(r.lines) + (r.approximate ? "-on" : "-off"),
        [&](const std::string& folder, TChildResult& result, std::string& note) {
          return RunTrelvar(program_folder, log, r.lines, true, false, folder, result, note, {},
                            r.approximate ? "ApproximateAnalysis=-1\r\n" : "");
        });
    TBenchRow row = Row("analysis-approximate", subject, log, r.lines, TLogKind::kCombined, "");
    if (!t.ok) {
      row.verdict = "FAILED: " + t.problem;
      ok = false;
    } else {
      row.seconds = t.seconds;
      row.peak_mb = t.peak_mb;
      if (r.approximate) approximate_peak[r.lines == options.lines ? 1 : 0] = t.peak_mb;
      char text[160];
      if (r.approximate && r.lines == options.lines && approximate_peak[0] > 0)
        std::snprintf(text, sizeof text, "peak %.2fx that of %lld lines (flat: near 1)",
                      t.peak_mb / approximate_peak[0], static_cast<long long>(quarter));
      else
        std::snprintf(text, sizeof text, "%s", t.note.c_str());
      row.verdict = text;
    }
    rows.push_back(row);
  }
  return ok;
}

const TRegisterMeasurement kCombined(
    {"analysis",
     "trelvar -console over a generated combined log (shipped reports, one basic report) vs "
     "analog, webalizer, goaccess",
     [](const TBenchOptions& o, std::vector<TBenchRow>& rows) {
       return Analysis(o, rows, TLogKind::kCombined);
     },
     true});

const TRegisterMeasurement kW3c(
    {"analysis-w3c",
     "trelvar -console over a generated IIS W3C log, its format recognised from the header, vs "
     "analog",
     [](const TBenchOptions& o, std::vector<TBenchRow>& rows) {
       return Analysis(o, rows, TLogKind::kW3c);
     },
     true});

const TRegisterMeasurement kGzip(
    {"analysis-gzip",
     "trelvar -console over the generated combined log gzip-compressed vs analog and the floor "
     "zcat | wc -l",
     [](const TBenchOptions& o, std::vector<TBenchRow>& rows) {
       return Analysis(o, rows, TLogKind::kGzip);
     },
     true});

const TRegisterMeasurement kApproximate(
    {"analysis-approximate",
     "trelvar -console with the shipped reports over the combined log with a distinct URL on "
     "every line: approximate analysis at a quarter and all of the lines, exact at all",
     Approximate});

const TRegisterMeasurement kAllocations(
    {"allocations",
     "heap allocations per line of trelvar -console after the first 100000 lines of the combined "
     "log (counted by the preloaded trelvar-bench-allocs.so)",
     Allocations});

}  // namespace

}  // namespace bench
