// Memory for the engine's big arrays and file texts, backed by huge pages
// where the system allows: filling a few hundred megabytes of ordinary
// pages costs a page fault per 4 KiB, which dominates loading a corpus
// (and costs far more under a virtual machine's shadow page tables).
// Stateless; safe from any thread.
#ifndef KORVEL_BIGMEMORY_H
#define KORVEL_BIGMEMORY_H

#include <cstddef>
#include <new>
#include <utility>

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
  // Growing leaves new elements uninitialised, as `new T` would: whoever
  // grows a big array fills it next, and a second pass over hundreds of
  // megabytes is a load's worth of time.
  template <class U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... A>
  void construct(U* p, A&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
  }
  friend bool operator==(const TBigAllocator&, const TBigAllocator&) { return true; }
};

}  // namespace korvel

#endif
