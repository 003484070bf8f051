// TIniDocument: a read-only sectioned key=value file ("[Section]" headers),
// read completely when it is created. Language files are read with it.
//
// Reading rules: lines end at CR or LF (so CR, CR LF and LF files read
// alike); a line made of the end-of-file mark 26 or starting with ";" is
// empty; blanks and tabs around the first "=" and trailing control
// characters are removed; a value in matching quotes loses them; lines
// without "=" and lines before the first header are dropped; a later
// section with the name of an earlier one (in any case) is dropped whole.
//
// Names and keys compare without regard to letter case. Lookups remember
// the section found last, so a document is not safe for concurrent use.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace trelvar {

class TIniDocument {
 public:
  // A missing file gives an empty document; a file that exists but cannot
  // be read raises EInOutError "Cannot open file ...".
  explicit TIniDocument(const std::string& file_name);
  // A document from text already in memory.
  static TIniDocument FromText(std::string_view text);

  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& fallback) const;
  // Decimal, or hexadecimal after "0x" (any case) or "$"; anything else
  // gives `fallback`.
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  // ReadInteger(fallback ? 1 : 0) != 0.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  bool HasSection(std::string_view section) const;
  size_t SectionCount() const { return sections_.size(); }

 private:
  struct TSection {
    std::string name;
    std::vector<std::string> lines;  // "key=value", as cleaned
    std::unordered_map<std::string, size_t> first_line;  // lower-cased key -> line
  };

  TIniDocument() = default;
  void Parse(std::string_view text);
  void AddLine(TSection* section, std::string line);
  const TSection* FindSection(std::string_view name) const;
  const std::string* FindValue(std::string_view section, std::string_view key) const;

  std::vector<TSection> sections_;
  mutable size_t last_found_ = 0;
};

}  // namespace trelvar
