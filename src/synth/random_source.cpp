#include "synth/random_source.h"

#include <array>
#include <cstddef>

namespace tq {

namespace {

constexpr std::uint32_t kMultiplier = 214013;
constexpr std::uint32_t kIncrement = 2531011;

// An affine map of the state: s -> s * multiplier + increment (mod 2^32).
// One step of the generator is {kMultiplier, kIncrement}; k steps are again
// such a map, which lets several positions of the stream advance at once.
struct Jump {
  std::uint32_t multiplier;
  std::uint32_t increment;
};

constexpr std::uint32_t apply(Jump jump, std::uint32_t state) {
  return state * jump.multiplier + jump.increment;
}

// The map that does `first`, then `second`.
constexpr Jump then(Jump first, Jump second) {
  return {second.multiplier * first.multiplier,
          second.multiplier * first.increment + second.increment};
}

// The map of `steps` single steps, by repeated squaring.
constexpr Jump jump_over(std::uint64_t steps) {
  Jump result{1, 0};
  Jump power{kMultiplier, kIncrement};
  for (; steps != 0; steps >>= 1) {
    if ((steps & 1) != 0) result = then(result, power);
    power = then(power, power);
  }
  return result;
}

constexpr int output_of(std::uint32_t state) {
  return static_cast<int>((state >> 16) & 0x7FFF);
}

// The generator is one serial multiply-add chain. Eight lanes, each eight
// positions of the stream apart, are eight independent chains that the
// compiler can run side by side (and in vector registers).
constexpr std::size_t kLanes = 8;
constexpr Jump kLaneJump = jump_over(kLanes);

}  // namespace

void seed_random(RandomSource& random, std::uint32_t seed) {
  random.state = seed;
}

int next_random(RandomSource& random) {
  random.state = apply({kMultiplier, kIncrement}, random.state);
  return output_of(random.state);
}

void next_randoms(RandomSource& random, std::span<std::int16_t> values) {
  const std::size_t whole = values.size() - values.size() % kLanes;
  if (whole != 0) {
    // Lane j starts at the state that yields value j.
    std::array<std::uint32_t, kLanes> lanes{};
    std::uint32_t state = random.state;
    for (auto& lane : lanes) {
      state = apply({kMultiplier, kIncrement}, state);
      lane = state;
    }
    for (std::size_t start = 0; start < whole; start += kLanes) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        values[start + lane] = static_cast<std::int16_t>(output_of(lanes[lane]));
        lanes[lane] = apply(kLaneJump, lanes[lane]);
      }
    }
    random.state = apply(jump_over(whole), random.state);
  }
  for (std::size_t i = whole; i < values.size(); ++i) {
    values[i] = static_cast<std::int16_t>(next_random(random));
  }
}

}  // namespace tq
