// trelvar-chart: draws chart images outside an analysis, to look at them.
//
//   trelvar-chart module SETTINGS.txt OUT.bmp
//       the pie-chart module's BMP for a settings-and-items text (the module
//       is bound from beside this tool, as the program binds it)
//   trelvar-chart chart [--no-module] [--single] [--png] KIND TITLE OUTDIR
//                 [LABEL=VALUE | trend:LABEL=VALUE]...
//       the chart service's GIF in OUTDIR; --png adds a PNG copy of it
#include <gd.h>

#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/errors.h"
#include "platform/files.h"
#include "platform/system.h"
#include "reports/chart_module.h"
#include "reports/chart_service.h"

namespace {

using namespace trelvar;

int Usage() {
  std::cerr << "usage: trelvar-chart module SETTINGS.txt OUT.bmp\n"
               "       trelvar-chart chart [--no-module] [--single] [--png] KIND TITLE OUTDIR\n"
               "                     [LABEL=VALUE | trend:LABEL=VALUE]...\n";
  return 2;
}

int RunModule(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage();
  const std::string module_path = platform::ProgramFolder() + "cirvex.so";
  std::unique_ptr<TPieChartSource> module = LoadPieChartModule(module_path);
  if (!module) {
    std::cerr << "cannot bind " << module_path << "\n";
    return 1;
  }
  std::string text, bmp;
  if (!platform::ReadWholeFile(args[0], text)) {
    std::cerr << CannotOpenFileMessage(args[0]) << "\n";
    return 1;
  }
  if (!module->Render(text, bmp) || !platform::WriteNewFile(args[1], bmp, 0644)) {
    std::cerr << CannotCreateFileMessage(args[1]) << "\n";
    return 1;
  }
  std::cout << args[1] << ": " << bmp.size() << " bytes\n";
  return 0;
}

bool WritePngCopy(const std::string& gif_path) {
  std::string gif;
  if (!platform::ReadWholeFile(gif_path, gif)) return false;
  gdImagePtr im = gdImageCreateFromGifPtr(static_cast<int>(gif.size()), gif.data());
  if (!im) return false;
  int size = 0;
  void* png = gdImagePngPtr(im, &size);
  gdImageDestroy(im);
  if (!png) return false;
  const std::string png_path = gif_path.substr(0, gif_path.size() - 4) + ".png";
  const bool ok = platform::WriteNewFile(
      png_path, std::string(static_cast<const char*>(png), static_cast<size_t>(size)), 0644);
  gdFree(png);
  if (ok) std::cout << png_path << "\n";
  return ok;
}

int RunChart(std::vector<std::string> args) {
  bool use_module = true, single = false, png = false;
  while (!args.empty() && args.front().rfind("--", 0) == 0) {
    if (args.front() == "--no-module") use_module = false;
    else if (args.front() == "--single") single = true;
    else if (args.front() == "--png") png = true;
    else return Usage();
    args.erase(args.begin());
  }
  if (args.size() < 3) return Usage();
  std::mt19937_64 random(platform::RunSeed());
  auto service = use_module
                     ? std::make_unique<TfrmTempChart>(platform::ProgramFolder(), random)
                     : std::make_unique<TfrmTempChart>(nullptr, random);
  TfrmTempChart& chart = *service;
  chart.SetOutputFolder(args[2]);

  struct TPair {
    bool trend;
    std::string label;
    double value;
  };
  std::vector<TPair> pairs;
  int main_points = 0;
  for (size_t i = 3; i < args.size(); ++i) {
    std::string item = args[i];
    const bool trend = item.rfind("trend:", 0) == 0;
    if (trend) item.erase(0, 6);
    const size_t eq = item.rfind('=');
    if (eq == std::string::npos) return Usage();
    pairs.push_back({trend, item.substr(0, eq), std::stod(item.substr(eq + 1))});
    if (!trend) ++main_points;
  }
  try {
    chart.BeginChart(args[1], args[0], single, main_points);
    for (const TPair& p : pairs)
      if (p.trend)
        chart.AddTrendPoint(p.label, p.value);
      else
        chart.AddChartPoint(p.label, p.value);
    std::cout << (chart.ModulePresent() ? "module bound\n" : "built-in pies\n");
    std::cout << chart.FinishChart() << "\n";
  } catch (const Exception& e) {
    std::cerr << e.Message() << " " << e.ClassName() << "\n";
    return 1;
  }
  if (png) {
    std::string name = args[1];
    for (char& c : name)
      if (c == ' ' || c == '/') c = '_';
    if (!WritePngCopy(chart.OutputFolder() + name + ".gif")) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "module") return RunModule(args);
  if (command == "chart") return RunChart(args);
  return Usage();
}
