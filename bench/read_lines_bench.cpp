// Line reading: TFileChooser::ReadLine over a plain and a gzip sample log,
// against `wc -l` and `zcat FILE | wc -l` on the same file.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench_registry.h"
#include "config/folders.h"
#include "log_generator.h"
#include "logread/file_chooser.h"

namespace bench {

namespace {

// The given sample of `kind`, or one made in the work folder (once a run).
std::string SampleFile(const TBenchOptions& options, const std::string& kind) {
  auto given = options.files.find(kind);
  if (given != options.files.end()) return given->second;
  const bool gzip = kind == "gzip";
  const std::string path = options.work_dir + (gzip ? "sample.log.gz" : "sample.log");
  if (std::filesystem::exists(path)) return path;
  std::cerr << "writing " << options.size_mb << " MB of log lines to " << path << " ...\n";
  if (WriteSampleLog(path, options.size_mb * 1024 * 1024, gzip) < 0) {
    std::cerr << "cannot write " << path << "\n";
    return "";
  }
  return path;
}

// Non-empty lines of `path` through the chooser; the fast form reuses one
// string, the other returns a new one per line.
int64_t CountLines(const std::string& path, bool fast_form) {
  trelvar::TFileChooser chooser(trelvar::TFolders("/", "/"));
  chooser.SetLogPath(path);
  chooser.StartFiles();
  int64_t count = 0;
  std::string line;
  while (!chooser.AllDone()) {
    if (fast_form) {
      chooser.ReadLine(line);
      if (!line.empty()) ++count;
    } else {
      if (!chooser.ReadLine().empty()) ++count;
    }
  }
  return count;
}

bool ReadLines(const TBenchOptions& options, std::vector<TBenchRow>& rows,
               const std::string& kind, const std::string& measurement) {
  const std::string path = SampleFile(options, kind);
  if (path.empty()) return false;
  const bool gzip = kind == "gzip";
  const std::string reference =
      gzip ? "zcat " + ShellQuote(path) + " | wc -l" : "wc -l < " + ShellQuote(path);

  std::string reference_out;
  const double reference_seconds =
      BestOf(options.repeat, [&] { reference_out = RunCommand(reference); });
  const int64_t reference_lines = std::atoll(reference_out.c_str());

  bool ok = true;
  for (bool fast : {true, false}) {
    int64_t lines = 0;
    const double seconds = BestOf(options.repeat, [&] { lines = CountLines(path, fast); });
    if (lines != reference_lines) {
      std::cerr << measurement << ": " << lines << " lines read, the reference counts "
                << reference_lines << "\n";
      ok = false;
    }
    TBenchRow row;
    row.measurement = measurement;
    row.subject = fast ? "ReadLine(std::string&)" : "ReadLine() by value";
    row.size_mb = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    row.items = lines;
    row.seconds = seconds;
    row.reference = gzip ? "zcat | wc -l" : "wc -l";
    row.reference_seconds = reference_seconds;
    row.goal_ratio = fast ? (gzip ? 1.5 : 2.0) : 0;
    rows.push_back(row);
  }
  return ok;
}

const TRegisterMeasurement kPlain({"read-plain",
                                   "plain log lines through TFileChooser::ReadLine vs wc -l",
                                   [](const TBenchOptions& o, std::vector<TBenchRow>& rows) {
                                     return ReadLines(o, rows, "plain", "read-plain");
                                   }});

const TRegisterMeasurement kGzip({"read-gzip",
                                  "gzip log lines through TFileChooser::ReadLine vs zcat | wc -l",
                                  [](const TBenchOptions& o, std::vector<TBenchRow>& rows) {
                                    return ReadLines(o, rows, "gzip", "read-gzip");
                                  }});

}  // namespace

}  // namespace bench
