// Inflection is the caller's whole view of MyDLL. The shipped lexicon is read
// here only to run every word in it through Inflection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "MyDLL.h"

namespace {

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

bool holds(const std::string& f, const std::string& word) {
  const auto p = pieces(f);
  return std::find(p.begin(), p.end(), word) != p.end();
}

// The shipped lexicon's families, rank digits stripped.
const std::vector<std::vector<std::string>>& families() {
  static const auto all = [] {
    std::vector<std::vector<std::string>> out;
    std::ifstream in(KORVEL_SOURCE_DIR "/sys/english.lex");
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line);
      out.emplace_back();
      for (std::string w; words >> w;) out.back().push_back(w.substr(1));
    }
    return out;
  }();
  return all;
}

std::vector<std::string> everyWord() {
  std::set<std::string> all;
  for (const auto& family : families()) all.insert(family.begin(), family.end());
  return {all.begin(), all.end()};
}

// Whole lower-case forms, each once, without the word itself and without
// anything a regex would read as syntax.
void expectWellFormed(const std::string& word, const std::string& f) {
  SCOPED_TRACE(word + " -> " + f);
  ASSERT_LE(f.size(), 67u);
  if (f.empty()) return;
  EXPECT_EQ(f.back(), '|');
  EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '|'; }));
  std::set<std::string> seen;
  for (const auto& p : pieces(f)) {
    EXPECT_FALSE(p.empty());
    EXPECT_NE(p, word);
    EXPECT_TRUE(seen.insert(p).second) << "repeated " << p;
  }
}

using Cases = std::vector<std::pair<const char*, const char*>>;

void expectAnswers(const Cases& cases) {
  for (const auto& [word, expected] : cases) EXPECT_EQ(forms(word), expected) << word;
}

}  // namespace

class Morph : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(LoadArrays(), 0) << "sys/english.lex beside libMyDLL.so"; }
};

// Irregular families in verb, noun, adjective order; regular forms by the
// spelling rules; inflected forms lead to their family; a word of several
// lemmas gets the union, each form once.
TEST_F(Morph, KnownWordsGetTheirFamilies) {
  expectAnswers({
      {"go", "goes|went|gone|going|"},           {"give", "gives|gave|given|giving|"},
      {"be", "am|is|are|was|were|been|being|"},  {"lie", "lies|lay|lain|lying|lied|"},
      {"begin", "begins|began|begun|beginning|"}, {"get", "gets|got|gotten|getting|"},
      {"have", "has|had|having|"},               {"put", "puts|putting|"},
      {"child", "children|"},                    {"analysis", "analyses|"},
      {"woman", "women|"},                       {"person", "people|persons|"},
      {"mouse", "mice|mouses|moused|mousing|"},  {"knife", "knives|knifes|knifed|knifing|"},
      {"good", "better|best|"},                  {"far", "farther|further|farthest|furthest|"},
      {"stop", "stops|stopped|stopping|"},     {"hope", "hopes|hoped|hoping|"},
      {"try", "tries|tried|trying|"},          {"agree", "agrees|agreed|agreeing|"},
      {"admit", "admits|admitted|admitting|"}, {"visit", "visits|visited|visiting|"},
      {"panic", "panics|panicked|panicking|"}, {"die", "dies|died|dying|"},
      {"travel", "travels|traveled|travelled|traveling|travelling|"},
      {"city", "cities|"},                     {"photo", "photos|"},
      {"potato", "potatoes|"},                 {"bus", "buses|busses|bussed|bussing|"},
      {"big", "bigger|biggest|"},              {"happy", "happier|happiest|"},
      {"went", "go|goes|gone|going|"},       {"children", "child|"},
      {"stopping", "stop|stops|stopped|"},   {"tried", "try|tries|trying|"},
      {"hoping", "hope|hopes|hoped|"},       {"hopping", "hop|hops|hopped|"},
      {"mice", "mouse|"},                    {"taught", "teach|teaches|teaching|"},
      {"is", "be|am|are|was|were|been|being|"},
      {"saw", "see|sees|seen|seeing|saws|sawed|sawn|sawing|"},
      {"lay", "lie|lies|lain|lying|lied|lays|laid|laying|"},
      {"lives", "life|live|lived|living|"},
      {"found", "find|finds|finding|founds|founded|founding|"},
      {"better", "good|best|well|betters|bettered|bettering|"},
  });
}

