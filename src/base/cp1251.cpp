#include "base/cp1251.h"

#include <iconv.h>

#include <cerrno>

#include "base/errors.h"

namespace trelvar {

namespace {

// Bytes of the UTF-8 sequence that begins with `lead` (1 for a byte that
// begins none, so that it alone is skipped).
size_t SequenceLength(unsigned char lead, size_t left) {
  size_t n = 1;
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  return n <= left ? n : 1;
}

class TConverter {
 public:
  TConverter() : cd_(iconv_open("WINDOWS-1251", "UTF-8")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw EInvalidOperation("No converter from UTF-8 to Windows-1251");
  }
  ~TConverter() { iconv_close(cd_); }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  iconv_t Handle() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Utf8ToWindows1251(std::string_view text) {
  TConverter converter;
  std::string out;
  out.reserve(text.size());
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[4096];
  while (in_left > 0) {
    char* to = buffer;
    size_t to_left = sizeof buffer;
    const size_t rc = iconv(converter.Handle(), &in, &in_left, &to, &to_left);
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ (no such character, or broken UTF-8) or EINVAL (a sequence
    // cut off at the end): one "?" for the sequence, then go on.
    const size_t skip = SequenceLength(static_cast<unsigned char>(*in), in_left);
    out += '?';
    in += skip;
    in_left -= skip;
    iconv(converter.Handle(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace trelvar
