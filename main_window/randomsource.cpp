#include "main_window/randomsource.h"

#include <chrono>

RandomSource::RandomSource()
{
    reseed();
}

void RandomSource::reseed()
{
    std::random_device entropy;
    const auto clock = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::seed_seq sequence{entropy(),
                           entropy(),
                           entropy(),
                           entropy(),
                           static_cast<unsigned>(clock),
                           static_cast<unsigned>(clock >> 32)};
    m_engine.seed(sequence);
}

void RandomSource::seed(std::uint64_t value)
{
    m_engine.seed(value);
}

float RandomSource::next()
{
    constexpr int Bits = 24; // a float's mantissa holds 24 bits exactly
    return static_cast<float>(m_engine() >> (64 - Bits)) / static_cast<float>(1u << Bits);
}
