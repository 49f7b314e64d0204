#include "TrigramIndex.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <queue>
#include <span>

namespace korvel {
namespace {

constexpr std::size_t kTrigrams = std::size_t{1} << 24;
// Past this many times the candidates left, a posting list costs more to
// decode than the matcher costs to confirm them.
constexpr std::size_t kNarrowingGain = 64;

inline unsigned char Fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}
inline bool StartsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

template <class F>
void ForEachTrigram(std::string_view s, F&& f) {
  if (s.size() < 3) return;
  std::uint32_t t = std::uint32_t{Fold(s[0])} << 8 | Fold(s[1]);
  for (std::size_t p = 0; p + 3 <= s.size(); ++p) {
    t = (t << 8 | Fold(s[p + 2])) & 0xFFFFFF;
    if (StartsCharacter(s[p])) f(t);
  }
}

}  // namespace

struct TTrigramIndex::TEntry {
  std::uint32_t Trigram;
  std::uint32_t Count;
  std::uint64_t Offset;  // into the posting lists
};
static_assert(sizeof(TTrigramIndex::TEntry) == 16);

namespace {

using TEntry = TTrigramIndex::TEntry;

// Trigrams go by their high bits into buckets, kept in line order; a
// bucket's lists are then built with a table of its low bits, small enough
// to stay in the cache.
constexpr unsigned kLowBits = 14;
constexpr std::size_t kBuckets = std::size_t{1} << (24 - kLowBits), kLow = std::size_t{1} << kLowBits;
// A key is the low bits and the line within its run: runs are of at most
// 2^18 lines.
constexpr unsigned kLineBits = 18;
static_assert(kLowBits + kLineBits == 32);
constexpr std::size_t kChunkKeys = 1024;

// The index of some of the lines, in the file's form (each list's first
// line absolute), with each list's last line.
struct TRun {
  std::vector<TEntry> Entries;
  std::vector<std::uint32_t> Last;
  std::string Postings;
};

inline std::size_t VarintLength(std::uint32_t v) {
  std::size_t n = 1;
  while (v >= 0x80) v >>= 7, ++n;
  return n;
}
inline std::size_t PutVarint(unsigned char* to, std::uint32_t v) {
  std::size_t n = 0;
  for (; v >= 0x80; v >>= 7) to[n++] = static_cast<unsigned char>(v | 0x80);
  to[n++] = static_cast<unsigned char>(v);
  return n;
}

// A list being built: its line count (0 before its first line), its last
// line, and its length, then where it goes on.
struct TSlot {
  std::uint32_t Count, Last;
  std::uint64_t At;
};

// Keys of one bucket, in line order, to its directory entries and lists:
// one walk sizes the lists, one writes them. `base` is the run's first line.
void Encode(const std::vector<std::span<const std::uint32_t>>& chunks, std::uint32_t base, std::uint32_t high,
            TSlot* table, std::vector<std::uint32_t>& seen, TRun& run, const std::function<void()>& poll) {
  auto walk = [&](auto&& f) {
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      if (poll && (c & 0xFF) == 0xFF) poll();
      for (const std::uint32_t k : chunks[c]) {
        TSlot& e = table[k >> kLineBits];
        const std::uint32_t line = base + (k & ((1u << kLineBits) - 1));
        if (e.Count == 0) {
          f(e, line, line, k >> kLineBits);
        } else if (e.Last != line) {
          f(e, line, line - e.Last, k >> kLineBits);
        }
      }
    }
  };
  seen.clear();
  walk([&](TSlot& e, std::uint32_t line, std::uint32_t step, std::uint64_t low) {
    if (e.Count == 0) seen.push_back(static_cast<std::uint32_t>(low));
    e.At += VarintLength(step);
    ++e.Count;
    e.Last = line;
  });
  std::sort(seen.begin(), seen.end());
  std::uint64_t at = run.Postings.size();
  for (const std::uint32_t low : seen) {
    TSlot& e = table[low];
    run.Entries.push_back({high << kLowBits | low, e.Count, at});
    run.Last.push_back(e.Last);
    const std::uint64_t size = e.At;
    e = {0, 0, at};
    at += size;
  }
  run.Postings.resize(at);
  auto* const bytes = reinterpret_cast<unsigned char*>(run.Postings.data());
  walk([&](TSlot& e, std::uint32_t line, std::uint32_t step, std::uint64_t) {
    e.At += PutVarint(bytes + e.At, step);
    e.Count = 1;
    e.Last = line;
  });
  for (const std::uint32_t low : seen) table[low] = {};
}

