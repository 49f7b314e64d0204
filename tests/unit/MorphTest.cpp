// Inflection is the caller's whole view of MyDLL; the word lists are read here
// only to run every listed word through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "MorphData.h"
#include "MyDLL.h"

namespace {

namespace data = korvel::morph;

std::string forms(const std::string& word) {
  char buf[68];
  Inflection(word.c_str(), buf);
  return buf;
}

std::vector<std::string> pieces(const std::string& f) {
  std::vector<std::string> out;
  for (size_t start = 0, bar; (bar = f.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(f.substr(start, bar - start));
  return out;
}

std::vector<std::string> words(std::string_view list) {
  std::vector<std::string> out;
  std::string w;
  for (char c : std::string(list) + ' ') {
    if (c == ' ' || c == '\n') {
      if (!w.empty()) out.push_back(w);
      w.clear();
    } else if (c != '*') {
      w += c;
    }
  }
  return out;
}

std::vector<std::vector<std::string>> families() {
  std::vector<std::vector<std::string>> out;
  std::string_view text = data::kFamilies;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    if (end > start) out.push_back(words(text.substr(start, end - start)));
  }
  return out;
}

std::vector<std::string> everyListedWord() {
  std::set<std::string> all;
  for (const auto& family : families()) all.insert(family.begin(), family.end());
  for (auto list : {data::kVerbs, data::kNouns, data::kAdjectives, data::kUninflectedWords,
                    data::kClosedWords})
    for (const auto& w : words(list)) all.insert(w);
  return {all.begin(), all.end()};
}

// What every answer must be: whole lower-case forms, each once, without the
// word itself and without anything a regex would read as syntax.
void expectWellFormed(const std::string& word, const std::string& f) {
  SCOPED_TRACE(word + " -> " + f);
  ASSERT_LE(f.size(), 67u);
  if (f.empty()) return;
  EXPECT_EQ(f.back(), '|');
  EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '|'; }));
  std::string lower = word;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::set<std::string> seen;
  for (const auto& p : pieces(f)) {
    EXPECT_FALSE(p.empty());
    EXPECT_NE(p, lower);
    EXPECT_TRUE(seen.insert(p).second) << "repeated " << p;
  }
}

}  // namespace

class Morph : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(LoadArrays(), 0); }
};

TEST_F(Morph, EmptyWhenThereIsNothingToAdd) {
  char buf[68] = "stale";
  Inflection(nullptr, buf);
  EXPECT_STREQ(buf, "");
  Inflection("go", nullptr);  // must not crash
  for (const char* w : {"", "the", "of", "and", "every", "them", "would", "cannot", "three",
                        "hundred", "sheep", "news", "dangerous",  // closed or uninflected
                        "go1", "well-known", "don't", "caf\xc3\xa9", "went ", "\xe8\xb5\xb0",
                        "zorbled", "glimping", "blarks", "bigs",  // look inflected, lemma unknown
                        "zq", "quickly", "florpous", "glimless"})
    EXPECT_EQ(forms(w), "") << w;
  EXPECT_EQ(forms(std::string(65, 'g')), "");
}

TEST_F(Morph, OverlongUnionsDropWholeFormsAndStayInTheBuffer) {
  // Unknown words of every length: the longest answers are rule-made.
  for (size_t n = 3; n <= 120; ++n) {
    std::string word = std::string(n - 3, 'z') + "orp";
    char buf[100];
    std::memset(buf, '#', sizeof buf);
    Inflection(word.c_str(), buf);
    const std::string f = buf;
    expectWellFormed(word, f);
    EXPECT_TRUE(std::all_of(buf + 68, buf + sizeof buf, [](char c) { return c == '#'; })) << n;
    for (const auto& p : pieces(f)) {
      EXPECT_TRUE(p == word + "s" || p == word + "ed" || p == word + "ing") << p;
    }
  }
  const std::string w = "floccinaucinihilipilification";
  EXPECT_EQ(forms(w), w + "s|" + w + "ed|");  // the -ing form would pass 67
}

