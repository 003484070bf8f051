// The robot catalogue: tells web crawlers and other robots from people by
// their user agent.
//
// Entries come from "spiders.ini" of the data folder, one agent text per
// line (trimmed; blank lines and lines beginning with "#" are comments),
// and keep their file order: the first entry found in an agent names its
// robot, so generic words placed last catch only what the named robots do
// not. A line "!text" names an agent text that is never a robot, wherever
// it stands (a phone brand such as "Cubot" holds "bot").
//
// An entry is found without regard to ASCII letter case, and only where the
// agent does not go on with a letter after it: "bot" finds "LumiBot 2.0" and
// "MJ12bot/1.4" but not "Bottle". A missing or unreadable file is an empty
// catalogue (no robots), never an error. Read-only once loaded, so
// concurrent readers are safe; matching costs one pass per entry, so
// callers remember their answers per agent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

class TRobots {
 public:
  // Adds one line of the file (comments and blank lines add nothing).
  void AddLine(std::string_view line);
  // Replaces the catalogue with the lines of a text.
  void LoadFromText(std::string_view text);
  // Replaces the catalogue with the file; false (and no robots) when the
  // file is missing or unreadable.
  bool LoadFromFile(const std::string& path);
  void Clear();

  size_t Count() const { return robots_.size(); }
  // The robot entries as written, in file order.
  const std::string& Entry(size_t index) const { return robots_.at(index).name; }

  // The entry that names the robot of the agent; an empty text for a person.
  // The reference stays valid until the catalogue changes.
  const std::string& RobotOf(std::string_view agent) const;

 private:
  struct TEntry {
    std::string name;   // as written
    std::string lower;  // ASCII lower case, for matching
  };
  std::vector<TEntry> robots_;
  std::vector<std::string> people_;  // lower case
};

}  // namespace trelvar
