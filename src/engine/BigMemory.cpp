#include "BigMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace korvel {
namespace {

constexpr std::size_t kHuge = 2u << 20;

// Whole huge pages: a tail of small ones would cost a fault per 4 KiB again.
std::size_t Rounded(std::size_t bytes) { return (bytes + kHuge - 1) / kHuge * kHuge; }

}  // namespace

void* AllocateBig(std::size_t bytes) {
  if (bytes < 2 * kHuge) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    return p;
  }
  // A mapping of its own, aligned to a huge page by trimming what lies
  // either side. (From malloc, a block this size may be carved from a heap
  // whose pages are all small.)
  const std::size_t size = Rounded(bytes);
  void* raw = mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto begin = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (begin + kHuge - 1) & ~(kHuge - 1);
  if (aligned > begin) munmap(raw, aligned - begin);
  const std::size_t after = begin + size + kHuge - (aligned + size);
  if (after) munmap(reinterpret_cast<void*>(aligned + size), after);
  void* p = reinterpret_cast<void*>(aligned);
  madvise(p, size, MADV_HUGEPAGE);
  return p;
}

void FreeBig(void* p, std::size_t bytes) {
  if (bytes < 2 * kHuge)
    std::free(p);
  else if (p)
    munmap(p, Rounded(bytes));
}

}  // namespace korvel