TEST_F(Morph, EveryListedWordAndFormKeepsTheContract) {
  size_t longest = 0;
  std::string worst;
  for (const auto& w : everyListedWord()) {
    const std::string f = forms(w);
    expectWellFormed(w, f);
    if (f.size() > longest) longest = f.size(), worst = w;
    // Relatedness runs both ways: a form's own answer leads back to the word.
    for (const auto& p : pieces(f)) {
      const std::string back = forms(p);
      expectWellFormed(p, back);
      const auto round = pieces(back);
      EXPECT_NE(std::find(round.begin(), round.end(), w), round.end()) << w << " -> " << p << " -> " << back;
    }
  }
  RecordProperty("longest", worst + " " + std::to_string(longest));
}

TEST_F(Morph, IrregularForms) {
  const std::pair<const char*, const char*> cases[] = {
      {"go", "goes|went|gone|going|"},          {"give", "gives|gave|given|giving|"},
      {"be", "am|is|are|was|were|been|being|"}, {"lie", "lies|lay|lain|lying|lied|"},
      {"put", "puts|putting|"},                 {"child", "children|"},
      {"man", "men|"},                          {"mouse", "mice|"},
      {"analysis", "analyses|"},                {"knife", "knives|"},
      {"potato", "potatoes|"},                  {"good", "better|best|"},
      {"bad", "worse|worst|"},                  {"far", "farther|further|farthest|furthest|"},
      {"panic", "panics|panicked|panicking|"},  {"begin", "begins|began|begun|beginning|"},
  };
  for (const auto& [word, expected] : cases) EXPECT_EQ(forms(word), expected) << word;
}

TEST_F(Morph, RegularSpellingRules) {
  const std::pair<const char*, const char*> cases[] = {
      {"work", "works|worked|working|"},      {"stop", "stops|stopped|stopping|"},
      {"make", "makes|made|making|"},         {"hope", "hopes|hoped|hoping|"},
      {"die", "dies|died|dying|"},            {"try", "tries|tried|trying|"},
      {"play", "plays|played|playing|"},      {"watch", "watches|watched|watching|"},
      {"agree", "agrees|agreed|agreeing|"},   {"admit", "admits|admitted|admitting|"},
      {"visit", "visits|visited|visiting|"},  {"fix", "fixes|fixed|fixing|"},
      {"equip", "equips|equipped|equipping|"}, {"ski", "skis|skied|skiing|"},
      {"travel", "travels|traveled|traveling|travelled|travelling|"},
      {"city", "cities|"},                    {"photo", "photos|"},
      {"bus", "buses|"},                      {"big", "bigger|biggest|"},
      {"large", "larger|largest|"},           {"happy", "happier|happiest|"},
      {"new", "newer|newest|"},               {"dry", "dries|dried|drying|drier|driest|"},
  };
  for (const auto& [word, expected] : cases) EXPECT_EQ(forms(word), expected) << word;
}

TEST_F(Morph, InflectedFormsLeadToTheirLemma) {
  const std::pair<const char*, const char*> cases[] = {
      {"went", "go|goes|gone|going|"},         {"children", "child|"},
      {"worked", "work|works|working|"},       {"stopping", "stop|stops|stopped|"},
      {"making", "make|makes|made|"},          {"dying", "die|dies|died|"},
      {"tried", "try|tries|trying|"},          {"cities", "city|"},
      {"admitted", "admit|admits|admitting|"}, {"bigger", "big|biggest|"},
      {"travelled", "travel|travels|traveled|traveling|travelling|"},
      {"hoping", "hope|hopes|hoped|"},         {"hopping", "hop|hops|hopped|"},
      {"is", "be|am|are|was|were|been|being|"},
  };
  for (const auto& [word, expected] : cases) EXPECT_EQ(forms(word), expected) << word;
}

