// Reading and writing the values of definition keys, by kind.
#include "reports/report_keys.h"

#include "base/text_helpers.h"
#include "config/translator.h"

namespace trelvar {

std::optional<std::string> KeyValue(const TKeyDef& def, const std::string& line) {
  if (def.key == nullptr) return std::nullopt;
  if ((def.flags & kAtLineStart) != 0) {
    const std::string head = std::string(def.key) + "=";
    if (line.compare(0, head.size(), head) != 0) return std::nullopt;
    return line.substr(head.size());
  }
  TKeyValue kv = SplitKeyValue(line);
  if (kv.key != def.key) return std::nullopt;
  return std::move(kv.value);
}

void ReadKey(const TKeyDef& def, const std::string& value, int32_t& member) {
  const std::string number = Trim(value);
  int n = 0;
  switch (def.kind) {
    case TKeyKind::kInteger:
      member = StrToInt(number);
      break;
    case TKeyKind::kIntegerOrKeep:
      if (TryStrToInt(number, n)) member = n;
      break;
    case TKeyKind::kPositive:
      if (TryStrToInt(number, n)) member = n <= 0 ? def.fallback : n;
      break;
    default:
      break;
  }
}

void ReadKey(const TKeyDef& def, const std::string& value, bool& member) {
  switch (def.rule) {
    case TWordRule::kUnlessFalseWord:
      member = LowerCase(Trim(value)) != def.false_word;
      break;
    case TWordRule::kOnlyTrueWord:
      member = LowerCase(Trim(value)) == def.true_word;
      break;
    case TWordRule::kExactOrKeep:
      if (value == def.true_word) member = true;
      else if (value == def.false_word) member = false;
      break;
  }
}

void ReadKey(const TKeyDef& def, const std::string& value, uint8_t& member) {
  const uint8_t code = def.text_code(value);
  if (code != kNoCode) member = code;
}

void ReadKey(const TKeyDef& def, const std::string& value, ReportParam& member) {
  const ReportParam param = def.text_param(value);
  if (ParamIndex(param) != kNoCode) member = param;
}

void ReadKey(const TKeyDef& def, const std::string& value, std::string& member) {
  (void)def;
  member = value;
}

std::string KeyText(const TKeyDef& def, int32_t member) {
  (void)def;
  return std::to_string(member);
}

std::string KeyText(const TKeyDef& def, bool member) {
  return member ? def.true_word : def.false_word;
}

std::string KeyText(const TKeyDef& def, uint8_t member) { return def.code_text(member); }

std::string KeyText(const TKeyDef& def, ReportParam member) { return def.param_text(member); }

std::string KeyText(const TKeyDef& def, const std::string& member) {
  (void)def;
  return member;
}

std::string CaptionOf(const TReportIdentity& identity) {
  if (identity.caption_id == TReportIdentity::kUntranslated) return identity.caption;
  return Translate(identity.caption_id, identity.caption);
}

}  // namespace trelvar
