// Fuzz target: the gzip reader of log files. The input is written as a
// ".gz" file and read line by line to its end.
//
// When zlib decodes the input cleanly (gzip members one after another,
// optionally followed by bytes that start no member) or the input is no
// gzip at all (passed through), the reader must hand out exactly the lines
// the plain reader gives for the decoded bytes. No line it hands out may be
// as long as the longest line it is meant to drop.
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "logread/file_parser.h"

namespace trelvar {
namespace {

// Decoded texts beyond this are not compared (the reader still reads them).
constexpr size_t kCompareLimit = 1 << 20;

// The readers are reused from input to input (each Open starts afresh):
// their large buffers are then allocated once, not per input.
struct TWorld {
  std::string gzip_path = fuzz::TempFolder() + "input.gz";
  std::string plain_path = fuzz::TempFolder() + "decoded.log";
  TZlibFileParser gzip_reader;
  TFileParser plain_reader;
  TWorld() { fuzz::SilenceOutput(); }
};

// What the file holds once decoded, or nothing when zlib reports damage.
std::optional<std::string> Decode(std::string_view bytes) {
  if (bytes.size() < 2 || bytes[0] != '\x1f' || bytes[1] != '\x8b') return std::string(bytes);
  std::string out;
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  std::optional<std::string> result;
  char chunk[16384];
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    const int ret = inflate(&z, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - z.avail_out);
    if (out.size() > kCompareLimit) break;
    if (ret == Z_STREAM_END) {
      // Another member follows only where its magic bytes begin.
      if (z.avail_in == 0 || z.next_in[0] != 0x1f || (z.avail_in >= 2 && z.next_in[1] != 0x8b)) {
        result = std::move(out);
        break;
      }
      inflateReset(&z);
    } else if (ret != Z_OK) {
      break;  // damaged or cut short
    } else if (z.avail_in == 0 && z.avail_out != 0) {
      break;  // the input ended inside a member
    }
  }
  inflateEnd(&z);
  return result;
}

std::vector<std::string> ReadAll(TFileParser& reader, const std::string& path) {
  std::vector<std::string> lines;
  reader.Open(path);
  std::string line;
  while (!reader.AtEnd()) {
    reader.ReadLine(line);
    if (line.size() >= TFileParser::kMaxLineLength)
      fuzz::Fail("a line of " + std::to_string(line.size()) + " bytes was handed out");
    lines.push_back(line);
  }
  reader.Close();
  return lines;
}

}  // namespace
}  // namespace trelvar

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static TWorld world;
  const std::string_view bytes = fuzz::AsText(data, size);
  fuzz::WriteBytes(world.gzip_path, bytes);
  const std::vector<std::string> lines = ReadAll(world.gzip_reader, world.gzip_path);

  const std::optional<std::string> decoded = Decode(bytes);
  if (!decoded) return 0;
  fuzz::WriteBytes(world.plain_path, *decoded);
  const std::vector<std::string> expected = ReadAll(world.plain_reader, world.plain_path);
  if (lines != expected)
    fuzz::Fail("the gzip reader gave " + std::to_string(lines.size()) +
               " lines, the plain reader " + std::to_string(expected.size()) +
               " for the same decoded text");
  return 0;
}
