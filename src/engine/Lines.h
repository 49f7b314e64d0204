// TLines — every aligned line pair of the loaded corpus, in corpus order,
// given as TData values.
//
// A pair read from its sources keeps its records in one big array. A pair
// mapped from the corpus cache is read where its records lie in the file,
// so opening a cached corpus costs nothing per line: a search reads only
// the records of the lines it tries.
//
// Owned by TKorvel and filled by its load; immutable after it, so any
// thread may read it while no load runs. The texts the lines point into
// live as long as the engine keeps them (held texts, mapped caches).
#ifndef KORVEL_LINES_H
#define KORVEL_LINES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

#include "Corpus.h"
#include "cache/CorpusCache.h"

namespace korvel {

class TLines {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TData operator[](std::size_t i) const {
    if (allHeld_) return held_[i];
    const TPart& p = PartOf(i);
    return p.At(held_, i - p.First);
  }
  TData back() const { return (*this)[size_ - 1]; }
  // One past the last record of the file pair that holds record i.
  std::size_t PairEnd(std::size_t i) const {
    const TPart& p = PartOf(i);
    return p.First + p.Count;
  }

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TData;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = TData;
    const_iterator(const TLines* lines, std::size_t i) : lines_(lines), i_(i) {}
    TData operator*() const { return (*lines_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    const_iterator operator++(int) { return {lines_, i_++}; }
    bool operator==(const const_iterator& o) const { return i_ == o.i_; }

   private:
    const TLines* lines_;
    std::size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

  // Loading. HeldSpace makes room for `count` records read from sources,
  // left uninitialised for the caller to fill before the pairs are added.
  void clear();
  TData* HeldSpace(std::size_t count, const std::function<void()>& poll = {});
  // A pair's records, in corpus order: `count` of them from HeldSpace()[first].
  void AddHeld(int32_t pair, std::size_t first, std::size_t count);
  // A pair's first `count` records, read from its cache.
  void AddCached(int32_t pair, std::shared_ptr<const TCachedCorpus> cached, std::size_t count);

 private:
  struct TPart {
    std::size_t First = 0, Count = 0;  // in corpus order
    int32_t Pair = 0;
    std::size_t HeldFirst = 0;
    std::shared_ptr<const TCachedCorpus> Cached;
    const char* Records = nullptr;  // the cache's, 8-byte aligned
    const char *En = nullptr, *Zh = nullptr;

    TData At(const std::vector<TData, TBigAllocator<TData>>& held, std::size_t j) const {
      if (!Records) return held[HeldFirst + j];
      // Checked when the cache was opened: every line lies within its text.
      const auto* r = reinterpret_cast<const TCachedRecord*>(Records) + j;
      return {std::string_view(Zh + r->ZhOffset, r->ZhLength), std::string_view(En + r->EnOffset, r->EnLength), Pair,
              r->LineIndex};
    }
  };
  const TPart& PartOf(std::size_t i) const {
    return *(std::upper_bound(parts_.begin(), parts_.end(), i,
                              [](std::size_t x, const TPart& p) { return x < p.First; }) -
             1);
  }

  std::vector<TData, TBigAllocator<TData>> held_;
  std::vector<TPart> parts_;
  std::size_t size_ = 0;
  bool allHeld_ = true;  // then record i is held_[i]
};

}  // namespace korvel

#endif
