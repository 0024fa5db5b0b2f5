#include "synth/random_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(RandomSource, ClassicSequenceAfterSeedingWithOne) {
  tq::RandomSource random;
  tq::seed_random(random, 1);
  for (const int expected : {41, 18467, 6334, 26500, 19169})
    EXPECT_EQ(tq::next_random(random), expected);
}

// The lane-parallel fill must be the plain sequence, whatever the count and
// the starting state, and leave the state where single draws would.
TEST(RandomSource, BulkDrawsEqualSingleDraws) {
  for (const std::uint32_t seed : {1u, 0xFFFFFFFFu, 123456789u}) {
    for (const std::size_t count : {0u, 7u, 8u, 9u, 8195u}) {
      tq::RandomSource bulk{seed};
      tq::RandomSource single{seed};
      std::vector<std::int16_t> values(count);
      tq::next_randoms(bulk, values);
      for (const std::int16_t value : values) ASSERT_EQ(value, tq::next_random(single)) << seed;
      EXPECT_EQ(bulk.state, single.state) << "seed " << seed << " count " << count;
    }
  }
}

}  // namespace
