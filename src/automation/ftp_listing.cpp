#include "automation/ftp_listing.h"

#include <charconv>

namespace trelvar {

namespace {

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A byte count: decimal digits only, within 64 bits.
std::optional<int64_t> SizeOf(std::string_view text) {
  if (!AllDigits(text)) return std::nullopt;
  int64_t value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// "05-01-03" or "05/01/2003": two digits, a separator, two digits, the same
// separator, then digits to the end.
bool IsDosDate(std::string_view t) {
  if (t.size() != 8 && t.size() != 10) return false;
  if (t[2] != t[5] || (t[2] != '-' && t[2] != '.' && t[2] != '/')) return false;
  return AllDigits(t.substr(0, 2)) && AllDigits(t.substr(3, 2)) && AllDigits(t.substr(6));
}

}  // namespace

std::optional<TListingEntry> ParseListingLine(std::string_view line) {
  const std::vector<std::string_view> tokens = Tokens(line);
  if (tokens.size() < 4) return std::nullopt;
  TListingEntry entry;
  if (IsDosDate(tokens[0])) {
    entry.name = tokens.back();
    for (std::string_view t : tokens)
      if (t == "<DIR>") entry.is_folder = true;
    if (entry.is_folder) return entry;
    const auto size = SizeOf(tokens[tokens.size() - 2]);
    if (!size) return std::nullopt;
    entry.size = *size;
    return entry;
  }
  if (tokens.size() != 9) return std::nullopt;
  const auto size = SizeOf(tokens[4]);
  if (!size) return std::nullopt;
  entry.is_folder = tokens[0][0] == 'd' || tokens[0][0] == 'D';
  entry.size = entry.is_folder ? 0 : *size;
  entry.name = tokens[8];
  return entry;
}

bool IsSafeLocalName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32) return false;
  return true;
}

}  // namespace trelvar