TEST_F(Morph, OnlyRealWordsAreWritten) {
  // Forms the rules would make but English does not have.
  const std::pair<const char*, const char*> never[] = {
      {"good", "goodder"}, {"good", "gooder"}, {"child", "childs"}, {"men", "mans"},  {"go", "goed"},
      {"see", "seed"},     {"be", "bed"},      {"put", "putted"},   {"sing", "singed"}, {"have", "haves"},
      {"good", "goods"},   {"stop", "stoped"}, {"hop", "hoping"},   {"human", "humaner"},
  };
  for (const auto& [word, form] : never) EXPECT_FALSE(holds(forms(word), form)) << word << " " << form;
}

TEST_F(Morph, EveryFamilyIsReachedFromEachOfItsWords) {
  for (const auto& family : families()) {
    for (const auto& word : family) {
      const std::string f = forms(word);
      for (const auto& other : family) {
        // Only a union too long for the buffer may leave a member out.
        if (other != word && !holds(f, other)) {
          EXPECT_GT(f.size() + other.size() + 1, 67u) << word << " -> " << f << " lacks " << other;
        }
      }
    }
  }
}

TEST_F(Morph, EveryAnswerKeepsTheContractAndTheBufferLimit) {
  size_t longest = 0;
  for (const auto& word : everyWord()) {
    char buf[128];
    std::memset(buf, '#', sizeof buf);
    Inflection(word.c_str(), buf);
    ASSERT_NE(std::memchr(buf, '\0', 68), nullptr) << word;
    EXPECT_TRUE(std::all_of(buf + 68, buf + sizeof buf, [](char c) { return c == '#'; })) << word;
    const std::string f = buf;
    expectWellFormed(word, f);
    longest = std::max(longest, f.size());
  }
  RecordProperty("longest", std::to_string(longest));
}

TEST_F(Morph, OverlongUnionDropsWholeForms) {
  // Its five forms need 68 characters: the last one goes, not a part of it.
  EXPECT_EQ(forms("disembowel"), "disembowels|disemboweled|disembowelled|disemboweling|");
  EXPECT_EQ(forms("disembowelled"), "disembowel|disembowels|disemboweled|disemboweling|disembowelling|");
}

// Rules never fire for non-letters, short words, words listed without
// forms (sheep, series, function words) or endings that tell no noun or verb.
TEST_F(Morph, MalformedShortOrFormlessWordsGetNothing) {
  char buf[68] = "stale";
  Inflection(nullptr, buf);
  EXPECT_STREQ(buf, "");
  Inflection("go", nullptr);  // must not crash
  for (const char* w : {"", "the", "of", "his", "its", "zo", "sheep", "series", "aircraft", "zorbly", "zorbous",
                        "zorbless", "go1", "florp3", "well-known", "don't", "caf\xc3\xa9", "went ", " went",
                        "\xe8\xb5\xb0"})
    EXPECT_EQ(forms(w), "") << w;
  EXPECT_EQ(forms(std::string(65, 'g')), "");
  EXPECT_EQ(forms(std::string(1000, 'g')), "");
}

// Words the lexicon lacks, made up where the rules alone must answer, so that
// no lexicon update changes them.
TEST_F(Morph, UnlistedWordsFollowTheSpellingRules) {
  expectAnswers({
      {"florp", "florps|florped|florping|"},
      {"zop", "zops|zopped|zopping|"},     // one closed syllable doubles
      {"quop", "quops|quopped|quopping|"}, // the u after q is no vowel
      {"zow", "zows|zowed|zowing|"},       // w, x and y never double
      {"blax", "blaxes|blaxed|blaxing|"},
      {"florpit", "florpits|florpited|florpiting|"},  // stress unknown: no doubling
      {"flurch", "flurches|flurched|flurching|"},
      {"glome", "glomes|glomed|gloming|"},
      {"zlee", "zlees|zleed|zleeing|"},  // ee keeps its e: agreeing
      {"zie", "zies|zied|zying|"},
      {"zay", "zays|zayed|zaying|"},
      {"florpy", "florpies|florpied|florpying|florpier|florpiest|"},  // two syllables: compared
      {"frabjulary", "frabjularies|"},
      {"zorbness", "zorbnesses|"},  // noun endings: plural only
      {"zorbment", "zorbments|"},
      {"zorbist", "zorbists|"},
      {"zorbize", "zorbizes|zorbized|zorbizing|"},
      // An unlisted form leads to the unlisted lemma that makes it.
      {"blarked", "blark|blarks|blarking|"},
      {"zorbled", "zorble|zorbles|zorbling|"},
      {"glomed", "glome|glomes|gloming|"},
      {"pointier", "pointy|pointies|pointied|pointying|pointiest|"},
      // Listed words are never made: bred and bring are not "bre"'s.
      {"bre", "bres|"},
  });
}

