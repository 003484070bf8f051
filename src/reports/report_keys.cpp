// Reading and writing the values of definition keys, by kind.
#include "reports/report_keys.h"

#include "base/text_helpers.h"
#include "config/translator.h"

namespace trelvar {

std::optional<std::string> KeyValue(const TKeySpec& spec, const std::string& line) {
  if (spec.key == nullptr) return std::nullopt;
  if ((spec.flags & kAtLineStart) != 0) {
    const std::string head = std::string(spec.key) + "=";
    if (line.compare(0, head.size(), head) != 0) return std::nullopt;
    return line.substr(head.size());
  }
  TKeyValue kv = SplitKeyValue(line);
  if (kv.key != spec.key) return std::nullopt;
  return std::move(kv.value);
}

void ReadKey(const TKeySpec& spec, const std::string& value, int32_t& member) {
  const std::string number = Trim(value);
  int n = 0;
  switch (spec.kind) {
    case TKeyKind::kInteger:
      member = StrToInt(number);
      break;
    case TKeyKind::kIntegerOrKeep:
      if (TryStrToInt(number, n)) member = n;
      break;
    case TKeyKind::kPositive:
      if (TryStrToInt(number, n)) member = n <= 0 ? spec.fallback : n;
      break;
    default:
      break;
  }
}

void ReadKey(const TKeySpec& spec, const std::string& value, bool& member) {
  switch (spec.rule) {
    case TWordRule::kUnlessFalseWord:
      member = LowerCase(Trim(value)) != spec.false_word;
      break;
    case TWordRule::kOnlyTrueWord:
      member = LowerCase(Trim(value)) == spec.true_word;
      break;
    case TWordRule::kExactOrKeep:
      if (value == spec.true_word) member = true;
      else if (value == spec.false_word) member = false;
      break;
  }
}

void ReadKey(const TKeySpec& spec, const std::string& value, uint8_t& member) {
  const uint8_t code = spec.text_code(value);
  if (code != kNoCode) member = code;
}

void ReadKey(const TKeySpec& spec, const std::string& value, std::string& member) {
  (void)spec;
  member = value;
}

std::string KeyText(const TKeySpec& spec, int32_t member) {
  (void)spec;
  return std::to_string(member);
}

std::string KeyText(const TKeySpec& spec, bool member) {
  return member ? spec.true_word : spec.false_word;
}

std::string KeyText(const TKeySpec& spec, uint8_t member) { return spec.code_text(member); }

std::string KeyText(const TKeySpec& spec, const std::string& member) {
  (void)spec;
  return member;
}

std::string CaptionOf(const TReportIdentity& identity) {
  if (identity.caption_id == TReportIdentity::kUntranslated) return identity.caption;
  return Translate(identity.caption_id, identity.caption);
}

}  // namespace trelvar
