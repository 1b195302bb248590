// A counting allocator for tests that must prove an operation allocates
// nothing, or a bounded number of times, and that nothing leaks.
//
// Linking counting_allocator.cpp into an executable replaces malloc, calloc,
// realloc, free and the aligned variants of the C library (and every form of
// the global operator new and delete, which forward to them), so every heap
// block of the process is counted: the standard library's, the string
// library's (which allocates with malloc) and the panel's alike. The real
// work is left to the C library.
//
// It cannot share a process with another allocator replacement: not with a
// sanitizer runtime, not under valgrind.
#pragma once

#include <cstdint>

namespace counting_allocator {

// Totals since the process started. A realloc that keeps or moves a block
// counts as one allocation and one free; free(nullptr) counts nothing.
struct totals {
    std::int64_t allocations;
    std::int64_t frees;
};

totals now() noexcept;

// Counts what happens between its construction and a call of
// allocations() / frees() / live(): the figures of one operation.
class window {
public:
    window() noexcept : start_(now()) {}
    std::int64_t allocations() const noexcept { return now().allocations - start_.allocations; }
    std::int64_t frees() const noexcept { return now().frees - start_.frees; }
    // Blocks allocated in the window and not freed yet (negative when the
    // window freed older blocks).
    std::int64_t live() const noexcept { return allocations() - frees(); }

private:
    totals start_;
};

}  // namespace counting_allocator
