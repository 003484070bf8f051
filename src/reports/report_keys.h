// Definition keys, declared once per report type.
//
// A level of the report family that has definition keys of its own lists
// them in one table, its static DefinitionKeys(): per key the text, the
// member it sets, how its value is read and written, and flags. LoadParam,
// SaveParams and the copy that Clone makes are derived from that table, so
// a key is read, written and copied in one place, and written in the
// table's order. Entries without a key text are state that only Clone
// copies.
//
//   TReportLevel<Level, Base>  a level of the family: LoadParam and
//       SaveParams handle the base's lines first, then the level's keys;
//       CopyTo copies the base's share, then the level's.
//   TReportOf<Type, Base>      a report type that can be made and copied:
//       its constructor gives a new report the type's identity
//       (Type::kIdentity: key, caption as name, page file); it adds Clone
//       (a new Type, then CopyTo) and the type's caption.
// A level that declares no DefinitionKeys() of its own adds no keys.
#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "reports/report_base.h"
#include "reports/report_params.h"

namespace trelvar {

// How a key's value is read; each kind writes what it reads.
enum class TKeyKind : uint8_t {
  kInteger,        // decimal, trimmed; a bad number raises EConvertError
  kIntegerOrKeep,  // decimal, trimmed; a bad number leaves the value
  kPositive,       // decimal, trimmed; 0 or less gives the fallback, a bad number leaves the value
  kText,           // the value as it stands, not trimmed
  kWords,          // one of two words, by the key's word rule
  kCode,           // a code named by its text; a text that names none (kNoCode) leaves the value
  kCopied,         // no key: only Clone copies the value
};

// How a kWords key reads its value.
enum class TWordRule : uint8_t {
  kUnlessFalseWord,  // the false word (trimmed, any case) gives false, any other text true
  kOnlyTrueWord,     // the true word (trimmed, any case) gives true, any other text false
  kExactOrKeep,      // exactly one of the words gives its side, any other text leaves the value
};

// Flags of a key.
enum TKeyFlags : unsigned {
  kLongForm = 1,     // not written in the short form
  kNotCloned = 2,    // a copy keeps the value its constructor gave it
  kAtLineStart = 4,  // read only from a line that begins with the key and "=" as written
};

// What a text-to-code function answers for a text that names no code.
inline constexpr uint8_t kNoCode = 255;

// A key apart from its member: its text and how its value is read and
// written.
struct TKeyDef {
  const char* key = nullptr;  // null for state that only Clone copies
  TKeyKind kind = TKeyKind::kCopied;
  unsigned flags = 0;
  const char* true_word = "true";  // kWords
  const char* false_word = "false";
  TWordRule rule = TWordRule::kUnlessFalseWord;
  int32_t fallback = 0;  // kPositive
  std::string (*code_text)(uint8_t) = nullptr;       // kCode
  uint8_t (*text_code)(std::string_view) = nullptr;  // kCode
  // The same for a kCode member that is a ReportParam.
  std::string (*param_text)(ReportParam) = nullptr;
  ReportParam (*text_param)(std::string_view) = nullptr;
};

// The value of the key in a definition line, or nothing when the line
// sets another key.
std::optional<std::string> KeyValue(const TKeyDef& def, const std::string& line);
void ReadKey(const TKeyDef& def, const std::string& value, int32_t& member);
void ReadKey(const TKeyDef& def, const std::string& value, bool& member);
void ReadKey(const TKeyDef& def, const std::string& value, uint8_t& member);
void ReadKey(const TKeyDef& def, const std::string& value, ReportParam& member);
void ReadKey(const TKeyDef& def, const std::string& value, std::string& member);
// The value as a definition line writes it.
std::string KeyText(const TKeyDef& def, int32_t member);
std::string KeyText(const TKeyDef& def, bool member);
std::string KeyText(const TKeyDef& def, uint8_t member);
std::string KeyText(const TKeyDef& def, ReportParam member);
std::string KeyText(const TKeyDef& def, const std::string& member);

// One entry of a report level's table.
template <typename Report>
struct TReportKey {
  TKeyDef def;
  // The member, or for state of another type the function that copies it.
  std::variant<int32_t Report::*, bool Report::*, uint8_t Report::*, ReportParam Report::*,
               std::string Report::*, void (*)(const Report&, Report&)>
      member;
  // Runs after the key was read (for values that follow from it).
  void (*after_read)(Report&) = nullptr;

  TReportKey AfterRead(void (*then)(Report&)) const {
    TReportKey key = *this;
    key.after_read = then;
    return key;
  }
};

template <typename Report>
using TReportKeys = std::vector<TReportKey<Report>>;

// The entries of a table of `Report` (members of its bases convert).
template <typename Report>
struct TKeys {
  using TKey = TReportKey<Report>;

