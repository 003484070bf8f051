// Lines of an FTP folder listing (the answer to LIST) read as entries.
//
// Servers answer LIST in one of two shapes: the DOS shape
// ("05-01-03  10:22AM  12345 ex0501.log", "<DIR>" for folders) and the
// Unix shape of "ls -l" (exactly nine blank-separated tokens, the size
// fifth, "d" in front of the rights for folders). A line that fits
// neither gives nothing: headers such as "total 12", blank lines, links
// ("name -> target") and Unix names with blanks are skipped. Sizes are
// 64-bit. Pure functions, thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

struct TListingEntry {
  std::string name;
  int64_t size = 0;  // 0 for a folder
  bool is_folder = false;
};

// One listing line as an entry, or nothing when the line is unusable.
std::optional<TListingEntry> ParseListingLine(std::string_view line);

// A remote file name that may be put behind a local folder: not "." or
// "..", and without "/", "\" or control characters.
bool IsSafeLocalName(std::string_view name);

}  // namespace trelvar
