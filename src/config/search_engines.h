// The search engine catalogue: recognises a search engine in a referrer
// and takes the visitor's search phrase from the referrer's query.
//
// Entries come from "SearchEngine=" lines of main.ini (name;domain
// key;parameters) and keep their order; earlier entries win. Lives in its
// own namespace because a report type carries the same class name. Owned by
// the main settings; read-only during an analysis, so concurrent readers are
// safe once loading is done.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trelvar::search {

struct TSearchEngine {
  std::string name;
  std::string domain_key;               // occurs in the site part of referrers
  std::vector<std::string> parameters;  // query parameters that may carry the phrase
};

class TSearchEngines {
 public:
  // name;domain key;p1,p2,... A text without ";" is ignored.
  void AddEngineLine(std::string_view text);
  // "SearchEngine=" + name + ";" + domain key + ";" + parameters joined by ",".
  std::string EngineLine(size_t index) const;
  size_t EngineCount() const { return engines_.size(); }
  const TSearchEngine& Engine(size_t index) const { return engines_.at(index); }
  void Clear() { engines_.clear(); }

  // The first engine whose domain key occurs in `site`, or "".
  std::string EngineOf(std::string_view site) const;
  // The raw (undecoded) value of the first parameter found in `query` of
  // the first matching engine that has one; "" when none.
  std::string SearchPhrase(std::string_view site, std::string_view query) const;

 private:
  std::vector<TSearchEngine> engines_;
};

// Cuts the text before the first blank off `phrase` and returns it; the
// phrase keeps the text after that blank.
std::string NextWord(std::string& phrase);

}  // namespace trelvar::search
