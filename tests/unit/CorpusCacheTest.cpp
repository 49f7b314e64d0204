// The corpus cache: a damaged, stale or foreign cache is never used and is
// written again; a missing source fails as it would without one; the
// folder keeps to its size, its modes and its own files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestUtil.h"
#include "cache/CacheFolder.h"
#include "cache/CorpusCache.h"
#include "unKorvel.h"

namespace korvel {
namespace {

class CorpusCache : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string en, zh;
    for (int i = 0; i < 500; ++i) {
      en += i % 7 == 0 ? "\n" : "Line " + std::to_string(i) + (i % 3 ? " works hard\n" : " rests\n");
      zh += "第" + std::to_string(i) + (i % 5 ? "行工作\n" : "行\n");
    }
    dir_.Write("a.EN.txt", en);
    dir_.Write("a.ZH.txt", zh);
  }
  std::string CacheDir() const { return dir_.Path("cache"); }
  std::vector<std::string> Files() const { return {dir_.Path("a.EN.txt"), dir_.Path("a.ZH.txt")}; }
  // Loads with the cache and searches: whether the load came from it, and
  // the export.
  std::pair<bool, std::string> Search(const std::string& query) {
    TKorvel engine;
    engine.SetCacheDir(CacheDir());
    std::vector<std::string> files = Files();
    engine.SetFiles(files);
    engine.Search(query, false);
    const bool cached = engine.LoadedFromCache();
    if (engine.CacheMissing()) engine.BuildCache();
    return {cached, engine.RenderExport()};
  }
  std::string CacheFile() const {
    for (const auto& e : std::filesystem::directory_iterator(CacheDir()))
      if (e.path().extension() == cache_format::kSuffix) return e.path().string();
    return "";
  }
  test::TempDir dir_;
};

TEST_F(CorpusCache, ADamagedCacheIsIgnoredAndWrittenAgain) {
  const auto [fromCache, want] = Search("work");
  ASSERT_FALSE(fromCache);
  const std::string path = CacheFile(), good = test::ReadBytes(path);
  auto block = [&](cache_format::TBlock b) { return cache_format::BlockRange(good, b)->first; };
  struct Damage {
    const char* what;
    std::function<std::string(std::string)> apply;
  };
  auto flip = [](std::size_t at, char bits) {
    return [=](std::string s) { return s.at(at) ^= bits, s; };
  };
  const Damage damages[] = {
      {"truncated", [](std::string s) { return s.substr(0, s.size() - 100); }},
      {"header bit", flip(9, 0x10)},
      {"block table bit", flip(64 + 32 + 9, 0x01)},
      {"posting bit", flip(block(cache_format::EnPostings) + 5, 0x04)},
      {"directory bit", flip(block(cache_format::ZhDirectory) + 1, char(0x80))},
      {"text bit", flip(block(cache_format::EnText) + 7, 0x20)},
      {"record bit", flip(block(cache_format::Records) + 3, 0x01)},
      {"empty", [](std::string) { return std::string(); }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    dir_.Write(path.substr(dir_.Root().size() + 1), d.apply(good));
    const auto [cached, got] = Search("work");
    EXPECT_FALSE(cached);
    EXPECT_TRUE(test::SameBytes(got, want));
    EXPECT_TRUE(test::SameBytes(test::ReadBytes(path), good));  // written again
  }
  EXPECT_TRUE(Search("work").first);
}

// A file that passed every check is later trusted on its stamp; a write
// that keeps its inode, size and modification time still breaks it.
TEST_F(CorpusCache, AStampedCacheIsCheckedAgainOnceWrittenTo) {
  const std::string want = Search("work").second;
  const std::string path = CacheFile();
  // Stamped only once its change time lies safely in the past.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  ASSERT_TRUE(Search("work").first);
  ASSERT_GT(std::filesystem::file_size(path + cache_format::kStampSuffix), 0u);
  ASSERT_TRUE(Search("work").first);

  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  const std::string good = test::ReadBytes(path);
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(cache_format::BlockRange(good, cache_format::EnText)->first + 7));
    file.put(static_cast<char>(good[cache_format::BlockRange(good, cache_format::EnText)->first + 7] ^ 0x20));
  }
  const struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));  // the write, too, lies in the past
  const auto [cached, got] = Search("work");
  EXPECT_FALSE(cached);
  EXPECT_TRUE(test::SameBytes(got, want));
  EXPECT_TRUE(test::SameBytes(test::ReadBytes(path), good));
}

TEST_F(CorpusCache, ASourceThatChangedOrWentIsNeverServedFromTheCache) {
  Search("work");
  ASSERT_TRUE(Search("work").first);
  // Same size, same first and last bytes: the modification time tells.
  std::string en = test::ReadBytes(dir_.Path("a.EN.txt"));
  en[en.size() / 2] = en[en.size() / 2] == 'x' ? 'y' : 'x';
  dir_.Write("a.EN.txt", en);
  struct timespec later[2] = {{0, UTIME_OMIT}, {time(nullptr) + 5, 0}};
  utimensat(AT_FDCWD, dir_.Path("a.EN.txt").c_str(), later, 0);
  EXPECT_FALSE(Search("work").first);
  EXPECT_TRUE(Search("work").first);

  std::filesystem::remove(dir_.Path("a.ZH.txt"));
  TKorvel engine;
  engine.SetCacheDir(CacheDir());
  std::vector<std::string> files = Files();
  try {
    engine.SetFiles(files);
    ADD_FAILURE() << "loaded without its Chinese file";
  } catch (const EKorvel& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir_.Path("a.ZH.txt") + "\". No such file or directory");
  }
}

