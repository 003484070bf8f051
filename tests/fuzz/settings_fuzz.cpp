// Fuzz target: the readers of the settings files. Every input is read as
//  - an INI document (the language files' reader), looked up with the
//    first section and key the text names and a few fixed ones;
//  - main.ini, gui.ini and websites.ini, each from a file holding the
//    input.
// A settings text read completely must survive a write and a second read:
// writing it again gives the same text, or a value was lost on the way.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/ini_document.h"
#include "config/folders.h"
#include "config/gui_settings.h"
#include "config/main_settings.h"
#include "fuzz_support.h"
#include "platform/files.h"
#include "sites/log_formats.h"
#include "sites/sites_registry.h"

namespace trelvar {
namespace {

struct TWorld {
  TFolders folders{fuzz::TempFolder() + "prog/", fuzz::TempFolder() + "data/"};
  std::string input_path = folders.Data() + "input.ini";

  TWorld() {
    fuzz::SilenceOutput();
    platform::ForceFolders(folders.Data());
    // The settings objects read these when they are made; empty files keep
    // every default.
    fuzz::WriteBytes(folders.Data() + "main.ini", "");
    fuzz::WriteBytes(folders.Data() + "gui.ini", "");
  }
};

void CheckSame(const std::string& what, const std::string& first, const std::string& second) {
  if (first != second)
    fuzz::Fail(what + " changed when read back:\n--- written\n" + first + "\n--- rewritten\n" + second);
}

// The text between the first "[" and the "]" after it, and the key of the
// first "=" line after that.
void NamesIn(std::string_view text, std::string& section, std::string& key) {
  const size_t open = text.find('[');
  const size_t close = open == std::string_view::npos ? open : text.find(']', open);
  if (close == std::string_view::npos) return;
  section = text.substr(open + 1, close - open - 1);
  const size_t eq = text.find('=', close);
  if (eq == std::string_view::npos) return;
  const size_t line = text.find_last_of("\r\n", eq);
  const size_t begin = line == std::string_view::npos || line < close ? close + 1 : line + 1;
  key = text.substr(begin, eq - begin);
}

void ReadIni(const TWorld& world, std::string_view text) {
  const TIniDocument doc(world.input_path);
  std::string section, key;
  NamesIn(text, section, key);
  for (const std::string& s : {section, std::string("Strings"), std::string("")}) {
    (void)doc.HasSection(s);
    for (const std::string& k : {key, std::string("LanguageName"), std::string("245")}) {
      (void)doc.ReadString(s, k, "fallback");
      (void)doc.ReadInteger(s, k, 7);
      (void)doc.ReadBool(s, k, true);
    }
  }
  (void)doc.SectionCount();
}

void ReadMainSettings(const TWorld& world) {
  TLogFmts formats;
  TMainSettings settings(world.folders, formats, nullptr);
  try {
    settings.Load(world.input_path);
  } catch (const EConvertError&) {
    return;  // a strict value that does not convert ends the reading by design
  }
  const std::string written = settings.SaveToText();
  TLogFmts formats_again;
  TMainSettings again(world.folders, formats_again, nullptr);
  try {
    again.LoadFromText(written);
  } catch (const EConvertError& e) {
    fuzz::Fail("main.ini as written does not read back: " + e.Message() + "\n" + written);
  }
  CheckSame("main.ini", written, again.SaveToText());
}

void ReadGuiSettings(const TWorld& world) {
  TGUISettings settings(world.folders);
  try {
    settings.Load(world.input_path);
  } catch (const EConvertError&) {
    return;
  }
  const std::string written = settings.SaveToText();
  TGUISettings again(world.folders);
  try {
    again.LoadFromText(written);
  } catch (const EConvertError& e) {
    fuzz::Fail("gui.ini as written does not read back: " + e.Message() + "\n" + written);
  }
  CheckSame("gui.ini", written, again.SaveToText());
}

void ReadSites(const TWorld& world) {
  TWS sites(world.folders);
  try {
    sites.LoadFromFile(world.input_path);
  } catch (const EConvertError&) {
    return;  // a filter that does not convert: the registry is incomplete
  }
  const std::string written = sites.SaveToText();
  TWS again(world.folders);
  try {
    again.LoadFromText(written);
  } catch (const EConvertError& e) {
    fuzz::Fail("websites.ini as written does not read back: " + e.Message() + "\n" + written);
  }
  CheckSame("websites.ini", written, again.SaveToText());
}

}  // namespace
}  // namespace trelvar

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static TWorld world;
  const std::string_view text = fuzz::AsText(data, size);
  fuzz::WriteBytes(world.input_path, text);
  ReadIni(world, text);
  ReadMainSettings(world);
  ReadGuiSettings(world);
  ReadSites(world);
  return 0;
}
