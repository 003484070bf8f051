// Fuzz target: log format recognition. The input is the start of a log
// file; it is written once as it is and once gzip-compressed (".gz"), and
// the format of each file is recognised against the shipped formats. Both
// files hold the same lines, so both must give the same answer, and an
// answer must name a format of the catalogue.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/main_settings.h"
#include "fuzz_support.h"
#include "logread/format_recognition.h"
#include "platform/files.h"
#include "sites/log_formats.h"

namespace trelvar {
namespace {

struct TWorld {
  TFolders folders{fuzz::TempFolder() + "prog/", fuzz::TempFolder() + "data/"};
  std::vector<TLogFmts::TEntry> shipped;
  std::string plain_path = folders.Data() + "sample.log";
  std::string gzip_path = folders.Data() + "sample.log.gz";

  TWorld() {
    fuzz::SilenceOutput();
    platform::ForceFolders(folders.Data());
    fuzz::WriteBytes(folders.Data() + "main.ini", fuzz::ShippedFile("main.ini"));
    TLogFmts formats;
    TMainSettings settings(folders, formats, nullptr);
    shipped = formats.Entries();
  }

  TLogFmts ShippedFormats() const {
    TLogFmts formats;
    for (const TLogFmts::TEntry& e : shipped) formats.AddFormatLine(e.name + ";" + e.line_template);
    return formats;
  }
};

std::string Gzip(std::string_view bytes) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    fuzz::Fail("deflateInit2 failed");
  std::string out(deflateBound(&z, bytes.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) fuzz::Fail("deflate did not finish");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void CheckKnown(const TLogFmts& formats, const std::string& name, const char* file) {
  if (!name.empty() && formats.GetTemplate(name).empty())
    fuzz::Fail(std::string("the ") + file + " file was recognised as \"" + name +
               "\", which names no format");
}

}  // namespace
}  // namespace trelvar

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static TWorld world;
  const std::string_view text = fuzz::AsText(data, size);
  fuzz::WriteBytes(world.plain_path, text);
  fuzz::WriteBytes(world.gzip_path, Gzip(text));

  TLogFmts plain_formats = world.ShippedFormats();
  const std::string plain = RecognizeLogFile(plain_formats, world.plain_path, true, true);
  CheckKnown(plain_formats, plain, "plain");
  TLogFmts gzip_formats = world.ShippedFormats();
  const std::string gzip = RecognizeLogFile(gzip_formats, world.gzip_path, true, true);
  CheckKnown(gzip_formats, gzip, "gzip");
  if (plain != gzip)
    fuzz::Fail("the plain file was recognised as \"" + plain + "\", the gzip file as \"" + gzip + "\"");
  return 0;
}
