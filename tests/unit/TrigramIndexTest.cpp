// The trigram index's bytes against a plain map of trigram to lines: a
// cache written by one build is read by any other, so the bytes must not
// depend on how lines are grouped while building, nor on the threads.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

#include "cache/TrigramIndex.h"

namespace korvel {
namespace {

TTrigramIndexBytes Reference(const std::vector<std::string>& lines) {
  std::map<std::uint32_t, std::set<std::uint32_t>> found;
  auto fold = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::uint32_t{u >= 'A' && u <= 'Z' ? u + 32u : u};
  };
  for (std::uint32_t r = 0; r < lines.size(); ++r) {
    const std::string& s = lines[r];
    for (std::size_t p = 0; p + 3 <= s.size(); ++p)
      if ((static_cast<unsigned char>(s[p]) & 0xC0) != 0x80)
        found[fold(s[p]) << 16 | fold(s[p + 1]) << 8 | fold(s[p + 2])].insert(r);
  }
  TTrigramIndexBytes out;
  for (const auto& [trigram, rows] : found) {
    const std::uint32_t count = static_cast<std::uint32_t>(rows.size());
    const std::uint64_t offset = out.Postings.size();
    out.Directory.append(reinterpret_cast<const char*>(&trigram), 4);
    out.Directory.append(reinterpret_cast<const char*>(&count), 4);
    out.Directory.append(reinterpret_cast<const char*>(&offset), 8);
    std::uint32_t previous = 0;
    for (std::uint32_t r : rows) {
      std::uint32_t v = r - previous;
      for (; v >= 0x80; v >>= 7) out.Postings += static_cast<char>(v | 0x80);
      out.Postings += static_cast<char>(v);
      previous = r;
    }
  }
  return out;
}

TTrigramIndexBytes Build(const std::vector<std::string>& lines, std::size_t runKeys,
                         const std::function<void()>& poll = {}) {
  TTrigramScratch scratch;
  scratch.RunKeys = runKeys;
  return BuildTrigramIndex(
      lines.size(), [&](std::size_t i) { return std::string_view(lines[i]); }, poll, &scratch);
}

TEST(TrigramIndex, BytesMatchAPlainMapHoweverTheLinesAreGrouped) {
  // Case folding of ASCII only, UTF-8 continuation bytes that start no
  // trigram, lines too short for one, a trigram twice in a line, and rare
  // trigrams far apart, so steps take two and three bytes.
  std::vector<std::string> lines = {"", "ab", "The THE the", "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87",
                                    "\xC3\x89t\xC3\xA9 \xC3\xA9T\xC3\x89", "xyzxyzxyz", "Z"};
  for (int i = 0; i < 40000; ++i)
    lines.push_back(i % 997 == 0 ? "rare qqq " + std::to_string(i) : "line " + std::to_string(i % 50));
  lines.push_back("qqq at the end");
  const TTrigramIndexBytes want = Reference(lines);
  auto same = [&](const TTrigramIndexBytes& got) {
    EXPECT_TRUE(got.Directory == want.Directory);
    EXPECT_TRUE(got.Postings == want.Postings);
  };
  for (std::size_t runKeys : {std::size_t{1} << 23, std::size_t{1000}, std::size_t{1}}) {
    SCOPED_TRACE(runKeys);
    same(Build(lines, runKeys));
  }
  auto text = [&](std::size_t i) { return std::string_view(lines[i]); };
  for (std::size_t split : {std::size_t{0}, std::size_t{3}, std::size_t{20000}, lines.size()}) {
    SCOPED_TRACE(split);
    same(JoinTrigramIndexes(
        {BuildTrigramIndexPart(0, split, text), BuildTrigramIndexPart(split, lines.size(), text)}));
  }
}

TEST(TrigramIndex, WhatPollThrowsEndsTheBuild) {
  std::vector<std::string> lines(100000, "a line of text");
  int polls = 0;
  EXPECT_THROW(Build(lines, 1 << 20, [&] { if (++polls == 3) throw std::runtime_error("stop"); }), std::runtime_error);
}

}  // namespace
}  // namespace korvel
