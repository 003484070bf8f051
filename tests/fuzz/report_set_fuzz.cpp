// Fuzz target: the reader of report definitions (reports.ini and the
// sites' own report files). The input is the file's text. A text read
// without error is written, read again and written again: both writings
// must be the same, or the definitions do not survive a save.
#include <cstdint>
#include <memory>
#include <string>

#include "base/errors.h"
#include "fuzz_support.h"
#include "platform/files.h"
#include "reports/run_context.h"

namespace trelvar {
namespace {

struct TWorld {
  TRunContext app{TFolders(fuzz::TempFolder() + "prog/", fuzz::TempFolder() + "data/")};
  std::unique_ptr<TRepParser> first, second;

  TWorld() {
    fuzz::SilenceOutput();
    platform::ForceFolders(app.folders.Data());
    fuzz::WriteBytes(app.folders.Data() + "main.ini", "");
    app.formats = std::make_unique<TLogFmts>();
    app.settings = std::make_unique<TMainSettings>(app.folders, *app.formats, nullptr);
    first = std::make_unique<TRepParser>(app);
    second = std::make_unique<TRepParser>(app);
  }
};

}  // namespace
}  // namespace trelvar

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static TWorld world;
  TRepParser& set = *world.first;
  set.Clear();
  try {
    set.LoadFromText(std::string(fuzz::AsText(data, size)));
  } catch (const EConvertError&) {
    return 0;  // a value that does not convert ends the reading by design
  }
  const std::string written = set.SaveToText();
  TRepParser& again = *world.second;
  again.Clear();
  try {
    again.LoadFromText(written);
  } catch (const EConvertError& e) {
    fuzz::Fail("report definitions as written do not read back: " + e.Message() + "\n" + written);
  }
  const std::string rewritten = again.SaveToText();
  if (rewritten != written)
    fuzz::Fail("report definitions changed when read back:\n--- written\n" + written +
               "\n--- rewritten\n" + rewritten);
  return 0;
}
