// Gzip bytes made in memory with zlib, for the reader tests.
#pragma once

#include <zlib.h>

#include <stdexcept>
#include <string>

namespace trelvar::test {

// `text` as one gzip member.
inline std::string Gzip(const std::string& text) {
  z_stream zs{};
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&zs, text.size()) + 64, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zs.avail_in = static_cast<uInt>(text.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int ret = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (ret != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

}  // namespace trelvar::test
