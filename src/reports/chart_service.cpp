#include "reports/chart_service.h"

#include "base/errors.h"
#include "platform/files.h"
#include "reports/chart_text.h"
#include "reports/image_bmp.h"
#include "reports/image_gif.h"
#include "reports/image_jpeg.h"
#include "reports/report_text.h"

namespace trelvar {

namespace {

constexpr uint32_t kBlue = 0xFF0000;  // blue-green-red order
constexpr uint32_t kRed = 0x0000FF;
constexpr unsigned kImageMode = 0644;  // a web server must be able to read it

constexpr const char* kModuleSettings =
    "chart_width=300\r\nchart_height=200\r\naxis_ratio=1.5\r\nthickness_ratio=0.1\r\n"
    "legend_show_percent=1\r\n";

void WriteOrFail(const std::string& path, const std::string& bytes) {
  if (!platform::WriteNewFile(path, bytes, kImageMode, false))
    throw EFCreateError(CannotCreateFileMessage(path));
}

}  // namespace

TfrmTempChart::TfrmTempChart(const std::string& program_folder, std::mt19937_64& random)
    : TfrmTempChart(LoadPieChartModule(program_folder + "cirvex.so"), random) {}

TfrmTempChart::TfrmTempChart(std::unique_ptr<TPieChartSource> pie_module,
                             std::mt19937_64& random)
    : module_(std::move(pie_module)), random_(random) {}

TfrmTempChart::~TfrmTempChart() = default;

void TfrmTempChart::SetOutputFolder(const std::string& folder) {
  output_folder_ = folder;
  if (!output_folder_.empty() && output_folder_.back() != '/') output_folder_ += '/';
}

void TfrmTempChart::BeginChart(const std::string& title, const std::string& kind,
                               bool single_colour, int point_count) {
  kind_ = kind;
  point_count_ = point_count;
  if (point_count == 1 && kind_ == "line") kind_ = "bar";
  single_colour_ = single_colour;
  picture_ = TChartPicture{};
  picture_.title = title;
  settings_text_.clear();

  if (kind_ == "bar") {
    picture_.kind = TChartKind::Bar;
    picture_.marks = !single_colour_ && point_count_ > 1;
  } else if (kind_ == "pie" && module_) {
    settings_text_ = kModuleSettings;
  } else if (kind_ == "pie") {
    picture_.kind = TChartKind::Pie;
    single_colour_ = false;
  } else if (kind_ == "line") {
    picture_.kind = TChartKind::Line;
  }
}

uint32_t TfrmTempChart::PointColour() {
  if (single_colour_) return kBlue;
  return RandomColour();
}

uint32_t TfrmTempChart::RandomColour() {
  return std::uniform_int_distribution<uint32_t>(0, kBlue - 1)(random_);
}

void TfrmTempChart::AddChartPoint(const std::string& label, double value) {
  if (ModulePie()) {
    settings_text_ +=
        "item=" + ModuleLabel(label) + "\r\nvalue=" + ChartNumber(value) + "\r\n";
    // Kept for the built-in pie, should the module give no usable image.
    picture_.main.push_back(TChartPoint{label, value, RandomColour(), false});
    return;
  }
  const uint32_t colour = PointColour();
  if (picture_.kind != TChartKind::None) {
    picture_.main.push_back(TChartPoint{label, value, colour, false});
  }
}

void TfrmTempChart::AddTrendPoint(const std::string& label, double value) {
  picture_.trend.push_back(TChartPoint{label, value, kRed, value == 0});
}

std::string TfrmTempChart::FinishChart() {
  const std::string file_name = ChartFileName(picture_.title);
  SaveChartImage(output_folder_ + file_name);
  return ChartImageParagraph(file_name);
}

TRgbImage TfrmTempChart::BuiltInImage() {
  // The drawing goes through a BMP file in the output folder and is read
  // back from there; the file stays and the next chart overwrites it.
  TChartPicture picture = picture_;
  if (ModulePie()) picture.kind = TChartKind::Pie;  // the module failed us
  const std::string temp_path = output_folder_ + "_temp.bmp";
  WriteOrFail(temp_path, EncodeBmp(RenderChart(picture)));
  std::string bytes;
  TRgbImage image;
  if (!platform::ReadWholeFile(temp_path, bytes) || !DecodeBmp(bytes, image))
    throw EInOutError(CannotOpenFileMessage(temp_path));
  return image;
}

TRgbImage TfrmTempChart::ChartImage() {
  TRgbImage image;
  bool have_image = false;
  if (ModulePie()) {
    std::string bmp;
    have_image = module_->Render(settings_text_, bmp) && DecodeBmp(bmp, image);
  }
  if (!have_image) image = BuiltInImage();
  return image;
}

void TfrmTempChart::AddSecondBarPoint(const std::string& label, double value) {
  if (picture_.kind == TChartKind::Bar)
    picture_.second.push_back(TChartPoint{label, value, kRed, false});
}

void TfrmTempChart::SetBarMarks(bool visible) {
  if (picture_.kind == TChartKind::Bar) picture_.marks = visible;
}

std::string TfrmTempChart::FinishChartJpeg(const std::string& file_name) {
  const std::string safe = SafeFileName(file_name);
  SaveChartJpeg(output_folder_ + safe);
  return ChartImageParagraph(safe);
}

void TfrmTempChart::SaveChartJpeg(const std::string& path) {
  const TRgbImage image = ChartImage();
  std::string jpeg;
  if (!EncodeJpeg(image, jpeg)) throw EFCreateError(CannotCreateFileMessage(path));
  WriteOrFail(path, jpeg);
}

void TfrmTempChart::SaveChartImage(const std::string& path) {
  const TRgbImage image = ChartImage();
  std::string gif;
  if (!EncodeGif(image, gif)) throw EFCreateError(CannotCreateFileMessage(path));
  WriteOrFail(path, gif);
}

}  // namespace trelvar
