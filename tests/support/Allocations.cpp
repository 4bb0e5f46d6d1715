#include "Allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

thread_local bool t_counting = false;
thread_local int t_paused = 0;
std::atomic<std::uint64_t> g_counted{0};

void note()
{
    if (t_counting && t_paused == 0)
        g_counted.fetch_add(1, std::memory_order_relaxed);
}

void* allocate(std::size_t size)
{
    note();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void release(void* p) noexcept
{
    if (!p)
        return;
    note();
    std::free(p);
}

} // namespace

namespace Allocations {

void countOnThisThread(bool on)
{
    t_counting = on;
}

std::uint64_t counted()
{
    return g_counted.load(std::memory_order_relaxed);
}

Uncounted::Uncounted()
{
    ++t_paused;
}

Uncounted::~Uncounted()
{
    --t_paused;
}

} // namespace Allocations

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    note();
    return std::malloc(size ? size : 1);
}

void operator delete(void* p) noexcept
{
    release(p);
}

void operator delete[](void* p) noexcept
{
    release(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    release(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    release(p);
}
