#include "main_window/randomsource.h"

RandomSource RandomSource::seededForTesting(std::uint32_t seed)
{
    RandomSource source;
    source.m_seeded.emplace(seed);
    return source;
}

void RandomSource::reseed()
{
    m_seeded.reset();
}

std::uint32_t RandomSource::next()
{
    return m_seeded ? m_seeded->generate() : QRandomGenerator::system()->generate();
}
