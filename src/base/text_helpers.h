// Small text utilities shared by every subsystem.
//
// Texts are byte strings; letter-case operations touch ASCII letters only.
// Positions in the rules are 1-based where a function takes one. Every
// function is pure and thread-safe.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

// Trimming removes characters with codes up to the blank (32).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);  // case-insensitive
bool Contains(std::string_view text, std::string_view part);
// A hash of a text for small tables of recently used values (its top bits
// give the slot): of its length and of up to 24 of its bytes (the first,
// middle and last eight), cheap for long texts; a hit must still compare
// the whole text.
uint64_t RecentTextHash(std::string_view text);

// Integers: optional blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$" or "0x". Nothing may follow.
bool TryStrToInt64(std::string_view text, int64_t& out);
bool TryStrToInt(std::string_view text, int& out);
// Raises EConvertError "'text' is not a valid integer value".
int StrToInt(std::string_view text);
int StrToIntDef(std::string_view text, int fallback);

// Upper-cases, then adds each character's value (digits, A-F) to the result
// shifted by four bits. Raises EConvertError for any other character.
int64_t HexToInt(std::string_view text);

// Replaces the first occurrence of `find` again and again, each time
// searching from the start, until none is left.
std::string ReplaceAll(std::string_view find, std::string_view replacement, std::string text);
// One left-to-right pass replacing every occurrence.
std::string ReplaceEach(std::string_view text, std::string_view find,
                        std::string_view replacement);
// A translated sentence with its values: "%1" to "%9" in `pattern` become
// args[0] to args[8], in one pass (a value holding "%2" stays as it is).
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);
std::string ReplaceChar(std::string text, char from, char to);
std::string RemoveChar(std::string_view text, char c);
int CountChar(char c, std::string_view text);

// Path separators: user paths may come with "\"; these give "/" throughout.
std::string ToNativeSeparators(std::string text);  // every "\" becomes "/"
std::string ToNativeDir(std::string text);         // ... and a final "/" when not empty
std::string ToSlashDir(std::string text);          // the same, for web addresses

std::string BoolText(bool value);          // "true" / "false"
bool TextBool(std::string_view text);      // false only for "false" (trimmed, any case)
std::string PluralS(long long n);          // "s", or "" for 1
int Sign(double x);                        // -1, 0 or 1

// key=value lines: without "=" both are empty; else the key is the text
// before the first "=", trimmed and lower-cased, the value the rest.
struct TKeyValue {
  std::string key;
  std::string value;
};
TKeyValue SplitKeyValue(std::string_view line);

// The lines of a text file; CR LF, LF and CR all end a line. A final line
// end does not start another line.
std::vector<std::string> SplitTextLines(std::string_view text);

// Removes every run from "<" to the next ">"; a "<" without ">" goes alone.
std::string StripTags(std::string_view text);

// Returns the text before the first `separator` and leaves the rest after
// it in `text`; without the separator returns all and empties `text`.
std::string SplitFirst(std::string& text, std::string_view separator);

// The n-th word (1-based); runs of characters of `delimiters` separate words.
std::string WordAt(int n, std::string_view text, std::string_view delimiters);

std::string BeforeChar(std::string_view text, char c);  // all when c is absent
std::string AfterChar(std::string_view text, char c);   // empty when c is absent
// In a list of "name=value" lines, replaces the line of `name` or appends one.
void SetNameValue(std::vector<std::string>& list, std::string_view name,
                  std::string_view value);

// An environment variable, at most 255 characters of it; false when unset.
bool GetEnvText(const std::string& name, std::string& value);

// The attribute of a report table row: "class=\"OddRaw\"" or "class=\"EvenRaw\"".
std::string RowClass(long long index);

}  // namespace trelvar
