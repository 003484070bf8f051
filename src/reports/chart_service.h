// TfrmTempChart: the chart service through which reports get their chart
// images. A report starts a chart (title, kind, colour rule, point count),
// adds its labelled values and finishes it; the service writes
// "<title>.gif" into the output folder and returns the HTML that shows it.
//
// Pies go to the pie-chart module cirvex.so when it lies in the program
// folder and binds; otherwise, and for every bar and line chart, the
// service draws with its own renderer through "_temp.bmp" in the output
// folder. Bar charts may carry a second series, and a chart may also be
// saved as a JPEG file of a given name. The service is one process-wide object of the run (TRunContext);
// it owns the bound module, which stays loaded while the service lives, and
// draws point colours from the run's random generator, which must outlive
// it. Writing "_temp.bmp" or the GIF raises EFCreateError
// ("Cannot create file ..."), reading the temporary file back EInOutError.
// Not thread-safe: only the thread that writes the reports calls it.
#pragma once

#include <cstddef>
#include <memory>
#include <random>
#include <string>

#include "reports/chart_module.h"
#include "reports/chart_renderer.h"

namespace trelvar {

class TfrmTempChart {
 public:
  // Binds program_folder + "cirvex.so" (program_folder ends in "/"); an
  // absent or broken module silently means built-in pies.
  TfrmTempChart(const std::string& program_folder, std::mt19937_64& random);
  // With the given pie source; nullptr means built-in pies.
  TfrmTempChart(std::unique_ptr<TPieChartSource> pie_module, std::mt19937_64& random);
  TfrmTempChart(std::nullptr_t, std::mt19937_64& random)
      : TfrmTempChart(std::unique_ptr<TPieChartSource>(), random) {}
  ~TfrmTempChart();
  TfrmTempChart(const TfrmTempChart&) = delete;
  TfrmTempChart& operator=(const TfrmTempChart&) = delete;

  // Where FinishChart writes; a missing final "/" is added.
  void SetOutputFolder(const std::string& folder);
  const std::string& OutputFolder() const { return output_folder_; }
  bool ModulePresent() const { return module_ != nullptr; }

  // kind: "bar", "line" or "pie"; other kinds draw no main series. A "line"
  // of exactly one point becomes "bar".
  void BeginChart(const std::string& title, const std::string& kind, bool single_colour,
                  int point_count);
  void AddChartPoint(const std::string& label, double value);
  // A value of exactly 0 leaves a gap in the trend line at this label.
  void AddTrendPoint(const std::string& label, double value);
  // Writes output folder + file name and returns
  // "<P><IMG SRC=\"" + file name + "\"></P>"; the file name is the title
  // with blanks and "/" turned into "_", followed by ".gif".
  std::string FinishChart();
  // Renders the current chart as a GIF file at `path` (mode 0644, replacing
  // an old file).
  void SaveChartImage(const std::string& path);

  // Bar charts only: a point of a second bar series, drawn in red beside
  // the main bar of the same position.
  void AddSecondBarPoint(const std::string& label, double value);
  // Value marks on the main bars, after BeginChart chose them by its rule.
  void SetBarMarks(bool visible);
  // Writes output folder + file name ("/" turned into "_") as a JPEG file
  // and returns "<P><IMG SRC=\"" + file name + "\"></P>".
  std::string FinishChartJpeg(const std::string& file_name);
  // Renders the current chart as a JPEG file at `path`.
  void SaveChartJpeg(const std::string& path);

  // The chart as it stands (with the module, Picture().main keeps the pie's
  // points only for drawing it without the module, should the module's
  // image be unusable).
  const std::string& Kind() const { return kind_; }
  bool SingleColour() const { return single_colour_; }
  const TChartPicture& Picture() const { return picture_; }
  // The text for the module: five settings lines, then item/value pairs.
  const std::string& ChartSettingsText() const { return settings_text_; }

 private:
  bool ModulePie() const { return kind_ == "pie" && module_; }
  uint32_t PointColour();
  uint32_t RandomColour();
  TRgbImage BuiltInImage();
  TRgbImage ChartImage();

  std::unique_ptr<TPieChartSource> module_;
  std::mt19937_64& random_;
  std::string output_folder_;

  std::string kind_;
  int point_count_ = 0;
  bool single_colour_ = false;
  TChartPicture picture_;
  std::string settings_text_;
};

}  // namespace trelvar
