#include "logread/format_recognition.h"

#include <memory>

#include "base/run_control.h"
#include "config/translator.h"
#include "logread/file_parser.h"
#include "platform/files.h"
#include "sites/log_formats.h"

namespace trelvar {

std::string RecognizeLogFile(TLogFmts& formats, const std::string& path, bool show, bool console) {
  std::string result;
  try {
    if (!platform::IsRegularFile(path)) {
      if (show)
        RunControl().ShowError(Translate(267, "Your log file") + "\n\n" + path + "\n\n" +
                               Translate(259, "not found") + "\n\n" +
                               Translate(268, "Please specify correct log path"));
      return result;
    }
    std::unique_ptr<TFileParser> reader = CreateFileParser(path);
    reader->Open(path);
    const std::vector<std::string> sample = TLogFmts::CollectHeaderSample([&](std::string& line) {
      if (reader->AtEnd()) return false;
      reader->ReadLine(line);
      return !(reader->AtEnd() && line.empty());
    });
    // The chooser says so when it reads the file; here it is said at once.
    if (reader->Damaged()) OutputLine("<p>GZ stream error</p>");
    reader->Close();
    result = formats.RecognizeSample(sample, path, show, console);
  } catch (...) {
    // A file that cannot be read is simply not recognised.
  }
  return result;
}

}  // namespace trelvar
