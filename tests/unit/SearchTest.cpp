#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using test::TempDir;

class Search : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.SetInflector(test::FakeInflect);
    std::vector<std::string> files = {
        dir_.Write("s.EN.txt",
                   "Please make up your mind.\n"
                   "They are making up stories.\n"
                   "The colourful kite.\n"
                   "She gave up; she gives up often.\n"
                   "Give THE book to him.\n"),
        dir_.Write("s.ZH.txt", "请下定决心。\n他们在编故事。\n彩色的风筝。\n她放弃了，她常常放弃。\n把书给他。\n"),
        dir_.Write("t.EN.txt", "Up and up we go.\n"),
        dir_.Write("t.ZH.txt", "我们越来越高。\n")};
    engine_.SetFiles(files);
  }

  TIntArr Hits(const std::string& query, bool lemmatize = false) {
    engine_.Search(query, lemmatize);
    EXPECT_EQ(engine_.HitCount(), static_cast<int>(engine_.Hits().size()));
    return engine_.Hits();
  }
  TIntArr Filtered(const std::string& query, const std::string& filter, bool exclude, bool lemmatize = false) {
    engine_.SetFilter(filter, exclude, lemmatize);
    return Hits(query);
  }

  void LoadWordLists() {
    // "kite" maps to an expression that does not compile.
    dir_.Write("dic/EN-ZH.txt", "make up=下定|编\nkite=(\n");
    dir_.Write("dic/ZH-EN.txt", "放弃=give up|abandon\n");
    engine_.LoadDictionaries(dir_.Path("dic"));
  }

  using V = TIntArr;
  TempDir dir_;
  TKorvel engine_;
};

TEST_F(Search, PhraseIsOneUnitInWordBoundariesUnlessLemmatised) {
  EXPECT_EQ(Hits("make up"), V({0}));
  EXPECT_EQ(engine_.Pattern(), "\\b(make up)\\b");
  EXPECT_EQ(Hits("make up", true), V({0, 1}));
  EXPECT_EQ(engine_.Pattern(), "\\b((makes|made|making|make) up)\\b");
  EXPECT_EQ(Hits("give", true), V({3, 4}));
}

TEST_F(Search, LemmatisingWordsWithoutFormsGivesThePlainSearch) {
  for (const char* q : {"up", "make up", "the", "kite", "colou?r", "放弃"}) {
    engine_.SetInflector(test::FakeInflect);
    const V plain = Hits(q);
    const std::string pattern = engine_.Pattern();
    engine_.SetInflector([](const std::string&) { return std::string(); });
    EXPECT_EQ(Hits(q, true), plain) << q;
    EXPECT_EQ(engine_.Pattern(), pattern) << q;
  }
}

TEST_F(Search, RegexAndChineseQueriesAreUsedVerbatim) {
  engine_.SetInflector([](const std::string&) { return std::string("x|"); });  // any expansion would show
  EXPECT_EQ(Hits("colour"), V({}));
  EXPECT_EQ(Hits("colou?r", true), V({2}));  // inside "colourful"
  EXPECT_EQ(engine_.Pattern(), "colou?r");
  EXPECT_EQ(Hits(" 放弃 ", true), V({3}));
  EXPECT_TRUE(engine_.QueryIsChinese());
  EXPECT_EQ(engine_.Pattern(), "放弃");
  EXPECT_EQ(Hits("kite*"), V({2}));
  EXPECT_EQ(engine_.Pattern(), "\\b(kite*)\\b");  // "*" alone does not make a regex
}

TEST_F(Search, ExcludeFilterDropsPairsWhoseAlignedLineMatches) {
  EXPECT_EQ(Filtered("up", "放弃", false), V({3}));
  EXPECT_EQ(Filtered("up", "放弃", true), V({0, 1, 5}));
  // Ascending, once per pair though "up" is twice in 3 and 5; an empty
  // filter excludes nothing.
  EXPECT_EQ(Filtered("UP", " ", true), V({0, 1, 3, 5}));
  // An English filter is still tried on the Chinese side.
  EXPECT_EQ(Filtered("up", "mind", false), V({}));
  EXPECT_EQ(Filtered("up", "mind", true), V({0, 1, 3, 5}));
  // A lemmatised filter is a word group; for a Chinese query it tests English.
  EXPECT_EQ(Filtered("放弃", "SHE", false), V({3}));
  EXPECT_EQ(Filtered("放弃", "give", false, true), V({3}));
  EXPECT_EQ(engine_.Filter(), "\\b(gives|gave|given|giving|give)\\b");
}

