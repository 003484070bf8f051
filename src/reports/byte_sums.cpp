#include "reports/byte_sums.h"

#include <limits>
#include <string>

#include "base/errors.h"
#include "base/text_helpers.h"

namespace trelvar {

namespace {

constexpr int64_t kKilobyte = 1024;

int32_t Held32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

int64_t BytesOfField(std::string_view field) {
  const std::string_view bytes = TrimView(field);
  if (bytes.empty() || bytes == "-") return 0;
  int64_t value = 0;
  if (!TryStrToInt64(bytes, value)) throw EConvertError(InvalidIntegerMessage(std::string(bytes)));
  return value;
}

int64_t AddBytes(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int32_t RoundedKilobytes(int64_t bytes) {
  // Floor division, so that the remainder is 0..1023 for negative sums too.
  int64_t q = bytes / kKilobyte;
  int64_t r = bytes % kKilobyte;
  if (r < 0) {
    q -= 1;
    r += kKilobyte;
  }
  if (r > kKilobyte / 2 || (r == kKilobyte / 2 && (q & 1) != 0)) q += 1;
  return Held32(q);
}

int32_t WholeKilobytes(int64_t bytes) { return Held32(bytes / kKilobyte); }

}  // namespace trelvar
