// Replaces the program's global operator new and delete, so that a test can
// count or refuse its allocations. Include it in exactly one source of a test
// executable (the operators are the program's own).
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

// Called with the size of every operator new while set; false refuses the
// request (std::bad_alloc).
inline std::atomic<bool (*)(std::size_t)> g_onNew{nullptr};

// The replacements pair malloc with free themselves; the compiler cannot see
// that they belong together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (bool (*const hook)(std::size_t) = g_onNew.load(std::memory_order_relaxed); hook != nullptr && !hook(size))
    throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