TEST_F(Search, EquivalentsComeFromTheQueryLanguagesList) {
  EXPECT_EQ(Hits("make up"), V({0}));
  EXPECT_EQ(engine_.Equivalents(), "");  // no word lists loaded
  LoadWordLists();
  Hits("make up", true);
  EXPECT_EQ(engine_.Equivalents(), "下定|编");
  Hits("放弃");  // expanded and wrapped though the query is not lemmatised
  EXPECT_EQ(engine_.Equivalents(), "\\b(gives|gave|given|giving|give|up|abandon)\\b");
  Hits("colourful");
  EXPECT_EQ(engine_.Equivalents(), "");
  EXPECT_EQ(Hits("kite"), V({2}));  // a value that does not compile is dropped
  EXPECT_EQ(engine_.Equivalents(), "");
}

TEST_F(Search, StateChangesOnlyWhenASearchSucceeds) {
  LoadWordLists();
  engine_.SetFilter("编", true, false);
  EXPECT_EQ(engine_.Filter(), "");  // recorded, not in force yet
  EXPECT_EQ(Hits("make up", true), V({0}));  // "making up" has 编 beside it
  EXPECT_EQ(engine_.Filter(), "编");
  EXPECT_TRUE(engine_.ExcludeFilter());
  auto state = [&] {
    return std::tuple(engine_.QueryIsChinese(), engine_.Hits(), engine_.HitCount(), engine_.Pattern(),
                      engine_.Filter(), engine_.ExcludeFilter(), engine_.Equivalents());
  };
  const auto before = state();
  engine_.SetFilter("(", false, false);
  EXPECT_THROW(engine_.Search("放弃", false), ERegExpr);
  EXPECT_EQ(state(), before);
  engine_.SetFilter("", false, false);
  EXPECT_THROW(engine_.Search("A++", false), ERegExpr);
  EXPECT_THROW(engine_.Search("*", false), ERegExpr);  // wrapped, nothing to repeat
  EXPECT_EQ(state(), before);
  auto cancelAtSecond = [](std::size_t done, std::size_t) {
    if (done == 1) throw EAbort();
  };
  EXPECT_THROW(engine_.Search("up", false, cancelAtSecond), EAbort);
  EXPECT_EQ(state(), before);
  TKorvel empty;  // expressions compile even with no lines to search
  EXPECT_THROW(empty.Search("(", false), ERegExpr);
}

// Regression: a plain query or lemmatised filter beginning with "*" was
// wrapped as "\b(*ACCEPT)\b", which PCRE2 reads as a verb: every line was a
// hit. Compile errors also counted positions in the wrapping ("*", pos 3).
TEST_F(Search, PlainTextStartingWithAStarIsACompileErrorAtItsTypedPosition) {
  const std::string noRepeat = "quantifier does not follow a repeatable item (pos 0)";
  for (const char* verb : {"*ACCEPT", "*COMMIT", "*SKIP", "*MARK:x", "*", "**"}) {
    EXPECT_EQ(test::ErrorOf([&] { engine_.Search(verb, false); }), noRepeat) << verb;
    EXPECT_EQ(test::ErrorOf([&] { engine_.Search(verb, true); }), noRepeat) << verb;
    engine_.SetFilter(verb, false, true);
    EXPECT_EQ(test::ErrorOf([&] { engine_.Search("up", false); }), noRepeat) << verb;
    engine_.SetFilter("", false, false);
  }
  EXPECT_EQ(test::ErrorOf([&] { engine_.Search("a**", false); }), "quantifier does not follow a repeatable item (pos 2)");
  EXPECT_EQ(test::ErrorOf([&] { engine_.Search("(a", false); }), "missing closing parenthesis (pos 2)");
}