// Prefix plus listed verb inflects through the verb; a closed compound of two
// listed words through its last part.
TEST_F(Morph, PrefixedVerbsAndCompoundsInflectThroughTheirBase) {
  expectAnswers({
      {"mishear", "mishears|misheard|mishearing|"},
      {"refreeze", "refreezes|refroze|refrozen|refreezing|"},
      {"reweave", "reweaves|rewove|rewoven|reweaving|reweaved|"},
      {"remix", "remixes|remixed|remixing|"},
      {"misheard", "mishear|mishears|mishearing|"},
      {"refroze", "refreeze|refreezes|refrozen|refreezing|"},
      // Listed with regular forms only: the base's irregular ones are added.
      {"misdo", "misdoes|misdoing|misdid|misdone|"},
      {"retread", "retreads|retreaded|retreading|retrod|retrodden|"},
      {"misdid", "misdo|misdoes|misdoing|misdone|"},
      // Not through lay's other family, lie: no "mislain".
      {"mislay", "mislays|mislaid|mislaying|"},
      // un- takes only a lemma: unfed is no form of an "unfeed".
      {"unfed", ""},
      {"worldview", "worldviews|worldviewed|worldviewing|"},
      {"worldviews", "worldview|worldviewed|worldviewing|"},
      {"caseload", "caseloads|caseloaded|caseloading|"},
  });
}

TEST_F(Morph, RuleFormsThatDoNotFitAreDropped) {
  // 27 + 28 + 29 characters with the bars: the -ing form no longer fits.
  EXPECT_EQ(forms("florpflorpflorpflorpflorp"), "florpflorpflorpflorpflorps|florpflorpflorpflorpflorped|");
}

TEST_F(Morph, LetterCaseIsIgnoredAndAnswersAreLowerCase) {
  for (const char* w : {"WENT", "Went", "wEnT"}) EXPECT_EQ(forms(w), "go|goes|gone|going|") << w;
  EXPECT_EQ(forms("Travelled"), forms("travelled"));
  EXPECT_EQ(forms("GIVE"), "gives|gave|given|giving|");
}

TEST_F(Morph, ConcurrentCallsGiveTheSameAnswers) {
  const auto all = everyWord();
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
  EXPECT_EQ(FreeArrays(), 0);
  EXPECT_EQ(FreeArrays(), 0);
  EXPECT_EQ(forms("went"), "go|goes|gone|going|");  // a caller that skipped LoadArrays
  EXPECT_EQ(LoadArrays(), 0);
  EXPECT_EQ(LoadArrays(), 0);
  EXPECT_EQ(forms("went"), "go|goes|gone|going|");
}

// Lexicons written for the test, loaded through KORVEL_LEXICON.
class MorphOwnLexicon : public ::testing::Test {
 protected:
  void use(const std::string& text) {
    path_ = std::filesystem::temp_directory_path() / ("korvel-morph-" + std::to_string(::getpid()) + ".lex");
    std::ofstream(path_) << text;
    FreeArrays();
    ::setenv("KORVEL_LEXICON", path_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("KORVEL_LEXICON");
    FreeArrays();
    std::filesystem::remove(path_);
    EXPECT_EQ(LoadArrays(), 0);
  }
  std::filesystem::path path_;
};

TEST_F(MorphOwnLexicon, UnionTooLongKeepsTheCommonestFormsInFamilyOrder) {
  const std::string a(19, 'a'), b(19, 'b'), c(19, 'c');
  // 3 x 20 common characters leave room for one 5-character form: the rank-2
  // one, although the rarer rank-6 one comes first in the family.
  use("# test\n0stem 6zzzz 0" + a + " 0" + b + " 2mmmm 0" + c + "\n0other 0stems\n");
  ASSERT_EQ(LoadArrays(), 0);
  EXPECT_EQ(forms("stem"), a + "|" + b + "|mmmm|" + c + "|");
  EXPECT_EQ(forms("stems"), "other|");
}

TEST_F(MorphOwnLexicon, MalformedOrMissingDataLoadsNothing) {
  for (const char* bad : {"0go 0went\ngo went\n", "0go 0Went\n", "0go  0went\n", "0go 0we-nt\n"}) {
    use(bad);
    EXPECT_NE(LoadArrays(), 0) << bad;
    EXPECT_EQ(forms("go"), "") << bad;
  }
  use("0go 0went\n");
  std::filesystem::remove(path_);
  EXPECT_NE(LoadArrays(), 0);
}
