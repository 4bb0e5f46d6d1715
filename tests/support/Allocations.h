#pragma once

#include <cstdint>

// Counts the C++ heap's allocations and frees (operator new and delete) made on threads that
// ask for it: what the engine's sound thread must never do. Linked into a test program, it
// replaces the global operators.
namespace Allocations {

// Counting on the calling thread from now on, or not.
void countOnThisThread(bool on);
// Allocations and frees counted so far, on every counting thread.
std::uint64_t counted();

// Not counted on this thread while it lives: the test's own work inside the engine's calls.
class Uncounted {
public:
    Uncounted();
    ~Uncounted();
    Uncounted(const Uncounted&) = delete;
    Uncounted& operator=(const Uncounted&) = delete;
};

} // namespace Allocations
