#include "Lexicon.h"

#include <bit>
#include <cstring>
#include <utility>
#include <vector>

namespace korvel::morph {

namespace {

// Bump when the table's layout or the parsing changes.
constexpr std::uint32_t kTableVersion = 1;

// The table: these counts, then the arrays in this order, then the text.
struct Counts {
  std::uint32_t text, words, slots, forms, familyStart, memberStart, members, unused;
};

template <class T>
void Append(std::string& out, const std::vector<T>& v) {
  out.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

}  // namespace

const tables::TTableKind& Lexicon::TableKind() {
  static const tables::TTableKind kind{0x5845454c /* "LEEX" */, kTableVersion, "lexicon"};
  return kind;
}

std::optional<std::string> Lexicon::Build(std::string_view text) {
  using std::string_view;
  if (text.empty()) return std::nullopt;
  std::vector<Word> words;
  std::vector<std::uint32_t> slots, forms, familyStart, memberStart, members;
  // (word, family) pairs in file order, grouped by word below.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> memberships;
  memberships.reserve(text.size() / 8);
  forms.reserve(text.size() / 8);
  words.reserve(text.size() / 8);
  slots.assign(std::bit_ceil(text.size() / 4 + 16), 0);  // well under half full
  const auto intern = [&](std::uint32_t offset, string_view w, int rank) {
    std::size_t s = hash(w) & (slots.size() - 1);
    for (; slots[s] != 0; s = (s + 1) & (slots.size() - 1)) {
      const Word& known = words[slots[s] - 1];
      if (text.substr(known.offset, known.length) == w) return slots[s] - 1;
    }
    words.push_back({offset, static_cast<std::uint8_t>(w.size()), static_cast<std::uint8_t>(rank), 0});
    slots[s] = static_cast<std::uint32_t>(words.size());
    return slots[s] - 1;
  };
  familyStart.push_back(0);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == string_view::npos) end = text.size();
    const string_view line = text.substr(pos, end - pos);
    const std::size_t lineStart = pos;
    pos = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const auto family = static_cast<std::uint32_t>(familyStart.size() - 1);
    std::size_t i = 0;
    while (i < line.size()) {
      std::size_t j = line.find(' ', i);
      if (j == string_view::npos) j = line.size();
      const string_view token = line.substr(i, j - i);
      if (token.size() < 2 || token.size() > kMaxWord + 1 || token[0] < '0' || token[0] > '9') return std::nullopt;
      const string_view word = token.substr(1);
      if (!std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; })) return std::nullopt;
      const std::uint32_t id = intern(static_cast<std::uint32_t>(lineStart + i + 1), word, token[0] - '0');
      forms.push_back(id);
      memberships.emplace_back(id, family);
      i = j + 1;
    }
    familyStart.push_back(static_cast<std::uint32_t>(forms.size()));
  }
  // Counting sort by word keeps each word's families in file order, which
  // runs from the commonest lemma down.
  memberStart.assign(words.size() + 1, 0);
  for (const auto& m : memberships) ++memberStart[m.first + 1];
  for (std::size_t w = 0; w < words.size(); ++w) memberStart[w + 1] += memberStart[w];
  members.resize(memberships.size());
  std::vector<std::uint32_t> next(memberStart.begin(), memberStart.end() - 1);
  for (const auto& m : memberships) members[next[m.first]++] = m.second;

  const Counts counts{static_cast<std::uint32_t>(text.size()),        static_cast<std::uint32_t>(words.size()),
                      static_cast<std::uint32_t>(slots.size()),       static_cast<std::uint32_t>(forms.size()),
                      static_cast<std::uint32_t>(familyStart.size()), static_cast<std::uint32_t>(memberStart.size()),
                      static_cast<std::uint32_t>(members.size()),     0};
  std::string table(reinterpret_cast<const char*>(&counts), sizeof counts);
  Append(table, words);
  Append(table, slots);
  Append(table, forms);
  Append(table, familyStart);
  Append(table, memberStart);
  Append(table, members);
  table.append(text);
  return table;
}

bool Lexicon::adopt(tables::TTable table) {
  const std::string_view t = table.payload;
  Counts c{};
  if (t.size() < sizeof c) return false;
  std::memcpy(&c, t.data(), sizeof c);
  const std::uint64_t need = sizeof c + std::uint64_t{c.words} * sizeof(Word) +
                             4ull * (std::uint64_t{c.slots} + c.forms + c.familyStart + c.memberStart + c.members) +
                             c.text;
  if (need != t.size()) return false;
  std::size_t at = sizeof c;
  const auto take = [&](auto& span, std::uint32_t n) {
    using T = typename std::remove_reference_t<decltype(span)>::element_type;
    span = {reinterpret_cast<const T*>(t.data() + at), n};
    at += std::size_t{n} * sizeof(T);
  };
  take(words_, c.words);
  take(slots_, c.slots);
  take(forms_, c.forms);
  take(familyStart_, c.familyStart);
  take(memberStart_, c.memberStart);
  take(members_, c.members);
  text_ = t.substr(at);

  // Checked once here, so that no lookup reads outside the table or loops
  // for ever (a probe stops only at an empty slot).
  const auto below = [](std::span<const std::uint32_t> v, std::uint64_t n) {
    return std::all_of(v.begin(), v.end(), [&](std::uint32_t x) { return x < n; });
  };
  const auto starts = [](std::span<const std::uint32_t> v, std::uint64_t total) {
    return !v.empty() && v.front() == 0 && v.back() == total && std::is_sorted(v.begin(), v.end());
  };
  const bool ok =
      std::has_single_bit(std::size_t{c.slots}) && below(slots_, std::uint64_t{c.words} + 1) &&
      std::find(slots_.begin(), slots_.end(), 0u) != slots_.end() && below(forms_, c.words) &&
      starts(familyStart_, c.forms) && c.memberStart == std::uint64_t{c.words} + 1 &&
      starts(memberStart_, c.members) && below(members_, c.familyStart - 1) &&
      std::all_of(words_.begin(), words_.end(), [&](const Word& w) {
        return w.length <= kMaxWord && w.offset <= c.text && w.length <= c.text - w.offset;
      });
  if (!ok) {
    *this = Lexicon();
    return false;
  }
  table_ = std::move(table);
  return true;
}

}  // namespace korvel::morph
