// Fuzz target: the analysis cache loader, into the shipped report set.
//
// Input: a 2-byte little-endian length N, then the index file (the first N
// bytes that follow, or all of them when fewer), then the data file (the
// rest). Both are written into the data folder's "Cache" folder and loaded
// as an incremental analysis without period or approximation would load
// them; the stored line times are then printed as the pages print them.
// A cache that loads must save, and what is saved must load and save to
// the same bytes again.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/safe_file.h"
#include "fuzz_support.h"
#include "platform/files.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"
#include "reports/run_context.h"

namespace trelvar {
namespace {

constexpr int kTolerance = 100;

struct TWorld {
  TRunContext app{TFolders(fuzz::TempFolder() + "prog/", fuzz::TempFolder() + "data/")};
  std::string shipped_reports = fuzz::ShippedFile("reports.ini");
  std::string path = app.folders.Data() + "Cache/Fuzzed.cache";
  std::string saved_path = app.folders.Data() + "Cache/Saved.cache";

  TWorld() {
    fuzz::SilenceOutput();
    platform::ForceFolders(app.folders.Data() + "Cache/");
    fuzz::WriteBytes(app.folders.Data() + "main.ini", "");
    app.formats = std::make_unique<TLogFmts>();
    app.settings = std::make_unique<TMainSettings>(app.folders, *app.formats, nullptr);
    app.report_set = std::make_unique<TRepParser>(app);
  }

  // The shipped set with no data, as an analysis starts.
  TRepParser& FreshSet() {
    TRepParser& set = *app.report_set;
    set.Clear();
    set.LoadFromText(shipped_reports);
    if (set.reports.empty()) fuzz::Fail("the shipped reports.ini holds no report");
    return set;
  }
};

TCacheHeader Settings() {
  TCacheHeader header;
  header.tolerance = kTolerance;
  return header;
}

bool Load(const std::string& path, TRepParser& set, TReportsCache& cache) {
  return cache.Load(path, set.reports, Settings());
}

bool Save(const std::string& path, TRepParser& set, const TReportsCache& loaded) {
  TCacheHeader header = Settings();
  header.first_line_time = loaded.Stored().first_line_time;
  header.last_line_time = loaded.Stored().last_line_time;
  TReportsCache cache;
  return cache.Save(path, set.reports, header);
}

}  // namespace
}  // namespace trelvar

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static TWorld world;
  const std::string_view input = fuzz::AsText(data, size);
  size_t index_size = size >= 2 ? data[0] | (data[1] << 8) : 0;
  const std::string_view rest = input.substr(size >= 2 ? 2 : size);
  if (index_size > rest.size()) index_size = rest.size();
  fuzz::WriteBytes(world.path + "_", rest.substr(0, index_size));
  fuzz::WriteBytes(world.path, rest.substr(index_size));

  TRepParser& set = world.FreshSet();
  TReportsCache cache;
  if (!Load(world.path, set, cache)) return 0;
  // The time range line of the details page.
  (void)DateTimeText(cache.Stored().first_line_time);
  (void)DateTimeText(cache.Stored().last_line_time);

  if (!Save(world.saved_path, set, cache)) fuzz::Fail("a loaded cache could not be saved");
  const std::string saved = ReadFileText(world.saved_path);
  TRepParser& again = world.FreshSet();
  TReportsCache reloaded;
  if (!Load(world.saved_path, again, reloaded)) fuzz::Fail("a saved cache does not load");
  if (!Save(world.saved_path, again, reloaded)) fuzz::Fail("a reloaded cache could not be saved");
  if (ReadFileText(world.saved_path) != saved)
    fuzz::Fail("a saved cache changed when loaded and saved again");
  return 0;
}
