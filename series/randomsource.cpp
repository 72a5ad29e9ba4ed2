#include "series/randomsource.h"

RandomSource RandomSource::seededForTesting(std::uint32_t seed)
{
    RandomSource source;
    source.m_seeded.emplace(seed);
    return source;
}

std::uint32_t RandomSource::next()
{
    return m_seeded ? m_seeded->generate() : QRandomGenerator::system()->generate();
}
