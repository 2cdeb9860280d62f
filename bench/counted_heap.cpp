// The replacement operator new and delete that keep the live heap count of
// bench_support.h. Alone in this file: inlined into code that uses the
// standard containers, free() after operator new makes GCC warn.
#include <cstdlib>
#include <malloc.h>
#include <new>

#include "bench_support.h"

std::atomic<size_t> HeapLive{0};
std::atomic<size_t> HeapPeak{0};

namespace {

void* Counted(void* p) {
  if (!p) return p;
  size_t live = HeapLive.fetch_add(_msize(p), std::memory_order_relaxed) + _msize(p);
  size_t peak = HeapPeak.load(std::memory_order_relaxed);
  while (live > peak && !HeapPeak.compare_exchange_weak(peak, live)) {
  }
  return p;
}

void Uncounted(void* p) {
  if (!p) return;
  HeapLive.fetch_sub(_msize(p), std::memory_order_relaxed);
  free(p);
}

}  // namespace

void* operator new(size_t n) {
  void* p = Counted(malloc(n ? n : 1));
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return Counted(malloc(n ? n : 1)); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  return Counted(malloc(n ? n : 1));
}
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, size_t) noexcept { Uncounted(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Uncounted(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Uncounted(p); }

