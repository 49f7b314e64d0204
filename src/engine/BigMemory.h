// Memory for the engine's big arrays and file texts, backed by huge pages
// where the system allows: filling a few hundred megabytes of ordinary
// pages costs a page fault per 4 KiB, which dominates loading a corpus
// (and costs far more under a virtual machine's shadow page tables).
// Stateless; safe from any thread.
#ifndef KORVEL_BIGMEMORY_H
#define KORVEL_BIGMEMORY_H

#include <cstddef>

namespace korvel {

// Throws std::bad_alloc. Release with FreeBig and the same size.
void* AllocateBig(std::size_t bytes);
void FreeBig(void* p, std::size_t bytes);

template <class T>
struct TBigAllocator {
  using value_type = T;
  TBigAllocator() = default;
  template <class U>
  TBigAllocator(const TBigAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateBig(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) { FreeBig(p, n * sizeof(T)); }
  friend bool operator==(const TBigAllocator&, const TBigAllocator&) { return true; }
};

}  // namespace korvel

#endif
