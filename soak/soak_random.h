// The random source of a soak: one seed gives one sequence, so that a seed
// printed with a failure replays the run exactly. Every soak draws from it
// alone, in the order its steps are generated; a draw added or moved
// changes every run after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

class soak_random {
public:
    explicit soak_random(std::uint32_t seed) : engine_(seed) {}

    // 0 .. bound-1
    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(engine_() % bound); }
    // low .. high, both included
    int between(int low, int high) { return low + static_cast<int>(below(static_cast<std::uint32_t>(high - low + 1))); }
    // One entry of a table.
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(static_cast<std::uint32_t>(N))];
    }

private:
    std::mt19937 engine_;
};