// What Merge reads of a run.
struct TRunView {
  std::span<const TEntry> Entries;
  std::span<const std::uint32_t> Last;
  std::string_view Postings;
};

// Runs of successive lines to one index: a trigram's lists follow each
// other, each first line now a step from the list before.
TTrigramIndexBytes Merge(const std::vector<TRunView>& runs, const std::function<void()>& poll) {
  TTrigramIndexBytes out;
  std::vector<TEntry> entries;
  std::string& postings = out.Postings;
  std::size_t total = 0;
  for (const TRunView& run : runs) total += run.Postings.size();
  postings.reserve(total);
  using THead = std::pair<std::uint32_t, std::size_t>;  // trigram, run
  std::priority_queue<THead, std::vector<THead>, std::greater<>> heads;
  std::vector<std::size_t> at(runs.size(), 0);
  for (std::size_t k = 0; k < runs.size(); ++k)
    if (!runs[k].Entries.empty()) heads.push({runs[k].Entries[0].Trigram, k});
  std::uint32_t last = 0;
  unsigned char step[5];
  for (std::size_t popped = 0; !heads.empty(); ++popped) {
    if (poll && (popped & 0xFFFF) == 0) poll();
    const auto [trigram, k] = heads.top();
    heads.pop();
    const TRunView& run = runs[k];
    const std::size_t i = at[k]++;
    const TEntry& e = run.Entries[i];
    const std::size_t end = i + 1 < run.Entries.size() ? run.Entries[i + 1].Offset : run.Postings.size();
    const auto* p = reinterpret_cast<const unsigned char*>(run.Postings.data());
    std::size_t from = e.Offset;
    if (!entries.empty() && entries.back().Trigram == trigram) {
      std::uint32_t first = 0;
      for (int shift = 0;; shift += 7) {
        const unsigned char b = p[from++];
        first |= std::uint32_t{b & 0x7Fu} << shift;
        if (b < 0x80) break;
      }
      postings.append(reinterpret_cast<const char*>(step), PutVarint(step, first - last));
      entries.back().Count += e.Count;
    } else {
      entries.push_back({trigram, e.Count, postings.size()});
    }
    postings.append(run.Postings.substr(from, end - from));
    last = run.Last[i];
    if (at[k] < run.Entries.size()) heads.push({run.Entries[at[k]].Trigram, k});
  }
  out.Directory.assign(reinterpret_cast<const char*>(entries.data()), entries.size() * sizeof(TEntry));
  return out;
}

}  // namespace

TTrigramIndexBytes BuildTrigramIndex(std::size_t count, const std::function<std::string_view(std::size_t)>& line,
                                     const std::function<void()>& poll, TTrigramScratch* scratch) {
  return BuildTrigramIndexPart(0, count, line, poll, scratch);
}

