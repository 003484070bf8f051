// A compiled line template: the literals and field tokens of a log format
// ("<ip> - <username> [<day>/<month_>/<year>...") and the cutting of a log
// line by them.
//
// Compiling lower-cases the template; a token outside the field table, or
// a "<" without ">", counts as <nil>; at most 100 elements are kept.
// Cutting: a literal removes as many characters as it has, without
// comparing them; a token takes the text up to the next occurrence of the
// following literal (the last token takes the rest). An empty value, or a
// literal that does not occur in the rest, rejects the line. Immutable once
// compiled; thread-safe for concurrent cutting. The search for each
// token's end is chosen at compiling (one character: memchr), and the
// fields' own storage is reused, so cutting allocates nothing once the
// fields have grown to the usual sizes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logread/log_line.h"

namespace trelvar {

class TLineTemplate {
 public:
  static constexpr size_t kMaxElements = 100;

  void Compile(std::string_view line_template);

  // Cuts `line` into `fields`; false when the line is rejected. Only the
  // fields of the template's tokens are written.
  bool Cut(std::string_view line, std::array<std::string, kParsedFieldCount>& fields) const;

  // The field codes of the tokens, in template order.
  std::vector<int> FieldCodes() const;
  bool UsesMonthName() const { return uses_month_name_; }
  size_t ElementCount() const { return elements_.size(); }

  // The field code of a token name ("ip", "month_"); 0 for names outside
  // the table.
  static int FieldCodeOf(std::string_view token);

 private:
  // What ends a token's value: the rest of the line, the next literal
  // (of one character or more), or a token right after it (whose empty
  // literal would always leave an empty value).
  enum class TEnd : uint8_t { kRest, kToken, kChar, kText };
  struct TElement {
    bool is_token = false;
    std::string literal;
    int field = kFieldNil;
    TEnd end = TEnd::kRest;  // tokens only
    std::string separator;   // the next literal, for kChar and kText
  };
  std::vector<TElement> elements_;
  bool uses_month_name_ = false;
};

}  // namespace trelvar
