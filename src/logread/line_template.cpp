#include "logread/line_template.h"

#include <cstring>

#include "base/text_helpers.h"

namespace trelvar {

namespace {

// The first occurrence of `text` (two characters or more) in `line` at or
// after `pos`; npos when there is none. A memchr for its first character
// skips most of the line at once.
size_t FindText(std::string_view line, size_t pos, const std::string& text) {
  const char* const data = line.data();
  const size_t n = text.size();
  while (line.size() - pos >= n) {
    const void* hit = std::memchr(data + pos, text[0], line.size() - pos - n + 1);
    if (hit == nullptr) return std::string_view::npos;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - data);
    if (std::memcmp(data + at + 1, text.data() + 1, n - 1) == 0) return at;
    pos = at + 1;
  }
  return std::string_view::npos;
}

}  // namespace

int TLineTemplate::FieldCodeOf(std::string_view token) {
  static const struct {
    const char* name;
    int field;
  } kTokens[] = {
      {"nil", kFieldNil},         {"host", kFieldHost},         {"ip", kFieldIp},
      {"href", kFieldHref},       {"referrer", kFieldReferrer}, {"year", kFieldYear},
      {"month", kFieldMonth},     {"day", kFieldDay},           {"hour", kFieldHour},
      {"min", kFieldMin},         {"sec", kFieldSec},           {"month_", kFieldMonthName},
      {"agent", kFieldAgent},     {"method", kFieldMethod},     {"bytes", kFieldBytes},
      {"cooki", kFieldCookie},    {"status", kFieldStatus},     {"username", kFieldUserName},
      {"time_taken", kFieldTimeTaken}, {"version", kFieldVersion}, {"uri_query", kFieldUriQuery},
  };
  for (const auto& t : kTokens)
    if (token == t.name) return t.field;
  return kFieldNil;
}

void TLineTemplate::Compile(std::string_view line_template) {
  elements_.clear();
  uses_month_name_ = false;
  const std::string text = LowerCase(line_template);
  size_t i = 0;
  while (i < text.size() && elements_.size() < kMaxElements) {
    TElement e;
    if (text[i] != '<') {
      const size_t next = text.find('<', i);
      e.literal = text.substr(i, next - i);
      i = next == std::string::npos ? text.size() : next;
    } else {
      const size_t close = text.find('>', i + 1);
      e.is_token = true;
      if (close == std::string::npos) {
        // A "<" without ">": a token outside the table, then the rest is literal.
        elements_.push_back(e);
        if (elements_.size() < kMaxElements) {
          TElement rest;
          rest.literal = text.substr(i + 1);
          if (!rest.literal.empty()) elements_.push_back(rest);
        }
        break;
      }
      e.field = FieldCodeOf(std::string_view(text).substr(i + 1, close - i - 1));
      if (e.field == kFieldMonthName) uses_month_name_ = true;
      i = close + 1;
    }
    elements_.push_back(std::move(e));
  }
  for (size_t k = 0; k < elements_.size(); ++k) {
    TElement& e = elements_[k];
    if (!e.is_token) continue;
    if (k + 1 == elements_.size()) {
      e.end = TEnd::kRest;
    } else if (elements_[k + 1].is_token) {
      e.end = TEnd::kToken;
    } else {
      e.separator = elements_[k + 1].literal;
      e.end = e.separator.size() == 1 ? TEnd::kChar : TEnd::kText;
    }
  }
}

bool TLineTemplate::Cut(std::string_view line,
                        std::array<std::string, kParsedFieldCount>& fields) const {
  const char* const data = line.data();
  const size_t size = line.size();
  size_t pos = 0;
  for (const TElement& e : elements_) {
    if (pos >= size) break;
    if (!e.is_token) {
      pos += e.literal.size();
      continue;
    }
    size_t end = size;
    switch (e.end) {
      case TEnd::kRest: break;
      case TEnd::kToken: return false;  // the value would be empty
      case TEnd::kChar: {
        const void* hit = std::memchr(data + pos, e.separator[0], size - pos);
        if (hit == nullptr) return false;
        end = static_cast<size_t>(static_cast<const char*>(hit) - data);
        break;
      }
      case TEnd::kText:
        end = FindText(line, pos, e.separator);
        if (end == std::string_view::npos) return false;
        break;
    }
    if (end == pos) return false;  // an empty value
    fields[static_cast<size_t>(e.field)].assign(data + pos, end - pos);
    pos = end;
  }
  return true;
}

std::vector<int> TLineTemplate::FieldCodes() const {
  std::vector<int> codes;
  for (const TElement& e : elements_)
    if (e.is_token) codes.push_back(e.field);
  return codes;
}

}  // namespace trelvar
