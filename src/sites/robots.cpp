#include "sites/robots.h"

#include "base/text_helpers.h"
#include "platform/files.h"

namespace trelvar {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether `part` occurs in `text` (both lower case) at a place where an
// entry ending in a letter is not followed by another letter.
bool OccursAsWordEnd(std::string_view text, std::string_view part) {
  const bool letter_end = IsLetter(part.back());
  for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
    const size_t end = at + part.size();
    if (!letter_end || end == text.size() || !IsLetter(text[end])) return true;
  }
  return false;
}

const std::string kPerson;

}  // namespace

void TRobots::AddLine(std::string_view line) {
  std::string text = Trim(line);
  if (text.empty() || text[0] == '#') return;
  if (text[0] == '!') {
    std::string person = LowerCase(Trim(std::string_view(text).substr(1)));
    if (!person.empty()) people_.push_back(std::move(person));
    return;
  }
  std::string lower = LowerCase(text);
  robots_.push_back({std::move(text), std::move(lower)});
}

void TRobots::LoadFromText(std::string_view text) {
  Clear();
  for (const std::string& line : SplitTextLines(text)) AddLine(line);
}

bool TRobots::LoadFromFile(const std::string& path) {
  Clear();
  std::string text;
  if (!platform::IsRegularFile(path) || !platform::ReadWholeFile(path, text)) return false;
  LoadFromText(text);
  return true;
}

void TRobots::Clear() {
  robots_.clear();
  people_.clear();
}

const std::string& TRobots::RobotOf(std::string_view agent) const {
  if (robots_.empty() || agent.empty()) return kPerson;
  const std::string lower = LowerCase(agent);
  for (const std::string& person : people_)
    if (lower.find(person) != std::string::npos) return kPerson;
  for (const TEntry& e : robots_)
    if (OccursAsWordEnd(lower, e.lower)) return e.name;
  return kPerson;
}

}  // namespace trelvar