// Caches that do not all fit under the limit: those that do stay, run after
// run, instead of one being written and another evicted every time.
TEST_F(CorpusCache, ACorpusOverTheLimitKeepsWhatFits) {
  const std::string en = test::ReadBytes(dir_.Path("a.EN.txt")), zh = test::ReadBytes(dir_.Path("a.ZH.txt"));
  dir_.Write("b.EN.txt", en);
  dir_.Write("b.ZH.txt", zh);
  const std::uint64_t limit = EstimateCorpusCacheBytes(en.size(), zh.size(), 500) * 3 / 2;
  auto run = [&] {
    TKorvel engine;
    engine.SetCacheDir(CacheDir(), limit);
    std::vector<std::string> files = {dir_.Path("a.EN.txt"), dir_.Path("a.ZH.txt"), dir_.Path("b.EN.txt"),
                                      dir_.Path("b.ZH.txt")};
    engine.SetFiles(files);
    return engine.BuildCache();
  };
  const std::size_t written = run() + run();
  EXPECT_GE(written, 1u);
  EXPECT_EQ(run(), 0u);
  std::uint64_t total = 0;
  for (const TCacheEntry& e : ListCorpusCaches(CacheDir())) total += e.Bytes;
  EXPECT_EQ(ListCorpusCaches(CacheDir()).size(), written);
  EXPECT_LE(total, limit);
}

TEST_F(CorpusCache, TwoWritersLeaveOneWholeFileInAPrivateFolder) {
  // A build cancelled at any point leaves no partial file behind.
  for (int cancelAt = 1;; ++cancelAt) {
    TKorvel engine;
    engine.SetCacheDir(CacheDir());
    std::vector<std::string> files = Files();
    engine.SetFiles(files);
    int calls = 0;
    try {
      engine.BuildCache([&](std::size_t, std::size_t) {
        if (++calls == cancelAt) throw EAbort();
      });
    } catch (const EAbort&) {
      // A cancel after the rename leaves the whole file.
      if (std::filesystem::exists(CacheDir())) {
        for (const auto& e : std::filesystem::directory_iterator(CacheDir()))
          EXPECT_NE(e.path().extension(), ".tmp") << cancelAt;
      }
      continue;
    }
    std::filesystem::remove_all(CacheDir());
    break;
  }

  TKorvel a, b;
  for (TKorvel* e : {&a, &b}) {
    e->SetCacheDir(CacheDir());
    std::vector<std::string> files = Files();
    e->SetFiles(files);
  }
  std::thread other([&] { b.BuildCache(); });
  a.BuildCache();
  other.join();
  EXPECT_EQ(ListCorpusCaches(CacheDir()).size(), 1u);
  EXPECT_TRUE(Search("work").first);
  struct stat st {};
  ASSERT_EQ(stat(CacheDir().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(CacheFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A folder that cannot be made: no cache, and a message that says why.
  TKorvel blocked;
  blocked.SetCacheDir(dir_.Path("a.EN.txt") + "/cache");
  std::vector<std::string> files = Files();
  blocked.SetFiles(files);
  EXPECT_THROW(blocked.BuildCache(), EKorvel);
  EXPECT_FALSE(blocked.LoadedFromCache());
}

TEST_F(CorpusCache, TheFolderKeepsToItsLimitAndClearsOnlyCaches) {
  // Three sources, used in turn: the least recently used goes first.
  std::vector<std::string> caches;
  for (const char* name : {"p.tsv", "q.tsv", "r.tsv"}) {
    dir_.Write(name, std::string("en\tzh\nwork ") + name + "\t工作\n");
    TKorvel engine;
    engine.SetCacheDir(CacheDir());
    std::vector<std::string> files = {dir_.Path(name)};
    engine.SetFiles(files);
    engine.BuildCache();
    const auto listed = ListCorpusCaches(CacheDir());
    ASSERT_EQ(listed.back().Sources, std::vector<std::string>{dir_.Path(name)});
    caches.push_back(listed.back().Path);
    struct timespec used[2] = {{0, UTIME_OMIT}, {1000000 + static_cast<time_t>(caches.size()), 0}};
    for (const std::string& file : {caches.back(), caches.back() + cache_format::kStampSuffix})
      utimensat(AT_FDCWD, file.c_str(), used, 0);
  }
  const std::uint64_t one = ListCorpusCaches(CacheDir()).front().Bytes;
  EvictCorpusCaches(CacheDir(), 2 * one + one / 2);
  auto left = ListCorpusCaches(CacheDir());
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].Path, caches[1]);
  EvictCorpusCaches(CacheDir(), 0, {caches[2]});
  left = ListCorpusCaches(CacheDir());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Path, caches[2]);

  dir_.Write("cache/notes.txt", "mine");
  dir_.Write(std::filesystem::path(caches[2]).filename().string().insert(0, "cache/") + ".abcdef.tmp", "left over");
  EXPECT_EQ(ClearCorpusCaches(CacheDir()), 2u);
  EXPECT_TRUE(ListCorpusCaches(CacheDir()).empty());
  EXPECT_TRUE(std::filesystem::exists(dir_.Path("cache/notes.txt")));
}

}  // namespace
}  // namespace korvel
