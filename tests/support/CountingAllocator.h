// Counts every operator new of the process, the engine library's included, so a test can show
// that a path allocates nothing. Include it from exactly one source of a test program: it
// replaces the global operators.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> g_lAllocations{0};

// The replacements pair malloc with free; GCC cannot see that through the operators.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    ++g_lAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++g_lAllocations;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop
