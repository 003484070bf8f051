#include "logread/line_template.h"

#include "base/text_helpers.h"

namespace trelvar {

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
}

bool TLineTemplate::Cut(std::string_view line,
                        std::array<std::string, kParsedFieldCount>& fields) const {
  size_t pos = 0;
  for (size_t k = 0; k < elements_.size() && pos < line.size(); ++k) {
    const TElement& e = elements_[k];
    if (!e.is_token) {
      pos += e.literal.size();
      continue;
    }
    size_t end = line.size();
    if (k + 1 < elements_.size()) {
      const std::string& next = elements_[k + 1].literal;  // empty for a token
      end = line.find(next, pos);
      if (end == std::string_view::npos) return false;
    }
    if (end == pos) return false;  // an empty value
    fields[static_cast<size_t>(e.field)].assign(line.data() + pos, end - pos);
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
