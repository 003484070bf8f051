#include "base/text_helpers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "base/errors.h"
#include "platform/system.h"

namespace trelvar {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Upper(c);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

std::string TrimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  return std::string(text.substr(0, n));
}

std::string LowerCase(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = Lower(c);
  return r;
}

std::string UpperCase(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = Upper(c);
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsText(std::string_view prefix, std::string_view text) {
  return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool TryStrToInt64(std::string_view text, int64_t& out) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t value = 0;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + negative;
  // Decimal digits apart, with a constant base: every byte count of every
  // line passes here, and a division by a variable per digit is dear.
  if (base == 10 && text.size() - i <= 18) {
    // Eighteen digits cannot overflow.
    for (; i < text.size(); ++i) {
      const unsigned d = static_cast<unsigned char>(text[i]) - unsigned{'0'};
      if (d > 9) return false;
      value = value * 10 + d;
    }
  } else if (base == 10) {
    for (; i < text.size(); ++i) {
      const unsigned d = static_cast<unsigned char>(text[i]) - unsigned{'0'};
      if (d > 9) return false;
      if (value > (limit - d) / 10) return false;
      value = value * 10 + d;
    }
  } else {
    for (; i < text.size(); ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return false;
      if (value > (limit - static_cast<uint64_t>(d)) / 16) return false;
      value = value * 16 + static_cast<uint64_t>(d);
    }
  }
  out = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
  return true;
}

bool TryStrToInt(std::string_view text, int& out) {
  int64_t v = 0;
  if (!TryStrToInt64(text, v) || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max())
    return false;
  out = static_cast<int>(v);
  return true;
}

int StrToInt(std::string_view text) {
  int v = 0;
  if (!TryStrToInt(text, v)) throw EConvertError(InvalidIntegerMessage(std::string(text)));
  return v;
}

int StrToIntDef(std::string_view text, int fallback) {
  int v = 0;
  return TryStrToInt(text, v) ? v : fallback;
}

int64_t HexToInt(std::string_view text) {
  uint64_t result = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) throw EConvertError(InvalidIntegerMessage(std::string(text)));
    result = (result << 4) + static_cast<uint64_t>(d);
  }
  return static_cast<int64_t>(result);
}

std::string ReplaceAll(std::string_view find, std::string_view replacement, std::string text) {
  if (find.empty()) return text;
  // A replacement that holds `find` would never finish: one pass is all it can mean.
  if (replacement.find(find) != std::string_view::npos)
    return ReplaceEach(text, find, replacement);
  // Before the first occurrence nothing matches, so after a replacement at p
  // a new occurrence can only start where it overlaps the replaced text.
  size_t from = 0;
  for (;;) {
    size_t p = text.find(find, from);
    if (p == std::string::npos) return text;
    text.replace(p, find.size(), replacement);
    from = p >= find.size() - 1 ? p - (find.size() - 1) : 0;
  }
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out.append(*(args.begin() + n));
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::string ReplaceEach(std::string_view text, std::string_view find,
                        std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  for (;;) {
    size_t p = text.find(find, i);
    if (p == std::string_view::npos) break;
    out.append(text.substr(i, p - i));
    out.append(replacement);
    i = p + find.size();
  }
  out.append(text.substr(i));
  return out;
}

std::string ReplaceChar(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

std::string RemoveChar(std::string_view text, char c) {
  std::string r;
  r.reserve(text.size());
  for (char x : text)
    if (x != c) r += x;
  return r;
}

int CountChar(char c, std::string_view text) {
  return static_cast<int>(std::count(text.begin(), text.end(), c));
}

std::string ToNativeSeparators(std::string text) { return ReplaceChar(std::move(text), '\\', '/'); }

std::string ToNativeDir(std::string text) {
  text = ToNativeSeparators(std::move(text));
  if (!text.empty() && text.back() != '/') text += '/';
  return text;
}

std::string ToSlashDir(std::string text) { return ToNativeDir(std::move(text)); }

std::string BoolText(bool value) { return value ? "true" : "false"; }

bool TextBool(std::string_view text) { return LowerCase(Trim(text)) != "false"; }

std::string PluralS(long long n) { return n == 1 ? "" : "s"; }

int Sign(double x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); }

TKeyValue SplitKeyValue(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {};
  return {LowerCase(Trim(line.substr(0, eq))), std::string(line.substr(eq + 1))};
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<') {
      size_t close = text.find('>', i + 1);
      i = close == std::string_view::npos ? i + 1 : close + 1;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string SplitFirst(std::string& text, std::string_view separator) {
  size_t p = separator.empty() ? std::string::npos : text.find(separator);
  if (p == std::string::npos) {
    std::string head = std::move(text);
    text.clear();
    return head;
  }
  std::string head = text.substr(0, p);
  text.erase(0, p + separator.size());
  return head;
}

std::string WordAt(int n, std::string_view text, std::string_view delimiters) {
  auto is_delim = [&](char c) { return delimiters.find(c) != std::string_view::npos; };
  size_t i = 0;
  for (int word = 1; i < text.size(); ++word) {
    while (i < text.size() && is_delim(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !is_delim(text[i])) ++i;
    if (i == start) break;
    if (word == n) return std::string(text.substr(start, i - start));
  }
  return "";
}

std::string BeforeChar(std::string_view text, char c) {
  return std::string(text.substr(0, text.find(c)));
}

std::string AfterChar(std::string_view text, char c) {
  size_t p = text.find(c);
  return p == std::string_view::npos ? "" : std::string(text.substr(p + 1));
}

void SetNameValue(std::vector<std::string>& list, std::string_view name,
                  std::string_view value) {
  std::string line = std::string(name) + "=" + std::string(value);
  for (std::string& entry : list) {
    if (SameText(BeforeChar(entry, '='), name)) {
      entry = line;
      return;
    }
  }
  list.push_back(line);
}

bool GetEnvText(const std::string& name, std::string& value) {
  auto v = platform::GetEnv(name);
  if (!v) return false;
  value = v->substr(0, 255);
  return true;
}

std::string RowClass(long long index) {
  return index % 2 != 0 ? "class=\"OddRaw\"" : "class=\"EvenRaw\"";
}

uint64_t RecentTextHash(std::string_view text) {
  const size_t n = text.size();
  const char* const d = text.data();
  uint64_t a = n, b = 0, c = 0;
  if (n >= 8) {
    std::memcpy(&a, d, 8);
    std::memcpy(&b, d + n / 2 - 4, 8);
    std::memcpy(&c, d + n - 8, 8);
  } else {
    for (size_t i = 0; i < n; ++i) b = b << 8 | static_cast<unsigned char>(d[i]);
  }
  const uint64_t h = (a * 0x9E3779B97F4A7C15ull) ^ (b * 0xC2B2AE3D27D4EB4Full) ^
                     (c * 0x165667B19E3779F9ull) ^ (n * 0xD6E8FEB86659FD93ull);
  return (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull;
}

}  // namespace trelvar