TEST_F(Morph, WordOfSeveralLemmasGetsTheirUnion) {
  const std::pair<const char*, const char*> cases[] = {
      {"saw", "see|sees|seen|seeing|saws|sawed|sawn|sawing|"},
      {"lay", "lie|lies|lain|lying|lied|lays|laid|laying|"},
      {"lives", "life|live|lived|living|"},
      {"leaves", "leave|left|leaving|leaf|"},
      {"bases", "basis|base|based|basing|"},
      {"found", "find|finds|finding|founds|founded|founding|"},
      {"better", "good|best|well|"},
  };
  for (const auto& [word, expected] : cases) EXPECT_EQ(forms(word), expected) << word;
}

TEST_F(Morph, UnlistedWordsGetRegularFormsOnlyWhenTheyLookLikeLemmas) {
  EXPECT_EQ(forms("florp"), "florps|florped|florping|");
  EXPECT_EQ(forms("glim"), "glims|glimmed|glimming|");
  EXPECT_EQ(forms("florpus"), "florpuses|florpused|florpusing|");
  EXPECT_EQ(forms("florpo"), "florpos|florpoed|florpoing|");
}

TEST_F(Morph, LetterCaseIsIgnored) {
  for (const char* w : {"WENT", "Went", "wEnT"}) EXPECT_EQ(forms(w), forms("went")) << w;
  EXPECT_EQ(forms("Travelled"), forms("travelled"));
  EXPECT_EQ(forms("THE"), "");
}

TEST_F(Morph, ConcurrentCallsGiveTheSameAnswers) {
  const auto all = everyListedWord();
  std::vector<std::string> expected;
  for (const auto& w : all) expected.push_back(forms(w));
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (size_t k = 0; k < all.size(); ++k) {
        const size_t i = (k + t * all.size() / 8) % all.size();
        if (forms(all[i]) != expected[i]) ++mismatches;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(Morph, TablesCanBeFreedAndReloaded) {
  const std::string went = forms("went");
  EXPECT_EQ(FreeArrays(), 0);
  EXPECT_EQ(FreeArrays(), 0);
  EXPECT_EQ(forms("went"), went);  // a caller that skipped LoadArrays still gets answers
  EXPECT_EQ(LoadArrays(), 0);
  EXPECT_EQ(LoadArrays(), 0);
  EXPECT_EQ(forms("went"), went);
}

TEST_F(Morph, WordListsAreConsistent) {
  auto asSet = [](std::string_view list) {
    std::set<std::string> s;
    for (const auto& w : words(list)) {
      EXPECT_TRUE(s.insert(w).second) << "listed twice: " << w;
      EXPECT_TRUE(std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; })) << w;
    }
    return s;
  };
  const auto verbs = asSet(data::kVerbs), nouns = asSet(data::kNouns),
             adjectives = asSet(data::kAdjectives), plain = asSet(data::kUninflectedWords),
             closed = asSet(data::kClosedWords);
  std::set<std::string> lemmas, familyWords;
  for (const auto& family : families()) {
    EXPECT_GE(std::set<std::string>(family.begin(), family.end()).size(), 2u) << family[0];
    EXPECT_TRUE(lemmas.insert(family[0]).second) << "two families for " << family[0];
    familyWords.insert(family.begin(), family.end());
  }
  auto expectApart = [](const std::set<std::string>& a, const std::set<std::string>& b, const char* what) {
    for (const auto& w : a) EXPECT_EQ(b.count(w), 0u) << w << ": " << what;
  };
  // A verb listed twice would get rule-made forms next to its irregular ones.
  expectApart(verbs, lemmas, "regular verb with an irregular family");
  expectApart(nouns, lemmas, "regular noun with an irregular family");
  expectApart(verbs, nouns, "verb listed as a noun too");
  for (const std::set<std::string>* list : {&verbs, &nouns, &adjectives, &std::as_const(familyWords)}) {
    expectApart(plain, *list, "uninflected word with forms");
    expectApart(closed, *list, "function word with forms");
  }
}
