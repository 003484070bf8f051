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
// compiled; thread-safe for concurrent cutting. Compiling turns the
// elements into one step per token (the literal before it is a count of
// characters to skip; the search for its end is chosen then, sixteen bytes
// a step). Cutting into views copies nothing: the views point into the
// line and are valid as long as it is.
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
  // The same cut into views of `line`; only the views of the template's
  // tokens are written.
  bool Cut(std::string_view line, std::array<std::string_view, kParsedFieldCount>& views) const;

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
  // One token to cut: skip `skip` characters (the literal before it),
  // then take the value up to its end.
  struct TStep {
    size_t skip = 0;
    uint8_t field = kFieldNil;
    TEnd end = TEnd::kRest;
    char separator = 0;           // kChar
    std::string text;             // kText
  };
  std::vector<TElement> elements_;
  std::vector<TStep> steps_;
  bool uses_month_name_ = false;
};

}  // namespace trelvar
