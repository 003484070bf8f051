#include "base/ini_document.h"

#include "base/errors.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "platform/files.h"

namespace trelvar {

TIniDocument::TIniDocument(const std::string& file_name) {
  if (!platform::PathExists(file_name)) return;
  Parse(ReadFileText(file_name));
}

TIniDocument TIniDocument::FromText(std::string_view text) {
  TIniDocument doc;
  doc.Parse(text);
  return doc;
}

namespace {

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Cleans one key line; false when it holds no "=".
bool CleanLine(std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  size_t key_end = eq;
  while (key_end > 0 && IsBlankOrTab(line[key_end - 1])) --key_end;
  size_t value_start = eq + 1;
  while (value_start < line.size() && IsBlankOrTab(line[value_start])) ++value_start;
  line = line.substr(0, key_end) + "=" + line.substr(value_start);
  while (!line.empty() && static_cast<unsigned char>(line.back()) < 33) line.pop_back();
  eq = line.find('=');
  if (eq == std::string::npos) return false;
  const size_t value_len = line.size() - eq - 1;
  if (value_len > 1) {
    const char q = line[eq + 1];
    if ((q == '"' || q == '\'') && line.back() == q) {
      line.pop_back();
      line.erase(eq + 1, 1);
    }
  }
  return true;
}

}  // namespace

void TIniDocument::AddLine(TSection* section, std::string line) {
  if (section == nullptr || !CleanLine(line)) return;
  std::string key = LowerCase(std::string_view(line).substr(0, line.find('=')));
  section->first_line.emplace(std::move(key), section->lines.size());
  section->lines.push_back(std::move(line));
}

void TIniDocument::Parse(std::string_view text) {
  std::vector<TSection> all;
  TSection* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line == "\x1a" || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      all.push_back({line.substr(1, line.size() - 2), {}, {}});
      current = &all.back();
      continue;
    }
    AddLine(current, std::move(line));
  }
  for (TSection& s : all) {
    bool seen = false;
    for (const TSection& kept : sections_)
      if (SameText(kept.name, s.name)) seen = true;
    if (!seen) sections_.push_back(std::move(s));
  }
}

const TIniDocument::TSection* TIniDocument::FindSection(std::string_view name) const {
  const size_t n = sections_.size();
  for (size_t k = 0; k < n; ++k) {
    size_t i = (last_found_ + k) % n;
    if (SameText(sections_[i].name, name)) {
      last_found_ = i;
      return &sections_[i];
    }
  }
  return nullptr;
}

const std::string* TIniDocument::FindValue(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  if (s == nullptr) return nullptr;
  auto it = s->first_line.find(LowerCase(key));
  return it == s->first_line.end() ? nullptr : &s->lines[it->second];
}

std::string TIniDocument::ReadString(std::string_view section, std::string_view key,
                                     const std::string& fallback) const {
  const std::string* line = FindValue(section, key);
  return line == nullptr ? fallback : line->substr(line->find('=') + 1);
}

int TIniDocument::ReadInteger(std::string_view section, std::string_view key,
                              int fallback) const {
  const std::string value = ReadString(section, key, "");
  std::string_view digits = value;
  if (StartsText("0x", digits)) {
    digits.remove_prefix(2);
  } else if (!digits.empty() && digits[0] == '$') {
    digits.remove_prefix(1);
  } else {
    int v = 0;
    return TryStrToInt(value, v) ? v : fallback;
  }
  if (digits.empty()) return fallback;
  try {
    // Wider values keep their low 32 bits, as a 32-bit integer would.
    return static_cast<int>(static_cast<uint32_t>(HexToInt(digits)));
  } catch (const EConvertError&) {
    return fallback;
  }
}

bool TIniDocument::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool TIniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != nullptr;
}

}  // namespace trelvar
