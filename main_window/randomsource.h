#pragma once

#include <cstdint>
#include <random>

// The program's pseudo-random generator of single-precision values in [0, 1).
class RandomSource
{
  public:
    RandomSource();

    // Seeds from the clock mixed with the operating system's entropy, so that the
    // moment of a draw does not predict it.
    void reseed();
    void seed(std::uint64_t value);
    // Uniform in [0, 1): 24 random bits scaled exactly, so never 1.0.
    float next();

  private:
    std::mt19937_64 m_engine;
};
