// The walls between the folders of src/: a file includes only its own
// folder and the folders below it, and only src/ui/ includes Qt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace trelvar {
namespace {

// The layers, lowest first. The developer tools stand where the program
// entry stands; the pie-chart module stands apart and includes only itself.
const std::map<std::string, int> kLayers = {
    {"platform", 0}, {"base", 1},       {"config", 2}, {"sites", 3},    {"logread", 4},
    {"reports", 5},  {"automation", 6}, {"app", 7},    {"devtools", 7}, {"ui", 8},
};

// Why `folder`'s file may not include `line`, or nothing when it may.
std::optional<std::string> Forbidden(const std::string& folder, const std::string& line) {
  static const std::regex kProject(R"(^\s*#\s*include\s*"([A-Za-z_]+)/[^"]*")");
  static const std::regex kQt(R"(^\s*#\s*include\s*<(Q[A-Z]\w*|Qt\w*)(/[^>]*)?>)");
  std::smatch m;
  if (std::regex_search(line, kQt) && folder != "ui") return "Qt outside src/ui/";
  if (!std::regex_search(line, m, kProject)) return std::nullopt;
  const std::string target = m[1];
  if (folder == "piechart" || target == "piechart") {
    // The module links nothing of the program; the program may only use
    // its plain C interface.
    if (folder == target || (target == "piechart" && line.find("piechart/cirvex.h") !=
                                                         std::string::npos))
      return std::nullopt;
    return "the pie-chart module and the program stay apart";
  }
  const auto from = kLayers.find(folder);
  const auto to = kLayers.find(target);
  if (from == kLayers.end()) return "a folder of no known layer: " + folder;
  if (to == kLayers.end()) return "a folder of no known layer: " + target;
  if (to->second > from->second) return target + " stands above " + folder;
  if (to->second == from->second && target != folder) return target + " is not below " + folder;
  return std::nullopt;
}

TEST(Layers, TheRuleItself) {
  struct TCase {
    const char* folder;
    const char* line;
    bool allowed;
  };
  const TCase cases[] = {
      {"base", "#include \"platform/files.h\"", true},
      {"base", "#include \"base/errors.h\"", true},
      {"config", "#include \"app/cmdline.h\"", false},
      {"logread", "#include \"reports/progress.h\"", false},
      {"sites", "#include \"logread/file_parser.h\"", false},
      {"reports", "#include \"logread/line_parser.h\"", true},
      {"app", "#include \"automation/analysis_job.h\"", true},
      {"automation", "#include \"app/run_mode.h\"", false},
      {"devtools", "#include \"app/run_mode.h\"", false},
      {"ui", "#include \"app/run_mode.h\"", true},
      {"reports", "#include \"piechart/cirvex.h\"", true},
      {"reports", "#include \"piechart/pie_image.h\"", false},
      {"piechart", "#include \"base/errors.h\"", false},
      {"piechart", "#include \"piechart/pie_image.h\"", true},
      {"reports", "#include <QString>", false},
      {"app", "#include <QtWidgets/QWidget>", false},
      {"ui", "#include <QMainWindow>", true},
      {"reports", "#include <queue>", true},
      {"reports", "  #  include \"ui/main_window.h\"", false},
      {"gadgets", "#include \"base/errors.h\"", false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(!Forbidden(c.folder, c.line).has_value(), c.allowed) << c.folder << ": " << c.line;
}

TEST(Layers, EveryIncludeOfTheTreeKeepsToTheRule) {
  namespace fs = std::filesystem;
  const fs::path src = fs::path(TRELVAR_SOURCE_DIR) / "src";
  std::vector<std::string> faults;
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    const std::string folder = fs::relative(entry.path(), src).begin()->string();
    std::ifstream in(entry.path());
    std::string line;
    int number = 0;
    ++files;
    while (std::getline(in, line)) {
      ++number;
      if (const auto why = Forbidden(folder, line))
        faults.push_back(fs::relative(entry.path(), src).string() + ":" + std::to_string(number) +
                         ": " + line + "  (" + *why + ")");
    }
  }
  EXPECT_GT(files, 100u);
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  EXPECT_TRUE(faults.empty()) << all;
}

}  // namespace
}  // namespace trelvar
