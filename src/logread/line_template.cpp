#include "logread/line_template.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/text_helpers.h"

namespace trelvar {

namespace {

// Position of the first `c` in `line` at or after `pos`; npos when there is
// none. Most values are a few characters long: sixteen bytes are compared
// a step without the cost of a call.
size_t FindChar(std::string_view line, size_t pos, char c) {
  const char* const data = line.data();
  const size_t size = line.size();
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(c);
  for (; pos + 16 <= size; pos += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted));
    if (mask != 0) return pos + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  for (; pos < size; ++pos)
    if (data[pos] == c) return pos;
  return std::string_view::npos;
#else
  const void* hit = std::memchr(data + pos, c, size - pos);
  return hit == nullptr ? std::string_view::npos
                        : static_cast<size_t>(static_cast<const char*>(hit) - data);
#endif
}

// The first occurrence of `text` (two characters or more) in `line` at or
// after `pos`; npos when there is none. The search for its first character
// skips most of the line at once.
size_t FindText(std::string_view line, size_t pos, const std::string& text) {
  const char* const data = line.data();
  const size_t n = text.size();
  for (;;) {
    const size_t at = FindChar(line, pos, text[0]);
    if (at == std::string_view::npos || line.size() - at < n) return std::string_view::npos;
    size_t k = 1;
    while (k < n && data[at + k] == text[k]) ++k;
    if (k == n) return at;
    pos = at + 1;
  }
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
  steps_.clear();
  size_t skip = 0;
  for (const TElement& e : elements_) {
    if (!e.is_token) {
      skip += e.literal.size();
      continue;
    }
    TStep s;
    s.skip = skip;
    s.field = static_cast<uint8_t>(e.field);
    s.end = e.end;
    if (e.end == TEnd::kChar) s.separator = e.separator[0];
    if (e.end == TEnd::kText) s.text = e.separator;
    steps_.push_back(std::move(s));
    skip = 0;
  }
}

bool TLineTemplate::Cut(std::string_view line,
                        std::array<std::string_view, kParsedFieldCount>& views) const {
  const char* const data = line.data();
  const size_t size = line.size();
  size_t pos = 0;
  for (const TStep& s : steps_) {
    // A line that ends early leaves the remaining fields unwritten.
    pos += s.skip;
    if (pos >= size) break;
    size_t end = size;
    switch (s.end) {
      case TEnd::kRest: break;
      case TEnd::kToken: return false;  // the value would be empty
      case TEnd::kChar:
        end = FindChar(line, pos, s.separator);
        if (end == std::string_view::npos) return false;
        break;
      case TEnd::kText:
        end = FindText(line, pos, s.text);
        if (end == std::string_view::npos) return false;
        break;
    }
    if (end == pos) return false;  // an empty value
    views[s.field] = std::string_view(data + pos, end - pos);
    pos = end;
  }
  return true;
}

bool TLineTemplate::Cut(std::string_view line,
                        std::array<std::string, kParsedFieldCount>& fields) const {
  std::array<std::string_view, kParsedFieldCount> views;
  if (!Cut(line, views)) return false;
  // Only the tokens' fields are written, the others keep what they hold.
  std::array<bool, kParsedFieldCount> cut{};
  for (const TStep& s : steps_) cut[s.field] = true;
  for (size_t i = 0; i < kParsedFieldCount; ++i)
    if (cut[i] && views[i].data() != nullptr) fields[i].assign(views[i]);
  return true;
}

std::vector<int> TLineTemplate::FieldCodes() const {
  std::vector<int> codes;
  for (const TElement& e : elements_)
    if (e.is_token) codes.push_back(e.field);
  return codes;
}

}  // namespace trelvar
