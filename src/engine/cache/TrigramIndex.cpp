#include "TrigramIndex.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>

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
inline std::uint32_t TrigramAt(const char* p) {
  return std::uint32_t{Fold(p[0])} << 16 | std::uint32_t{Fold(p[1])} << 8 | Fold(p[2]);
}
inline std::size_t VarintLength(std::uint32_t v) {
  std::size_t n = 1;
  while (v >= 0x80) v >>= 7, ++n;
  return n;
}

// Zeroed tables of one entry per trigram; calloc maps them lazily, so only
// the pages of trigrams that occur are ever touched.
template <class T>
struct TTable {
  T* p = static_cast<T*>(std::calloc(kTrigrams, sizeof(T)));
  TTable() {
    if (!p) throw std::bad_alloc();
  }
  ~TTable() { std::free(p); }
  TTable(const TTable&) = delete;
  TTable& operator=(const TTable&) = delete;
  T& operator[](std::uint32_t t) { return p[t]; }
};

template <class F>
void ForEachTrigram(std::string_view s, F&& f) {
  for (std::size_t p = 0; p + 3 <= s.size(); ++p)
    if (StartsCharacter(s[p])) f(TrigramAt(s.data() + p));
}

}  // namespace

struct TTrigramIndex::TEntry {
  std::uint32_t Trigram;
  std::uint32_t Count;
  std::uint64_t Offset;  // into the posting lists
};
static_assert(sizeof(TTrigramIndex::TEntry) == 16);

TTrigramIndexBytes BuildTrigramIndex(std::size_t count, const std::function<std::string_view(std::size_t)>& line,
                                     const std::function<void()>& poll) {
  // Two walks: the first sizes each posting list, the second writes it in
  // place. One table entry per trigram holds all a walk needs of it, so
  // that each occurrence costs one miss of the cache: Last, 1 + the last
  // line that held it (it counts once per line); Slot, its directory entry;
  // At, the bytes of its list, then where the list goes on.
  struct TState {
    std::uint32_t Last, Slot;
    std::uint64_t At;
  };
  TTable<TState> table;
  std::vector<std::uint32_t> seen;
  for (std::size_t r = 0; r < count; ++r) {
    if (poll && (r & 0xFFF) == 0) poll();
    const auto line1 = static_cast<std::uint32_t>(r + 1);
    ForEachTrigram(line(r), [&](std::uint32_t t) {
      TState& e = table[t];
      if (e.Last == line1) return;
      if (e.Last == 0) seen.push_back(t);
      e.At += VarintLength(e.Last ? line1 - e.Last : line1 - 1);
      e.Last = line1;
    });
  }
  std::sort(seen.begin(), seen.end());
  std::vector<TTrigramIndex::TEntry> entries(seen.size());
  std::uint64_t total = 0;
  for (std::size_t k = 0; k < seen.size(); ++k) {
    TState& e = table[seen[k]];
    entries[k] = {seen[k], 0, total};
    total += e.At;
    e = {0, static_cast<std::uint32_t>(k), entries[k].Offset};
  }
  TTrigramIndexBytes out;
  out.Postings.resize(total);
  auto* const posting = reinterpret_cast<unsigned char*>(out.Postings.data());
  for (std::size_t r = 0; r < count; ++r) {
    if (poll && (r & 0xFFF) == 0) poll();
    const auto line1 = static_cast<std::uint32_t>(r + 1);
    ForEachTrigram(line(r), [&](std::uint32_t t) {
      TState& e = table[t];
      if (e.Last == line1) return;
      std::uint32_t v = e.Last ? line1 - e.Last : line1 - 1;
      for (; v >= 0x80; v >>= 7) posting[e.At++] = static_cast<unsigned char>(v | 0x80);
      posting[e.At++] = static_cast<unsigned char>(v);
      ++entries[e.Slot].Count;
      e.Last = line1;
    });
  }
  out.Directory.resize(entries.size() * sizeof(TTrigramIndex::TEntry));
  if (!entries.empty()) std::memcpy(out.Directory.data(), entries.data(), out.Directory.size());
  return out;
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
