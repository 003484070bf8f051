// The shipped language files: every text the code translates is in
// English.lng with the code's default, and Deutsch.lng translates them all.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "base/ini_document.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "test_support.h"

namespace trelvar {
namespace {

const std::string kSource = TRELVAR_SOURCE_DIR;

// C string literal contents with their escapes resolved.
std::string Unescape(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      r += s[i];
      continue;
    }
    char c = s[++i];
    r += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return r;
}

// id -> default of every Translate(id, "default") call in the sources (and
// of Tr(id, "default"), its form in the windows).
std::multimap<int, std::string> TranslateCalls(std::vector<std::string>& odd_calls) {
  const std::regex call(R"re(\b(?:Translate|Tr)\(\s*(\d+)\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\))re");
  const std::regex piece(R"re("((?:[^"\\]|\\.)*)")re");
  const std::regex any_call(R"re(\b(?:Translate|Tr)\(\s*[^)i])re");
  std::multimap<int, std::string> calls;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kSource + "/src")) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    const std::string text = test::ReadFile(entry.path().string());
    for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
      std::string def;
      const std::string literals = (*it)[2];
      for (std::sregex_iterator p(literals.begin(), literals.end(), piece); p != end; ++p)
        def += Unescape((*p)[1]);
      calls.emplace(std::stoi((*it)[1]), def);
    }
    // Calls the pattern above cannot read (an id or default that is not a
    // literal) would escape the check.
    for (std::sregex_iterator it(text.begin(), text.end(), any_call), end; it != end; ++it) {
      const std::string at = text.substr(static_cast<size_t>(it->position()), 60);
      if (!std::regex_search(at, std::regex(R"(^(?:Translate|Tr)\(\s*\d)")))
        odd_calls.push_back(entry.path().filename().string() + ": " + at);
    }
  }
  return calls;
}

TEST(LanguageFiles, EveryTranslatedTextIsInEnglishWithItsDefault) {
  std::vector<std::string> odd;
  const auto calls = TranslateCalls(odd);
  ASSERT_FALSE(calls.empty());
  const TIniDocument english(kSource + "/Language/English.lng");
  // Text 291 has two defaults: the basic report's row of summed counts
  // says "value" where the other rows say "number". The English file
  // leaves it out, so that each row shows its own default.
  const std::map<int, std::set<std::string>> by_call_site = {
      {291, {"Subtotal number of", "Subtotal value of"}}};
  for (const auto& [id, def] : calls) {
    const std::string in_file =
        ReplaceEach(english.ReadString("Strings", std::to_string(id), "\x01missing"), "||", "\r\n");
    if (const auto site = by_call_site.find(id); site != by_call_site.end()) {
      EXPECT_EQ(in_file, "\x01missing") << "text id " << id;
      EXPECT_EQ(site->second.count(def), 1u) << "text id " << id << ": " << def;
    } else {
      EXPECT_EQ(in_file, def) << "text id " << id;
    }
  }
  for (const auto& [id, defaults] : by_call_site)
    for (const std::string& def : defaults) {
      bool used = false;
      for (auto [it, end] = calls.equal_range(id); it != end; ++it) used = used || it->second == def;
      EXPECT_TRUE(used) << "text id " << id << " is no longer used with \"" << def << "\"";
    }
  for (const std::string& o : odd) ADD_FAILURE() << "Translate call without literal id: " << o;
}

TEST(LanguageFiles, GermanTranslatesEveryEnglishText) {
  const std::string english = test::ReadFile(kSource + "/Language/English.lng");
  const TIniDocument german(kSource + "/Language/Deutsch.lng");
  EXPECT_EQ(german.ReadString("Strings", "LanguageName", ""), "Deutsch");
  const std::regex id_line(R"(\r?\n(\d+)=)");
  int ids = 0;
  for (std::sregex_iterator it(english.begin(), english.end(), id_line), end; it != end; ++it) {
    ++ids;
    EXPECT_NE(german.ReadString("Strings", (*it)[1].str(), ""), "") << "text id " << (*it)[1];
  }
  EXPECT_GT(ids, 0);
}

TEST(LanguageFiles, GermanLocaleSwitchesTexts) {
  TLangTranslator t(kSource, "de_AT");
  RunControl().SetTexts(&t);
  t.SetFolder("Language");
  EXPECT_EQ(t.CurrentLanguage(), "Deutsch");
  EXPECT_EQ(Translate(206, "Server name:"), "Servername:");
  t.SetLanguage("English");
  EXPECT_EQ(Translate(206, "Server name:"), "Server name:");
}

}  // namespace
}  // namespace trelvar