TTrigramIndexBytes BuildTrigramIndexPart(std::size_t begin, std::size_t limit,
                                         const std::function<std::string_view(std::size_t)>& line,
                                         const std::function<void()>& poll, TTrigramScratch* scratch) {
  TTrigramScratch own;
  if (!scratch) scratch = &own;
  const std::size_t most = std::max<std::size_t>(scratch->RunKeys, 1);
  std::vector<TSlot> table(kLow);
  std::vector<std::uint32_t> seen;
  std::vector<TRun> runs;
  // Each bucket fills chunks of the room, a page each, taken as it needs
  // them: one walk of the text puts every key in place.
  std::vector<std::size_t> fill(kBuckets), stop(kBuckets);
  std::vector<std::uint32_t> firstChunk(kBuckets), lastChunk(kBuckets), next;
  std::vector<std::span<const std::uint32_t>> chunks;
  for (std::size_t first = begin; first < limit;) {
    std::size_t bound = 0, end = first;
    for (; end < limit && end - first < (std::size_t{1} << kLineBits); ++end) {
      if (poll && (end & 0xFFFF) == 0) poll();
      const std::size_t size = line(end).size();
      if (size < 3) continue;
      if (bound > 0 && bound + size - 2 > most) break;
      bound += size - 2;
    }
    const std::size_t room = (bound + kChunkKeys - 1) / kChunkKeys + kBuckets;
    if (scratch->Capacity < room * kChunkKeys) {
      scratch->Keys.reset();
      scratch->Keys.reset(new std::uint32_t[room * kChunkKeys]);
      scratch->Capacity = room * kChunkKeys;
    }
    std::uint32_t* const keys = scratch->Keys.get();
    std::fill(fill.begin(), fill.end(), 0);
    std::fill(stop.begin(), stop.end(), 0);
    next.assign(1, 0);  // chunk 0 stands for none
    for (std::size_t r = first; r < end; ++r) {
      if (poll && (r & 0xFFF) == 0) poll();
      const auto lineBits = static_cast<std::uint32_t>(r - first);
      ForEachTrigram(line(r), [&](std::uint32_t t) {
        const std::size_t b = t >> kLowBits;
        if (fill[b] == stop[b]) {
          const auto c = static_cast<std::uint32_t>(next.size());
          next.push_back(0);
          if (stop[b] == 0)
            firstChunk[b] = c;
          else
            next[lastChunk[b]] = c;
          lastChunk[b] = c;
          fill[b] = std::size_t{c} * kChunkKeys;
          stop[b] = fill[b] + kChunkKeys;
        }
        keys[fill[b]++] = (t & (kLow - 1)) << kLineBits | lineBits;
      });
    }
    TRun run;
    run.Postings.reserve(bound);
    for (std::size_t b = 0; b < kBuckets; ++b) {
      if (stop[b] == 0) continue;
      if (poll) poll();
      chunks.clear();
      for (std::uint32_t c = firstChunk[b]; c != 0; c = next[c]) {
        const std::size_t from = std::size_t{c} * kChunkKeys;
        chunks.emplace_back(keys + from, c == lastChunk[b] ? fill[b] - from : kChunkKeys);
      }
      Encode(chunks, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(b), table.data(), seen, run,
             poll);
    }
    runs.push_back(std::move(run));
    first = end;
  }

  if (runs.size() == 1) {
    TTrigramIndexBytes out;
    out.Postings = std::move(runs[0].Postings);
    out.Directory.assign(reinterpret_cast<const char*>(runs[0].Entries.data()),
                         runs[0].Entries.size() * sizeof(TEntry));
    return out;
  }
  std::vector<TRunView> views;
  for (const TRun& run : runs) views.push_back({run.Entries, run.Last, run.Postings});
  return Merge(views, poll);
}

TTrigramIndexBytes JoinTrigramIndexes(const std::vector<TTrigramIndexBytes>& parts,
                                      const std::function<void()>& poll) {
  std::vector<std::vector<TEntry>> entries(parts.size());
  std::vector<std::vector<std::uint32_t>> last(parts.size());
  std::vector<TRunView> views;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const TTrigramIndexBytes& part = parts[k];
    entries[k].resize(part.Directory.size() / sizeof(TEntry));
    if (!entries[k].empty()) std::memcpy(entries[k].data(), part.Directory.data(), part.Directory.size());
    // Each list's last line, from its steps.
    const auto* p = reinterpret_cast<const unsigned char*>(part.Postings.data());
    for (const TEntry& e : entries[k]) {
      if (poll && (last[k].size() & 0xFFFF) == 0) poll();
      std::uint32_t line = 0, v = 0;
      int shift = 0;
      for (std::uint32_t n = 0; n < e.Count; ++p) {
        v |= std::uint32_t{*p & 0x7Fu} << shift;
        shift += 7;
        if (*p < 0x80) line += v, v = 0, shift = 0, ++n;
      }
      last[k].push_back(line);
    }
    views.push_back({entries[k], last[k], part.Postings});
  }
  return Merge(views, poll);
}

