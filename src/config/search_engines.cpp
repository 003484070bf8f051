#include "config/search_engines.h"

namespace trelvar::search {

void TSearchEngines::AddEngineLine(std::string_view text) {
  size_t first = text.find(';');
  if (first == std::string_view::npos) return;
  TSearchEngine e;
  e.name = std::string(text.substr(0, first));
  std::string_view rest = text.substr(first + 1);
  if (size_t second = rest.find(';'); second != std::string_view::npos) {
    e.domain_key = std::string(rest.substr(0, second));
    rest.remove_prefix(second + 1);
  }
  for (size_t comma; (comma = rest.find(',')) != std::string_view::npos;) {
    e.parameters.emplace_back(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
  }
  if (!rest.empty()) e.parameters.emplace_back(rest);
  engines_.push_back(std::move(e));
}

std::string TSearchEngines::EngineLine(size_t index) const {
  const TSearchEngine& e = engines_.at(index);
  std::string line = "SearchEngine=" + e.name + ";" + e.domain_key + ";";
  for (size_t i = 0; i < e.parameters.size(); ++i) {
    if (i > 0) line += ",";
    line += e.parameters[i];
  }
  return line;
}

std::string TSearchEngines::EngineOf(std::string_view site) const {
  for (const TSearchEngine& e : engines_)
    if (site.find(e.domain_key) != std::string_view::npos) return e.name;
  return "";
}

std::string TSearchEngines::SearchPhrase(std::string_view site, std::string_view query) const {
  if (query.empty()) return "";
  for (const TSearchEngine& e : engines_) {
    if (site.find(e.domain_key) == std::string_view::npos) continue;
    for (const std::string& p : e.parameters) {
      const std::string key = p + "=";
      size_t at = query.find(key);
      if (at == std::string_view::npos) continue;
      std::string_view value = query.substr(at + key.size());
      return std::string(value.substr(0, value.find('&')));
    }
  }
  return "";
}

std::string NextWord(std::string& phrase) {
  size_t blank = phrase.find(' ');
  if (blank == std::string::npos) {
    std::string word = std::move(phrase);
    phrase.clear();
    return word;
  }
  std::string word = phrase.substr(0, blank);
  phrase.erase(0, blank + 1);
  return word;
}

}  // namespace trelvar::search
