// The replacement allocator: count, then let the C library do the work.
//
// glibc exports its allocator under a second set of names (__libc_malloc
// and friends) precisely so that a replacement can forward to it; calls
// from inside the C library and from every shared library reach the
// definitions here, because the executable comes first in symbol lookup.
#include "counting_allocator.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <new>

// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* block, std::size_t size) noexcept;
void* __libc_memalign(std::size_t alignment, std::size_t size) noexcept;
void __libc_free(void* block) noexcept;
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

// Relaxed atomics: the tests are single-threaded, but gtest and the C
// library may allocate on other threads, and a torn count would be a lie.
std::atomic<std::int64_t> allocationCount{0};
std::atomic<std::int64_t> freeCount{0};

void countAllocation(const void* block) noexcept
{
    if (block != nullptr)
        allocationCount.fetch_add(1, std::memory_order_relaxed);
}

void countFree(const void* block) noexcept
{
    if (block != nullptr)
        freeCount.fetch_add(1, std::memory_order_relaxed);
}

bool isPowerOfTwo(std::size_t value) noexcept { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

namespace counting_allocator {

totals now() noexcept
{
    return {allocationCount.load(std::memory_order_relaxed), freeCount.load(std::memory_order_relaxed)};
}

}  // namespace counting_allocator

// ---- The C library's allocator ---------------------------------------------

extern "C" {

void* malloc(std::size_t size) noexcept
{
    void* block = __libc_malloc(size);
    countAllocation(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) noexcept
{
    void* block = __libc_calloc(count, size);
    countAllocation(block);
    return block;
}

void* realloc(void* block, std::size_t size) noexcept
{
    void* moved = __libc_realloc(block, size);
    if (block == nullptr) {
        countAllocation(moved);
    } else if (size == 0) {
        countFree(block);  // glibc frees the block and answers null
    } else if (moved != nullptr) {
        countFree(block);
        countAllocation(moved);
    }
    return moved;
}

void free(void* block) noexcept
{
    countFree(block);
    __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept
{
    void* block = __libc_memalign(alignment, size);
    countAllocation(block);
    return block;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept
{
    void* block = __libc_memalign(alignment, size);
    countAllocation(block);
    return block;
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept
{
    if (!isPowerOfTwo(alignment) || alignment % sizeof(void*) != 0)
        return EINVAL;
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr)
        return ENOMEM;
    countAllocation(block);
    *out = block;
    return 0;
}

}  // extern "C"

// ---- The global operator new and delete --------------------------------------
// libstdc++'s own versions already call malloc and free; replacing them keeps
// that true for any standard library, so nothing is counted twice or missed.

namespace {

void* allocateOrThrow(std::size_t size)
{
    if (size == 0)
        size = 1;
    for (;;) {
        if (void* block = std::malloc(size))
            return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

void* allocateAlignedOrThrow(std::size_t size, std::align_val_t alignment)
{
    if (size == 0)
        size = 1;
    for (;;) {
        if (void* block = memalign(static_cast<std::size_t>(alignment), size))
            return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, std::align_val_t alignment) { return allocateAlignedOrThrow(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return allocateAlignedOrThrow(size, alignment); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocateOrThrow(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocateOrThrow(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    try {
        return allocateAlignedOrThrow(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    try {
        return allocateAlignedOrThrow(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { std::free(block); }
