// Lexicon — MyDLL's English word families, as a table of numbers that is
// built once from english.lex and then mapped (TableFile.h).
//
// Every distinct word once, and for each the families it belongs to. Words
// are views into the file text; families list word ids, so comparing two
// forms is comparing two numbers. Immutable once adopted: any number of
// threads may read it; it keeps the table it views alive.
#ifndef KORVEL_LEXICON_H
#define KORVEL_LEXICON_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "TableFile.h"

namespace korvel::morph {

constexpr std::size_t kMaxWord = 64;  // the data holds no longer word

class Lexicon {
 public:
  struct Word {
    std::uint32_t offset;
    std::uint8_t length;
    std::uint8_t rank;  // 0 = commonest
    std::uint16_t unused;
  };

  // The table of english.lex's text, or nullopt when it is malformed:
  // better no forms than wrong ones.
  static std::optional<std::string> Build(std::string_view text);
  static const tables::TTableKind& TableKind();
  // Views the table; false when it does not hold together.
  bool adopt(tables::TTable table);

  // Id of the word, or -1 when it is not in the lexicon.
  std::int64_t find(std::string_view w) const {
    for (std::size_t s = hash(w) & (slots_.size() - 1);; s = (s + 1) & (slots_.size() - 1)) {
      if (slots_[s] == 0) return -1;
      if (text(slots_[s] - 1) == w) return slots_[s] - 1;
    }
  }

  // Letters only, as parsing allows: forms are spliced into patterns. Checked
  // here rather than when a table is adopted, so that a start reads none of
  // the text; a crafted table's other words read as empty.
  std::string_view text(std::uint32_t id) const {
    const std::string_view t = text_.substr(words_[id].offset, words_[id].length);
    for (char ch : t)
      if (ch < 'a' || ch > 'z') return {};
    return t;
  }
  const Word& word(std::uint32_t id) const { return words_[id]; }

  // Calls f(first, last) for each family the word is in, or only those it
  // leads (as their lemma), or only verb families: those with an -ing form
  // besides the lemma.
  template <class F>
  void forEachFamilyOf(std::string_view w, bool ledOnly, bool verbsOnly, F&& f) const {
    const std::int64_t id = find(w);
    if (id < 0) return;
    forEachFamily(static_cast<std::uint32_t>(id), [&](const std::uint32_t* first, const std::uint32_t* last) {
      if (ledOnly && *first != static_cast<std::uint32_t>(id)) return;
      if (verbsOnly && std::none_of(first + 1, last, [&](std::uint32_t m) { return text(m).ends_with("ing"); }))
        return;
      f(first, last);
    });
  }

  bool inFamily(std::string_view w, bool ledOnly, bool verbsOnly) const {
    bool any = false;
    forEachFamilyOf(w, ledOnly, verbsOnly, [&](const std::uint32_t*, const std::uint32_t*) { any = true; });
    return any;
  }

  template <class F>
  void forEachFamily(std::uint32_t id, F&& f) const {
    for (std::uint32_t m = memberStart_[id]; m < memberStart_[id + 1]; ++m) {
      const std::uint32_t family = members_[m];
      f(forms_.data() + familyStart_[family], forms_.data() + familyStart_[family + 1]);
    }
  }

  static std::size_t hash(std::string_view w) {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (char c : w) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }

 private:
  tables::TTable table_;
  std::string_view text_;
  std::span<const Word> words_;
  std::span<const std::uint32_t> slots_;        // word id + 1, or 0 for empty
  std::span<const std::uint32_t> forms_;        // word ids, family after family
  std::span<const std::uint32_t> familyStart_;  // family f is forms_[start[f], start[f + 1])
  std::span<const std::uint32_t> memberStart_;  // word w is in members_[start[w], start[w + 1])
  std::span<const std::uint32_t> members_;      // family ids
};

}  // namespace korvel::morph

#endif
