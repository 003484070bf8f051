// Conversion of UTF-8 text into the Windows-1251 (Cyrillic) code page, for
// pages that are written in that code page.
//
// Goes through glibc iconv. A character that Windows-1251 cannot show, and
// a byte that does not begin a valid UTF-8 sequence, become one "?"; the
// rest of the text is still converted. Raises EInvalidOperation only when
// the converter itself cannot be opened. Thread-safe (one converter per
// call).
#pragma once

#include <string>
#include <string_view>

namespace trelvar {

std::string Utf8ToWindows1251(std::string_view text);

}  // namespace trelvar