// The message stays what it was; the place says which box to fix, also
// for a lemmatised query whose position counts in what was typed.
TEST_F(Search, ACompileErrorNamesItsBoxBesideAnUnchangedMessage) {
  auto place = [&](const std::string& query, bool lemma) {
    try {
      engine_.Search(query, lemma);
    } catch (const ERegExpr& e) {
      return std::string(e.what()) + (e.Place() == TExprPlace::Query    ? " in the query"
                                      : e.Place() == TExprPlace::Filter ? " in the filter"
                                                                        : "");
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(place("(a", false), "missing closing parenthesis (pos 2) in the query");
  EXPECT_EQ(place("*", true), "quantifier does not follow a repeatable item (pos 0) in the query");
  engine_.SetFilter("a)b", false, false);
  EXPECT_EQ(place("up", false), "unmatched closing parenthesis (pos 1) in the filter");
  engine_.SetFilter("*", false, true);
  EXPECT_EQ(place("up", false), "quantifier does not follow a repeatable item (pos 0) in the filter");
}

// Regression: \b knows only ASCII word characters, so "café" never ended at
// a word's edge and found nothing. Accented edges now stop at letters of any
// alphabetic script and at digits, and CJK is an edge as before; ASCII
// edges keep \b. Both ways of scanning agree.
TEST(SearchWords, AccentedWordsMatchWholeWordsOnly) {
  TempDir dir;
  std::vector<std::string> files = {
      dir.Write("a.EN.txt", "A café here.\nTwo cafés.\nMy résumé, naïve Zoë!\nCAFÉ society\ncaféine\n咖啡café咖啡\n"
                            "Zoë2 Zoëa résuméx\n"),
      dir.Write("a.ZH.txt", "一\n二\n三\n四\n五\n六\n七\n")};
  for (const bool whole : {true, false}) {
    SCOPED_TRACE(whole);
    TKorvel engine;
    engine.SetTuning({2, whole});
    engine.SetFiles(files);
    engine.Search("café", false);
    EXPECT_EQ(engine.Hits(), TIntArr({0, 3, 5}));  // not cafés nor caféine; CAFÉ folds
    EXPECT_EQ(engine.Pattern(),
              "\\b(café)(?![\\p{Latin}\\p{Greek}\\p{Cyrillic}\\p{N}_])");
    for (const char* word : {"résumé", "naïve", "Zoë"}) {
      engine.Search(word, false);
      EXPECT_EQ(engine.Hits(), TIntArr({2})) << word;
    }
    engine.Search("élan", false);
    EXPECT_TRUE(engine.Pattern().starts_with("(?<![\\p{Latin}\\p{Greek}\\p{Cyrillic}\\p{N}_])(élan)"));
  }
}

// ICU reads 这个人很好 as 这个|人|很好, and 人们 and 工人 as words of their own.
TEST(SearchWords, ChineseQueryAndFilterMatchOnlyWholeWordsWhenAsked) {
  TempDir dir;
  std::vector<std::string> files = {dir.Write("w.EN.txt", "one\ntwo\nthree\n"),
                                    dir.Write("w.ZH.txt", "人们\n这个人很好\n工人\n")};
  TKorvel engine;
  engine.SetFiles(files);
  engine.Search("人", false);
  EXPECT_EQ(engine.Hits(), TIntArr({0, 1, 2}));
  engine.SetChineseWords(true);
  engine.Search("人", false);
  EXPECT_EQ(engine.Hits(), TIntArr({1}));
  engine.Search("人?", false);  // an empty match is no word
  EXPECT_EQ(engine.Hits(), TIntArr({1}));
  engine.Search("one|t", false);  // English queries are as before
  EXPECT_EQ(engine.Hits(), TIntArr({0, 1, 2}));
  engine.SetFilter("人", false, false);
  engine.Search("one|t", false);
  EXPECT_EQ(engine.Hits(), TIntArr({1}));
  engine.SetFilter("人", true, false);
  engine.Search("one|t", false);
  EXPECT_EQ(engine.Hits(), TIntArr({0, 2}));
}

// Regression: names were trimmed, so " sp" read the folder "sp" and a name
// ending in a blank was not found.
TEST(SearchFiles, PathsAreTakenExactlyAsGiven) {
  TempDir dir;
  std::vector<std::string> files = {dir.Write(" sp/a.EN.txt ", "right\n"), dir.Write(" sp/a.ZH.txt ", "\xE5\xAF\xB9\n")};
  TKorvel engine;
  engine.SetFiles(files);
  ASSERT_EQ(engine.Data().size(), 1u);
  EXPECT_EQ(engine.Data()[0].EnLine, "right");
}

}  // namespace
}  // namespace korvel
