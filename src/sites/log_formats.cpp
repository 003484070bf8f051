#include "sites/log_formats.h"

#include "base/text_helpers.h"

namespace trelvar {

std::string TLogFmts::GetTemplate(std::string_view name) const {
  for (const TEntry& e : entries_)
    if (e.name == name) return e.line_template;
  return "";
}

int TLogFmts::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (SameText(entries_[i].name, name)) return static_cast<int>(i);
  return -1;
}

void TLogFmts::AddFormatLine(std::string_view line) {
  const size_t semicolon = line.find(';');
  if (semicolon == std::string_view::npos) return;
  const std::string name = Trim(line.substr(0, semicolon));
  const std::string line_template(line.substr(semicolon + 1));
  const int index = IndexOf(name);
  if (line_template.empty()) {
    if (index >= 0) entries_.erase(entries_.begin() + index);
  } else if (index >= 0) {
    entries_[static_cast<size_t>(index)].line_template = line_template;
  } else {
    entries_.push_back({name, line_template});
  }
}

std::vector<std::string> TLogFmts::FormatLines() const {
  std::vector<std::string> lines;
  lines.reserve(entries_.size());
  for (const TEntry& e : entries_) lines.push_back(e.name + ";" + e.line_template);
  return lines;
}

std::string TLogFmts::FindNameByTemplate(std::string_view line_template) const {
  std::string found;
  for (const TEntry& e : entries_)
    if (e.line_template == line_template) found = e.name;
  return found;
}

std::string TLogFmts::MakeFreeName(std::string_view base) const {
  for (int n = 0;; ++n) {
    std::string candidate = std::string(base) + " " + std::to_string(n);
    if (IndexOf(candidate) < 0) return candidate;
  }
}

std::vector<std::string> TLogFmts::Names() const {
  std::vector<std::string> names;
  for (const TEntry& e : entries_) names.push_back(e.name);
  return names;
}

std::string W3CFieldToken(std::string_view field) {
  static const struct {
    const char* field;
    const char* piece;
  } kTokens[] = {
      {"date", "<year>-<month>-<day>"}, {"time", "<hour>:<min>:<sec>"},
      {"c-ip", "<ip>"},                 {"cs-username", "<username>"},
      {"s-ip", "<nil>"},                {"cs-method", "<method>"},
      {"cs-uri-stem", "<href>"},        {"cs-uri-query", "<uri_query>"},
      {"sc-status", "<status>"},        {"sc-bytes", "<bytes>"},
      {"cs-bytes", "<nil>"},            {"time-taken", "<time_taken>"},
      {"cs-version", "<version>"},      {"cs-host", "<host>"},
      {"cs(User-Agent)", "<agent>"},    {"cs(Cookie)", "<cooki>"},
      {"cs(Referer)", "<referrer>"},    {"s-port", "<nil>"},
  };
  for (const auto& t : kTokens)
    if (field == t.field) return t.piece;
  return "<nil>";
}

std::string NetscapeVarToken(std::string_view var) {
  static const struct {
    const char* var;
    const char* piece;
  } kTokens[] = {
      {"[%SYSDATE%]", "[<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>]"},
      {"%Ses->client.ip%", "<ip>"},
      {"%Req->vars.auth-user%", "<username>"},
      {"%Req->reqpb.method%", "<nil>"},
      {"\"%Req->reqpb.clf-request%\"", "\"<method> <href> <version>\""},
      {"%Req->reqpb.uri%", "<uri_query>"},
      {"%Req->reqpb.query%", "<nil>"},
      {"%Req->srvhdrs.clf-status%", "<status>"},
      {"%Req->srvhdrs.content-length%", "<bytes>"},
      {"time-taken", "<time_taken>"},
      {"\"%Req->reqpb.protocol%\"", "\"<version>\""},
      {"\"%Req->headers.user-agent%\"", "\"<agent>\""},
      {"\"%Req->headers.referer%\"", "\"<referrer>\""},
  };
  for (const auto& t : kTokens)
    if (var == t.var) return t.piece;
  return "<nil>";
}

std::vector<std::string> SplitQuoted(std::string_view text, std::string_view separators) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (char c : text) {
    if (quoted) {
      if (c == '"') {
        if (!word.empty()) words.push_back(word);
        word.clear();
        in_word = quoted = false;
      } else {
        word += c;
      }
    } else if (separators.find(c) != std::string_view::npos) {
      if (!word.empty()) words.push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '"' && !in_word) {
      quoted = in_word = true;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

}  // namespace trelvar
