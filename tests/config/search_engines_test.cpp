#include "config/search_engines.h"

#include <gtest/gtest.h>

namespace trelvar::search {
namespace {

TEST(TSearchEngines, DefinitionLinesReadAndWritten) {
  TSearchEngines s;
  s.AddEngineLine("Google;google.;q,as_q");
  s.AddEngineLine("Odd;key;a,,b,");  // empty piece kept, empty rest dropped
  s.AddEngineLine("Anywhere;p,q");   // no second ";": empty domain key
  s.AddEngineLine("no separator");
  ASSERT_EQ(s.EngineCount(), 3u);
  EXPECT_EQ(s.Engine(1).parameters, (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(s.Engine(2).domain_key, "");
  EXPECT_EQ(s.Engine(2).parameters, (std::vector<std::string>{"p", "q"}));
  EXPECT_EQ(s.EngineLine(0), "SearchEngine=Google;google.;q,as_q");
  EXPECT_EQ(s.EngineLine(1), "SearchEngine=Odd;key;a,,b");
  EXPECT_EQ(s.EngineLine(2), "SearchEngine=Anywhere;;p,q");
}

TEST(TSearchEngines, EngineAndPhraseOfAReferrer) {
  TSearchEngines s;
  s.AddEngineLine("Yahoo;search.yahoo.;p,q");
  s.AddEngineLine("Google;google.;q");
  EXPECT_EQ(s.EngineOf("http://www.google.de"), "Google");
  EXPECT_EQ(s.EngineOf("http://search.yahoo.com"), "Yahoo");
  EXPECT_EQ(s.EngineOf("http://www.example.com"), "");
  // The first parameter of the list decides, not the first in the query.
  EXPECT_EQ(s.SearchPhrase("http://search.yahoo.com", "?q=second&p=first+one"), "first+one");
  EXPECT_EQ(s.SearchPhrase("http://www.google.com", "?hl=en&q=blue%20widgets&x=1"),
            "blue%20widgets");
  EXPECT_EQ(s.SearchPhrase("http://www.google.com", "?aq=tail"), "tail");  // plain substring
  EXPECT_EQ(s.SearchPhrase("http://www.google.com", ""), "");
  EXPECT_EQ(s.SearchPhrase("http://www.google.com", "?hl=en"), "");
  EXPECT_EQ(s.SearchPhrase("http://www.example.com", "?q=x"), "");

  s.AddEngineLine("Anywhere;;query");
  EXPECT_EQ(s.SearchPhrase("http://intranet", "?query=any"), "any");
}

TEST(TSearchEngines, LaterMatchingEnginesAreTriedWhenEarlierHaveNoParameter) {
  TSearchEngines s;
  s.AddEngineLine("Mail;mail.;words");
  s.AddEngineLine("Mail search;mail.;q");
  EXPECT_EQ(s.SearchPhrase("http://go.mail.ru", "?q=x"), "x");
}

TEST(NextWord, CutsAtSingleBlanks) {
  std::string phrase = "cheap  blue widgets";
  EXPECT_EQ(NextWord(phrase), "cheap");
  EXPECT_EQ(NextWord(phrase), "");  // two blanks in a row
  EXPECT_EQ(NextWord(phrase), "blue");
  EXPECT_EQ(NextWord(phrase), "widgets");
  EXPECT_EQ(phrase, "");
  EXPECT_EQ(NextWord(phrase), "");
}

}  // namespace
}  // namespace trelvar::search
