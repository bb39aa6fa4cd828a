#pragma once

#include <cstdint>

// The demo school's random numbers: a fixed algorithm (SplitMix64) of our own, so the same
// seed gives the same school with any compiler or library; std:: distributions may not.
class SeedRandom
{
public:
    explicit SeedRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // 0 <= result < n (n > 0); the tiny modulo bias does not matter for a demo.
    int below(int n) { return int(next() % std::uint64_t(n)); }

    // low <= result <= high
    int between(int low, int high) { return low + below(high - low + 1); }

    bool percent(int p) { return below(100) < p; }

    // Roughly bell-shaped around 0, in -2*spread..2*spread: the sum of four uniform draws.
    int bell(int spread)
    {
        int sum = 0;
        for (int i = 0; i < 4; ++i)
            sum += between(-spread, spread);
        return sum / 2;
    }

private:
    std::uint64_t m_state;
};