  static TKey Integer(const char* key, int32_t Report::*m, unsigned flags = 0) {
    return {{.key = key, .kind = TKeyKind::kInteger, .flags = flags}, m};
  }
  static TKey IntegerOrKeep(const char* key, int32_t Report::*m, unsigned flags = 0) {
    return {{.key = key, .kind = TKeyKind::kIntegerOrKeep, .flags = flags}, m};
  }
  static TKey Positive(const char* key, int32_t Report::*m, int32_t fallback,
                       unsigned flags = 0) {
    return {{.key = key, .kind = TKeyKind::kPositive, .flags = flags, .fallback = fallback}, m};
  }
  static TKey Text(const char* key, std::string Report::*m, unsigned flags = 0) {
    return {{.key = key, .kind = TKeyKind::kText, .flags = flags}, m};
  }
  static TKey Words(const char* key, bool Report::*m, const char* true_word,
                    const char* false_word, TWordRule rule, unsigned flags = 0) {
    return {{.key = key,
             .kind = TKeyKind::kWords,
             .flags = flags,
             .true_word = true_word,
             .false_word = false_word,
             .rule = rule},
            m};
  }
  // "true" or "false": false only for "false".
  static TKey Flag(const char* key, bool Report::*m, unsigned flags = 0) {
    return Words(key, m, "true", "false", TWordRule::kUnlessFalseWord, flags);
  }
  // "true" or "false": true only for "true".
  static TKey TrueOnly(const char* key, bool Report::*m, unsigned flags = 0) {
    return Words(key, m, "true", "false", TWordRule::kOnlyTrueWord, flags);
  }
  static TKey Code(const char* key, uint8_t Report::*m, std::string (*code_text)(uint8_t),
                   uint8_t (*text_code)(std::string_view), unsigned flags = 0) {
    return {{.key = key,
             .kind = TKeyKind::kCode,
             .flags = flags,
             .code_text = code_text,
             .text_code = text_code},
            m};
  }
  static TKey Code(const char* key, ReportParam Report::*m,
                   std::string (*param_text)(ReportParam),
                   ReportParam (*text_param)(std::string_view), unsigned flags = 0) {
    return {{.key = key,
             .kind = TKeyKind::kCode,
             .flags = flags,
             .param_text = param_text,
             .text_param = text_param},
            m};
  }
  template <typename T>
  static TKey Copied(T Report::*m) {
    return {{}, m};
  }
  static TKey Copied(void (*copy)(const Report&, Report&)) { return {{}, copy}; }
};

// Reads a definition line into the members its keys name.
template <typename Report>
void ReadKeys(const TReportKeys<Report>& keys, Report& report, const std::string& line) {
  for (const TReportKey<Report>& k : keys) {
    const std::optional<std::string> value = KeyValue(k.def, line);
    if (!value) continue;
    std::visit(
        [&](auto m) {
          if constexpr (std::is_member_object_pointer_v<decltype(m)>)
            ReadKey(k.def, *value, report.*m);
        },
        k.member);
    if (k.after_read != nullptr) k.after_read(report);
  }
}

// Appends a definition line per key, in table order.
template <typename Report>
void WriteKeys(const TReportKeys<Report>& keys, Report& report, bool short_form) {
  for (const TReportKey<Report>& k : keys) {
    if (k.def.key == nullptr || (short_form && (k.def.flags & kLongForm) != 0)) continue;
    std::visit(
        [&](auto m) {
          if constexpr (std::is_member_object_pointer_v<decltype(m)>)
            report.AddDefinitionLine(std::string(k.def.key) + "=" + KeyText(k.def, report.*m));
        },
        k.member);
  }
}

// Copies what a copy takes: every entry but those marked kNotCloned.
template <typename Report>
void CopyKeys(const TReportKeys<Report>& keys, const Report& from, Report& to) {
  for (const TReportKey<Report>& k : keys) {
    if ((k.def.flags & kNotCloned) != 0) continue;
    std::visit(
        [&](auto m) {
          if constexpr (std::is_member_object_pointer_v<decltype(m)>)
            to.*m = from.*m;
          else
            m(from, to);
        },
        k.member);
  }
}

// Whether a level declares keys of its own: one that does not inherits its
// base's DefinitionKeys(), whose table is of the base's type.
template <typename Level>
concept DeclaresOwnKeys = requires {
  { Level::DefinitionKeys() } -> std::same_as<const TReportKeys<Level>&>;
};

template <typename Level, typename Base>
class TReportLevel : public Base {
 public:
  using Base::Base;

  void LoadParam(const std::string& line) override {
    Base::LoadParam(line);
    if constexpr (DeclaresOwnKeys<Level>) ReadKeys(Level::DefinitionKeys(), Self(), line);
  }
  std::string SaveParams(bool short_form) override {
    Base::SaveParams(short_form);
    if constexpr (DeclaresOwnKeys<Level>) WriteKeys(Level::DefinitionKeys(), Self(), short_form);
    return this->definition_text;
  }

 protected:
  // Copies what Clone copies into `to`, the base's share first.
  void CopyTo(Level& to) const {
    Base::CopyTo(to);
    if constexpr (DeclaresOwnKeys<Level>) CopyKeys(Level::DefinitionKeys(), Self(), to);
  }

 private:
  Level& Self() { return static_cast<Level&>(*this); }
  const Level& Self() const { return static_cast<const Level&>(*this); }
};

// What a report type is: its key in "type=" lines, its caption (the name
// of a new report) and the page that holds its section.
struct TReportIdentity {
  static constexpr int kUntranslated = -1;

  const char* key;
  int caption_id;  // text id of the caption, or kUntranslated
  const char* caption;
  const char* page_file = nullptr;  // null: the details page
};

// The caption in the user's language.
std::string CaptionOf(const TReportIdentity& identity);

template <typename Type, typename Base>
class TReportOf : public TReportLevel<Type, Base> {
 public:
  explicit TReportOf(TReportContext& ctx) : TReportLevel<Type, Base>(ctx) {
    this->report_type = Type::kIdentity.key;
    this->report_name = StaticTypeCaption();
    if (Type::kIdentity.page_file != nullptr) this->page_file = Type::kIdentity.page_file;
  }

  static std::string StaticTypeCaption() { return CaptionOf(Type::kIdentity); }
  std::string TypeCaption() const override { return StaticTypeCaption(); }

  // A new report of the type with what CopyTo copies (never the collected
  // data).
  std::unique_ptr<TCustomWReport> Clone() const override {
    auto copy = std::make_unique<Type>(this->ctx_);
    this->CopyTo(*copy);
    return copy;
  }
};

}  // namespace trelvar
