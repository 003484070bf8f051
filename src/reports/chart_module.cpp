#include "reports/chart_module.h"

#include "piechart/cirvex.h"
#include "platform/files.h"
#include "platform/shared_library.h"

namespace trelvar {

namespace {

class TLoadedPieModule : public TPieChartSource {
 public:
  TLoadedPieModule(std::unique_ptr<platform::TSharedLibrary> library,
                   TCreateCircleChartImage create, TDestroyChartImage destroy)
      : library_(std::move(library)), create_(create), destroy_(destroy) {}

  bool Render(const std::string& text, std::string& bmp) override {
    uint8_t* image = nullptr;
    int32_t size = 0;
    create_(text.c_str(), &image, &size);
    if (!image) return false;
    if (size > 0) bmp.assign(reinterpret_cast<const char*>(image), static_cast<size_t>(size));
    destroy_(image);
    return size > 0;
  }

 private:
  std::unique_ptr<platform::TSharedLibrary> library_;
  TCreateCircleChartImage create_;
  TDestroyChartImage destroy_;
};

}  // namespace

std::unique_ptr<TPieChartSource> LoadPieChartModule(const std::string& path) {
  if (!platform::IsRegularFile(path)) return nullptr;
  std::unique_ptr<platform::TSharedLibrary> library = platform::TSharedLibrary::Load(path);
  if (!library) return nullptr;
  auto create = reinterpret_cast<TCreateCircleChartImage>(library->Symbol("CreateCircleChartImage"));
  auto destroy = reinterpret_cast<TDestroyChartImage>(library->Symbol("DestroyChartImage"));
  if (!create || !destroy) return nullptr;
  return std::make_unique<TLoadedPieModule>(std::move(library), create, destroy);
}

}  // namespace trelvar
