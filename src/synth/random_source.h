#pragma once
// The classic linear-congruential rand(): the same stream on every platform.
// state = state * 214013 + 2531011 (mod 2^32); result = (state >> 16) & 0x7FFF.

#include <cstdint>

namespace tq {

struct RandomSource {
  std::uint32_t state = 1;
};

inline constexpr int kRandomMax = 0x7FFF;

void seed_random(RandomSource& random, std::uint32_t seed);
int next_random(RandomSource& random);

}  // namespace tq
