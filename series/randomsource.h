#pragma once

#include <QRandomGenerator>

#include <cstdint>
#include <optional>

// Where every draw takes its randomness: the operating system's cryptographically
// secure generator (getrandom, BCryptGenRandom), so no earlier output and no clock
// predicts the next draw.
class RandomSource
{
  public:
    RandomSource() = default;

    // Tests only: a reproducible stream instead of the system generator.
    static RandomSource seededForTesting(std::uint32_t seed);

    // 32 uniform random bits.
    std::uint32_t next();

  private:
    std::optional<QRandomGenerator> m_seeded;
};
