#pragma once
// The classic linear-congruential rand(): the same stream on every platform.
// state = state * 214013 + 2531011 (mod 2^32); result = (state >> 16) & 0x7FFF.

#include <cstdint>
#include <span>

namespace tq {

struct RandomSource {
  std::uint32_t state = 1;
};

inline constexpr int kRandomMax = 0x7FFF;

void seed_random(RandomSource& random, std::uint32_t seed);
int next_random(RandomSource& random);
// Fills `values` with the next values.size() results, exactly as that many
// calls of next_random would, and leaves the state where they would.
void next_randoms(RandomSource& random, std::span<std::int16_t> values);

}  // namespace tq
