// The word lists' and the lexicon's tables answer exactly as their texts do,
// whichever way they were made, and a stale or damaged table is never used.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "Dictionary.h"
#include "MyDLL.h"
#include "TestUtil.h"
#include "TextDecode.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Points the user's cache into a scratch folder for the test's length.
class ScratchCache {
 public:
  ScratchCache() {
    if (const char* old = std::getenv("XDG_CACHE_HOME")) old_ = old;
    setenv("XDG_CACHE_HOME", dir_.Path("cache").c_str(), 1);
  }
  ~ScratchCache() {
    if (old_)
      setenv("XDG_CACHE_HOME", old_->c_str(), 1);
    else
      unsetenv("XDG_CACHE_HOME");
  }
  std::vector<std::string> Files(const std::string& folder) const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir_.Path("cache/korvel/" + folder), ec)) out.push_back(e.path());
    return out;
  }
  std::string Folder(const std::string& folder) const { return dir_.Path("cache/korvel/" + folder); }
  const TempDir& Dir() const { return dir_; }

 private:
  TempDir dir_;
  std::optional<std::string> old_;
};

unsigned Mode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

// What the list answers by its definition: the last line of each folded name.
struct Expected {
  explicit Expected(const std::string& text) {
    ForEachLine(text, [&](std::string_view line) {
      lines.push_back(line);
      const std::size_t eq = line.find('=');
      if (eq != std::string_view::npos) value[FoldCase(line.substr(0, eq))] = line.substr(eq + 1);
    });
  }
  std::optional<std::string_view> Find(std::string_view name) const {
    auto it = value.find(FoldCase(name));
    return it == value.end() ? std::nullopt : std::optional<std::string_view>(it->second);
  }
  std::vector<std::string_view> lines;
  std::unordered_map<std::string, std::string_view> value;
};

void ExpectSameAnswers(const TDictionary& dic, const Expected& want, const std::string& what) {
  EXPECT_EQ(dic.Count(), want.lines.size()) << what;
  std::size_t wrong = 0;
  for (std::string_view line : want.lines) {
    const std::string_view name = line.substr(0, line.find('='));
    for (const std::string& query : {std::string(name), std::string(name) + "x"})
      if (dic.Find(query) != want.Find(query) && ++wrong <= 5) ADD_FAILURE() << what << ": " << query;
  }
  EXPECT_EQ(wrong, 0u) << what;
}

// Every name of both shipped lists, through the table the build made.
TEST(WordListTable, ShippedTablesAnswerAsTheirTexts) {
  for (const char* list : {"EN-ZH", "ZH-EN"}) {
    const std::string text = std::string(KORVEL_BIN_DIR) + "/dic/" + list + ".txt";
    if (!fs::exists(text) || !fs::exists(TablePath(text))) GTEST_SKIP() << "no built word-list tables";
    ScratchCache cache;
    TDictionary dic;
    dic.Load(text);
    EXPECT_TRUE(cache.Files("dic").empty()) << list << ": the built table was not used";
    ExpectSameAnswers(dic, Expected(DecodeText(test::ReadBytes(text))), list);
  }
}

TEST(WordListTable, MadeOnFirstUseAndRemadeWhenStaleOrDamaged) {
  ScratchCache cache;
  std::string text = "\xEF\xBB\xBF";  // a BOM: the table holds the decoded list
  for (int i = 0; i < 6000; ++i) text += "Word" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  text += "word7=last wins\nno equals sign\n";
  const std::string path = cache.Dir().Write("EN-ZH.txt", text);

  const auto check = [&](const std::string& what) {
    TDictionary dic;
    dic.Load(path);
    ExpectSameAnswers(dic, Expected(DecodeText(test::ReadBytes(path))), what);
    const std::vector<std::string> files = cache.Files("dic");
    EXPECT_EQ(files.size(), 1u) << what;
    return files.empty() ? std::string() : files[0];
  };
  const std::string table = check("first use");
  EXPECT_EQ(Mode(cache.Folder("dic")), 0700u);
  EXPECT_EQ(Mode(table), 0600u);
  const std::string good = test::ReadBytes(table);
  check("from the cache");
  EXPECT_EQ(test::ReadBytes(table), good) << "a valid table is rewritten";

  // Damage of every kind is noticed; the table is made anew.
  const std::size_t header = 80;
  for (std::size_t at : {std::size_t{3}, std::size_t{40}, header + 5, good.size() / 2, good.size() - 1}) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x10);
    cache.Dir().Write(table.substr(cache.Dir().Root().size() + 1), bad);
    check("bit flipped at " + std::to_string(at));
    EXPECT_EQ(test::ReadBytes(table), good) << at;
  }
  for (std::size_t size : {std::size_t{0}, std::size_t{50}, good.size() - 1}) {
    fs::resize_file(table, size);
    check("cut to " + std::to_string(size));
  }

  // An edit of the same size is noticed, with the old mtime kept (by the
  // hash of its head) or not (by the hash of all of it).
  const struct timespec keep[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
  text.replace(text.find("Word1="), 6, "Wort1=");
  cache.Dir().Write("EN-ZH.txt", text);
  utimensat(AT_FDCWD, path.c_str(), keep, 0);
  check("edited near the top");
  text.replace(text.find("Word5999="), 9, "Wort5999=");
  cache.Dir().Write("EN-ZH.txt", text);
  check("edited near the end");

  // A table beside the list that was made from another list is ignored.
  fs::copy_file(table, TablePath(path));
  text.replace(text.find("Word2="), 6, "Wort2=");
  cache.Dir().Write("EN-ZH.txt", text);
  check("stale table beside it");
}

// Every word of the lexicon, and a made-up form of each for the rules, gives
// the same forms from the text, from the table made on first use and from
// the table the build made.
TEST(LexiconTable, InflectionsAreTheSameWhicheverWayTheTableCame) {
  const std::string lex = std::string(KORVEL_BIN_DIR) + "/sys/english.lex";
  if (!fs::exists(lex) || !fs::exists(std::string(KORVEL_BIN_DIR) + "/sys/english.bin"))
    GTEST_SKIP() << "no built lexicon table";
  std::set<std::string> words;
  std::istringstream in(test::ReadBytes(lex));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream tokens(line);
    for (std::string w; tokens >> w;) words.insert(w.substr(1));
  }
  const auto all = [&] {
    std::vector<std::string> out;
    char buf[68];
    for (const std::string& w : words)
      for (const std::string& q : {w, "re" + w + "ed"}) {
        Inflection(q.c_str(), buf);
        out.push_back(buf);
      }
    return out;
  };

  ScratchCache cache;
  const std::string copy = cache.Dir().Write("own.lex", test::ReadBytes(lex));
  FreeArrays();
  ASSERT_EQ(LoadArrays(), 0);
  EXPECT_TRUE(cache.Files("lexicon").empty()) << "the built table was not used";
  const std::vector<std::string> built = all();
  setenv("KORVEL_LEXICON", copy.c_str(), 1);
  for (const char* way : {"parsed", "cached"}) {
    FreeArrays();
    ASSERT_EQ(LoadArrays(), 0);
    EXPECT_EQ(cache.Files("lexicon").size(), 1u) << way;
    EXPECT_TRUE(all() == built) << way;
  }
  unsetenv("KORVEL_LEXICON");
  FreeArrays();
  EXPECT_EQ(LoadArrays(), 0);
}

}  // namespace
}  // namespace korvel