std::optional<TTrigramIndex> TTrigramIndex::View(std::string_view directory, std::string_view postings,
                                                 std::size_t lines, bool checked) {
  if (directory.size() % sizeof(TEntry) != 0 ||
      reinterpret_cast<std::uintptr_t>(directory.data()) % alignof(TEntry) != 0)
    return std::nullopt;
  TTrigramIndex index;
  index.entries_ = reinterpret_cast<const TEntry*>(directory.data());
  index.entryCount_ = directory.size() / sizeof(TEntry);
  index.postings_ = postings;
  index.lines_ = lines;
  // Each list at least a byte per line, within the blocks, in order: a
  // decode can then never read past its list.
  for (std::size_t k = 0; !checked && k < index.entryCount_; ++k) {
    const TEntry& e = index.entries_[k];
    const std::uint64_t end = k + 1 < index.entryCount_ ? index.entries_[k + 1].Offset : postings.size();
    if (e.Trigram >= kTrigrams || (k > 0 && e.Trigram <= index.entries_[k - 1].Trigram) || e.Count == 0 ||
        e.Count > lines || e.Offset > end || end > postings.size() || end - e.Offset < e.Count)
      return std::nullopt;
  }
  return index;
}

const TTrigramIndex::TEntry* TTrigramIndex::Find(std::uint32_t trigram) const {
  const TEntry* end = entries_ + entryCount_;
  const TEntry* e = std::lower_bound(entries_, end, trigram,
                                     [](const TEntry& a, std::uint32_t t) { return a.Trigram < t; });
  return e != end && e->Trigram == trigram ? e : nullptr;
}

bool TTrigramIndex::Decode(const TEntry& entry, std::vector<std::uint32_t>& out) const {
  const std::size_t k = static_cast<std::size_t>(&entry - entries_);
  const std::uint64_t end = k + 1 < entryCount_ ? entries_[k + 1].Offset : postings_.size();
  const auto* p = reinterpret_cast<const unsigned char*>(postings_.data()) + entry.Offset;
  const auto* const stop = reinterpret_cast<const unsigned char*>(postings_.data()) + end;
  out.clear();
  out.reserve(entry.Count);
  std::uint64_t value = 0;
  for (std::uint32_t i = 0; i < entry.Count; ++i) {
    std::uint64_t delta = 0;
    for (int shift = 0;; shift += 7) {
      if (p == stop || shift > 28) return false;
      const unsigned char b = *p++;
      delta |= std::uint64_t{b & 0x7Fu} << shift;
      if (b < 0x80) break;
    }
    if (i > 0 && delta == 0) return false;
    value += delta;
    if (value >= lines_) return false;
    out.push_back(static_cast<std::uint32_t>(value));
  }
  return p == stop;
}

std::optional<std::vector<std::uint32_t>> TTrigramIndex::Candidates(std::string_view literal) const {
  std::vector<std::uint32_t> trigrams;
  ForEachTrigram(literal, [&](std::uint32_t t) { trigrams.push_back(t); });
  if (trigrams.empty()) return std::nullopt;
  std::sort(trigrams.begin(), trigrams.end());
  trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
  std::vector<const TEntry*> lists;
  for (std::uint32_t t : trigrams) {
    const TEntry* e = Find(t);
    if (!e) return std::vector<std::uint32_t>{};
    lists.push_back(e);
  }
  std::sort(lists.begin(), lists.end(), [](const TEntry* a, const TEntry* b) { return a->Count < b->Count; });
  std::vector<std::uint32_t> lines, next, both;
  if (!Decode(*lists[0], lines)) return std::nullopt;
  for (std::size_t i = 1; i < lists.size() && !lines.empty(); ++i) {
    if (lines.size() * kNarrowingGain < lists[i]->Count) break;
    if (!Decode(*lists[i], next)) return std::nullopt;
    both.clear();
    std::set_intersection(lines.begin(), lines.end(), next.begin(), next.end(), std::back_inserter(both));
    lines.swap(both);
  }
  return lines;
}

}  // namespace korvel
