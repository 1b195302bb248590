#include "counting_allocator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "zelm_string.h"

namespace {

// Blocks go through here so the compiler cannot pair an allocation with its
// free and drop both.
void* volatile sink = nullptr;

TEST(counting_allocator, HeaderCompilesOnItsOwn)
{
    const counting_allocator::totals totals = counting_allocator::now();
    EXPECT_GE(totals.allocations, totals.frees);
}

TEST(counting_allocator, CountsTheCLibraryAllocator)
{
    counting_allocator::window window;
    sink = std::malloc(10);
    std::free(sink);
    sink = std::calloc(3, 8);
    void* grown = std::realloc(sink, 4096);  // one allocation and one free
    ASSERT_NE(grown, nullptr);
    sink = grown;
    std::free(sink);
    std::free(nullptr);  // counts nothing
    void* aligned = nullptr;
    ASSERT_EQ(posix_memalign(&aligned, 64, 100), 0);
    sink = aligned;
    std::free(sink);
    sink = std::aligned_alloc(32, 64);
    std::free(sink);
    EXPECT_EQ(window.allocations(), 5);
    EXPECT_EQ(window.frees(), 5);
    EXPECT_EQ(window.live(), 0);
}

TEST(counting_allocator, CountsEveryFormOfNewAndDelete)
{
    struct alignas(64) wide {
        char bytes[64];
    };
    counting_allocator::window window;
    int* single = new int(1);
    sink = single;
    delete single;
    int* several = new int[4];
    sink = several;
    delete[] several;
    wide* aligned = new wide;
    sink = aligned;
    delete aligned;
    int* quiet = new (std::nothrow) int(2);
    sink = quiet;
    delete quiet;
    EXPECT_EQ(window.allocations(), 4);
    EXPECT_EQ(window.frees(), 4);
}

TEST(counting_allocator, SeesAnOpenBlockAsLive)
{
    counting_allocator::window window;
    auto kept = std::make_unique<std::vector<int>>(100);
    EXPECT_EQ(window.live(), 2);  // the vector object and its elements
    kept.reset();
    EXPECT_EQ(window.live(), 0);
}

TEST(counting_allocator, SeesTheStringLibraryAllocate)
{
    // The string library is a shared library of its own; its malloc calls
    // reach the counter too. A short text stays inline.
    counting_allocator::window window;
    {
        zelm_string shortText("inline");
        zelm_string longText("a text far longer than the inline storage of a string");
        EXPECT_EQ(window.allocations(), 1);
    }
    EXPECT_EQ(window.frees(), 1);
}

}  // namespace
