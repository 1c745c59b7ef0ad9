// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Allocator for tables of hundreds of megabytes that are read at random
// (the coefficients of every pair of MLGs, the class of every pair of
// positions). On Linux such a table is asked for 2 MB pages before it is
// first touched: with 4 KB pages nearly every random read would also miss
// the translation cache, which at 2·10⁸ pairs costs more than the read
// itself. Elsewhere, or below 4 MB, it is plain operator new.
#include <cstddef>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vireltan {

template <typename T>
struct LargeTableAllocator {
  using value_type = T;
  LargeTableAllocator() = default;
  template <typename U>
  LargeTableAllocator(const LargeTableAllocator<U>&) {}

  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
#if defined(__linux__)
    if (bytes >= 2 * kHugePage) {
      void* p = ::operator new (bytes, std::align_val_t{kHugePage});
      // Only our own bytes (the kernel rounds up to whole pages, still ours):
      // a hint, so a refusal changes nothing but speed.
      madvise(p, bytes, MADV_HUGEPAGE);
      return static_cast<T*>(p);
    }
#endif
    return static_cast<T*>(::operator new(bytes));
  }
  void deallocate(T* p, std::size_t n) {
#if defined(__linux__)
    if (n * sizeof(T) >= 2 * kHugePage) {
      ::operator delete (p, std::align_val_t{kHugePage});
      return;
    }
#endif
    ::operator delete(p);
  }
  template <typename U>
  bool operator==(const LargeTableAllocator<U>&) const {
    return true;
  }
};

template <typename T>
using LargeTable = std::vector<T, LargeTableAllocator<T>>;

}  // namespace vireltan
