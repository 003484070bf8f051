// Sample access logs for the benchmark: combined-format lines of a busy
// site (clients, times, pages with images, referrers, agents), made from a
// fixed seed so that every run reads the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Writes at least `bytes` bytes of CR LF terminated lines to `path`, plain
// or gzip-compressed (zlib level 6, as gzip's default). Returns the number
// of lines, or -1 when the file cannot be written.
int64_t WriteSampleLog(const std::string& path, int64_t bytes, bool gzip);

}  // namespace bench
